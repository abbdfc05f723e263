// Every writer of the cache file under every single OS failure. For each kind of OS call a clean run
// counts the calls the writer makes; then, for n = 1 to that count, the starting files are put back,
// call n of that kind fails (writes and mappings as on a full disk), the writer runs again, and the
// file it writes must be wholly the old one or wholly the new one, the failure reported once (not at
// all when the writer got past it), and the result must say which. A window that cannot be mapped
// ends the process by design: those cases run in a child process (native builds only). The crash
// test ends each writer at every one of its OS calls in turn, as a kill would.
#include <functional>
#include <random>

#include "cache/defragmenter.h"
#include "indexer/cache_lifecycle.h"
#include "indexer/location_refresher.h"
#include "indexer_fixture.h"

namespace lvx::indexer {
namespace {

using os::fault::Op;
using test::Image;
constexpr Op kEndsProcess = Op::View;

struct Case {
  Op op;
  int n;
  int result = 0;
  size_t messages = 0;
  bool diskFullSaid = true;  // a full disk's report holds the system's words for it
  bool ended = false;  // the process ended in the middle (a child process)
  Image file{};
};

class WriterSweepTest : public test::IndexerTest {
 protected:
  void Sweep(const test::fs::path& subject, const std::function<void()>& restore,
             const std::function<int()>& run, const std::function<void(const Case&)>& check) {
    restore();
    os::fault::Reset();
    ASSERT_EQ(run(), 0) << "the clean run";
    new_ = test::ReadImage(subject);
    ASSERT_NE(new_, old_);
    calls_.clear();
    for (int k = 0; k < int(Op::kCount); ++k) calls_.push_back(os::fault::Calls(Op(k)));
    for (int k = 0; k < int(Op::kCount); ++k) {
      for (int n = 1; n <= calls_[k]; ++n) {
        Case c{Op(k), n};
        restore();
        if (c.op == kEndsProcess) {
          if (!RunToTheEnd(c, run)) continue;
        } else {
          test::RecordingMessages messages;
          bool diskFull = c.op == Op::Write || c.op == Op::Map;
          os::fault::Reset();
          os::fault::FailNth(c.op, n, diskFull ? os::Error::DiskFull : os::Error::AccessDenied);
          c.result = run();
          os::fault::Reset();
          c.messages = messages.Count();
          c.diskFullSaid = !diskFull || c.messages == 0 || messages.Contains(diskFullText_);
        }
        c.file = test::ReadImage(subject);
        SCOPED_TRACE("kind " + std::to_string(k) + " call " + std::to_string(n) + ": " +
                     (c.ended ? "the process ended" : "result " + std::to_string(c.result) + ", " +
                                                          std::to_string(c.messages) + " message(s)") +
                     "; left " + Describe(c.file));
        check(c);
      }
    }
  }

  // Runs a case whose failure ends the process in a child that shares this test's files; its one
  // box goes to the child's error output, where the matcher counts it.
  bool RunToTheEnd([[maybe_unused]] Case& c, [[maybe_unused]] const std::function<int()>& run) {
#ifdef _WIN32
    return false;  // no fork under wine: the native builds check the sudden end
#else
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
          os::SetMessageSink([](const std::u16string& text) { std::fprintf(stderr, "<box>%s", U8(text).c_str()); });
          os::fault::Reset();
          os::fault::FailNth(c.op, c.n, os::Error::OutOfMemory);
          run();
          std::exit(3);
        },
        ::testing::ExitedWithCode(int(cache::CDBMapFile::kMappingFailedExitCode)), ::testing::MatchesRegex("[^<]*<box>[^<]*MapFilePos - 002[^<]*"));
    return c.ended = true;
#endif
  }

  std::string Describe(const Image& image) const {
    if (!image) return "no file";
    if (image == old_ || image == new_) return image == old_ ? "the old file" : "the new file";
    return std::to_string(image->size()) + " bytes, DrivesDone " +
           std::to_string(test::Word(*image, cache::kDrivesDoneOffset)) + ", DrivesBusy " +
           std::to_string(test::Word(*image, cache::kDrivesBusyOffset)) + ", root capacity " +
           std::to_string(test::Word(*image, cache::kRootBlockOffset));
  }

