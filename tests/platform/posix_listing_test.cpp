// POSIX only: the listing order that makes a cache built on Linux deterministic (checked against a
// plain reference sort), symbolic links, drive roots and unreadable folders.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

std::vector<FindData> List(const String& pattern) {
  std::vector<FindData> out;
  FindData d;
  FindHandle h = FindFirstFile(pattern, &d);
  if (!h.IsValid()) return out;
  do out.push_back(d);
  while (FindNextFile(h, &d));
  FindClose(h);
  return out;
}

std::vector<String> Names(const std::vector<FindData>& entries) {
  std::vector<String> out;
  for (const FindData& d : entries) out.push_back(d.name);
  return out;
}

// The reference order, written plainly: upper-case a-z, compare the keys, then the names.
bool ReferenceLess(const String& a, const String& b) {
  auto key = [](String s) {
    for (char16_t& c : s)
      if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    return s;
  };
  String ka = key(a), kb = key(b);
  if (ka != kb) return ka < kb;
  return a < b;
}

void Touch(const std::string& hostPath) {
  int fd = ::open(hostPath.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0) << hostPath;
  ::close(fd);
}

TEST(PosixListing, OrderIsNtfsOrderWithDotsFirst) {
  test::TempDir dir;
  // Upper-casing (not lower-casing) puts '_' and '[' after the letters; case ties go upper first;
  // only a-z fold; a surrogate pair sorts by its code units (before U+FF01).
  const char* names[] = {"b", "B.txt", "a", "A", "_under", "[bracket", "Zed", "zed", "zed2",
                         "ab", "a b", "10", "9", "~tilde", "\xc3\xa9", "\xc3\x89",
                         "\xef\xbc\x81", "\xf0\x9f\x98\x80", "Ab", "aB", "AB", "`tick"};
  for (const char* n : names) Touch(dir.HostPath() + "/" + n);
  std::vector<String> listed = Names(List(dir.Path() + u"*"));
  ASSERT_EQ(listed.size(), std::size(names) + 2);
  EXPECT_EQ(listed[0], u".");
  EXPECT_EQ(listed[1], u"..");
  std::vector<String> expected = {u"10", u"9", u"A", u"a", u"a b", u"AB", u"Ab", u"aB", u"ab",
                                  u"b", u"B.txt", u"Zed", u"zed", u"zed2", u"[bracket",
                                  u"_under", u"`tick", u"~tilde", u"\u00c9", u"\u00e9",
                                  u"\U0001F600", u"\uFF01"};
  EXPECT_EQ(std::vector<String>(listed.begin() + 2, listed.end()), expected);
}

TEST(PosixListing, OrderMatchesTheReferenceSortOnRandomNames) {
  test::TempDir dir;
  std::mt19937 random(777);
  const char* pieces[] = {"a", "A", "b", "B", "z", "Z", "_", "[", "`", "0", "9", " ", ".",
                          "\xc3\xa9", "\xc3\x89", "\xe6\x97\xa5", "\xff"};
  std::vector<String> expected;
  for (int i = 0; i < 400; ++i) {
    std::string name;
    size_t length = 1 + random() % 6;
    for (size_t k = 0; k < length; ++k) name += pieces[random() % std::size(pieces)];
    if (name == "." || name == ".." || ::access((dir.HostPath() + "/" + name).c_str(), F_OK) == 0)
      continue;
    Touch(dir.HostPath() + "/" + name);
    expected.push_back(FromHostBytes(name));
  }
  std::sort(expected.begin(), expected.end(), ReferenceLess);
  std::vector<String> listed = Names(List(dir.Path() + u"*"));
  ASSERT_GE(listed.size(), 2u);
  EXPECT_EQ(std::vector<String>(listed.begin() + 2, listed.end()), expected);
}

TEST(PosixListing, SymbolicLinksAreFilesOfTheirOwnSizeAndNeverFollowed) {
  test::TempDir dir;
  dir.MakeFile("real/target.bin", 100000);
  ASSERT_EQ(::symlink("real", (dir.HostPath() + "/to-folder").c_str()), 0);
  ASSERT_EQ(::symlink("real/target.bin", (dir.HostPath() + "/to-file").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere/at/all", (dir.HostPath() + "/dangling").c_str()), 0);
  ASSERT_EQ(::symlink(".", (dir.HostPath() + "/real/loop").c_str()), 0);
  std::vector<FindData> entries = List(dir.Path() + u"*");
  ASSERT_EQ(entries.size(), 6u);
  for (const FindData& d : entries) {
    String name = d.name;
    if (name == u"to-folder" || name == u"to-file" || name == u"dangling") {
      EXPECT_FALSE(d.IsDirectory());
      EXPECT_EQ(d.attributes, kAttributeReparsePoint);
      EXPECT_EQ(d.sizeHigh, 0u);
      // The link's own size: the length of the text it holds.
      uint32_t expected = name == u"to-folder" ? 4 : name == u"to-file" ? 15 : 14;
      EXPECT_EQ(d.sizeLow, expected);
    }
  }
  EXPECT_EQ(GetFileAttributes(dir.Child("to-folder")), kAttributeReparsePoint);
  EXPECT_FALSE(FileExists(dir.Child("real")));
}

TEST(PosixListing, ADriveRootHasNoDotEntries) {
  test::TempDir dir;
  dir.MakeFile("x", 1);
  dir.MakeFolder("sub");
  MapDrive(u'Q', dir.HostPath(), kDriveFixed);
  EXPECT_EQ(Names(List(u"Q:\\*")), (std::vector<String>{u"sub", u"x"}));
  EXPECT_EQ(Names(List(u"Q:\\sub\\*")), (std::vector<String>{u".", u".."}));
  MapDrive(u'Q', "", kDriveFixed);
}

// Run in a child process; the exit code tells what the child found.
int ListAsUnprivileged(const std::string& folder, const String& pattern) {
  if (geteuid() == 0) {
    // root reads every folder; a plain user does not.
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 10;
  }
  FindData d;
  FindHandle h = FindFirstFile(pattern, &d);
  if (h.IsValid()) return 11;
  return LastError() == kErrorAccessDenied ? 0 : 12;
}

TEST(PosixListingDeathTest, AnUnreadableFolderFailsWithAccessDenied) {
  test::TempDir dir;
  dir.MakeFile("locked/secret", 1);
  ::chmod(dir.HostPath().c_str(), 0755);
  ASSERT_EQ(::chmod((dir.HostPath() + "/locked").c_str(), 0), 0);
  String pattern = dir.Child("locked/") + u"*";
  EXPECT_EXIT(std::exit(ListAsUnprivileged(dir.HostPath() + "/locked", pattern)),
              ::testing::ExitedWithCode(0), "");
  ::chmod((dir.HostPath() + "/locked").c_str(), 0755);
}

}  // namespace
}  // namespace lvx::os
