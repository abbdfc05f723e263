// Folder listing on every backend: the facts of each entry, masks, drive paths, the ends of a
// listing and its failures, and the fault seam.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::os {
namespace {

// Every entry of a listing, in the order given; empty when the listing fails.
std::vector<FindData> List(const String& pattern) {
  std::vector<FindData> out;
  FindData d;
  FindHandle h = FindFirstFile(pattern, &d);
  if (!h.IsValid()) return out;
  do out.push_back(d);
  while (FindNextFile(h, &d));
  EXPECT_EQ(LastError(), kErrorNoMoreFiles);
  EXPECT_FALSE(FindNextFile(h, &d));  // the end stays the end
  EXPECT_EQ(LastError(), kErrorNoMoreFiles);
  FindClose(h);
  return out;
}

std::map<String, FindData> ByName(const std::vector<FindData>& entries) {
  std::map<String, FindData> out;
  for (const FindData& d : entries) out[d.name] = d;
  return out;
}

uint64_t SizeOf(const FindData& d) { return (uint64_t(d.sizeHigh) << 32) | d.sizeLow; }

class DirTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  test::TempDir dir_;
};

TEST_F(DirTest, EntriesCarryKindSizeAndTime) {
  dir_.MakeFile("small.txt", 1234);
  dir_.MakeFile("big.bin", 5000000000ull);  // sparse; the size needs the high word
  dir_.MakeFile("zero", 0);
  dir_.MakeFolder("Sub Folder");
  dir_.MakeFile("Sub Folder/inside", 1);
  std::vector<FindData> entries = List(dir_.Path() + u"*");
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(String(entries[0].name), u".");
  EXPECT_EQ(String(entries[1].name), u"..");
  EXPECT_TRUE(entries[0].IsDirectory());
  EXPECT_TRUE(entries[1].IsDirectory());

  auto byName = ByName(entries);
  EXPECT_TRUE(byName[u"Sub Folder"].IsDirectory());
  EXPECT_EQ(SizeOf(byName[u"Sub Folder"]), 0u);  // folders have no size
  EXPECT_FALSE(byName[u"small.txt"].IsDirectory());
  EXPECT_EQ(SizeOf(byName[u"small.txt"]), 1234u);
  EXPECT_EQ(SizeOf(byName[u"big.bin"]), 5000000000ull);
  EXPECT_EQ(SizeOf(byName[u"zero"]), 0u);

  // Write times are FILETIMEs: 100 ns units since 1601, so a file made now lies well past 2020
  // (132223104000000000) and before 2100.
  for (const char16_t* name : {u"small.txt", u"zero", u"Sub Folder"}) {
    uint64_t t = byName[name].lastWriteTime.Value();
    EXPECT_GT(t, 132223104000000000ull);
    EXPECT_LT(t, 157469184000000000ull);
  }

  // The subfolder lists through a path that ends in the engine's separator.
  std::vector<FindData> sub = List(dir_.Child("Sub Folder/") + u"*");
  ASSERT_EQ(sub.size(), 3u);
  EXPECT_EQ(String(sub[2].name), u"inside");
}

