// Change notifications on every backend: what a user does at the root of a drive (create, write,
// rename, delete) comes back as change records with the right action and name; Wake ends a Read
// from another thread, before or during it, and even before the watch is open; a watch can be
// closed with a read pending and opened again; records that do not fit into the caller's buffer
// come with the next Read, or are dropped when one alone does not fit; long path names. Only
// changes directly at the root are checked here, as wine reports no others; the POSIX test covers
// subfolders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file.h"
#include "platform/text.h"
#include "platform/watch.h"
#include "support/test_drive.h"
#include "watch_reader.h"

namespace fs = std::filesystem;

namespace lvx::os {
namespace {

using test::Describe;
using test::WatchReader;

fs::path HostOf(const test::TestDrive& drive, const std::string& relative) {
  return fs::path(drive.HostRoot()) / fs::u8path(relative);
}

void Append(const fs::path& file, size_t bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << std::string(bytes, 'x');
}

TEST(DirectoryWatchTest, OpeningAMissingRootFailsAndAClosedWatchCannotBeRead) {
  test::TestDrive drive;
  DirectoryWatch watch;
  EXPECT_FALSE(watch.Open(drive.Path("missing\\")));
  EXPECT_TRUE(LastError() == kErrorFileNotFound || LastError() == kErrorPathNotFound)
      << LastError();
  EXPECT_FALSE(watch.IsOpen());
  EXPECT_FALSE(watch.Open(drive.Path("missing\\deeper\\")));
  EXPECT_EQ(LastError(), kErrorPathNotFound);

  uint8_t buffer[64];
  EXPECT_EQ(watch.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);

  ASSERT_TRUE(watch.Open(drive.Root()));
  EXPECT_TRUE(watch.IsOpen());
  watch.Close();
  EXPECT_FALSE(watch.IsOpen());
  EXPECT_EQ(watch.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  watch.Close();  // twice is harmless
}

TEST(DirectoryWatchTest, ChangesAtTheRootComeBackAsRecords) {
  test::TestDrive drive;
  drive.MakeFile("existing.txt");
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);

  drive.MakeFile("new.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"new.txt")) << Describe(reader.Records());

  Append(HostOf(drive, "existing.txt"), 100);  // grows: a size change
  EXPECT_TRUE(reader.WaitFor(kActionModified, u"existing.txt")) << Describe(reader.Records());

  fs::rename(HostOf(drive, "new.txt"), HostOf(drive, "renamed.txt"));
  ASSERT_TRUE(reader.WaitFor(kActionRenamedNewName, u"renamed.txt")) << Describe(reader.Records());
  // The old name comes right before the new one, so that a reader can pair them.
  int oldName = reader.IndexOf(kActionRenamedOldName, u"new.txt");
  EXPECT_GE(oldName, 0) << Describe(reader.Records());
  EXPECT_EQ(reader.IndexOf(kActionRenamedNewName, u"renamed.txt"), oldName + 1);

  drive.Remove("renamed.txt");
  EXPECT_TRUE(reader.WaitFor(kActionRemoved, u"renamed.txt")) << Describe(reader.Records());

  drive.MakeFolder("Folder Ü");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"Folder \u00DC")) << Describe(reader.Records());

  reader.Stop();
  EXPECT_EQ(reader.Problems(), "");
  EXPECT_EQ(reader.Failures(), 0);
  // Changes that were made before the watch was opened are not reported.
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"existing.txt"), -1);
}

