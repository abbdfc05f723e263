// Location refreshes against real trees, checked by reading the whole cached tree back afterwards.
#include <algorithm>
#include <random>

#include "cache/dump.h"
#include "indexer/location_refresher.h"
#include "indexer_fixture.h"
#include "support/cache_image.h"
#include "tree_compare.h"

namespace lvx::indexer {
namespace {

using cache::NO_BLOCK;

class RefresherTest : public test::IndexerTest {
 protected:
  RefresherTest() {
    refresher_.SetStatusSink(&status_);
    refresher_.SetNotifySink(&notify_);
  }
  void ExpectCacheMatchesDisk() {
    EXPECT_EQ(test::CachedTree(Cache(), drive_.Letter()), test::DiskTree(drive_.Root()));
    EXPECT_TRUE(cache::DumpCache(Cache(), nullptr).ok);
    CloseCache();
  }
  CLocationRefresher refresher_{context_};
};

TEST_F(RefresherTest, AChangedFolderIsRelistedAndItsUnchangedSubfoldersKeepTheirBlocks) {
  drive_.MakeFile("work/a.txt", 10);
  drive_.MakeFile("work/keep/deep/x.bin", 5000);
  drive_.MakeFile("work/other/y.bin", 1);
  Build();
  uint32_t keep = BlockOf("work/keep"), deep = BlockOf("work/keep/deep"), other = BlockOf("work/other");
  drive_.MakeFile("work/b.txt", 2048);
  drive_.Remove("work/a.txt");
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("work/")), 0);
  ExpectCacheMatchesDisk();
  EXPECT_EQ(BlockOf("work/keep"), keep);
  EXPECT_EQ(BlockOf("work/keep/deep"), deep);
  EXPECT_EQ(BlockOf("work/other"), other);
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  EXPECT_TRUE(notify_.Codes().empty()) << "a monitor request posts nothing";
  EXPECT_TRUE(status_.Texts().empty()) << "and shows no progress";
}

TEST_F(RefresherTest, ARenamedSubfolderIsFreedWithItsTreeAndScannedUnderItsNewName) {
  for (int i = 0; i < 5; ++i) drive_.MakeFile("old/inner/file" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("old/top-level-file-with-a-longer-name.txt", 1);
  drive_.MakeFile("a-root-file-so-that-the-root-block-is-freed-when-replaced.txt", 1);
  Build();
  uint32_t oldBlock = BlockOf("old"), inner = BlockOf("old/inner");
  ASSERT_GT(U32(oldBlock), 50u);
  ASSERT_GT(U32(inner), 50u);
  drive_.Rename("old", "new");
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Root()), 0);
  ExpectCacheMatchesDisk();
  std::vector<uint32_t> freed = FreeList();
  EXPECT_NE(std::find(freed.begin(), freed.end(), oldBlock), freed.end());
  EXPECT_NE(std::find(freed.begin(), freed.end(), inner), freed.end());
  EXPECT_EQ(BlockOf("old"), NO_BLOCK);
}

TEST_F(RefresherTest, AFullRefreshRescansTheSubtreeAndReusesTheFreedSpace) {
  for (int d = 0; d < 4; ++d)
    for (int i = 0; i < 8; ++i)
      drive_.MakeFile("data/d" + std::to_string(d) + "/f" + std::to_string(i) + ".dat", 100);
  Build();
  uint32_t dataEnd = U32(cache::kDataEndOffset);
  drive_.MakeFile("data/d2/new.dat", 1);
  ASSERT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("data/")), 0);
  ExpectCacheMatchesDisk();
  // The subtree was freed before the scan, so its new blocks fit into the old space: the file grows
  // only by what the one larger block needs, never by a second copy of the subtree.
  EXPECT_LE(U32(cache::kDataEndOffset), dataEnd + 300);
  EXPECT_LE(FreeList().size(), 1u) << "only the old block of the folder that grew stays free";
  EXPECT_EQ(notify_.Codes(), std::vector<uint32_t>{cache::NotifyRefreshDone});
  auto texts = status_.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts.front(), u"[Refreshing Location " + drive_.Path("data/") +
                               u"* ] 0 items cached , 0s ");
  EXPECT_EQ(texts.back().rfind(u"[Refreshing Location " + drive_.Path("data/") +
                                   u" Finished] 47 items cached , ",
                               0),
            0u)
      << "every entry of the subtree, '.' and '..' included";
}

