// Full builds of real folder trees: the exact layout, what the header and state keys say afterwards,
// and the build thread's pause, resume and stop.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "cache/dump.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"
#include "tree_compare.h"

namespace lvx::indexer {
namespace {

using namespace cache;

class Notifications : public INotifySink {
 public:
  void Notify(uint32_t code, intptr_t lParam) override {
    std::lock_guard<std::mutex> hold(mutex);
    codes.push_back(code);
  }
  std::mutex mutex;
  std::vector<uint32_t> codes;
};

// Status texts, with an optional action run on the build thread at the first progress text.
class Status : public IStatusSink {
 public:
  void SetStatusText(const std::u16string& text) override {
    std::function<void()> action;
    {
      std::lock_guard<std::mutex> hold(mutex);
      texts.push_back(text);
      if (text.rfind(u"[Caching Drive", 0) == 0 && onProgress) action = std::exchange(onProgress, {});
    }
    if (action) action();
  }
  std::vector<std::u16string> Texts() {
    std::lock_guard<std::mutex> hold(mutex);
    return texts;
  }
  std::mutex mutex;
  std::vector<std::u16string> texts;
  std::function<void()> onProgress;
};

class CacherTest : public ::testing::Test {
 protected:
  CacherTest() {
    context_.SetPath(cacheDir_.Path() + u"lumivex.db");
    cacher_.SetStatusSink(&status_);
    cacher_.SetNotifySink(&notify_);
  }
  ~CacherTest() override { os::fault::Reset(); }

  CDBMapFile& OpenCache() {
    cache_.CloseMapFile(false);
    EXPECT_TRUE(cache_.OpenForReading(context_.Path()));
    return cache_;
  }
  uint32_t U32(uint32_t offset) {
    uint32_t v = 0xDEADBEEF;
    cache_.GetU32(offset, &v);
    return v;
  }
  uint32_t DriveLink(char16_t letter) {
    return U32(kRootRecordsOffset + (letter - u'A') * kDriveRecordLength + 8);
  }
  // Enough folders and files that the walk reports progress (every 1,000 items) several times.
  void MakeBigTree(const test::TestDrive& drive, int folders, int filesEach) {
    for (int f = 0; f < folders; ++f)
      for (int i = 0; i < filesEach; ++i)
        drive.MakeFile("dir" + std::to_string(f) + "/file" + std::to_string(i) + ".txt", i);
  }

  // Starts a threaded build that the build thread itself pauses at its first progress text; true
  // once it has paused.
  bool StartAndPauseAtFirstProgress(const test::TestDrive& drive) {
    status_.onProgress = [this] {
      cacher_.Pause();
      paused_.Set();
    };
    return cacher_.StartBuild(drive.Mask()) && paused_.Wait(60000);
  }

  test::TempDir cacheDir_;
  CacheContext context_;
  StateFile state_{StateFile::BesideCacheFile(cacheDir_.Path() + u"lumivex.db")};
  CCacher cacher_{context_, state_};
  Status status_;
  Notifications notify_;
  CDBMapFile cache_;
  test::RecordingMessages messages_;
  os::Event paused_{true, false};
};

TEST_F(CacherTest, TheWorkedExampleComesOutByteForByte) {
  test::TestDrive drive;
  drive.MakeFile("a.txt", 10);
  drive.MakeFolder("b");
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  std::vector<uint8_t> bytes = test::CacheImage::ReadFrom(context_.Path());
  ASSERT_EQ(bytes.size(), 131128u);
  auto u32 = [&](uint32_t at) { return LoadU32(&bytes[at]); };
  auto u16 = [&](uint32_t at) { return LoadU16(&bytes[at]); };
  EXPECT_EQ(u32(0), 1u);
  EXPECT_EQ(u32(4), 0xFFFFFFFFu);
  EXPECT_EQ(u32(8), 0u);
  EXPECT_EQ(u32(100), 131128u);
  EXPECT_EQ(u32(104), 131128u);
  EXPECT_EQ(u32(128), NO_BLOCK);
  EXPECT_EQ(u32(132), 526u);
  for (int i = 0; i < 26; ++i) {
    uint32_t rec = 136 + 20 * i;
    EXPECT_EQ(u16(rec), RECORD_FOLDER);
    EXPECT_EQ(u16(rec + 2), u'A' + i);
    EXPECT_EQ(u16(rec + 4), u':');
    EXPECT_EQ(u16(rec + 6), 0);
    EXPECT_EQ(u32(rec + 8), i == drive.Letter() - u'A' ? 131072u : NO_BLOCK) << char('A' + i);
  }
  EXPECT_EQ(u16(656), 0) << "root end mark";
  // The drive's block: a.txt then b, then b's empty block.
  EXPECT_EQ(u32(131072), 50u);
  EXPECT_EQ(u16(131076), RECORD_FILE);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(&bytes[131078]), 5), u"a.txt");
  EXPECT_EQ(u32(131090), 1u);
  EXPECT_EQ(u16(131102), RECORD_FOLDER);
  EXPECT_EQ(u16(131104), u'b');
  EXPECT_EQ(u32(131108), 131122u);
  EXPECT_EQ(u16(131120), 0);
  EXPECT_EQ(u32(131122), 6u);
  EXPECT_EQ(u16(131126), 0);
  for (uint32_t at = 660; at < 131072; ++at) ASSERT_EQ(bytes[at], 0) << "gap byte " << at;
  // The times are the last-write times the listing reports.
  os::FolderEntry data;
  os::FolderListing listing;
  ASSERT_TRUE(listing.Open(drive.Root()));
  while (listing.Next(&data) && std::u16string(data.name) != u"a.txt") {
  }
  ASSERT_EQ(std::u16string(data.name), u"a.txt");
  EXPECT_EQ(u32(131094), data.lastWriteTime.low);
  EXPECT_EQ(u32(131098), data.lastWriteTime.high);
  EXPECT_EQ(cacher_.Items(), 28u);
  EXPECT_EQ(cacher_.TotalSizeKB(), 1u);
}