TEST_F(DirTest, MasksAndSingleNamesSelectEntries) {
  for (const char* name : {"a.txt", "B.TXT", "c.ini", "txt", "d.txt.bak"}) dir_.MakeFile(name, 1);
  auto txt = ByName(List(dir_.Path() + u"*.txt"));
  EXPECT_EQ(txt.size(), 2u);
  EXPECT_TRUE(txt.count(u"a.txt"));
  EXPECT_TRUE(txt.count(u"B.TXT"));  // letters match without regard to case
  EXPECT_EQ(List(dir_.Path() + u"?.ini").size(), 1u);
  EXPECT_EQ(List(dir_.Path() + u"*.*").size(), 7u);  // everything, dots included

  std::vector<FindData> one = List(dir_.Path() + u"c.ini");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(String(one[0].name), u"c.ini");

  FindData d;
  EXPECT_FALSE(FindFirstFile(dir_.Path() + u"*.none", &d).IsValid());
  EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST_F(DirTest, MissingFoldersAndEndsOfListings) {
  FindData d;
  FindHandle h = FindFirstFile(dir_.Child("not here/") + u"*", &d);
  EXPECT_FALSE(h.IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  FindClose(h);  // closing an invalid handle is harmless
  EXPECT_FALSE(FindNextFile(h, &d));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);

  // A file is no folder to list.
  dir_.MakeFile("plain", 1);
  EXPECT_FALSE(FindFirstFile(dir_.Child("plain/") + u"*", &d).IsValid());
  EXPECT_NE(LastError(), kErrorSuccess);

  dir_.MakeFolder("empty");
  std::vector<FindData> entries = List(dir_.Child("empty/") + u"*");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(String(entries[0].name), u".");
  EXPECT_EQ(String(entries[1].name), u"..");
}

TEST_F(DirTest, ListingsCanBeOpenAtOnceAndReused) {
  // A walk keeps its parent's listing open while it lists a child, and child listings come and
  // go: the entries of each stay its own.
  for (int i = 0; i < 300; ++i) dir_.MakeFile("big/f" + std::to_string(i), uint64_t(i));
  dir_.MakeFile("small/only", 7);
  FindData big, small;
  FindHandle hb = FindFirstFile(dir_.Child("big/") + u"*", &big);
  ASSERT_TRUE(hb.IsValid());
  std::map<String, uint64_t> seen;
  int steps = 0;
  do {
    if (!big.IsDirectory()) seen[big.name] = SizeOf(big);
    if (++steps % 50 == 0) {
      FindHandle hs = FindFirstFile(dir_.Child("small/") + u"*", &small);
      ASSERT_TRUE(hs.IsValid());
      int n = 1;
      while (FindNextFile(hs, &small)) ++n;
      EXPECT_EQ(n, 3);
      EXPECT_EQ(String(small.name), u"only");
      FindClose(hs);
    }
  } while (FindNextFile(hb, &big));
  FindClose(hb);
  ASSERT_EQ(seen.size(), 300u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(seen[U16("f" + std::to_string(i))], uint64_t(i));
}

TEST(DirDrive, DrivePathsListTheDrivesFolders) {
  test::TestDrive drive;
  drive.MakeFile("top.txt", 10);
  drive.MakeFile("Folder/inner.txt", 20);
  auto root = ByName(List(drive.Root() + u"*"));
  ASSERT_TRUE(root.count(u"top.txt"));
  ASSERT_TRUE(root.count(u"Folder"));
  EXPECT_TRUE(root[u"Folder"].IsDirectory());
  EXPECT_EQ(SizeOf(root[u"top.txt"]), 10u);
  auto inner = ByName(List(drive.Path("Folder/") + u"*"));
  ASSERT_TRUE(inner.count(u"inner.txt"));
  EXPECT_EQ(SizeOf(inner[u"inner.txt"]), 20u);
  EXPECT_EQ(GetDriveType(drive.Root()), kDriveFixed);
}

TEST_F(DirTest, FaultSeamFailsTheFirstOrANextCall) {
  dir_.MakeFile("a", 1);
  dir_.MakeFile("b", 1);
  FindData d;
  fault::Reset();
  fault::FailNth(fault::Op::List, 1, kErrorAccessDenied);
  EXPECT_FALSE(FindFirstFile(dir_.Path() + u"*", &d).IsValid());
  EXPECT_EQ(LastError(), kErrorAccessDenied);

  fault::FailNth(fault::Op::List, 3, kErrorReadFault);
  FindHandle h = FindFirstFile(dir_.Path() + u"*", &d);
  ASSERT_TRUE(h.IsValid());
  int got = 1;
  while (FindNextFile(h, &d)) ++got;
  EXPECT_EQ(LastError(), kErrorReadFault);
  EXPECT_EQ(got, 2);
  FindClose(h);
  EXPECT_EQ(fault::Calls(fault::Op::List), 4);
  fault::Reset();
  EXPECT_EQ(List(dir_.Path() + u"*").size(), 4u);
}

}  // namespace
}  // namespace lvx::os
