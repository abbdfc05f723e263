// Location refreshes against real trees, checked by reading the whole cached tree back afterwards.
// What a refresh leaves when an OS call fails is the fault sweep's (writer_sweep_test.cpp); what it
// leaves when the process ends at any moment is the crash test's below.
#include <functional>

#include "cache/defragmenter.h"
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
  const std::vector<uint32_t> freed = test::FreeList(Bytes());
  for (const char* renamed : {"work/old", "work/old/inner"})
    EXPECT_NE(std::find(freed.begin(), freed.end(), before[renamed]), freed.end()) << renamed;
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  EXPECT_TRUE(notify_.Items().empty()) << "a monitor request posts nothing";
  EXPECT_TRUE(status_.Items().empty()) << "and shows no progress";
}

TEST_F(RefresherTest, AFullRefreshRescansTheSubtreeAndFreesTheOldOne) {
  for (int d = 0; d < 4; ++d)
    for (int i = 0; i < 8; ++i)
      drive_.MakeFile("data/d" + std::to_string(d) + "/f" + std::to_string(i) + ".dat", 100);
  Build();
  drive_.MakeFile("data/d2/new.dat", 1);
  ASSERT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("data/")), 0);
  ExpectCacheMatchesDisk();
  // The old subtree stays linked until the new one is complete, then it is freed whole; the next
  // full refresh takes that space, and the file grows only by the block that outgrew its old place.
  EXPECT_EQ(test::FreeList(Bytes()).size(), 5u);
  uint32_t dataEnd = U32(cache::kDataEndOffset);
  ASSERT_EQ(refresher_.RefreshLocation(u"#" + drive_.Path("data/")), 0);
  ExpectCacheMatchesDisk();
  EXPECT_LE(U32(cache::kDataEndOffset), dataEnd + 300);
  EXPECT_EQ(notify_.Items(), (std::vector<uint32_t>{cache::NotifyRefreshDone, cache::NotifyRefreshDone}));
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
  for (std::u16string request : {drive_.Path("work/"), u"#" + drive_.Path("work/")}) {
    EXPECT_EQ(refresher_.RefreshLocation(request), -2);
    EXPECT_EQ(Cached().lines, before) << "no subfolder was dropped";
    EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
  }
  EXPECT_TRUE(notify_.Items().empty());
}

// A drive that cannot be read (unplugged, a network drive that is down) lists as empty. Drive Q,
// which is not there, is given the tree of the test drive: a refresh that cannot list its root, or
// a folder and that folder's parent, changes nothing and says why; so does a full disk, in the
// system's words. A folder gone from a parent that can be read is emptied.
TEST_F(RefresherTest, WhatCannotBeReadOrWrittenLeavesTheCacheAsItWas) {
  drive_.MakeFile("data/sub/x.txt", 1);
  drive_.MakeFile("data/y.txt", 1);
  Build();
  std::vector<uint8_t> image = Bytes();
  auto linkOf = [](char16_t letter) { return cache::kRootRecordsOffset + 20 * uint32_t(letter - u'A') + 8; };
  cache::StoreU32(&image[linkOf(u'Q')], test::Word(image, linkOf(drive_.Letter())));
  test::WriteImage(Beside(""), image);
  const std::u16string unreadable = u"Q:\\ cannot be read: ";
  const std::u16string diskFull =
      u"the cache file cannot grow: " + Trim(os::SystemErrorText(os::CodeOf(os::Error::DiskFull)));
  drive_.MakeFile("data/z.txt", 1);
  const struct {
    std::u16string request, failure;
    bool fullDisk = false;
  } kRows[] = {{u"#Q:\\", unreadable},
               {u"@Q:\\", unreadable},
               {u"Q:\\", unreadable},
               {u"#Q:\\data\\", u"Q:\\data\\ cannot be read: "},
               {u"Q:\\data\\sub\\", u"Q:\\data\\sub\\ cannot be read: "},
               {drive_.Path("data/"), diskFull, true}};
  for (const auto& row : kRows) {
    if (row.fullDisk) os::fault::FailNth(os::fault::Op::Map, 2, os::Error::DiskFull);  // the growth
    EXPECT_EQ(refresher_.RefreshLocation(row.request), -1) << U8(row.request);
    EXPECT_EQ(refresher_.FailureText().rfind(row.failure, 0), 0u) << U8(refresher_.FailureText());
    EXPECT_EQ(Bytes(), image) << U8(row.request);
  }
  EXPECT_TRUE(messages_.Contains(u"Not refreshed: " + unreadable)) << "a request of the user is answered";
  drive_.Remove("data/sub");
  ASSERT_EQ(refresher_.RefreshLocation(drive_.Path("data/sub/")), 0);
  std::vector<std::string> lines = Cached().lines;
  EXPECT_TRUE(std::count(lines.begin(), lines.end(), "data/sub/") && !std::count(lines.begin(), lines.end(), "data/sub/x.txt|1"));
}