TEST_F(CacherTest, NoDriveSelectedStillWritesAllDriveRecords) {
  ASSERT_EQ(cacher_.BuildNow(0), 0);
  CDBMapFile& file = OpenCache();
  EXPECT_EQ(file.GetMapSize(), kDataStart);
  EXPECT_EQ(U32(kDrivesDoneOffset), kAllDrivesDone);
  for (char16_t l = u'A'; l <= u'Z'; ++l) EXPECT_EQ(DriveLink(l), NO_BLOCK);
  EXPECT_EQ(cacher_.Items(), 26u);
  EXPECT_EQ(state_.ReadState(u"CacheFileVersion", u""), u"1");
  EXPECT_EQ(state_.ReadState(u"CacheFileSize", u""), u"0");
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  ASSERT_FALSE(status_.Texts().empty());
  EXPECT_EQ(status_.Texts().back(), u"[Caching is Finished] 26 items cached,  0s (0.0GB)");
  EXPECT_EQ(notify_.codes, std::vector<uint32_t>{NotifyCacheBuilt});
}

TEST_F(CacherTest, TheCacheHoldsTheWholeTreeInPreOrder) {
  test::TestDrive drive;
  drive.MakeFile("zero.bin", 0);
  drive.MakeFile("one-k.bin", 1024);
  drive.MakeFile("Docs/Report.DOC", 5000);
  drive.MakeFile("Docs/old/2019/notes.txt", 1);
  drive.MakeFolder("Docs/empty");
  drive.MakeFile("music/a.mp3", 3 * 1048576);
  drive.MakeFile("music/Ünïcode ☃.mp3", 7);
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  CDBMapFile& file = OpenCache();
  EXPECT_EQ(test::CachedTree(file, drive.Letter()), test::DiskTree(drive.Root()));
  EXPECT_EQ(cacher_.TotalSizeKB(), 0u + 2 + 5 + 1 + 3073 + 1);
  EXPECT_EQ(cacher_.Items(), 26u + 11);
  // Pre-order: every folder's block lies after its parent's and before its later siblings' subtrees.
  uint32_t docs = 0, old = 0, y2019 = 0, music = 0, root = DriveLink(drive.Letter());
  ASSERT_NE(file.FindPath(kRootBlockOffset, drive.Path("Docs").c_str(), &docs, nullptr), NO_BLOCK);
  file.FindPath(kRootBlockOffset, drive.Path("Docs/old").c_str(), &old, nullptr);
  file.FindPath(kRootBlockOffset, drive.Path("Docs/old/2019").c_str(), &y2019, nullptr);
  file.FindPath(kRootBlockOffset, drive.Path("music").c_str(), &music, nullptr);
  EXPECT_EQ(root, kDataStart);
  EXPECT_LT(root, docs);
  EXPECT_LT(docs, old);
  EXPECT_LT(old, y2019);
  EXPECT_LT(y2019, music);
  EXPECT_TRUE(DumpCache(file, nullptr).ok);
  EXPECT_EQ(U32(kDataEndOffset), file.GetMapSize());
}