TEST_F(RefresherTest, AnAtRequestForANeverCachedDriveScansTheWholeDrive) {
  drive_.MakeFile("a/b/c.txt", 1);
  drive_.MakeFile("z.txt", 1);
  {
    CCacher cacher(context_, state_);
    ASSERT_EQ(cacher.BuildNow(0), 0);  // no drive cached
  }
  ASSERT_EQ(U32(cache::kRootRecordsOffset + (drive_.Letter() - u'A') * 20 + 8), NO_BLOCK);
  ASSERT_EQ(refresher_.RefreshLocation(u"@" + drive_.Root()), 0);
  ExpectCacheMatchesDisk();
  EXPECT_NE(BlockOf(""), NO_BLOCK);
  EXPECT_EQ(notify_.Codes(), std::vector<uint32_t>{cache::NotifyRefreshDone});
  EXPECT_FALSE(status_.Texts().empty());
}

TEST_F(RefresherTest, ALocationNotInTheCacheChangesNothing) {
  drive_.MakeFile("a/x.txt", 1);
  Build();
  std::vector<uint8_t> before = test::CacheImage::ReadFrom(cachePath_);
  drive_.MakeFile("a/new/inside.txt", 1);
  EXPECT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("a/new/")), -1);
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Path("a/x.txt\\")), -1) << "a file is not a folder";
  EXPECT_EQ(refresher_.RefreshLocation(u"@Q:\\nowhere\\"), -1);
  EXPECT_EQ(refresher_.RefreshLocation(u""), -1);
  EXPECT_EQ(test::CacheImage::ReadFrom(cachePath_), before);
  EXPECT_TRUE(notify_.Codes().empty());
  // The parent's refresh brings the new folder in with its whole contents.
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("a/")), 0);
  ExpectCacheMatchesDisk();
}

TEST_F(RefresherTest, AFolderThatCannotBeListedGetsAnEmptyBlockAndLosesItsSubfolders) {
  for (int i = 0; i < 4; ++i) drive_.MakeFile("locked/sub/file" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("locked/a-file-with-a-long-enough-name.txt", 1);
  Build();
  uint32_t sub = BlockOf("locked/sub");
  os::fault::FailNth(os::fault::Op::List, 1, os::kErrorAccessDenied);
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("locked/")), 0);
  uint32_t locked = BlockOf("locked");
  cache::CDBMapFile& file = Cache();
  uint32_t capacity = 0;
  file.GetU32(locked, &capacity);
  EXPECT_GT(capacity, 50u) << "rewritten in place";
  cache::BlockCursor cursor(file, locked);
  cache::Record record;
  EXPECT_FALSE(cursor.Next(&record)) << "no entries";
  CloseCache();
  std::vector<uint32_t> freed = FreeList();
  EXPECT_NE(std::find(freed.begin(), freed.end(), sub), freed.end());
}

TEST_F(RefresherTest, AStoppedRefreshLeavesTheFolderAsItWas) {
  for (int i = 0; i < 6; ++i) drive_.MakeFile("work/sub" + std::to_string(i) + "/x.txt", 1);
  Build();
  std::vector<std::string> before = test::CachedTree(Cache(), drive_.Letter());
  CloseCache();
  drive_.MakeFile("work/new/inside.txt", 1);
  refresher_.RequestDrainStop();  // no thread: only the stop flag
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Path("work/")), -2);
  EXPECT_EQ(test::CachedTree(Cache(), drive_.Letter()), before) << "no subfolder was dropped";
  CloseCache();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  // A stopped '#' refresh has freed the old tree already: the drive is marked for a rebuild.
  EXPECT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("work/")), -2);
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), drive_.Mask());
  EXPECT_TRUE(notify_.Codes().empty());
}

