// POSIX only: change notifications for a whole tree on inotify. Changes deep in the tree, folders
// that appear (made, or moved in from outside) and are watched from then on, folder renames and
// moves that must relabel every folder below them, moves out of the tree, a rename race that
// leaves the map behind the disk, names that are not UTF-8, a kernel queue overflow (and the walk
// that repairs the watches after it), records batched into a small buffer, links, and a root that
// disappears.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/drive.h"
#include "platform/file.h"
#include "platform/watch.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"
#include "watch_reader.h"

namespace lvx::os {
namespace {

using test::ChangeRecord;
using test::Describe;
using test::WatchReader;

std::string HostOf(const test::TestDrive& drive, const std::string& relative) {
  return drive.HostRoot() + "/" + relative;
}

void Touch(const std::string& host) {
  int fd = ::open(host.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << host;
  ::close(fd);
}

void MakeDir(const std::string& host) { ASSERT_EQ(::mkdir(host.c_str(), 0755), 0) << host; }

void Rename(const std::string& from, const std::string& to) {
  ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0) << from << " -> " << to;
}

// True when no record names the path or anything below it.
bool NoneUnder(const std::vector<ChangeRecord>& records, const std::u16string& path) {
  for (const ChangeRecord& r : records)
    if (r.name == path || r.name.rfind(path + u"\\", 0) == 0) return false;
  return true;
}

// A change at the root that the test waits for: everything reported before it has been read.
void Sentinel(const test::TestDrive& drive, WatchReader& reader, const std::string& name) {
  Touch(HostOf(drive, name));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, U16(name))) << Describe(reader.Records());
}

TEST(PosixWatchTest, ChangesDeepInTheTreeNameTheirPathFromTheRoot) {
  test::TestDrive drive;
  drive.MakeFolder("a/b/c");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Touch(HostOf(drive, "a/b/c/f.txt"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"a\\b\\c\\f.txt")) << Describe(reader.Records());
  { std::ofstream(HostOf(drive, "a/b/c/f.txt"), std::ios::app) << "more"; }
  EXPECT_TRUE(reader.WaitFor(kActionModified, u"a\\b\\c\\f.txt")) << Describe(reader.Records());
  ASSERT_EQ(::chmod(HostOf(drive, "a/b/c/f.txt").c_str(), 0600), 0);  // security
  MakeDir(HostOf(drive, "a/b/sub"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"a\\b\\sub")) << Describe(reader.Records());
  ASSERT_EQ(::unlink(HostOf(drive, "a/b/c/f.txt").c_str()), 0);
  EXPECT_TRUE(reader.WaitFor(kActionRemoved, u"a\\b\\c\\f.txt")) << Describe(reader.Records());
  ASSERT_EQ(::rmdir(HostOf(drive, "a/b/sub").c_str()), 0);
  EXPECT_TRUE(reader.WaitFor(kActionRemoved, u"a\\b\\sub")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.Problems(), "");
  EXPECT_EQ(reader.Failures(), 0);
  EXPECT_EQ(reader.Zeros(), 1);  // only the stop
}

TEST(PosixWatchTest, AFolderMadeAfterOpenIsWatchedWithItsSubtree) {
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  MakeDir(HostOf(drive, "new"));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"new")) << Describe(reader.Records());
  Touch(HostOf(drive, "new/x"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"new\\x")) << Describe(reader.Records());

  // A tree made at once: its inner folders get watches either from the walk of the first one or
  // from their own creation events, so a file made in the deepest one is seen sooner or later.
  drive.MakeFolder("n1/n2/n3");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"n1")) << Describe(reader.Records());
  bool seen = false;
  for (int i = 0; i < 50 && !seen; ++i) {
    std::string name = "f" + std::to_string(i);
    Touch(HostOf(drive, "n1/n2/n3/" + name));
    seen = reader.WaitFor(kActionAdded, u"n1\\n2\\n3\\" + U16(name), 200);
  }
  EXPECT_TRUE(seen) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.Problems(), "");
}

