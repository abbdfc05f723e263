// POSIX only: inotify over a whole tree (changes deep in it, folders that appear, renames that
// relabel what is below them, moves in, out and between folders, and the repair after the kernel's
// queue overflowed), the NTFS listing order that makes a cache built on Linux deterministic,
// symbolic links, and host names that are not UTF-8.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/file.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"
#include "watch_reader.h"

namespace lvx::os {
namespace {

using test::WatchReader;

class PosixWatchTest : public ::testing::Test {
 protected:
  std::string Host(const std::string& relative) { return drive_.HostRoot() + "/" + relative; }
  void Touch(const std::string& relative) { ::close(::open(Host(relative).c_str(), O_CREAT | O_WRONLY, 0644)); }
  void Move(const std::string& from, const std::string& to) { ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0); }
  // The next change of a fresh name at the root: everything reported before it has been read.
  void Settle(WatchReader& reader) {
    Touch("settle" + std::to_string(++settles_));
    ASSERT_TRUE(reader.WaitFor(kActionAdded, u"settle" + U16(std::to_string(settles_))));
  }
  // After the reader stopped: no record names the path or anything below it.
  bool NoneUnder(WatchReader& reader, const std::u16string& path) {
    for (const test::ChangeRecord& r : reader.records)
      if (r.name == path || r.name.rfind(path + u"\\", 0) == 0) return false;
    return true;
  }
  test::TestDrive drive_;
  test::TempDir outside_;
  DirectoryWatch watch_;
  int settles_ = 0;
};

TEST_F(PosixWatchTest, ChangesDeepInTheTreeAndInFoldersThatAppearLater) {
  drive_.MakeFolder("a/b/c");
  outside_.MakeFile("in/deep/old.txt");
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  Touch("a/b/c/f.txt");
  std::ofstream(Host("a/b/c/f.txt"), std::ios::app) << "more";
  ::unlink(Host("a/b/c/f.txt").c_str());
  ::mkdir(Host("new").c_str(), 0755);
  Move(outside_.HostPath() + "/in", Host("in"));  // a tree moved in: added as one
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"in")) << reader.Describe();
  Touch("new/x");
  Touch("in/deep/y");
  for (auto [action, name] : {std::pair{kActionAdded, u"a\\b\\c\\f.txt"}, {kActionModified, u"a\\b\\c\\f.txt"},
                              {kActionRemoved, u"a\\b\\c\\f.txt"}, {kActionAdded, u"new"},
                              {kActionAdded, u"new\\x"}, {kActionAdded, u"in\\deep\\y"}})
    EXPECT_TRUE(reader.WaitFor(action, name)) << U8(name) << reader.Describe();
  reader.Stop();
  EXPECT_TRUE(NoneUnder(reader, u"in\\deep\\old.txt"));
}

TEST_F(PosixWatchTest, RenamesRelabelWhatIsBelowAndMovesNameBothFolders) {
  drive_.MakeFolder("a/b/c");
  drive_.MakeFolder("x/y/inner");
  drive_.MakeFolder("w");
  drive_.MakeFolder("gone/sub");
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  Move(Host("a"), Host("z"));            // a rename in one folder: old name, then new name
  Move(Host("x/y"), Host("w/y"));        // a move between folders: removed, then added
  Move(Host("gone"), outside_.HostPath() + "/gone");  // out of the tree: removed, no longer watched
  ASSERT_TRUE(reader.WaitFor(kActionRemoved, u"gone")) << reader.Describe();
  EXPECT_EQ(reader.IndexOf(kActionRenamedOldName, u"a") + 1, reader.IndexOf(kActionRenamedNewName, u"z"));
  EXPECT_EQ(reader.IndexOf(kActionRemoved, u"x\\y") + 1, reader.IndexOf(kActionAdded, u"w\\y"));
  Touch("z/b/c/f");
  Touch("w/y/inner/g");
  ::close(::open((outside_.HostPath() + "/gone/sub/h").c_str(), O_CREAT | O_WRONLY, 0644));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"z\\b\\c\\f")) << reader.Describe();
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"w\\y\\inner\\g")) << reader.Describe();
  Settle(reader);
  reader.Stop();
  EXPECT_TRUE(NoneUnder(reader, u"gone\\sub"));
  EXPECT_TRUE(NoneUnder(reader, u"a\\b"));
}

