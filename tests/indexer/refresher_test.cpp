// Location refreshes against real trees, checked by reading the whole cached tree back afterwards.
// What a refresh leaves when an OS call fails is the fault sweep's (writer_sweep_test.cpp).
#include <random>

#include "indexer/location_refresher.h"
#include "indexer_fixture.h"

namespace lvx::indexer {
namespace {

using cache::NO_BLOCK;

class RefresherTest : public test::IndexerTest {
 protected:
  RefresherTest() {
    refresher_.SetStatusSink(&status_);
    refresher_.SetNotifySink(&notify_);
  }
  bool Freed(uint32_t block) const {
    std::vector<uint32_t> list = test::FreeList(Bytes());
    return std::find(list.begin(), list.end(), block) != list.end();
  }
  CLocationRefresher refresher_{context_};
};

TEST_F(RefresherTest, AChangedFolderKeepsTheBlocksOfItsSubfoldersAndFreesThoseThatWent) {
  drive_.MakeFile("work/a.txt", 10);
  drive_.MakeFile("work/keep/deep/x.bin", 5000);
  drive_.MakeFile("work/other/y.bin", 1);
  for (int i = 0; i < 5; ++i) drive_.MakeFile("work/old/inner/file" + std::to_string(i) + ".txt", 1);
  drive_.MakeFile("work/old/a-file-with-a-longer-name.txt", 1);
  Build();
  std::map<std::string, uint32_t> before = Cached().blocks;
  drive_.MakeFile("work/b.txt", 2048);
  drive_.Remove("work/a.txt");
  drive_.Rename("work/old", "work/new");
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("work/")), 0);
  ExpectCacheMatchesDisk();
  for (const char* kept : {"work/keep", "work/keep/deep", "work/other"})
    EXPECT_EQ(Cached().blocks.at(kept), before[kept]) << kept;
  EXPECT_TRUE(Freed(before["work/old"]) && Freed(before["work/old/inner"])) << "the renamed tree";
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  EXPECT_TRUE(notify_.Items().empty()) << "a monitor request posts nothing";
  EXPECT_TRUE(status_.Items().empty()) << "and shows no progress";
}

TEST_F(RefresherTest, AFullRefreshRescansTheSubtreeIntoTheFreedSpace) {
  for (int d = 0; d < 4; ++d)
    for (int i = 0; i < 8; ++i)
      drive_.MakeFile("data/d" + std::to_string(d) + "/f" + std::to_string(i) + ".dat", 100);
  Build();
  uint32_t dataEnd = U32(cache::kDataEndOffset);
  drive_.MakeFile("data/d2/new.dat", 1);
  ASSERT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("data/")), 0);
  ExpectCacheMatchesDisk();
  // Freed before the scan, the subtree's space takes the new blocks: the file grows only by the
  // one larger block, never by a second copy of the subtree.
  EXPECT_LE(U32(cache::kDataEndOffset), dataEnd + 300);
  EXPECT_LE(test::FreeList(Bytes()).size(), 1u) << "only the old block of the folder that grew";
  EXPECT_EQ(notify_.Items(), std::vector<uint32_t>{cache::NotifyRefreshDone});
  std::vector<std::u16string> texts = status_.Items();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts.front(), u"[Refreshing Location " + drive_.Path("data/") + u"* ] 0 items cached , 0s ");
  EXPECT_EQ(texts.back().rfind(u"[Refreshing Location " + drive_.Path("data/") + u" Finished] 47 items cached , ", 0), 0u)
      << "every entry of the subtree, '.' and '..' included";
}

TEST_F(RefresherTest, OnlyFoldersInTheCacheAreRefreshedAndAnAtRequestBringsInADrive) {
  drive_.MakeFile("a/x.txt", 1);
  CCacher cacher(context_, state_);
  ASSERT_EQ(cacher.BuildNow(0), 0);  // no drive cached
  std::vector<uint8_t> before = Bytes();
  for (std::u16string request : {u"#" + drive_.Path("a/"), drive_.Path("a/x.txt\\"), std::u16string(u"@Q:\\nowhere\\"),
                                 std::u16string(), std::u16string(u"#"), std::u16string(u"@")})
    EXPECT_EQ(refresher_.RefreshLocation(request), -1) << U8(request);
  EXPECT_EQ(Bytes(), before);
  EXPECT_TRUE(notify_.Items().empty());
  ASSERT_EQ(refresher_.RefreshLocation(u"@" + drive_.Root()), 0);
  ExpectCacheMatchesDisk();
  EXPECT_EQ(notify_.Items(), std::vector<uint32_t>{cache::NotifyRefreshDone});
  EXPECT_FALSE(status_.Items().empty());
  // A folder new to its cached parent is not found; the parent's refresh brings it in whole.
  drive_.MakeFile("a/new/inside.txt", 1);
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Path("a/new/")), -1);
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("a")), 0) << "without its backslash too";
  ExpectCacheMatchesDisk();
}

TEST_F(RefresherTest, AStoppedRefreshLeavesTheFolderAsItWas) {
  for (int i = 0; i < 6; ++i) drive_.MakeFile("work/sub" + std::to_string(i) + "/x.txt", 1);
  Build();
  std::vector<std::string> before = Cached().lines;
  drive_.MakeFile("work/new/inside.txt", 1);
  refresher_.RequestDrainStop();  // no thread: only the stop flag
  EXPECT_EQ(refresher_.RefreshLocation(drive_.Path("work/")), -2);
  EXPECT_EQ(Cached().lines, before) << "no subfolder was dropped";
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  // A stopped '#' refresh has freed the old tree already: the drive is marked for a rebuild.
  EXPECT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("work/")), -2);
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), drive_.Mask());
  EXPECT_TRUE(notify_.Items().empty());
}

// Random changes, each followed by the refresh of the folder that holds it (as the monitor would
// ask, now and then as a '#' request): the cache must always equal the disk.
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
      case 1:
        folders.push_back(folder + "n" + std::to_string(step) + "/");
        drive_.MakeFile(folders.back() + "inside.txt", 1);
        break;
      default:
        if (folder.empty()) break;
        drive_.Remove(folder);
        folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
    }
    std::u16string request = folder.empty() ? drive_.Root() : drive_.Path(folder);
    ASSERT_EQ(refresher_.RefreshLocation((step % 10 == 9 ? u"#" : u"") + request), 0) << step;
    if (step % 20 == 19) ExpectCacheMatchesDisk();
  }
  ExpectCacheMatchesDisk();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
}

}  // namespace
}  // namespace lvx::indexer