TEST(PosixWatchTest, ATreeMovedInFromOutsideIsWatchedAndAddedAsOne) {
  test::TestDrive drive;
  test::TempDir outside;
  outside.MakeFile("in/deep/er/old.txt");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Rename(outside.HostPath() + "/in", HostOf(drive, "in"));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"in")) << Describe(reader.Records());
  Touch(HostOf(drive, "in/deep/er/new.txt"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"in\\deep\\er\\new.txt")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"in\\deep\\er\\old.txt"), -1);
  EXPECT_EQ(reader.IndexOf(kActionRenamedNewName, u"in"), -1);
}

TEST(PosixWatchTest, ARenamedFolderRelabelsEverythingBelowIt) {
  test::TestDrive drive;
  drive.MakeFolder("a/b/c");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Rename(HostOf(drive, "a"), HostOf(drive, "z"));
  ASSERT_TRUE(reader.WaitFor(kActionRenamedNewName, u"z")) << Describe(reader.Records());
  EXPECT_EQ(reader.IndexOf(kActionRenamedOldName, u"a") + 1,
            reader.IndexOf(kActionRenamedNewName, u"z"));
  Touch(HostOf(drive, "z/b/c/f"));
  Touch(HostOf(drive, "z/g"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"z\\b\\c\\f")) << Describe(reader.Records());
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"z\\g")) << Describe(reader.Records());

  // A folder rename inside another folder, then the outer one back.
  Rename(HostOf(drive, "z/b"), HostOf(drive, "z/bb"));
  Rename(HostOf(drive, "z"), HostOf(drive, "a"));
  ASSERT_TRUE(reader.WaitFor(kActionRenamedNewName, u"a")) << Describe(reader.Records());
  EXPECT_TRUE(reader.WaitFor(kActionRenamedNewName, u"z\\bb")) << Describe(reader.Records());
  Touch(HostOf(drive, "a/bb/c/h"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"a\\bb\\c\\h")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_TRUE(NoneUnder(reader.Records(), u"a\\b")) << Describe(reader.Records());
  EXPECT_EQ(reader.Problems(), "");
}

TEST(PosixWatchTest, MovesBetweenFoldersAreARemovalAndAnAddition) {
  // As on Windows: only a rename within one folder is reported as old name + new name; a move
  // between folders names both folders, so that both are refreshed.
  test::TestDrive drive;
  drive.MakeFolder("x/y/inner");
  drive.MakeFolder("w");
  drive.MakeFile("x/file.txt");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Rename(HostOf(drive, "x/y"), HostOf(drive, "w/y"));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"w\\y")) << Describe(reader.Records());
  EXPECT_EQ(reader.IndexOf(kActionRemoved, u"x\\y") + 1, reader.IndexOf(kActionAdded, u"w\\y"));
  Rename(HostOf(drive, "x/file.txt"), HostOf(drive, "w/y/inner/file.txt"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"w\\y\\inner\\file.txt")) << Describe(reader.Records());
  EXPECT_GE(reader.IndexOf(kActionRemoved, u"x\\file.txt"), 0) << Describe(reader.Records());
  Touch(HostOf(drive, "w/y/inner/f"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"w\\y\\inner\\f")) << Describe(reader.Records());
  reader.Stop();
  for (const ChangeRecord& r : reader.Records())
    EXPECT_TRUE(r.action != kActionRenamedOldName && r.action != kActionRenamedNewName)
        << Describe(r);
}

TEST(PosixWatchTest, AFolderMovedOutOfTheTreeIsRemovedAndNoLongerWatched) {
  test::TestDrive drive;
  test::TempDir outside;
  drive.MakeFolder("gone/sub");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Rename(HostOf(drive, "gone"), outside.HostPath() + "/gone");
  ASSERT_TRUE(reader.WaitFor(kActionRemoved, u"gone")) << Describe(reader.Records());
  Touch(outside.HostPath() + "/gone/f");
  Touch(outside.HostPath() + "/gone/sub/f");
  Sentinel(drive, reader, "sentinel");
  // A new folder of the old name is a folder of its own.
  MakeDir(HostOf(drive, "gone"));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"gone")) << Describe(reader.Records());
  Touch(HostOf(drive, "gone/new"));
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"gone\\new")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"gone\\f"), -1) << Describe(reader.Records());
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"gone\\sub\\f"), -1) << Describe(reader.Records());
}