TEST_F(PosixWatchTest, AnOverflowIsReportedAndTheWatchesAreRepaired) {
  int limit = 0;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
  if (limit <= 0 || limit > 200000) GTEST_SKIP() << "queue limit " << limit;
  drive_.MakeFile("p");
  drive_.MakeFile("q");
  drive_.MakeFolder("keep/sub");
  drive_.MakeFolder("old/inner");
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  // Nobody reads: alternating changes of two files (only repeats are merged) fill the kernel's
  // queue, and what happens next is lost.
  for (int i = 0; i <= limit; ++i) ::chmod(Host(i % 2 ? "p" : "q").c_str(), i % 4 < 2 ? 0600 : 0644);
  ::mkdir(Host("lost").c_str(), 0755);
  Move(Host("keep"), Host("kept"));
  Move(Host("old"), outside_.HostPath() + "/old");
  WatchReader reader(watch_);
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros >= 1; })) << reader.Describe();
  Touch("lost/f");
  Touch("kept/sub/g");
  ::close(::open((outside_.HostPath() + "/old/inner/h").c_str(), O_CREAT | O_WRONLY, 0644));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"lost\\f")) << reader.Describe();
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"kept\\sub\\g")) << reader.Describe();
  Settle(reader);
  reader.Stop();
  EXPECT_TRUE(NoneUnder(reader, u"keep")) << "a stale label";
  EXPECT_TRUE(NoneUnder(reader, u"old")) << "moved out during the overflow";
}

// The NTFS order, written plainly: upper-case a-z, compare the keys, then the names.
bool NtfsLess(const String& a, const String& b) {
  auto key = [](String s) {
    for (char16_t& c : s) c = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    return s;
  };
  return key(a) != key(b) ? key(a) < key(b) : a < b;
}

TEST(PosixListingTest, RandomNamesComeInNtfsOrderAndLinksAreNeverFollowed) {
  test::TempDir dir;
  std::mt19937 random(777);
  const char* pieces[] = {"a", "A", "b", "Z", "_", "[", "`", "0", " ", ".", "\xc3\xa9", "\xc3\x89",
                          "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "\xff"};
  std::vector<String> expected;
  for (int i = 0; i < 300; ++i) {
    std::string name;
    for (size_t k = 1 + random() % 6; k > 0; --k) name += pieces[random() % std::size(pieces)];
    if (name == "." || name == ".." || ::access((dir.HostPath() + "/" + name).c_str(), F_OK) == 0) continue;
    ::close(::open((dir.HostPath() + "/" + name).c_str(), O_CREAT | O_WRONLY, 0644));
    expected.push_back(FromHostBytes(name));
  }
  ASSERT_EQ(::symlink(".", (dir.HostPath() + "/~loop").c_str()), 0);
  expected.push_back(u"~loop");
  std::sort(expected.begin(), expected.end(), NtfsLess);
  FolderListing listing;
  ASSERT_TRUE(listing.Open(dir.Path()));
  std::vector<String> listed;
  for (FolderEntry e; listing.Next(&e);) {
    listed.push_back(e.name);
    EXPECT_TRUE(listed.back() != u"~loop" || (!e.isFolder && e.sizeLow == 1)) << "the link itself";
  }
  ASSERT_GE(listed.size(), 2u);
  EXPECT_EQ(std::vector<String>(listed.begin() + 2, listed.end()), expected);
}

TEST(PosixNamesTest, BytesThatAreNotUtf8RoundTripAndOpenByTheListedName) {
  std::mt19937 random(12345);
  const unsigned char pool[] = {'a', '/', 0x80, 0xbf, 0xc2, 0xc3, 0xe0, 0xe6, 0xed, 0xf0, 0xf4, 0xff};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = char(pool[random() % sizeof pool]);
    ASSERT_EQ(ToHostBytes(FromHostBytes(bytes)), bytes) << round;
  }
  EXPECT_EQ(FromHostBytes("a\xff\xc3\xa9\xe6\x97"), u"a\xDCFF\u00e9\xDCE6\xDC97");
  test::TestDrive drive;
  drive.MakeFile("bad\xff.txt", 5);
  FolderListing listing;
  FolderEntry e;
  ASSERT_TRUE(listing.Open(drive.Root()) && listing.Next(&e));
  File f = OpenToRead(drive.Root() + e.name);
  uint64_t size = 0;
  EXPECT_TRUE(SizeOf(f, &size) && size == 5) << LastError();
  Close(f);
  EXPECT_EQ(HostPath(drive.Root() + e.name), drive.HostRoot() + "/bad\xff.txt");
  EXPECT_EQ(HostPath(u"Q:\\a"), "") << "an unmapped letter";
  EXPECT_EQ(HostPath(u"/tmp/x\\y"), "/tmp/x/y");
}

}  // namespace
}  // namespace lvx::os
