// Full builds of real folder trees: the exact layout, the tree and its order, what the header and
// state keys say afterwards, and the build thread's pause, resume and stop. What a build leaves when
// an OS call fails is the fault sweep's (writer_sweep_test.cpp).
#include <chrono>
#include <functional>
#include <random>

#include "indexer_fixture.h"
#include "platform/drive.h"

namespace lvx::indexer {
namespace {

using namespace cache;

// Status texts, with an action run on the build thread at the first progress text.
class Status : public test::StatusTexts {
 public:
  void SetStatusText(const std::u16string& text) override {
    test::StatusTexts::SetStatusText(text);
    if (text.rfind(u"[Caching Drive", 0) == 0 && onProgress) std::exchange(onProgress, {})();
  }
  std::u16string Last() const {
    std::vector<std::u16string> texts = Items();
    return texts.empty() ? u"" : texts.back();
  }
  std::function<void()> onProgress;  // set before the build starts
};

class CacherTest : public test::IndexerTest {
 protected:
  CacherTest() {
    cacher_.SetStatusSink(&progress_);
    cacher_.SetNotifySink(&notify_);
  }
  // Enough entries that the walk reports progress (every 1,000 items) several times.
  void MakeBigTree(int folders, int filesEach) {
    for (int f = 0; f < folders; ++f)
      for (int i = 0; i < filesEach; ++i)
        drive_.MakeFile("dir" + std::to_string(f) + "/file" + std::to_string(i) + ".txt", i);
  }
  // Starts a threaded build that pauses itself at its first progress text; true once paused.
  bool StartPaused() {
    os::Event paused{true, false};
    progress_.onProgress = [&] {
      cacher_.Pause();
      paused.Set();
    };
    return cacher_.StartBuild(drive_.Mask()) && paused.Wait(60000);
  }
  uint32_t DriveLink(char16_t letter) { return U32(kRootRecordsOffset + (letter - u'A') * 20 + 8); }

  CCacher cacher_{context_, state_};
  Status progress_;
};

TEST_F(CacherTest, TheWorkedExampleComesOutByteForByte) {
  // a.txt gets 2020-01-01 00:00:00 UTC (whole seconds: all MinGW can set); b keeps its own time, which
  // MinGW's standard library reads to the second only.
  const uint64_t time = 132223104000000000ull;
  drive_.MakeFile("a.txt", 10);
  drive_.MakeFolder("b");
  test::fs::path root(drive_.HostRoot());
  test::fs::last_write_time(root / "a.txt",
                            std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1577836800))));
  auto since = std::chrono::file_clock::to_sys(test::fs::last_write_time(root / "b")).time_since_epoch();
  const uint64_t bTime = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100) +
                         116444736000000000ull;  // 1601 to 1970 in 100 ns
  ASSERT_EQ(cacher_.BuildNow(drive_.Mask()), 0);
  std::vector<uint8_t> bytes = Bytes();
  // The words of the worked example, for drive T (its record at 516, link word at 524).
  for (auto [at, value] : std::vector<std::pair<uint32_t, uint32_t>>{
           {0, 1}, {4, kAllDrivesDone}, {100, 131128}, {104, 131128}, {128, NO_BLOCK}, {132, 526},
           {524, 131072}, {131072, 50}, {131090, 1}, {131108, 131122}, {131122, 6}})
    EXPECT_EQ(test::Word(bytes, at), value) << "at " << at;
  uint64_t cachedBTime = test::Word(bytes, 131112) | uint64_t(test::Word(bytes, 131116)) << 32;
  EXPECT_LT(cachedBTime - bTime, 10000000u) << "b's time";
  // Every other byte, the gap up to DataStart included, as a file made by hand.
  test::CacheImage expected(131128);
  expected.Block(131122, {});
  expected.Block(131072, {{u"a.txt", false, 1, uint32_t(time), uint32_t(time >> 32)},
                          {u"b", true, 131122, uint32_t(cachedBTime), uint32_t(cachedBTime >> 32)}});
  expected.SetDrive(drive_.Letter(), 131072);
  ASSERT_EQ(bytes.size(), expected.bytes.size());
  size_t differs = std::mismatch(bytes.begin(), bytes.end(), expected.bytes.begin()).first - bytes.begin();
  EXPECT_EQ(differs, bytes.size()) << "first difference at " << differs;
  EXPECT_EQ(cacher_.Items(), 28u);
  EXPECT_EQ(cacher_.TotalSizeKB(), 1u);
}

TEST_F(CacherTest, OnlyWalkableSelectedDrivesAreWalkedButEveryLetterIsDone) {
  ASSERT_EQ(cacher_.BuildNow(0), 0);
  EXPECT_EQ(Bytes(), test::CacheImage(kDataStart).bytes) << "26 drive records, all without a block";
  EXPECT_EQ(cacher_.Items(), 26u);
  EXPECT_EQ(state_.ReadState(u"CacheFileVersion", u""), u"1");
  EXPECT_EQ(state_.ReadState(u"CacheFileSize", u""), u"0");
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  EXPECT_EQ(progress_.Last(), u"[Caching is Finished] 26 items cached,  0s (0.0GB)");
  EXPECT_EQ(notify_.Items(), std::vector<uint32_t>{NotifyCacheBuilt});
#ifndef _WIN32  // drive types are the system's under wine
  test::TempDir cd, removable;
  cd.MakeFile("y.txt", 1);
  os::MapDrive(u'D', cd.HostPath(), os::DriveKind::Optical);
  os::MapDrive(u'E', removable.HostPath(), os::DriveKind::Removable);
  ASSERT_EQ(cacher_.BuildNow((1u << 3) | (1u << 4) | (1u << 5)), 0);  // D, E and absent F
  os::MapDrive(u'D', "");
  os::MapDrive(u'E', "");
  EXPECT_EQ(DriveLink(u'D'), NO_BLOCK) << "a CD-ROM is never walked";
  EXPECT_NE(DriveLink(u'E'), NO_BLOCK);
  EXPECT_EQ(DriveLink(u'F'), NO_BLOCK);
  EXPECT_EQ(U32(kDrivesDoneOffset), kAllDrivesDone);
#endif
}