  // The rule: the old file or the new one, and a result and a report that say which.
  void ExpectOldOrNew(const Case& c) {
    EXPECT_TRUE(c.file == old_ || c.file == new_) << "neither the old nor the new file";
    if (c.ended) return;  // the child's matcher counted its one box
    EXPECT_EQ(c.result == 0, c.file == new_) << "the result does not say what the file holds";
    EXPECT_TRUE(c.result == 0 ? c.messages <= 1 : c.messages == 1) << c.messages << " reports of the failure";
    EXPECT_TRUE(c.diskFullSaid) << "the report of a full disk does not say so";
  }
  // Or a file whose header sends the next start to a rebuild: a build that did not complete.
  void ExpectOldNewOrUnfinished(const Case& c) {
    if (!c.file || c.file == old_ || c.file == new_ || U32Of(c.file, cache::kDrivesDoneOffset) == cache::kAllDrivesDone)
      return ExpectOldOrNew(c);
    EXPECT_TRUE(c.ended || (c.result == -1 && c.messages == 1 && c.diskFullSaid)) << "reports of the failure";
    EXPECT_EQ(DecideAtStartup(cachePath_, state_, {}, yes_).action, StartupAction::Build);
  }
  // A case that leaves a third file, as it does today: failed, reported (or not), and that file.
  void ExpectFailedLeaving(const Case& c, const Image& left, size_t messages = 1) {
    EXPECT_EQ(c.file, left) << "the known third outcome changed";
    EXPECT_TRUE(c.ended || (c.result == -1 && c.messages == messages)) << "reports of the failure";
  }
  // A listing that fails ends that folder's listing: the writer goes on with the entries it got,
  // and every entry in the file is on the disk or was in the old file.
  void ExpectPartialListing(const Case& c) {
    EXPECT_TRUE(c.result == 0 && c.messages == 0 && c.file);
    test::CachedDrive cached = test::ReadDrive(c.file.value_or(std::vector<uint8_t>{}), drive_.Letter());
    std::vector<std::string> known = Disk(), old = Lines(old_);
    known.insert(known.end(), old.begin(), old.end());
    std::sort(known.begin(), known.end());
    EXPECT_TRUE(cached.sound);
    EXPECT_TRUE(std::includes(known.begin(), known.end(), cached.lines.begin(), cached.lines.end()));
    EXPECT_EQ(U32Of(c.file, cache::kDrivesBusyOffset), 0u);
  }
  // The end comes after the file grew for a new block and before that block is linked in: the old
  // tree in a longer file, nothing marked, so the next start keeps the cache as it is.
  void ExpectOldTreeInAGrownFile(const Case& c) {
    EXPECT_EQ(Lines(c.file), Lines(old_));
    EXPECT_GT(c.file.value_or(std::vector<uint8_t>{}).size(), old_->size());
    EXPECT_EQ(U32Of(c.file, cache::kDrivesBusyOffset), 0u);
  }
  int Save() { return lifecycle_.SaveCacheFileAs(dir_.Path() + u"chosen.db", 0) ? 0 : -1; }
  int Load() { return lifecycle_.LoadCacheFile(dir_.Path() + u"chosen.db", 0) ? 0 : -1; }
  bool Last(const Case& c) const { return c.n == calls_[int(c.op)]; }
  std::vector<std::string> Lines(const Image& image) const {
    return test::ReadDrive(image.value_or(std::vector<uint8_t>{}), drive_.Letter()).lines;
  }
  static uint32_t U32Of(const Image& image, uint32_t at) {
    return test::Word(image.value_or(std::vector<uint8_t>{}), at);
  }

  struct Yes : IStartupQuestion {
    bool Ask(const std::u16string&) override { return true; }
  } yes_;
  const std::u16string diskFullText_ = os::SystemErrorText(os::CodeOf(os::Error::DiskFull)).substr(0, 20);
  Image old_, new_;
  std::vector<int> calls_;
  CCacher cacher_{context_, state_};
  ChangeMonitor monitor_{context_};
  CacheLifecycle lifecycle_{context_, state_, cacher_, monitor_};
  CLocationRefresher refresher_{context_};
  const test::fs::path chosen_ = test::fs::path(dir_.HostPath()) / "chosen.db";  // the file saved or loaded
};

TEST_F(WriterSweepTest, FullBuild) {
  for (int i = 0; i < 12; ++i) drive_.MakeFile("folder" + std::to_string(i / 2) + "/file" + std::to_string(i) + ".txt", 100);
  Build();
  old_ = test::ReadImage(Beside(""));
  drive_.MakeFile("folder2/new.txt", 5000);
  cacher_.SetScratchMappingSize(cache::kDataStart + 16777216 + 256);  // the scratch file grows once
  Sweep(Beside(""), [&] { test::WriteImage(Beside(""), old_); },
        [&] { return cacher_.BuildNow(drive_.Mask()); },
        [&](const Case& c) {
          EXPECT_TRUE(c.ended || !(test::fs::exists(Beside(".tmp")) || test::fs::exists(Beside(".new"))))
              << "a scratch file is left";
          if (c.op == Op::List) return ExpectPartialListing(c);
          ExpectOldNewOrUnfinished(c);
        });
}

