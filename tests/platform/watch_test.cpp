// Watching a drive. On every backend, at the root (wine reports no deeper changes): what a user does
// comes back as records with the right actions and names; Wake ends a Read before, during and after
// Open; a watch closed with a read pending opens again; records that do not fit come with the next
// Read; the seam fails an open and a read. POSIX only: inotify over the whole tree through folders
// that appear, renames and moves, and the repair after the kernel's queue overflowed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/fault.h"
#include "platform/text.h"
#include "platform/watch.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::os {
namespace {

namespace fs = std::filesystem;

struct ChangeRecord {
  uint32_t action = 0;
  String name;
  bool operator==(const ChangeRecord&) const = default;
};

// Reads a watch on a thread of its own and keeps every record, so that a test can make changes and
// wait for the records they cause. Each buffer is checked against the record layout and for writes
// past its end; what is wrong goes into problems.
class WatchReader {
 public:
  explicit WatchReader(DirectoryWatch& watch, uint32_t size = 4096)
      : watch_(watch), size_(size), thread_([this] { Run(); }) {}
  ~WatchReader() { Stop(); }

  bool WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(15), ready);
  }
  bool WaitFor(uint32_t action, const String& name) { return WaitUntil([&] { return IndexLocked(action, name) >= 0; }); }
  // The index of the first record like this one, or -1.
  int IndexOf(uint32_t action, const String& name) {
    std::lock_guard<std::mutex> hold(mutex_);
    return IndexLocked(action, name);
  }
  std::string Describe() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string out = problems;
    for (const ChangeRecord& r : records) out += " " + std::to_string(r.action) + ":" + U8(r.name);
    return out;
  }
  void Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    watch_.Wake();
    thread_.join();
  }
  // After Stop: no record names the path or anything below it.
  bool NoneUnder(const String& path) const {
    return std::none_of(records.begin(), records.end(),
                        [&](const ChangeRecord& r) { return r.name == path || r.name.rfind(path + u"\\", 0) == 0; });
  }

  // What was read: guarded by mutex_, so read in a WaitUntil or after Stop. zeros: reads that gave
  // 0 bytes (wake-ups and losses).
  std::vector<ChangeRecord> records;
  int zeros = 0, failures = 0;
  uint32_t failureError = 0;
  std::string problems;

 private:
  int IndexLocked(uint32_t action, const String& name) {
    auto it = std::find(records.begin(), records.end(), ChangeRecord{action, name});
    return it == records.end() ? -1 : int(it - records.begin());
  }
  void Parse(const uint8_t* data, uint64_t bytes) {
    for (uint64_t at = 0;;) {
      uint32_t header[3] = {};  // next, action, name bytes
      if (at + 12 <= bytes) std::memcpy(header, data + at, 12);
      if (at + 12 + header[2] > bytes || header[1] < 1 || header[1] > 5 ||
          (header[0] != 0 && (header[0] % 4 != 0 || header[0] < 12 + header[2])))
        return void(problems += "malformed record at " + std::to_string(at) + ";");
      records.push_back({header[1], String(header[2] / 2, u'\0')});
      std::memcpy(records.back().name.data(), data + at + 12, header[2]);
      if (header[0] == 0) return;
      at += header[0];
    }
  }
  void Run() {
    std::vector<uint8_t> buffer(size_ + 64, 0xCD);
    while (!stop_) {
      int n = watch_.Read(buffer.data(), size_);
      {
        std::lock_guard<std::mutex> hold(mutex_);
        if (n < 0) ++failures, failureError = LastError();
        if (n == 0) ++zeros;
        if (n > int(size_)) problems += "read past the buffer;";
        if (n > 0) Parse(buffer.data(), uint32_t(n));
        if (std::any_of(buffer.begin() + size_, buffer.end(), [](uint8_t b) { return b != 0xCD; }))
          problems += "written past the buffer;";
      }
      changed_.notify_all();
      if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  DirectoryWatch& watch_;
  const uint32_t size_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once the rest is set up
};

class WatchTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  std::string Host(const std::string& relative) { return (fs::path(drive_.HostRoot()) / relative).string(); }
  test::TestDrive drive_;
  DirectoryWatch watch_;
};

TEST_F(WatchTest, WhatAUserDoesAtTheRootComesBackAsRecordsAfterWakesBeforeAndDuringARead) {
  drive_.MakeFile("existing.txt");
  watch_.Wake();  // a watcher may be told to stop before its thread has opened the watch
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the next Read blocks
  watch_.Wake();
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros == 2; }));
  struct Step {
    std::function<void()> act;
    uint32_t action;
    const char16_t* name;
  } steps[] = {
      {[&] { drive_.MakeFile("new.txt"); }, kActionAdded, u"new.txt"},
      {[&] { std::ofstream(Host("existing.txt"), std::ios::app) << "grown"; }, kActionModified, u"existing.txt"},
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

TEST_F(WatchTest, FailedAndClosedWatchesOpenAgainAndGoOnAfterAFailedRead) {
  uint8_t buffer[64];
  EXPECT_EQ(watch_.Read(buffer, sizeof buffer), -1) << "a closed watch";
  EXPECT_FALSE(watch_.Open(drive_.Path("missing\\")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_EQ(LongPathOf(drive_.Path("missing\\")), u"");
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  drive_.MakeFolder("Long Folder Name");
  EXPECT_EQ(LongPathOf(drive_.Path("Long Folder Name\\")), drive_.Path("Long Folder Name\\"));
  fault::FailNth(fault::Op::Watch, 1, Error::OutOfMemory);
  EXPECT_FALSE(watch_.Open(drive_.Root()));
  EXPECT_EQ(ErrorOf(LastError()), Error::OutOfMemory);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(watch_.Open(drive_.Root())) << round;
    drive_.MakeFile("pending" + std::to_string(round));  // its record is pending at Close
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    watch_.Close();
  }
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  fault::FailNth(fault::Op::Watch, 1, Error::IoError);
  WatchReader reader(watch_);
  drive_.MakeFile("fresh.txt");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"fresh.txt")) << reader.Describe();
  reader.Stop();
  EXPECT_EQ(reader.IndexOf(kActionAdded, u"pending0"), -1) << "a closed watch's changes are gone";
  EXPECT_EQ(reader.failures, 1);
  EXPECT_EQ(ErrorOf(reader.failureError), Error::IoError);
}