TEST_F(CacherTest, OnlyWalkableDrivesAreWalkedButEveryLetterIsDone) {
#ifdef _WIN32
  GTEST_SKIP() << "drive types are the system's under wine";
#else
  test::TempDir cd, fixed;
  fixed.MakeFile("x.txt", 1);
  cd.MakeFile("y.txt", 1);
  os::MapDrive(u'D', cd.HostPath(), os::DriveKind::Optical);
  os::MapDrive(u'E', fixed.HostPath(), os::DriveKind::Removable);
  ASSERT_EQ(cacher_.BuildNow((1u << 3) | (1u << 4) | (1u << 5)), 0);  // D, E and absent F
  os::MapDrive(u'D', "");
  os::MapDrive(u'E', "");
  OpenCache();
  EXPECT_EQ(DriveLink(u'D'), NO_BLOCK) << "a CD-ROM is never walked";
  EXPECT_NE(DriveLink(u'E'), NO_BLOCK);
  EXPECT_EQ(DriveLink(u'F'), NO_BLOCK);
  EXPECT_EQ(U32(kDrivesDoneOffset), kAllDrivesDone);
#endif
}

TEST_F(CacherTest, AnEmptyRootGetsASixByteBlock) {
  test::TestDrive drive;
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  OpenCache();
  EXPECT_EQ(DriveLink(drive.Letter()), kDataStart);
  EXPECT_EQ(U32(kDataStart), 6u);
  EXPECT_EQ(cache_.GetMapSize(), kDataStart + 6);
}

TEST_F(CacherTest, AFolderThatCannotBeListedGetsAnEmptyBlockAndTheWalkGoesOn) {
  test::TestDrive drive;
  drive.MakeFile("a/1.txt", 1);
  drive.MakeFile("z/1.txt", 1);
  drive.MakeFile("z/2.txt", 1);
  os::fault::Reset();
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  int calls = os::fault::Calls(os::fault::Op::List);
  // The last folder walked is z: its listing is the open, ".", "..", 1.txt, 2.txt and the end, so
  // its open is the sixth call from the last.
  os::fault::Reset();
  os::fault::FailNth(os::fault::Op::List, calls - 5, os::Error::AccessDenied);
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  CDBMapFile& file = OpenCache();
  uint32_t z = 0, a = 0;
  ASSERT_NE(file.FindPath(kRootBlockOffset, drive.Path("z").c_str(), &z, nullptr), NO_BLOCK);
  ASSERT_NE(file.FindPath(kRootBlockOffset, drive.Path("a").c_str(), &a, nullptr), NO_BLOCK);
  EXPECT_EQ(U32(z), 6u) << "z could not be listed: an empty block";
  EXPECT_GT(U32(a), 6u);
  EXPECT_EQ(U32(kDrivesDoneOffset), kAllDrivesDone);
}

TEST_F(CacherTest, AScratchFileThatCannotBeOpenedChangesNothing) {
  test::TestDrive drive;
  drive.MakeFile("a.txt", 1);
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  std::vector<uint8_t> before = test::CacheImage::ReadFrom(context_.Path());
  os::fault::FailNth(os::fault::Op::Open, 1, os::Error::AccessDenied);
  drive.MakeFile("b.txt", 1);
  EXPECT_EQ(cacher_.BuildNow(drive.Mask()), -1);
  EXPECT_TRUE(messages_.Contains(u" In CDBMapFile::OpenMapFile - 000"));
  EXPECT_EQ(test::CacheImage::ReadFrom(context_.Path()), before);
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  EXPECT_EQ(notify_.codes.size(), 2u);
}