TEST_F(CacherTest, AThreadedBuildWritesTheTreeInPreOrderReportsProgressAndRefusesASecondStart) {
  MakeBigTree(20, 60);
  drive_.MakeFile("zero.bin", 0);
  drive_.MakeFile("one-k.bin", 1024);
  drive_.MakeFile("Docs/old/2019/notes.txt", 1);
  drive_.MakeFolder("Docs/empty");
  drive_.MakeFile("music/Ünïcode ☃.mp3", 3 * 1048576);
  bool refused = false;
  progress_.onProgress = [&] { refused = !cacher_.StartBuild(drive_.Mask()); };
  ASSERT_TRUE(cacher_.StartBuild(drive_.Mask()));
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_TRUE(refused);
  EXPECT_EQ(notify_.Items(), std::vector<uint32_t>{NotifyCacheBuilt});
  ExpectCacheMatchesDisk();
  uint32_t kb = 0;
  for (const std::string& line : Disk()) kb += line.back() == '/' ? 0 : std::stoul(line.substr(line.find('|') + 1));
  EXPECT_EQ(cacher_.TotalSizeKB(), kb);
  std::u16string items = U16(std::to_string(26 + Disk().size()));
  EXPECT_EQ(progress_.Items().at(0).rfind(u"[Caching Drive T ] 1000 items cached,  ", 0), 0u);
  EXPECT_EQ(progress_.Last().rfind(u"[Caching is Finished] " + items + u" items cached,  ", 0), 0u);
  // Pre-order: a folder's block, then each subfolder's whole subtree in record order.
  test::CachedDrive cached = Cached();
  EXPECT_EQ(cached.preOrder.front(), kDataStart);
  EXPECT_TRUE(std::is_sorted(cached.preOrder.begin(), cached.preOrder.end()));
  EXPECT_EQ(U32(cached.blocks["Docs/empty"]), 6u) << "an empty folder's block";
  EXPECT_EQ(U32(kDataEndOffset), Bytes().size());
}

TEST_F(CacherTest, PauseHoldsTheWalkAndAStopEndsTheDriveBeingWalked) {
  MakeBigTree(20, 100);
  ASSERT_TRUE(StartPaused());
  EXPECT_FALSE(cacher_.WaitForBuild(300)) << "a paused build does not finish";
  cacher_.Resume();
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  ExpectCacheMatchesDisk();
  // A stop releases a paused build's wait: the thread has ended and notified before Stop returns.
  ASSERT_TRUE(StartPaused());
  cacher_.Stop();
  EXPECT_FALSE(cacher_.IsRunning());
  EXPECT_EQ(notify_.Items().size(), 2u);
  // A stop in the middle of a folder ends the drive being walked; the letters before it are done.
  progress_.onProgress = [&] { cacher_.RequestStop(); };
  ASSERT_TRUE(cacher_.StartBuild(drive_.Mask()));
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  uint32_t letter = drive_.Letter() - u'A';
  EXPECT_EQ(U32(kDrivesDoneOffset), (1u << letter) - 1) << "only the letters before";
  EXPECT_EQ(U32(kRootBlockOffset), 4 + (letter + 1) * 20 + 2) << "records up to the stopped letter";
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"FALSE");
  EXPECT_EQ(progress_.Last().rfind(u"[Caching is Finished] ", 0), 0u);
  test::CachedDrive cached = Cached();
  std::vector<std::string> disk = Disk();
  EXPECT_TRUE(cached.sound);
  EXPECT_LT(cached.lines.size(), disk.size()) << "partly walked";
  EXPECT_TRUE(std::includes(disk.begin(), disk.end(), cached.lines.begin(), cached.lines.end()));
}

// Folders listed ahead on several threads give the very file of a walk that lists each folder itself,
// on random trees of nested, empty and crowded folders.
TEST_F(CacherTest, FoldersListedAheadGiveTheOneThreadFile) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    const std::string parts[] = {"a", "B", "\xC3\xA9", "\xE2\x98\x83", "long-name-", "x.txt", "."};
    std::vector<std::string> folders = {""};
    for (int i = 0; i < 400; ++i) {
      std::string name = parts[rng() % 7] + parts[rng() % 6] + std::to_string(seed * 1000 + i);
      std::string& parent = folders[rng() % folders.size()];
      if (rng() % 4 == 0) folders.push_back((parent.empty() ? "" : parent + "/") + name), drive_.MakeFolder(folders.back());
      else drive_.MakeFile((parent.empty() ? "" : parent + "/") + name, rng() % 5000);
    }
    cacher_.SetListingThreads(0);
    ASSERT_EQ(cacher_.BuildNow(drive_.Mask()), 0);
    const std::vector<uint8_t> alone = Bytes();
    for (int threads : {1, 3}) {
      cacher_.SetListingThreads(threads);
      ASSERT_EQ(cacher_.BuildNow(drive_.Mask()), 0);
      EXPECT_EQ(Bytes(), alone) << "seed " << seed << ", " << threads << " threads";
    }
    ExpectCacheMatchesDisk();
  }
}

}  // namespace
}  // namespace lvx::indexer
