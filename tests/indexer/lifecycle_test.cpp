// The cache file's lifecycle: start-up decisions, compaction, save and load.
#include <random>

#include "cache/defragmenter.h"
#include "cache/dump.h"
#include "indexer/cache_lifecycle.h"
#include "indexer/location_refresher.h"
#include "indexer_fixture.h"
#include "platform/file.h"
#include "support/cache_image.h"
#include "tree_compare.h"

namespace lvx::indexer {
namespace {

using cache::NO_BLOCK;

class Answer : public IStartupQuestion {
 public:
  explicit Answer(bool yes) : yes_(yes) {}
  bool Ask(const std::u16string& text) override {
    ++asked;
    lastText = text;
    return yes_;
  }
  int asked = 0;
  std::u16string lastText;

 private:
  bool yes_;
};

class LifecycleTest : public test::IndexerTest {
 protected:
  // A cache file of the given length with the given header words, and the state keys.
  void MakeCache(uint64_t length, uint32_t drivesDone, uint32_t drivesBusy,
                 const char16_t* version = u"1", const char16_t* sizeMB = u"0") {
    test::CacheImage image;
    image.SetU32(cache::kDrivesDoneOffset, drivesDone);
    image.SetU32(cache::kDrivesBusyOffset, drivesBusy);
    image.WriteTo(cachePath_);
    os::FileHandle f = os::OpenFile(cachePath_, os::kGenericWrite, 0, os::kOpenExisting, 0);
    ASSERT_TRUE(os::SetFileSize(f, length));
    os::CloseFile(f);
    state_.WriteState(u"CacheFileVersion", version);
    state_.WriteState(u"CacheFileSize", sizeMB);
  }
  StartupDecision Decide(StartupOptions options, IStartupQuestion& question) {
    return DecideAtStartup(cachePath_, state_, options, question);
  }
  static constexpr uint64_t MB = 1048576;
};

TEST_F(LifecycleTest, WithoutAUsableCacheAFullBuildStartsAndNothingElseIsChecked) {
  Answer no(false);
  StartupDecision d = Decide({}, no);
  EXPECT_EQ(d.action, StartupAction::Build);
  EXPECT_FALSE(d.usable);
  EXPECT_TRUE(d.startWatchers);
  EXPECT_FALSE(d.startDrains);
  MakeCache(2 * MB, 0, 0xFFFF, u"0");
  d = Decide({}, no);
  EXPECT_EQ(d.action, StartupAction::Build);
  EXPECT_EQ(no.asked, 0);
  state_.WriteState(u"CacheFileVersion", u"");
  EXPECT_EQ(Decide({}, no).action, StartupAction::Build) << "version missing counts as 0";
}

TEST_F(LifecycleTest, AnUnfinishedBuildIsRedone) {
  MakeCache(2 * MB, 0x4, 0);
  Answer no(false);
  StartupDecision d = Decide({}, no);
  EXPECT_EQ(d.action, StartupAction::Build);
  EXPECT_TRUE(d.usable);
  EXPECT_TRUE(d.startDrains);
  StartupOptions firstRun;
  firstRun.firstRun = true;
  EXPECT_EQ(Decide(firstRun, no).action, StartupAction::None) << "the first run skips the checks";
}

TEST_F(LifecycleTest, AnInterruptedRefreshAsksOrRebuilds) {
  MakeCache(40 * MB, cache::kAllDrivesDone, 0x8, u"1", u"40");
  Answer yes(true), no(false);
  StartupDecision d = Decide({}, yes);
  EXPECT_EQ(d.action, StartupAction::Build);
  EXPECT_EQ(yes.asked, 1);
  EXPECT_EQ(yes.lastText, kAbnormalEndQuestion);
  d = Decide({}, no);
  EXPECT_EQ(d.action, StartupAction::None) << "No goes on with the compaction check";
  EXPECT_EQ(no.asked, 1);
  StartupOptions silent;
  silent.showWarnings = false;
  EXPECT_EQ(Decide(silent, no).action, StartupAction::Build);
  EXPECT_EQ(no.asked, 1) << "without warnings nothing is asked";
  StartupOptions unchecked;
  unchecked.checkIntegrity = false;
  EXPECT_EQ(Decide(unchecked, no).action, StartupAction::None);
  EXPECT_EQ(no.asked, 1);
}

TEST_F(LifecycleTest, CompactionIsDueWhenTheFileGrewNineMegabytes) {
  Answer no(false);
  MakeCache(48 * MB, cache::kAllDrivesDone, 0, u"1", u"40");
  EXPECT_EQ(Decide({}, no).action, StartupAction::None);
  MakeCache(49 * MB, cache::kAllDrivesDone, 0, u"1", u"40");
  EXPECT_EQ(Decide({}, no).action, StartupAction::Compact);
  MakeCache(MB - 1, cache::kAllDrivesDone, 0, u"1", u"0");
  EXPECT_EQ(Decide({}, no).action, StartupAction::Compact) << "below 1 MB: every start";
  StartupOptions off;
  off.realtimeUpdate = false;
  StartupDecision d = Decide(off, no);
  EXPECT_FALSE(d.startWatchers);
  EXPECT_FALSE(d.startDrains);
}

// After many refreshes the heap has free blocks, moved blocks and small leaked blocks; compaction
// must give exactly the file a fresh full build of the same disk gives.
TEST_F(LifecycleTest, CompactionGivesTheFileOfAFreshBuild) {
  std::mt19937 random(11);
  for (int d = 0; d < 6; ++d)
    for (int i = 0; i < 6; ++i)
      drive_.MakeFile("d" + std::to_string(d) + "/s" + std::to_string(i % 3) + "/f" +
                          std::to_string(i) + ".txt",
                      random() % 3000);
  Build();
  CLocationRefresher refresher(context_);
  for (int step = 0; step < 40; ++step) {
    std::string folder = "d" + std::to_string(random() % 6) + "/";
    if (random() % 2) folder += "s" + std::to_string(random() % 3) + "/";
    if (random() % 4 == 0) {
      drive_.Remove(folder);
      drive_.MakeFile(folder + "again" + std::to_string(step) + ".txt", 1);
    } else {
      drive_.MakeFile(folder + "n" + std::to_string(step) + ".txt", random() % 100000);
    }
    // As the monitor would: the folder that holds each change; then its parents up to the root,
    // whose blocks hold the folders' own (changed) last-write times.
    for (std::string at = folder;; at = at.substr(0, at.rfind('/', at.size() - 2) + 1)) {
      std::u16string request = at.empty() ? drive_.Root() : drive_.Path(at);
      // A folder new to the cache is not found (-1); its parent's refresh brings it in whole.
      int result = refresher.RefreshLocation((step % 5 || at.empty() ? u"" : u"#") + request);
      ASSERT_TRUE(result == 0 || !at.empty()) << step;
      if (at.empty()) break;
    }
  }
  ASSERT_FALSE(FreeList().empty()) << "the refreshes left free blocks";
  cache::CacheDefragmenter defragmenter;
  ASSERT_EQ(defragmenter.Defragment(cachePath_, state_), 0);
  std::vector<uint8_t> compacted = test::CacheImage::ReadFrom(cachePath_);
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  EXPECT_EQ(state_.ReadState(u"CacheFileVersion", u""), u"1");
  EXPECT_EQ(state_.ReadState(u"CacheFileSize", u""), u"0");
  EXPECT_FALSE(os::FileExists(cachePath_ + u".frag"));
  ASSERT_GE(compacted.size(), size_t(cache::kDataStart));
  EXPECT_EQ(cache::LoadU32(&compacted[cache::kFreeListHeadOffset]), NO_BLOCK);
  EXPECT_EQ(cache::LoadU32(&compacted[cache::kDataEndOffset]), compacted.size());
  // A fresh build of the same disk, byte for byte.
  Build();
  std::vector<uint8_t> fresh = test::CacheImage::ReadFrom(cachePath_);
  ASSERT_EQ(compacted.size(), fresh.size());
  auto differ = std::mismatch(compacted.begin(), compacted.end(), fresh.begin());
  EXPECT_EQ(differ.first, compacted.end()) << "first difference at " << (differ.first - compacted.begin());
}

TEST_F(LifecycleTest, CompactionDropsTakenOverRecordsAndRefusesADamagedTree) {
  test::CacheImage image(cache::kDataStart + 2048);
  uint32_t c = cache::kDataStart, sub = c + 200, gone = c + 400;
  image.Block(sub, {{u"kept.txt", false, 1}});
  image.Block(gone, {{u"lost.txt", false, 1}});
  image.Block(c, {{u"sub", true, sub}, {u"gone", true, gone}, {u"a.txt", false, 2}});
  image.SetU16(image.LinkOffset(c, 1) - 2 * 4 - 4, cache::RECORD_TAKEN_OVER);
  image.SetDrive(u'C', c);
  image.WriteTo(cachePath_);
  cache::CacheDefragmenter defragmenter;
  ASSERT_EQ(defragmenter.Defragment(cachePath_, state_), 0);
  std::vector<std::string> expected{"a.txt|2", "sub\\", "sub\\kept.txt|1"};
  EXPECT_EQ(test::CachedTree(Cache(), u'C'), expected);
  CloseCache();

  image.Block(sub, {{u"back", true, c}});  // sub links back to its parent: a loop
  image.WriteTo(cachePath_);
  std::vector<uint8_t> before = test::CacheImage::ReadFrom(cachePath_);
  EXPECT_EQ(defragmenter.Defragment(cachePath_, state_), -1);
  EXPECT_TRUE(messages_.Contains(u"cannot be compacted"));
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), before) << "the cache file is left alone";
}