// Ends a refresh at each OS call it makes, in a child process (what kill -9 would leave), and checks
// that the cache then holds the old tree or the new one, or says that it must be rebuilt, and that
// the repair (a rebuild, or a compaction of the space left unused) gives the file of a fresh build
// or exactly the compacted file of the refresh run to its end.
TEST_F(RefresherTest, AnEndAtAnyMomentLeavesTheOldTreeOrTheNew) {
#ifdef _WIN32
  GTEST_SKIP() << "no fork under wine: the native builds end the refresh";
#else
  for (int i = 0; i < 4; ++i) {
    drive_.MakeFile("work/old/inner/f" + std::to_string(i) + ".txt", 1);
    drive_.MakeFile("data/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".dat", 100);
  }
  drive_.MakeFile("work/keep/deep/x.bin", 5000);
  drive_.MakeFile("work/a.txt", 1);
  const struct {
    std::u16string request;
    std::function<void()> change;
  } kRows[] = {
      {u"#" + drive_.Path("data/"), [&] { drive_.MakeFile("data/d1/new.dat", 1), drive_.Remove("data/d0"); }},
      {drive_.Path("work/"), [&] { drive_.Rename("work/old", "work/new"), drive_.Remove("work/a.txt"), drive_.MakeFile("work/fresh/y.txt", 1); }},
      {u"@" + drive_.Root(), [&] { drive_.MakeFile("top.txt", 1), drive_.MakeFile("more/z.txt", 1); }}};
  for (const auto& row : kRows) {
    Build();
    const std::vector<uint8_t> old = Bytes();
    const std::vector<std::string> oldLines = Cached().lines;
    row.change();
    Build();
    const std::vector<uint8_t> fresh = Bytes();
    test::WriteImage(Beside(""), old);
    os::fault::Reset();
    ASSERT_EQ(refresher_.RefreshLocation(row.request), 0);
    int calls = 0;
    for (int k = 0; k < int(os::fault::Op::kCount); ++k) calls += os::fault::Calls(os::fault::Op(k));
    const std::vector<std::string> newLines = Cached().lines;
    ASSERT_EQ(newLines, Disk());
    ASSERT_EQ(cache::CacheDefragmenter().Defragment(cachePath_, state_), 0);
    const std::vector<uint8_t> refreshed = Bytes();
    int lastRepaired = -1;  // compaction reads only the tree: it is checked where the outcome changes
    for (int n = 1; n <= calls + 1; ++n) {
      SCOPED_TRACE(U8(row.request) + ", the end at OS call " + std::to_string(n) + " of " + std::to_string(calls));
      test::WriteImage(Beside(""), old);
      const int ended = test::EndAt(n, 86, [&] { return CLocationRefresher(context_).RefreshLocation(row.request); });
      EXPECT_EQ(ended, n <= calls ? 86 : 0);
      // Up to DataEnd only: a grown file is 32 MB longer, and nothing linked may lie beyond DataEnd.
      std::vector<uint8_t> left = *test::ReadImage(Beside(""));
      left.resize(std::min<uint32_t>(test::Word(left, cache::kDataEndOffset), uint32_t(left.size())));
      const std::vector<std::string> lines = test::ReadDrive(left, drive_.Letter()).lines;
      if (test::Word(left, cache::kDrivesBusyOffset) != 0) {
        Build();
        EXPECT_EQ(Bytes(), fresh);
        continue;
      }
      EXPECT_TRUE(lines == oldLines || lines == newLines) << "neither the old tree nor the new";
      if (std::exchange(lastRepaired, lines == oldLines) == (lines == oldLines)) continue;
      ASSERT_EQ(cache::CacheDefragmenter().Defragment(cachePath_, state_), 0);
      EXPECT_EQ(Bytes(), lines == oldLines ? old : refreshed);
    }
  }
#endif
}
}  // namespace
}  // namespace lvx::indexer