TEST(PosixWatchTest, AFolderDeletedAndMadeAgainIsWatchedAgain) {
  test::TestDrive drive;
  drive.MakeFile("d/e/f.txt");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  drive.Remove("d");
  ASSERT_TRUE(reader.WaitFor(kActionRemoved, u"d")) << Describe(reader.Records());
  EXPECT_GE(reader.IndexOf(kActionRemoved, u"d\\e\\f.txt"), 0) << Describe(reader.Records());
  drive.MakeFolder("d/e");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"d")) << Describe(reader.Records());
  bool seen = false;
  for (int i = 0; i < 50 && !seen; ++i) {
    std::string name = "g" + std::to_string(i);
    Touch(HostOf(drive, "d/e/" + name));
    seen = reader.WaitFor(kActionAdded, u"d\\e\\" + U16(name), 200);
  }
  EXPECT_TRUE(seen) << Describe(reader.Records());
}

TEST(PosixWatchTest, RenamesThatOvertakeTheReaderStillEndWithTheRightLabels) {
  // Made faster than the reader translates: by the time it handles "X made", X is already Y and a
  // new X stands in its place.
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  MakeDir(HostOf(drive, "X"));
  Rename(HostOf(drive, "X"), HostOf(drive, "Y"));
  MakeDir(HostOf(drive, "X"));
  MakeDir(HostOf(drive, "X/in"));
  Rename(HostOf(drive, "X/in"), HostOf(drive, "Y/in"));
  // X/in was made and moved while no watch was on X or Y yet: that is not reported, but Y/in
  // must be watched all the same.
  WatchReader reader(watch);
  ASSERT_TRUE(reader.WaitFor(kActionRenamedNewName, u"Y")) << Describe(reader.Records());
  Sentinel(drive, reader, "sentinel");
  Touch(HostOf(drive, "Y/f1"));
  Touch(HostOf(drive, "X/f2"));
  Touch(HostOf(drive, "Y/in/f3"));
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"Y\\f1")) << Describe(reader.Records());
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"X\\f2")) << Describe(reader.Records());
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"Y\\in\\f3")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.Problems(), "");
}

TEST(PosixWatchTest, NamesThatAreNotUtf8RoundTrip) {
  test::TestDrive drive;
  const std::string folder = "d\xC3(";        // a broken two-byte sequence
  const std::string file = "bad\xFF\xFE.txt";  // bytes that are never UTF-8
  MakeDir(HostOf(drive, folder));
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  Touch(HostOf(drive, folder + "/" + file));
  Touch(HostOf(drive, "caf\xC3\xA9"));  // well-formed: plain text
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"caf\u00E9")) << Describe(reader.Records());
  reader.Stop();
  std::vector<ChangeRecord> records = reader.Records();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].action, kActionAdded);
  EXPECT_EQ(records[0].name, FromHostBytes(folder) + u"\\" + FromHostBytes(file));
  EXPECT_EQ(ToHostBytes(records[0].name), folder + "\\" + file);
  // The name opens the file it came from.
  EXPECT_TRUE(FileExists(drive.Root() + records[0].name));
}

TEST(PosixWatchTest, AnOverflowIsReportedAndTheWatchesAreRepaired) {
  int queueLimit = 0;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
  if (queueLimit <= 0 || queueLimit > 200000) GTEST_SKIP() << "queue limit " << queueLimit;

  test::TestDrive drive;
  drive.MakeFile("p");
  drive.MakeFile("q");
  drive.MakeFolder("keep/sub");
  drive.MakeFolder("old/inner");
  test::TempDir outside;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  // Nobody reads: alternating changes of two files (the kernel merges only repeats) fill the
  // queue, and what happens next is lost.
  for (int i = 0; i <= queueLimit; ++i)
    ASSERT_EQ(::chmod(HostOf(drive, i % 2 ? "p" : "q").c_str(), i % 4 < 2 ? 0600 : 0644), 0);
  MakeDir(HostOf(drive, "lost"));
  Rename(HostOf(drive, "keep"), HostOf(drive, "kept"));
  Rename(HostOf(drive, "old"), outside.HostPath() + "/old");

  WatchReader reader(watch);
  ASSERT_TRUE(reader.WaitForZeros(1)) << Describe(reader.Records());
  Touch(HostOf(drive, "lost/f"));
  Touch(HostOf(drive, "kept/sub/g"));
  Touch(outside.HostPath() + "/old/inner/h");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"lost\\f")) << Describe(reader.Records());
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"kept\\sub\\g")) << Describe(reader.Records());
  Sentinel(drive, reader, "sentinel");
  reader.Stop();
  std::vector<ChangeRecord> records = reader.Records();
  EXPECT_TRUE(NoneUnder(records, u"keep")) << "stale label";
  EXPECT_TRUE(NoneUnder(records, u"old")) << "moved out during the overflow";
  EXPECT_GE(records.size(), size_t(queueLimit / 2));  // what came before the overflow
  EXPECT_EQ(reader.Failures(), 0);
  EXPECT_EQ(reader.Problems(), "");
}

