// Listing folders on every backend: the facts of each entry, "." and ".." where the system lists
// them, a listing reused from folder to folder and one kept open while another lists, failures,
// and the fault seam at the start and at each entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::os {
namespace {

uint64_t SizeOf(const FolderEntry& e) { return (uint64_t(e.sizeHigh) << 32) | e.sizeLow; }

// The names of a listing in order; "!" marks a listing that could not be opened.
std::vector<String> Names(FolderListing& listing, const String& folder) {
  std::vector<String> names;
  FolderEntry e;
  if (!listing.Open(folder)) return {u"!"};
  while (listing.Next(&e)) names.push_back(e.name);
  EXPECT_EQ(ErrorOf(LastError()), Error::None) << "the end is no failure";
  return names;
}

TEST(FolderListingTest, EntriesCarryKindSizeAndTime) {
  test::TempDir dir;
  dir.MakeFile("small.txt", 1234);
  dir.MakeFile("big.bin", 5000000000ull);  // sparse; the size needs the high word
  dir.MakeFile("Sub Folder/inside", 1);
  FolderListing listing;
  ASSERT_TRUE(listing.Open(dir.Path()));
  std::map<String, FolderEntry> entries;
  for (FolderEntry e; listing.Next(&e);) entries[e.name] = e;
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_TRUE(entries[u"."].isFolder && entries[u".."].isFolder);
  EXPECT_TRUE(entries[u"Sub Folder"].isFolder);
  EXPECT_EQ(SizeOf(entries[u"Sub Folder"]), 0u);
  EXPECT_EQ(SizeOf(entries[u"small.txt"]), 1234u);
  EXPECT_EQ(SizeOf(entries[u"big.bin"]), 5000000000ull);
  // FILETIMEs of now: past 2020 (132223104000000000) and before 2100.
  for (const char16_t* name : {u"small.txt", u"Sub Folder"}) {
    EXPECT_GT(entries[name].lastWriteTime.Value(), 132223104000000000ull) << U8(name);
    EXPECT_LT(entries[name].lastWriteTime.Value(), 157469184000000000ull) << U8(name);
  }
}

TEST(FolderListingTest, DotsComeFirstAndFailuresSayWhy) {
  test::TestDrive drive;
  drive.MakeFile("b/y", 1);
  drive.MakeFile("b/x", 1);
  drive.MakeFile("a", 1);
  drive.MakeFolder("c");
  FolderListing listing;
  using V = std::vector<String>;
  V root = Names(listing, drive.Root());
  root.erase(std::remove_if(root.begin(), root.end(), [](const String& n) { return n[0] == u'.'; }),
             root.end());  // POSIX leaves them out at a root, as NTFS has none; wine keeps them
  std::sort(root.begin(), root.end());
  EXPECT_EQ(root, (V{u"a", u"b", u"c"}));
  V b = Names(listing, drive.Path("b/"));
  std::sort(b.begin() + 2, b.end());
  EXPECT_EQ(b, (V{u".", u"..", u"x", u"y"}));
  EXPECT_EQ(Names(listing, drive.Path("c/")), (V{u".", u".."}));
  EXPECT_EQ(Names(listing, drive.Path("missing/")), V{u"!"});
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_EQ(Names(listing, drive.Path("a/")), V{u"!"}) << "a file is no folder";
  FolderEntry e;
  EXPECT_FALSE(listing.Next(&e)) << "a listing that failed to open has no entries";
  EXPECT_EQ(DriveKindOf(drive.Root()), DriveKind::Fixed);
}

TEST(FolderListingTest, AListingOpenWhileAnotherListsKeepsItsOwnEntries) {
  test::TempDir dir;
  for (int i = 0; i < 300; ++i) dir.MakeFile("big/f" + std::to_string(1000 + i), uint64_t(i));
  dir.MakeFile("small/only", 7);
  FolderListing big, small;
  ASSERT_TRUE(big.Open(dir.Child("big/")));
  int files = 0;
  for (FolderEntry e; big.Next(&e);) {
    if (e.isFolder) continue;
    EXPECT_EQ(String(e.name), u"f" + U16(std::to_string(1000 + SizeOf(e))));
    if (++files % 50 == 0) {
      EXPECT_EQ(Names(small, dir.Child("small/")).back(), u"only");
    }
  }
  EXPECT_EQ(files, 300);
}

TEST(FolderListingTest, TheFaultSeamFailsTheOpenOrAnEntry) {
  test::TempDir dir;
  dir.MakeFile("a", 1);
  dir.MakeFile("b", 1);
  FolderListing listing;
  fault::Reset();
  fault::FailNth(fault::Op::List, 1, Error::AccessDenied);
  EXPECT_EQ(Names(listing, dir.Path()), std::vector<String>{u"!"});
  EXPECT_EQ(ErrorOf(LastError()), Error::AccessDenied);
  fault::FailNth(fault::Op::List, 4, Error::IoError);  // the open, ".", "..", then "a" fails
  ASSERT_TRUE(listing.Open(dir.Path()));
  FolderEntry e;
  int got = 0;
  while (listing.Next(&e)) ++got;
  EXPECT_EQ(got, 2);
  EXPECT_EQ(ErrorOf(LastError()), Error::IoError);
  EXPECT_EQ(fault::Calls(fault::Op::List), 5);
  fault::Reset();
}

}  // namespace
}  // namespace lvx::os