TEST_F(RefresherTest, ADrainStoppedBeforeItsRefreshQueuesTheLocationAgain) {
  drive_.MakeFolder("work");
  Build();
  std::u16string work = drive_.Path("work/");
  refresher_.EnqueueLocation(work);
  refresher_.StartDrain();
  os::Sleep(50);  // the drain has taken the location and waits 150 ms for repeats
  std::unique_ptr<os::Thread> thread = refresher_.RequestDrainStop();
  ASSERT_TRUE(thread->Join(15000));
  EXPECT_EQ(refresher_.QueuedLocations(), std::vector<std::u16string>{work});
  EXPECT_EQ(refresher_.RefreshCount(), 0u);
}

TEST_F(RefresherTest, AFileThatCannotGrowKeepsTheOldBlockAndItsSubfolders) {
  for (int i = 0; i < 3; ++i) drive_.MakeFile("work/keep" + std::to_string(i) + "/x.txt", 1);
  Build();
  std::vector<std::string> before = test::CachedTree(Cache(), drive_.Letter());
  CloseCache();
  for (int i = 0; i < 30; ++i) drive_.MakeFile("work/more" + std::to_string(i) + ".txt", 1);
  // The grown block must be appended; the file's growth (its second mapping) fails.
  os::fault::FailNth(os::fault::Op::Map, 2, os::kErrorDiskFull);
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Path("work")), -1);
  os::fault::Reset();
  EXPECT_EQ(test::CachedTree(Cache(), drive_.Letter()), before) << "taken-over folders given back";
  CloseCache();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), drive_.Mask()) << "the next start offers a rebuild";
  // Without the failure the same request (no trailing backslash) succeeds.
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("work")), 0);
  ExpectCacheMatchesDisk();
}

TEST_F(RefresherTest, ACacheFileThatCannotBeOpenedIsReported) {
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Root()), -1);
  EXPECT_TRUE(messages_.Contains(u" In CDBMapFile::OpenMapFile - 000"));
}

// Random changes, each followed by the refresh of the folder that holds it (as the monitor would
// ask): the cache must always equal the disk, and the heap must stay sound.
TEST_F(RefresherTest, RandomChangesAndRefreshesKeepTheCacheEqualToTheDisk) {
  std::mt19937 random(7);
  std::vector<std::string> folders{""};
  for (int i = 0; i < 12; ++i) {
    std::string folder = folders[random() % folders.size()] + "f" + std::to_string(i) + "/";
    drive_.MakeFolder(folder);
    folders.push_back(folder);
  }
  Build();
  for (int step = 0; step < 60; ++step) {
    std::string folder = folders[random() % folders.size()];
    if (!folder.empty() && !drive_.Exists(folder)) continue;
    switch (random() % 3) {
      case 0:
        drive_.MakeFile(folder + "file" + std::to_string(step) + ".txt", random() % 5000);
        break;
      case 1: {
        std::string sub = folder + "n" + std::to_string(step) + "/";
        drive_.MakeFile(sub + "inside.txt", 1);
        folders.push_back(sub);
        break;
      }
      default:
        if (!folder.empty()) {
          drive_.Remove(folder);
          folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
        }
        break;
    }
    std::u16string request = folder.empty() ? drive_.Root() : drive_.Path(folder);
    if (step % 10 == 9) request = u"#" + request;
    ASSERT_EQ(refresher_.RefreshLocation(request), 0) << step;
  }
  ExpectCacheMatchesDisk();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
}

}  // namespace
}  // namespace lvx::indexer