TEST(DirectoryWatchTest, WakeEndsAReadInProgressAndChangesStillArriveAfterIt) {
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the Read block
  EXPECT_EQ(reader.Zeros(), 0);
  watch.Wake();
  EXPECT_TRUE(reader.WaitForZeros(1));
  // The read that the wake-up interrupted goes on and still reports what happens next.
  drive.MakeFile("after-wake.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"after-wake.txt")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.Failures(), 0);
  EXPECT_EQ(reader.Problems(), "");
}

TEST(DirectoryWatchTest, AWakeBeforeTheReadOrBeforeOpenIsNotLost) {
  test::TestDrive drive;
  {
    // The watcher may be told to stop before its thread has even opened the watch.
    DirectoryWatch watch;
    watch.Wake();
    ASSERT_TRUE(watch.Open(drive.Root()));
    WatchReader reader(watch);
    EXPECT_TRUE(reader.WaitForZeros(1));
  }
  {
    DirectoryWatch watch;
    ASSERT_TRUE(watch.Open(drive.Root()));
    watch.Wake();
    WatchReader reader(watch);
    EXPECT_TRUE(reader.WaitForZeros(1));
    drive.MakeFile("after.txt");
    EXPECT_TRUE(reader.WaitFor(kActionAdded, u"after.txt")) << Describe(reader.Records());
  }
}

TEST(DirectoryWatchTest, ClosingWithAReadPendingThenOpeningAgainWorks) {
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  {
    WatchReader reader(watch);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }  // stopped by a wake-up: the system's read may still be pending
  watch.Close();
  drive.MakeFile("while-closed.txt");
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch);
  drive.MakeFile("reopened.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"reopened.txt")) << Describe(reader.Records());
  reader.Stop();
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"while-closed.txt"), -1);

  // A watch dropped with its read pending cleans up after itself.
  auto dropped = std::make_unique<DirectoryWatch>();
  ASSERT_TRUE(dropped->Open(drive.Root()));
  {
    WatchReader pending(*dropped);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  drive.MakeFile("late.txt");
  dropped.reset();
}

TEST(DirectoryWatchTest, ManyChangesThroughASmallBufferArriveInOrder) {
  // Changes made while nobody reads are kept (a read is pending from Open on), and what does not
  // fit into one small buffer comes with the next Read.
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  for (int i = 0; i < 20; ++i) drive.MakeFile("file" + std::to_string(i));
  WatchReader reader(watch, 64);
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"file19")) << Describe(reader.Records());
  reader.Stop();
  std::vector<std::u16string> added;
  for (const test::ChangeRecord& r : reader.Records())
    if (r.action == kActionAdded) added.push_back(r.name);
  ASSERT_EQ(added.size(), 20u) << Describe(reader.Records());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(added[i], u"file" + U16(std::to_string(i)));
  EXPECT_LE(reader.LargestRead(), 64u);
  EXPECT_EQ(reader.Problems(), "");
}

TEST(DirectoryWatchTest, ARecordLargerThanTheBufferIsDroppedLikeAnOverflow) {
  test::TestDrive drive;
  DirectoryWatch watch;
  ASSERT_TRUE(watch.Open(drive.Root()));
  WatchReader reader(watch, 32);
  drive.MakeFile("a-name-too-long-for-it");  // 12 + 44 bytes
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  drive.MakeFile("short");  // 12 + 10 bytes: fits
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"short")) << Describe(reader.Records());
  reader.Stop();
  for (const test::ChangeRecord& r : reader.Records()) EXPECT_EQ(r.name, u"short");
  EXPECT_GE(reader.Zeros(), 2);  // the dropped record, then the stop
  EXPECT_EQ(reader.Problems(), "");
}

TEST(DirectoryWatchTest, LongPathNameOfExistingAndMissingPaths) {
  test::TestDrive drive;
  drive.MakeFile("sub/file.txt");
  EXPECT_EQ(GetLongPathName(drive.Root()), drive.Root());
  EXPECT_EQ(GetLongPathName(drive.Path("sub\\")), drive.Path("sub\\"));
  EXPECT_EQ(GetLongPathName(drive.Path("sub\\file.txt")), drive.Path("sub\\file.txt"));

  SetLastError(kErrorSuccess);
  EXPECT_EQ(GetLongPathName(drive.Path("sub\\gone.txt")), u"");
  EXPECT_EQ(LastError(), kErrorFileNotFound);
  SetLastError(kErrorSuccess);
  EXPECT_EQ(GetLongPathName(drive.Path("gone\\file.txt")), u"");
  EXPECT_TRUE(LastError() == kErrorFileNotFound || LastError() == kErrorPathNotFound)
      << LastError();
}

}  // namespace
}  // namespace lvx::os