TEST(PosixWatchTest, ASmallBufferTakesTheRestAtTheNextRead) {
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  for (int i = 0; i < 20; ++i) Touch(HostOf(drive, "file" + std::to_string(i)));
  WatchReader reader(watch, 64);  // reads only once all twenty are queued
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"file19")) << Describe(reader.Records());
  reader.Stop();
  std::vector<ChangeRecord> records = reader.Records();
  ASSERT_EQ(records.size(), 20u) << Describe(records);
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(records[i].name, u"file" + U16(std::to_string(i)));
  EXPECT_LE(reader.LargestRead(), 64u);
  EXPECT_GE(reader.LargestRead(), 48u);  // two 24-byte records fit together
  EXPECT_EQ(reader.Problems(), "");
}

TEST(PosixWatchTest, LinksAreNotFollowedBelowTheRootButTheRootMayBeOne) {
  test::TempDir outside;
  outside.MakeFolder("target");
  outside.MakeFolder("real-root/sub");
  ASSERT_EQ(::symlink((outside.HostPath() + "/target").c_str(),
                      (outside.HostPath() + "/real-root/link").c_str()),
            0);
  ASSERT_EQ(::symlink((outside.HostPath() + "/real-root").c_str(),
                      (outside.HostPath() + "/root-link").c_str()),
            0);
  MapDrive(u'W', outside.HostPath() + "/root-link");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(u"W:\\"));
  WatchReader reader(watch);
  Touch(outside.HostPath() + "/target/through-link");
  Touch(outside.HostPath() + "/real-root/direct");
  Touch(outside.HostPath() + "/real-root/sub/below");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"direct")) << Describe(reader.Records());
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"sub\\below")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_TRUE(NoneUnder(reader.Records(), u"link")) << Describe(reader.Records());
  MapDrive(u'W', "");
}

TEST(PosixWatchTest, ARootThatDisappearsMakesEveryReadFail) {
  test::TempDir outside;
  outside.MakeFolder("root/sub");
  MapDrive(u'W', outside.HostPath() + "/root");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(u"W:\\"));
  WatchReader reader(watch);
  Touch(outside.HostPath() + "/root/last");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"last"));
  Rename(outside.HostPath() + "/root", outside.HostPath() + "/moved");
  // Every read fails from now on, without blocking: the caller retries, as after any failure.
  EXPECT_TRUE(reader.WaitForFailures(3)) << Describe(reader.Records());
  EXPECT_EQ(reader.FailureError(), kErrorPathNotFound);
  reader.Stop();
  MapDrive(u'W', "");

  EXPECT_FALSE(watch.Open(u"W:\\"));  // no longer mapped
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  EXPECT_EQ(GetLongPathName(u"W:\\"), u"");
  EXPECT_EQ(LastError(), kErrorPathNotFound);
}

TEST(PosixWatchTest, WakesFromManyThreadsWhileReadsGoOn) {
  // For the thread sanitizer: wake-ups race with reads that deliver changes.
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);
  std::vector<std::thread> wakers;
  for (int t = 0; t < 3; ++t)
    wakers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        watch.Wake();
        std::this_thread::yield();
      }
    });
  for (int i = 0; i < 100; ++i) Touch(HostOf(drive, "f" + std::to_string(i)));
  for (std::thread& t : wakers) t.join();
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"f99")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_GE(reader.Zeros(), 1);
  EXPECT_EQ(reader.Records().size(), 100u);
}

}  // namespace
}  // namespace lvx::os
