// Watching a drive on every backend: what a user does at the root comes back as records with the
// right actions and names; Wake ends a Read before, during and after Open without losing changes;
// a watch closed with a read pending opens again; records that do not fit come with the next Read
// and one that never fits is dropped; the seam fails an open and a read. Only changes at the root
// are checked here, as wine reports no others; posix_test covers the tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/fault.h"
#include "support/test_drive.h"
#include "watch_reader.h"

namespace lvx::os {
namespace {

using test::WatchReader;

class WatchTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  test::TestDrive drive_;
  DirectoryWatch watch_;
};

TEST_F(WatchTest, WhatAUserDoesAtTheRootComesBackAsRecords) {
  drive_.MakeFile("existing.txt");
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  auto host = std::filesystem::path(drive_.HostRoot()) / "existing.txt";
  struct Step {
    std::function<void()> act;
    uint32_t action;
    const char16_t* name;
  } steps[] = {
      {[&] { drive_.MakeFile("new.txt"); }, kActionAdded, u"new.txt"},
      {[&] { std::ofstream(host, std::ios::app) << "grown"; }, kActionModified, u"existing.txt"},
      {[&] { drive_.Rename("new.txt", "renamed.txt"); }, kActionRenamedNewName, u"renamed.txt"},
      {[&] { drive_.Remove("renamed.txt"); }, kActionRemoved, u"renamed.txt"},
      {[&] { drive_.MakeFolder("Folder \xC3\x9C"); }, kActionAdded, u"Folder \u00DC"},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_TRUE(reader.WaitFor(step.action, step.name)) << U8(step.name) << reader.Describe();
  }
  EXPECT_EQ(reader.IndexOf(kActionRenamedOldName, u"new.txt") + 1,
            reader.IndexOf(kActionRenamedNewName, u"renamed.txt")) << "the old name comes first";
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"existing.txt"), -1) << "made before the watch";
  reader.Stop();
  EXPECT_EQ(reader.problems, "");
  EXPECT_EQ(reader.failures, 0);
}

TEST_F(WatchTest, WakeEndsAReadBeforeDuringAndAfterOpenWithoutLosingChanges) {
  watch_.Wake();  // a watcher may be told to stop before its thread has opened the watch
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the next Read blocks
  watch_.Wake();
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros == 2; }));
  drive_.MakeFile("after-wake.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"after-wake.txt")) << reader.Describe();
}

TEST_F(WatchTest, AWatchClosedWithAReadPendingOpensAgainAndMissingPathsFail) {
  uint8_t buffer[64];
  EXPECT_EQ(watch_.Read(buffer, sizeof buffer), -1) << "a closed watch";
  EXPECT_FALSE(watch_.Open(drive_.Path("missing\\")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_EQ(LongPathOf(drive_.Path("missing\\")), u"");
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  drive_.MakeFolder("Long Folder Name");
  EXPECT_EQ(LongPathOf(drive_.Path("Long Folder Name\\")), drive_.Path("Long Folder Name\\"));
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(watch_.Open(drive_.Root())) << round;
    drive_.MakeFile("pending" + std::to_string(round));  // its record is pending at Close
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    watch_.Close();
  }
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  drive_.MakeFile("fresh.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"fresh.txt")) << reader.Describe();
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"pending0"), -1) << "a closed watch's changes are gone";
}

TEST_F(WatchTest, SmallBuffersTakeTheRestAtTheNextReadAndDropWhatNeverFits) {
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_, 64);  // two 24-byte records fit, a 49-character name does not
  for (int i = 0; i < 12; ++i) drive_.MakeFile("file" + std::to_string(i));
  drive_.MakeFile(std::string(49, 'x'));
  drive_.MakeFile("last");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"last")) << reader.Describe();
  reader.Stop();
  std::vector<std::u16string> added;
  for (const auto& r : reader.records)
    if (r.action == kActionAdded) added.push_back(r.name);
  ASSERT_EQ(added.size(), 13u) << reader.Describe();
  for (int i = 0; i < 12; ++i) EXPECT_EQ(added[i], u"file" + U16(std::to_string(i)));
  EXPECT_EQ(reader.problems, "");
}

TEST_F(WatchTest, TheSeamFailsTheOpenAndAReadAndTheWatchGoesOn) {
  fault::FailNth(fault::Op::Watch, 1, Error::OutOfMemory);
  EXPECT_FALSE(watch_.Open(drive_.Root()));
  EXPECT_EQ(ErrorOf(LastError()), Error::OutOfMemory);
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  fault::FailNth(fault::Op::Watch, 1, Error::IoError);
  WatchReader reader(watch_);
  drive_.MakeFile("after-failure.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"after-failure.txt")) << reader.Describe();
  reader.Stop();
  EXPECT_EQ(reader.failures, 1);
  EXPECT_EQ(ErrorOf(reader.failureError), Error::IoError);
}

}  // namespace
}  // namespace lvx::os
