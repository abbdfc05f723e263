// Folder listing as the full build and the location refresh see it on Windows (wine).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/dir.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/win32/win32_api.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

class Win32Dir : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }

  // Every entry of a folder, in the order the system gives them.
  std::vector<FindData> List(const String& folder) {
    std::vector<FindData> out;
    FindData d;
    FindHandle h = FindFirstFile(folder + u"*", &d);
    if (!h.IsValid()) return out;
    do out.push_back(d);
    while (FindNextFile(h, &d));
    EXPECT_EQ(LastError(), kErrorNoMoreFiles);
    FindClose(h);
    return out;
  }

  test::TempDir dir_;
};

TEST_F(Win32Dir, DotEntriesComeFirstThenEveryEntryWithItsFacts) {
  dir_.MakeFile("small.txt", 1234);
  dir_.MakeFile("huge.bin", 5000000000ull);  // sparse; its size needs the high word
  dir_.MakeFile("zero.txt", 0);
  dir_.MakeFolder("Sub Folder");
  FILETIME before;
  ::GetSystemTimeAsFileTime(&before);

  std::vector<FindData> entries = List(dir_.Path());
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(String(entries[0].name), u".");
  EXPECT_EQ(String(entries[1].name), u"..");
  EXPECT_TRUE(entries[0].IsDirectory());
  EXPECT_TRUE(entries[1].IsDirectory());

  std::map<String, FindData> byName;
  for (size_t i = 2; i < entries.size(); ++i) byName[entries[i].name] = entries[i];
  ASSERT_EQ(byName.size(), 4u);
  EXPECT_TRUE(byName[u"Sub Folder"].IsDirectory());
  EXPECT_FALSE(byName[u"small.txt"].IsDirectory());
  EXPECT_EQ(byName[u"small.txt"].sizeLow, 1234u);
  EXPECT_EQ(byName[u"small.txt"].sizeHigh, 0u);
  EXPECT_EQ(byName[u"huge.bin"].sizeHigh, 1u);
  EXPECT_EQ(byName[u"huge.bin"].sizeLow, uint32_t(5000000000ull - (1ull << 32)));
  EXPECT_EQ(byName[u"zero.txt"].sizeLow, 0u);
  // Last-write times are FILETIMEs (UTC, since 1601): the files were written moments ago.
  uint64_t now = (uint64_t(before.dwHighDateTime) << 32) | before.dwLowDateTime;
  uint64_t written = byName[u"small.txt"].lastWriteTime.Value();
  EXPECT_LE(written, now + 10'000'000ull * 5);
  EXPECT_GE(written, now - 10'000'000ull * 600);
}

TEST_F(Win32Dir, UnicodeNamesComeBackAsWritten) {
  const String names[] = {u"\u00e9t\u00e9 \u65e5\u672c.txt", u"\U0001F600 smile", u"UPPER lower"};
  for (const String& n : names) {
    FileHandle f = OpenFile(dir_.Path() + n, kGenericWrite, 0, kCreateNew, kAttributeNormal);
    ASSERT_TRUE(f.IsValid()) << LastError();
    CloseFile(f);
  }
  std::vector<String> seen;
  for (const FindData& d : List(dir_.Path())) seen.push_back(d.name);
  for (const String& n : names)
    EXPECT_NE(std::find(seen.begin(), seen.end(), n), seen.end()) << "missing a name";
}

TEST_F(Win32Dir, EmptyFolderListsOnlyItsDotEntriesAndMissingFolderFails) {
  dir_.MakeFolder("empty");
  std::vector<FindData> entries = List(dir_.Child("empty\\"));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(String(entries[0].name), u".");
  EXPECT_EQ(String(entries[1].name), u"..");

  FindData d;
  FindHandle h = FindFirstFile(dir_.Child("not here\\*"), &d);
  EXPECT_FALSE(h.IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  FindClose(h);  // closing an invalid handle is harmless
  EXPECT_FALSE(FindNextFile(h, &d));
}

TEST_F(Win32Dir, NamesAreHeldInTheFixedBufferUpToTheSystemLimit) {
  String longName(180, u'n');  // a long name; its folder path does not count against the buffer
  longName += u".txt";
  FileHandle f = OpenFile(dir_.Path() + longName, kGenericWrite, 0, kCreateNew, kAttributeNormal);
  ASSERT_TRUE(f.IsValid()) << LastError();
  CloseFile(f);
  std::vector<FindData> entries = List(dir_.Path());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(String(entries[2].name), longName);
}

}  // namespace
}  // namespace lvx::os