TEST_F(LifecycleTest, ARefreshKilledWhileChangingTheFileLeavesDrivesBusyForTheNextStart) {
#ifdef _WIN32
  GTEST_SKIP() << "the child must share this test's files: a forked death test (native only)";
#endif
  GTEST_FLAG_SET(death_test_style, "fast");
  for (int i = 0; i < 3; ++i) drive_.MakeFile("grow/f" + std::to_string(i) + ".txt", 1);
  Build();
  for (int i = 0; i < 40; ++i) drive_.MakeFile("grow/more" + std::to_string(i) + ".txt", 1);
  // The grown block is appended: the file is remapped, and the first view after the remapping
  // fails, which ends the process inside the change, as a crash or a kill would.
  EXPECT_EXIT(
      {
        CLocationRefresher refresher(context_);
        os::fault::FailFrom(os::fault::Op::View, 2, os::kErrorNotEnoughMemory);
        refresher.RefreshLocation(drive_.Path("grow/"));
        std::exit(5);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), drive_.Mask());
  Answer yes(true);
  StartupDecision d = Decide({}, yes);
  EXPECT_EQ(d.action, StartupAction::Build);
  EXPECT_EQ(yes.asked, 1);
}

class LifecycleWithMonitorTest : public LifecycleTest {
 protected:
  CCacher cacher_{context_, state_};
  ChangeMonitor monitor_{context_};
  CacheLifecycle lifecycle_{context_, state_, cacher_, monitor_};
};