TEST_F(CacherTest, AScratchFileThatCannotGrowEndsTheBuildAndLeavesTheCacheAlone) {
  test::TestDrive drive;
  MakeBigTree(drive, 4, 30);
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  std::vector<uint8_t> before = test::CacheImage::ReadFrom(context_.Path());
  drive.MakeFile("another.txt", 1);
  // Growth is due after a few records; the scratch file's second mapping (its growth) fails.
  cacher_.SetScratchMappingSize(kDataStart + 16777216 + 256);
  os::fault::FailNth(os::fault::Op::Map, 2, os::Error::DiskFull);
  EXPECT_EQ(cacher_.BuildNow(drive.Mask()), -1);
  os::fault::Reset();
  EXPECT_EQ(test::CacheImage::ReadFrom(context_.Path()), before) << "the old cache survives";
  size_t reports = 0;
  for (const auto& text : messages_.Texts())
    if (text.find(u"CheckMapFileSize - 001") != std::u16string::npos) ++reports;
  EXPECT_EQ(reports, 1u) << "reported once, not once per folder";
  // With room to grow, the same small start builds the whole tree through several growths.
  ASSERT_EQ(cacher_.BuildNow(drive.Mask()), 0);
  EXPECT_EQ(test::CachedTree(OpenCache(), drive.Letter()), test::DiskTree(drive.Root()));
}

TEST_F(CacherTest, ThreadedBuildNotifiesOnceAndRefusesASecondStart) {
  test::TestDrive drive;
  MakeBigTree(drive, 20, 60);
  std::atomic<bool> refused{false};
  status_.onProgress = [&] { refused = !cacher_.StartBuild(drive.Mask()); };
  ASSERT_TRUE(cacher_.StartBuild(drive.Mask()));
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_TRUE(refused);
  EXPECT_EQ(notify_.codes, std::vector<uint32_t>{NotifyCacheBuilt});
  EXPECT_EQ(test::CachedTree(OpenCache(), drive.Letter()), test::DiskTree(drive.Root()));
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  auto texts = status_.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind(u"[Caching Drive T ] 1000 items cached,  ", 0), 0u);
  EXPECT_EQ(texts.back().rfind(u"[Caching is Finished] 1246 items cached,  ", 0), 0u);
}

TEST_F(CacherTest, StopEndsTheDriveBeingWalkedAndKeepsTheLettersBefore) {
  test::TestDrive drive;
  MakeBigTree(drive, 20, 100);
  status_.onProgress = [&] { cacher_.RequestStop(); };
  ASSERT_TRUE(cacher_.StartBuild(drive.Mask()));
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  CDBMapFile& file = OpenCache();
  uint32_t letter = drive.Letter() - u'A';
  EXPECT_EQ(U32(kDrivesDoneOffset), (1u << letter) - 1) << "only the letters before";
  EXPECT_EQ(U32(kRootBlockOffset), 4 + (letter + 1) * kDriveRecordLength + 2)
      << "records up to the stopped letter";
  EXPECT_EQ(state_.ReadState(u"UpdateCacheExit", u""), u"FALSE");
  EXPECT_EQ(notify_.codes, std::vector<uint32_t>{NotifyCacheBuilt});
  std::vector<std::string> cached = test::CachedTree(file, drive.Letter());
  EXPECT_FALSE(cached.empty());
  EXPECT_LT(cached.size(), test::DiskTree(drive.Root()).size()) << "partly walked";
  EXPECT_TRUE(DumpCache(file, nullptr).ok);
  EXPECT_EQ(status_.Texts().back().rfind(u"[Caching is Finished] ", 0), 0u);
}

TEST_F(CacherTest, StopWhilePausedReleasesTheWait) {
  test::TestDrive drive;
  MakeBigTree(drive, 20, 100);
  ASSERT_TRUE(StartAndPauseAtFirstProgress(drive));
  cacher_.Stop();
  EXPECT_FALSE(cacher_.IsRunning());
  // The thread ended before Stop returned: its final copy and notification are there.
  EXPECT_EQ(notify_.codes, std::vector<uint32_t>{NotifyCacheBuilt});
  OpenCache();
  EXPECT_NE(U32(kRootBlockOffset), 0u);
}

TEST_F(CacherTest, PauseHoldsTheWalkUntilResume) {
  test::TestDrive drive;
  MakeBigTree(drive, 20, 100);
  ASSERT_TRUE(StartAndPauseAtFirstProgress(drive));
  EXPECT_FALSE(cacher_.WaitForBuild(300)) << "a paused build does not finish";
  cacher_.Resume();
  ASSERT_TRUE(cacher_.WaitForBuild(60000));
  EXPECT_EQ(test::CachedTree(OpenCache(), drive.Letter()), test::DiskTree(drive.Root()));
  EXPECT_EQ(U32(kDrivesDoneOffset), kAllDrivesDone);
}

}  // namespace
}  // namespace lvx::indexer
