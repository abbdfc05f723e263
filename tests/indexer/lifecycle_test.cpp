// The cache file's lifecycle: the start-up decisions, the start-up check, saving and loading. What
// compaction, saving and loading leave when an OS call fails is the fault sweep's.
#include <functional>

#include "cache/defragmenter.h"
#include "indexer/cache_lifecycle.h"
#include "indexer_fixture.h"

namespace lvx::indexer {
namespace {

struct Answer : IStartupQuestion {
  explicit Answer(bool answer) : yes(answer) {}
  bool Ask(const std::u16string& text) override {
    EXPECT_EQ(text, kAbnormalEndQuestion);
    ++asked;
    return yes;
  }
  bool yes;
  int asked = 0;
};

class LifecycleTest : public test::IndexerTest {
 protected:
  CCacher cacher_{context_, state_};
  ChangeMonitor monitor_{context_};
  CacheLifecycle lifecycle_{context_, state_, cacher_, monitor_};
};

TEST_F(LifecycleTest, StartupDecisions) {
  constexpr uint64_t MB = 1048576;
  constexpr uint32_t kDone = cache::kAllDrivesDone;
  enum Options { kDefault, kFirstRun, kNoWarnings, kNoIntegrityCheck, kNoRealtime };
  struct Row {
    const char* what;
    uint64_t length;  // 0: no cache file
    uint32_t drivesDone, drivesBusy;
    const char16_t *version, *sizeMB;
    Options options;
    bool yes;
    StartupAction action;
    int asked;
  } rows[] = {
      {"no cache file", 0, kDone, 0, u"1", u"0", kDefault, true, StartupAction::Build, 0},
      {"version 0: nothing else is checked", 2 * MB, 0, 0xFFFF, u"0", u"0", kDefault, true, StartupAction::Build, 0},
      {"version missing counts as 0", 2 * MB, kDone, 0, u"", u"0", kDefault, true, StartupAction::Build, 0},
      {"only C done: the build is redone", 2 * MB, 0x4, 0, u"1", u"2", kDefault, true, StartupAction::Build, 0},
      {"the first run skips the checks", 2 * MB, 0x4, 0, u"1", u"2", kFirstRun, true, StartupAction::None, 0},
      {"busy, Yes", 40 * MB, kDone, 0x8, u"1", u"40", kDefault, true, StartupAction::Build, 1},
      {"busy, No: on to the compaction check", 40 * MB, kDone, 0x8, u"1", u"40", kDefault, false, StartupAction::None, 1},
      {"busy, warnings off: rebuilt unasked", 40 * MB, kDone, 0x8, u"1", u"40", kNoWarnings, false, StartupAction::Build, 0},
      {"busy, no integrity check", 40 * MB, kDone, 0x8, u"1", u"40", kNoIntegrityCheck, true, StartupAction::None, 0},
      {"grown 8 MB", 48 * MB, kDone, 0, u"1", u"40", kDefault, true, StartupAction::None, 0},
      {"grown 9 MB", 49 * MB, kDone, 0, u"1", u"40", kDefault, true, StartupAction::Compact, 0},
      {"below 1 MB: every start", MB - 1, kDone, 0, u"1", u"0", kDefault, true, StartupAction::Compact, 0},
      {"a recorded size that + 9 would wrap", 2 * MB, kDone, 0, u"1", u"4294967290", kDefault, true, StartupAction::None, 0},
      {"real-time updating off", 2 * MB, kDone, 0, u"1", u"2", kNoRealtime, true, StartupAction::None, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::WriteImage(Beside(""), std::nullopt);
    if (row.length) {
      test::CacheImage image;
      image.SetU32(cache::kDrivesDoneOffset, row.drivesDone);
      image.SetU32(cache::kDrivesBusyOffset, row.drivesBusy);
      test::WriteImage(Beside(""), image.bytes);
      test::fs::resize_file(Beside(""), row.length);
    }
    state_.WriteState(u"CacheFileVersion", row.version);
    state_.WriteState(u"CacheFileSize", row.sizeMB);
    StartupOptions options;
    options.firstRun = row.options == kFirstRun;
    options.showWarnings = row.options != kNoWarnings;
    options.checkIntegrity = row.options != kNoIntegrityCheck;
    options.realtimeUpdate = row.options != kNoRealtime;
    Answer answer(row.yes);
    StartupDecision d = DecideAtStartup(cachePath_, state_, options, answer);
    EXPECT_EQ(d.action, row.action);
    EXPECT_EQ(answer.asked, row.asked);
    bool usable = row.length && row.version[0] == u'1';
    EXPECT_EQ(d.usable, usable);
    EXPECT_EQ(d.startWatchers, options.realtimeUpdate);
    EXPECT_EQ(d.startDrains, options.realtimeUpdate && usable);
  }
}

TEST_F(LifecycleTest, TheStartupCheckActsOnItsDecisionAndWritesProgramExit) {
  drive_.MakeFile("x.txt", 1);
  Answer no(false);
  StartupOptions options;
  options.realtimeUpdate = false;
  options.driveMask = drive_.Mask();
  EXPECT_EQ(lifecycle_.StartupCheck(options, no).action, StartupAction::Build);
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_EQ(state_.ReadState(u"ProgramExit", u""), u"FALSE");
  ExpectCacheMatchesDisk();
  // The next start finds a usable file below 1 MB: it is compacted and holds the same tree.
  std::vector<uint8_t> built = Bytes();
  EXPECT_EQ(lifecycle_.StartupCheck(options, no).action, StartupAction::Compact);
  EXPECT_EQ(Bytes(), built) << "a fresh build is already compact";
  EXPECT_FALSE(monitor_.AnyDrainRunning() || monitor_.AnyWatcherRunning());

  // Real-time updating on: the watchers run; the drains started for the usable file stop before
  // a build (the build's end starts them), and run again after a compaction.
  options.realtimeUpdate = true;
  std::vector<uint8_t> unfinished = built;
  cache::StoreU32(&unfinished[cache::kDrivesDoneOffset], drive_.Mask());
  test::WriteImage(Beside(""), unfinished);
  EXPECT_EQ(lifecycle_.StartupCheck(options, no).action, StartupAction::Build);
  EXPECT_TRUE(monitor_.AnyWatcherRunning());
  EXPECT_FALSE(monitor_.AnyDrainRunning());
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_EQ(lifecycle_.StartupCheck(options, no).action, StartupAction::Compact);
  EXPECT_TRUE(monitor_.AnyWatcherRunning() && monitor_.AnyDrainRunning());
}

TEST_F(LifecycleTest, SaveAndLoadRoundTripRefuseForeignFilesAndRestartTheDrainsThatRan) {
  drive_.MakeFile("one.txt", 1);
  Build();
  std::vector<uint8_t> first = Bytes();
  std::u16string saved = dir_.Path() + u"saved.db";
  ASSERT_TRUE(lifecycle_.SaveCacheFileAs(saved, drive_.Mask()));
  drive_.MakeFile("two.txt", 1);
  Build();
  std::vector<uint8_t> second = Bytes();
  test::WriteImage(Beside(".bak"), test::CacheImage().bytes);  // an older backup
  ASSERT_TRUE(lifecycle_.LoadCacheFile(saved, drive_.Mask()));
  EXPECT_EQ(Bytes(), first);
  EXPECT_EQ(test::ReadImage(Beside(".bak")), second) << "the .bak is replaced";
  test::CacheImage rootPastEnd;  // a sound header over a root that leaves the file
  rootPastEnd.SetDrive(u'C', 0x7FFFFFF0);
  test::WriteImage(test::fs::path(dir_.HostPath()) / "notes.db", rootPastEnd.bytes);
  EXPECT_FALSE(lifecycle_.LoadCacheFile(dir_.Path() + u"notes.db", drive_.Mask()));
  EXPECT_EQ(Bytes(), first) << "refused before anything is replaced";
  EXPECT_EQ(messages_.Texts(), std::vector<std::u16string>(1, u"Can not load file " + dir_.Path() + u"notes.db"));
  EXPECT_FALSE(lifecycle_.SaveCacheFileAs(dir_.Path() + u"no/such/folder/x.db", drive_.Mask()));
  EXPECT_TRUE(messages_.Contains(u"Can not save file as "));

  // While a build runs (held here at its first copy), its next copy would replace a loaded file and
  // a saved one would be half a build: both are refused.
  size_t before = messages_.Count();
  context_.cacheLock.Acquire();
  ASSERT_TRUE(cacher_.StartBuild(drive_.Mask()));
  EXPECT_FALSE(lifecycle_.SaveCacheFileAs(dir_.Path() + u"during.db", drive_.Mask()));
  EXPECT_FALSE(lifecycle_.LoadCacheFile(saved, drive_.Mask()));
  context_.cacheLock.Release();
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_FALSE(test::fs::exists(test::fs::path(dir_.HostPath()) / "during.db"));
  std::vector<std::u16string> texts = messages_.Texts();
  EXPECT_EQ(std::vector<std::u16string>(texts.begin() + before, texts.end()), (std::vector<std::u16string>{
                                   u"Can not save file as " + dir_.Path() + u"during.db while the cache is being built.",
                                   u"Can not load file " + saved + u" while the cache is being built."}));
  ExpectCacheMatchesDisk();

  // Compaction, saving and loading stop the drains around their work and start again only those
  // that ran: switching real-time updating off is not undone by them.
  const std::pair<const char*, std::function<bool()>> operations[] = {
      {"compaction", [&] { return lifecycle_.DefragCacheFile(drive_.Mask()) == 0; }},
      {"save", [&] { return lifecycle_.SaveCacheFileAs(saved, drive_.Mask()); }},
      {"load", [&] { return lifecycle_.LoadCacheFile(saved, drive_.Mask()); }}};
  for (const auto& [what, run] : operations)
    for (bool running : {false, true}) {
      if (running) monitor_.StartDrains(drive_.Mask());
      EXPECT_TRUE(run()) << what;
      EXPECT_EQ(monitor_.AnyDrainRunning(), running) << what;
      monitor_.StopDrains();
    }
}

// A file that is not a complete cache database: every reader refuses it with the damaged-cache
// message, compaction and a load change nothing, and the next start rebuilds.
TEST_F(LifecycleTest, EveryReaderRefusesAFileThatIsNotACompleteCache) {
  using cache::CDBMapFile;
  drive_.MakeFile("one.txt", 1);
  Build();
  const std::vector<uint8_t> built = Bytes();
  const uint32_t end = uint32_t(built.size());
  auto with = [&](uint32_t at, uint32_t value) {
    std::vector<uint8_t> bytes = built;
    cache::StoreU32(&bytes[at], value);
    return bytes;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } rows[] = {
      {"empty", {}},
      {"all zero", std::vector<uint8_t>(built.size(), 0)},
      {"cut short", std::vector<uint8_t>(built.begin(), built.end() - 2)},
      {"the header alone", std::vector<uint8_t>(built.begin(), built.begin() + cache::kHeaderSize)},
      {"a foreign format word", with(cache::kFormatWordOffset, 0x46445025)},
      {"DataEnd before DataStart", with(cache::kDataEndOffset, cache::kDataStart - 2)},
      {"DataEnd past MappedSize", with(cache::kDataEndOffset, end + 2)},
      {"MappedSize past the file", with(cache::kMappedSizeOffset, end + 65536)},
      {"a free list into the header", with(cache::kFreeListHeadOffset, 100)},
      {"a free list past DataEnd", with(cache::kFreeListHeadOffset, end)},
      {"a root block that reaches DataStart", with(cache::kRootBlockOffset, cache::kDataStart)},
  };
  const std::u16string chosen = dir_.Path() + u"chosen.db";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::WriteImage(Beside(""), row.bytes);
    test::RecordingMessages messages;
    CDBMapFile file;
    for (auto open : {&CDBMapFile::OpenForReading, &CDBMapFile::OpenForReadingAlone, &CDBMapFile::OpenForUpdate})
      EXPECT_TRUE(!(file.*open)(cachePath_) && file.Damaged() && !file.IsOpen());
    CLocationRefresher refresher(context_);
    EXPECT_EQ(refresher.RefreshLocation(drive_.Root()), -1);
    EXPECT_EQ(refresher.FailureText(), u"the cache file is damaged");
    EXPECT_EQ(cache::CacheDefragmenter().Defragment(cachePath_, state_), -1);
    EXPECT_EQ(Bytes(), row.bytes) << "compaction wrote";
    Answer no(false);
    EXPECT_EQ(DecideAtStartup(cachePath_, state_, {}, no).action, StartupAction::Build);
    test::WriteImage(Beside(""), built);
    test::WriteImage(test::fs::path(dir_.HostPath()) / "chosen.db", row.bytes);
    EXPECT_FALSE(lifecycle_.LoadCacheFile(chosen, drive_.Mask()));
    EXPECT_EQ(Bytes(), built) << "the load replaced the cache";
    std::vector<std::u16string> texts(5, cache::kDamagedCacheText);
    texts.push_back(u"Can not load file " + chosen);
    EXPECT_EQ(messages.Texts(), texts);
  }
}

}  // namespace
}  // namespace lvx::indexer