TEST_F(WatchTest, SmallBuffersTakeTheRestAtTheNextReadAndDropWhatNeverFits) {
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_, 64);  // two 24-byte records fit, a 49-character name does not
  for (int i = 0; i < 12; ++i) drive_.MakeFile("file" + std::to_string(i));
  drive_.MakeFile(std::string(49, 'x'));
  drive_.MakeFile("last");
  ASSERT_TRUE(reader.WaitFor(kActionAdded, u"last")) << reader.Describe();
  reader.Stop();
  std::vector<String> added;
  for (const auto& r : reader.records)
    if (r.action == kActionAdded) added.push_back(r.name);
  ASSERT_EQ(added.size(), 13u) << reader.Describe();
  for (int i = 0; i < 12; ++i) EXPECT_EQ(added[i], u"file" + U16(std::to_string(i)));
  EXPECT_EQ(reader.problems, "");
}

#ifndef _WIN32
class PosixWatchTest : public WatchTest {
 protected:
  // The next change of a fresh name at the root: everything reported before it has been read.
  void Settle(WatchReader& reader) {
    drive_.MakeFile("settle" + std::to_string(++settles_));
    ASSERT_TRUE(reader.WaitFor(kActionAdded, u"settle" + U16(std::to_string(settles_))));
  }
  test::TempDir outside_;
  int settles_ = 0;
};

TEST_F(PosixWatchTest, TheWholeTreeIsWatchedThroughNewFoldersRenamesAndMoves) {
  drive_.MakeFolder("a/b/c");
  drive_.MakeFolder("x/y/inner");
  drive_.MakeFolder("w");
  drive_.MakeFolder("gone/sub");
  outside_.MakeFile("in/deep/old.txt");
  ASSERT_TRUE(watch_.Open(drive_.Root()));
  WatchReader reader(watch_);
  drive_.MakeFolder("new");
  fs::rename(outside_.HostPath() + "/in", Host("in"));  // a tree moved in: added as one
  fs::rename(Host("a"), Host("z"));                     // a rename in one folder: old name, then new name
  fs::rename(Host("x/y"), Host("w/y"));                 // a move between folders: removed, then added
  fs::rename(Host("gone"), outside_.HostPath() + "/gone");  // out of the tree: removed, no longer watched
  ASSERT_TRUE(reader.WaitFor(kActionRemoved, u"gone")) << reader.Describe();
  EXPECT_EQ(reader.IndexOf(kActionRenamedOldName, u"a") + 1, reader.IndexOf(kActionRenamedNewName, u"z"));
  EXPECT_EQ(reader.IndexOf(kActionRemoved, u"x\\y") + 1, reader.IndexOf(kActionAdded, u"w\\y"));
  for (const char* inside : {"new/x", "in/deep/y", "z/b/c/f", "w/y/inner/g"}) drive_.MakeFile(inside);
  outside_.MakeFile("gone/sub/h");
  // Every record's name is its folder's path and the entry's name, whatever the change: at the
  // root the other changes are checked above, below it these find the folders' current paths.
  for (const char16_t* added : {u"new", u"new\\x", u"in\\deep\\y", u"z\\b\\c\\f", u"w\\y\\inner\\g"})
    EXPECT_TRUE(reader.WaitFor(kActionAdded, added)) << U8(added) << reader.Describe();
  Settle(reader);
  reader.Stop();
  for (const char16_t* stale : {u"in\\deep\\old.txt", u"gone\\sub", u"a\\b"}) EXPECT_TRUE(reader.NoneUnder(stale)) << U8(stale);
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
  for (int i = 0; i <= limit; ++i)
    fs::permissions(Host(i % 2 ? "p" : "q"), i % 4 < 2 ? fs::perms(0600) : fs::perms(0644));
  drive_.MakeFolder("lost");
  fs::rename(Host("keep"), Host("kept"));
  fs::rename(Host("old"), outside_.HostPath() + "/old");
  WatchReader reader(watch_);
  ASSERT_TRUE(reader.WaitUntil([&] { return reader.zeros >= 1; })) << reader.Describe();
  drive_.MakeFile("lost/f");
  drive_.MakeFile("kept/sub/g");
  outside_.MakeFile("old/inner/h");
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"lost\\f")) << reader.Describe();
  EXPECT_TRUE(reader.WaitFor(kActionAdded, u"kept\\sub\\g")) << reader.Describe();
  Settle(reader);
  reader.Stop();
  EXPECT_TRUE(reader.NoneUnder(u"keep")) << "a stale label";
  EXPECT_TRUE(reader.NoneUnder(u"old")) << "moved out during the overflow";
}
#endif

}  // namespace
}  // namespace lvx::os