TEST_F(WriterSweepTest, LocationRefresh) {
  drive_.MakeFile("work/keep/x.txt", 1);
  for (int i = 0; i < 3; ++i) drive_.MakeFile("work/gone/y" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("grow/a.txt", 1);
  Build();
  const Image built = old_ = test::ReadImage(Beside(""));
  auto restore = [&] { test::WriteImage(Beside(""), built); };
  auto check = [&](const Case& c) {
    if (c.op == Op::List) return ExpectPartialListing(c);
    // The file cannot grow for the new block: the refresh is given up and reported once, the old
    // block stays, and the change waits until the folder changes again.
    if (c.op == Op::Map && Last(c)) return ExpectFailedLeaving(c, old_);
    if (c.op == kEndsProcess && Last(c)) return ExpectOldTreeInAGrownFile(c);
    ExpectOldOrNew(c);
  };
  // "keep" is taken over, then the new subfolder's block is stored, which grows the file.
  drive_.Remove("work/gone");
  for (const char* added : {"work/new/z.txt", "work/more0.txt", "work/more1.txt", "work/more2.txt"})
    drive_.MakeFile(added, 1);
  Sweep(Beside(""), restore, [&] { return refresher_.RefreshLocation(drive_.Path("work/")); }, check);
  // Running out of memory for a folder's new block is among the swept failures: the refresh is undone.
  EXPECT_GT(calls_[int(Op::Alloc)], 0);
  // A folder that only grows: its new block is appended in place of the old one.
  for (const char* added : {"grow/more0.txt", "grow/more1.txt", "grow/more2.txt"}) drive_.MakeFile(added, 1);
  Sweep(Beside(""), restore, [&] { return refresher_.RefreshLocation(drive_.Path("grow/")); }, check);
}

// Random changes, each refreshed as the monitor would ask, keep the cache equal to the disk and leave
// free, moved and small never-freed blocks; compaction must give exactly the file of a fresh build.
TEST_F(WriterSweepTest, CompactionGivesTheFileOfAFreshBuild) {
  std::mt19937 random(11);
  for (int i = 0; i < 36; ++i)
    drive_.MakeFile("d" + std::to_string(i / 6) + "/s" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt",
                    random() % 3000);
  Build();
  for (int step = 0; step < 40; ++step) {
    std::string folder = "d" + std::to_string(random() % 6) + "/";
    if (random() % 2) folder += "s" + std::to_string(random() % 3) + "/";
    if (random() % 4 == 0) drive_.Remove(folder);
    drive_.MakeFile(folder + "n" + std::to_string(step) + ".txt", random() % 100000);
    // As the monitor would: the folder that holds the change, then its parents up to the root,
    // whose blocks hold the folders' changed times. A folder new to the cache is not found (-1);
    // its parent's refresh brings it in whole.
    for (std::string at = folder;; at = at.substr(0, at.rfind('/', at.size() - 2) + 1)) {
      int result = refresher_.RefreshLocation((step % 5 || at.empty() ? u"" : u"#") +
                                              (at.empty() ? drive_.Root() : drive_.Path(at)));
      ASSERT_TRUE(result == 0 || !at.empty()) << step;
      if (at.empty()) break;
    }
  }
  ExpectCacheMatchesDisk();
  old_ = test::ReadImage(Beside(""));
  ASSERT_FALSE(test::FreeList(*old_).empty()) << "the refreshes left free blocks";
  cache::CacheDefragmenter defragmenter;
  Sweep(Beside(""), [&] { test::WriteImage(Beside(""), old_); },
        [&] { return defragmenter.Defragment(cachePath_, state_); },
        [&](const Case& c) {
          EXPECT_TRUE(c.ended || !(test::fs::exists(Beside(".frag")) || test::fs::exists(Beside(".new"))))
              << "a scratch file is left";
          ExpectOldOrNew(c);
        });
  test::WriteImage(Beside(""), old_);
  ASSERT_EQ(defragmenter.Defragment(cachePath_, state_), 0);
  for (auto [key, value] : {std::pair{u"UpdateCacheExit", u"TRUE"}, {u"CacheFileVersion", u"1"}, {u"CacheFileSize", u"0"}})
    EXPECT_EQ(state_.ReadState(key, u""), value);
  Build();
  EXPECT_EQ(test::ReadImage(Beside("")), new_) << "compacted and freshly built differ";
  // The start-up check's signals survive a compaction: an unfinished build, a drive marked busy.
  std::vector<uint8_t> marked = *old_;
  cache::StoreU32(&marked[cache::kDrivesDoneOffset], 0x8), cache::StoreU32(&marked[cache::kDrivesBusyOffset], 0x4);
  test::WriteImage(Beside(""), marked);
  ASSERT_EQ(defragmenter.Defragment(cachePath_, state_), 0);
  EXPECT_TRUE(U32(cache::kDrivesDoneOffset) == 0x8 && U32(cache::kDrivesBusyOffset) == 0x4);
}

TEST_F(WriterSweepTest, LoadAndSave) {
  drive_.MakeFile("one.txt", 1);
  Build();
  test::WriteImage(chosen_, test::ReadImage(Beside("")));
  drive_.MakeFile("two.txt", 1);
  Build();
  old_ = test::ReadImage(Beside(""));
  auto restore = [&] {
    test::WriteImage(Beside(""), old_);
    test::WriteImage(Beside(".bak"), std::nullopt);
  };
  Sweep(Beside(""), restore, [&] { return Load(); },
        [&](const Case& c) {
          ExpectOldOrNew(c);
          Image backup = test::ReadImage(Beside(".bak"));
          EXPECT_TRUE(c.ended || backup == old_ || (c.result != 0 && !backup))
              << "the .bak file is the old cache after a load, and it or none after a failed one";
        });
  old_ = std::nullopt;  // saving: the chosen file is the one written
  Sweep(chosen_, [&] { test::WriteImage(chosen_, std::nullopt); }, [&] { return Save(); },
        [&](const Case& c) { ExpectOldOrNew(c); });
}

// The crash test: each writer is ended at its first OS call, then at its second, and so on until it
// runs to its end, in a child process that stops as a kill -9 would there. Whatever the moment, the
// cache file is the old one, the new one, or one whose header makes the next start rebuild it (and
// the rebuild gives the file of a fresh build); the next start removes the scratch files left.
TEST_F(WriterSweepTest, AKillAtAnyMomentLeavesTheOldFileTheNewOneOrOneTheNextStartRebuilds) {
#ifdef _WIN32
  GTEST_SKIP() << "no fork under wine";
#else
  for (int i = 0; i < 6; ++i) drive_.MakeFile("d" + std::to_string(i % 2) + "/f" + std::to_string(i) + ".txt", 100);
  Build();
  const Image before = test::ReadImage(Beside(""));
  drive_.MakeFile("d1/g.txt", 3000);
  Build();
  const Image fresh = test::ReadImage(Beside(""));
  test::WriteImage(Beside(""), before);
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("d1/")) | refresher_.RefreshLocation(drive_.Root()), 0);
  const Image refreshed = test::ReadImage(Beside(""));
  const struct {
    const char* writer;
    Image old, made;                  // the cache file before and after
    Image chosenBefore, chosenAfter;  // the file saved or loaded
    std::function<int()> run;
  } rows[] = {
      {"build", before, fresh, {}, {}, [&] { return cacher_.BuildNow(drive_.Mask()); }},
      {"compaction", refreshed, fresh, {}, {}, [&] { return cache::CacheDefragmenter().Defragment(cachePath_, state_); }},
      {"save", fresh, fresh, {}, fresh, [&] { return Save(); }},
      {"load", fresh, before, before, before, [&] { return Load(); }},
  };
  for (const auto& row : rows) {
    int rebuilt = 0, n = 1;
    for (;; ++n) {
      test::WriteImage(Beside(""), row.old);
      test::WriteImage(chosen_, row.chosenBefore);
      const int ended = test::EndAt(n, 99, row.run);
      ASSERT_GE(ended, 0);
      SCOPED_TRACE(std::string(row.writer) + " ended at call " + std::to_string(n));
      const Image left = test::ReadImage(Beside(""));
      if (ended != 99) {
        EXPECT_EQ(ended, 0);
        EXPECT_TRUE(left == row.made && test::ReadImage(chosen_) == row.chosenAfter) << "the clean run";
        break;
      }
      const Image leftChosen = test::ReadImage(chosen_);
      EXPECT_TRUE(leftChosen == row.chosenBefore || leftChosen == row.chosenAfter);
      RemoveLeftovers(cachePath_);
      for (const char* suffix : {".tmp", ".frag", ".new"}) EXPECT_FALSE(test::fs::exists(Beside(suffix))) << suffix;
      if (left == row.old || left == row.made) continue;
      ASSERT_TRUE(left && U32Of(left, cache::kDrivesDoneOffset) != cache::kAllDrivesDone) << Describe(left);
      EXPECT_EQ(DecideAtStartup(cachePath_, state_, {}, yes_).action, StartupAction::Build);
      Build();
      EXPECT_EQ(test::ReadImage(Beside("")), fresh) << "the rebuild";
      ++rebuilt;
    }
    EXPECT_GT(n, 1) << row.writer << " was never ended";
    EXPECT_EQ(rebuilt > 0, std::string(row.writer) == "build") << row.writer;
  }
#endif
}

}  // namespace
}  // namespace lvx::indexer