TEST_F(LifecycleWithMonitorTest, SaveAndLoadRoundTrip) {
  drive_.MakeFile("one.txt", 1);
  Build();
  std::vector<uint8_t> first = test::CacheImage::ReadFrom(cachePath_);
  std::u16string saved = dir_.Path() + u"saved.db";
  ASSERT_TRUE(lifecycle_.SaveCacheFileAs(saved, drive_.Mask()));
  drive_.MakeFile("two.txt", 1);
  Build();
  std::vector<uint8_t> second = test::CacheImage::ReadFrom(cachePath_);
  ASSERT_NE(first, second);
  test::CacheImage(cache::kDataStart + 64).WriteTo(cachePath_ + u".bak");  // an older backup
  ASSERT_TRUE(lifecycle_.LoadCacheFile(saved, drive_.Mask()));
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), first);
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_ + u".bak"), second) << "the .bak is replaced";
  EXPECT_FALSE(monitor_.AnyDrainRunning()) << "no drains ran before, none run after";
}

TEST_F(LifecycleWithMonitorTest, AFailedLoadKeepsTheCacheTheUserHad) {
  drive_.MakeFile("one.txt", 1);
  Build();
  std::vector<uint8_t> current = test::CacheImage::ReadFrom(cachePath_);
  std::u16string other = dir_.Path() + u"other.db";
  test::CacheImage().WriteTo(other);
  // The copy of the chosen file fails after the cache file was moved aside.
  os::fault::Reset();
  os::fault::FailNth(os::fault::Op::Write, 2, os::kErrorDiskFull);  // the move, then the copy
  EXPECT_FALSE(lifecycle_.LoadCacheFile(other, drive_.Mask()));
  os::fault::Reset();
  EXPECT_TRUE(messages_.Contains(u"Can not load file " + other));
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), current);

  // A file that is not a cache database is refused before anything is replaced.
  std::u16string foreign = dir_.Path() + u"notes.db";
  test::CacheImage bad;
  bad.SetU32(cache::kFormatWordOffset, 7);
  bad.WriteTo(foreign);
  EXPECT_FALSE(lifecycle_.LoadCacheFile(foreign, drive_.Mask()));
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), current);
  test::CacheImage rootPastEnd;
  rootPastEnd.SetDrive(u'C', 0x7FFFFFF0);
  rootPastEnd.WriteTo(foreign);
  EXPECT_FALSE(lifecycle_.LoadCacheFile(foreign, drive_.Mask()));
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), current);
  EXPECT_FALSE(lifecycle_.SaveCacheFileAs(dir_.Path() + u"no/such/folder/x.db", drive_.Mask()));
  EXPECT_TRUE(messages_.Contains(u"Can not save file as "));
}

TEST_F(LifecycleWithMonitorTest, StartupCheckStartsTheBuildAndWritesProgramExit) {
  drive_.MakeFile("x.txt", 1);
  Answer no(false);
  StartupOptions options;
  options.realtimeUpdate = false;
  options.driveMask = drive_.Mask();
  StartupDecision d = lifecycle_.StartupCheck(options, no);
  EXPECT_EQ(d.action, StartupAction::Build);
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_EQ(state_.ReadState(u"ProgramExit", u""), u"FALSE");
  EXPECT_EQ(test::CachedTree(Cache(), drive_.Letter()), test::DiskTree(drive_.Root()));
  CloseCache();
  // Next start: usable, small file, compaction runs and leaves the same tree.
  d = lifecycle_.StartupCheck(options, no);
  EXPECT_EQ(d.action, StartupAction::Compact);
  EXPECT_EQ(test::CachedTree(Cache(), drive_.Letter()), test::DiskTree(drive_.Root()));
}

}  // namespace
}  // namespace lvx::indexer
