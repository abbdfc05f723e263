// The change monitor: the record walk over hand-made change buffers, the drain thread's merging of
// repeats and its hand-back of a request it did not run, the bounded queue of an undrained drive, and
// watchers feeding refreshes end to end.
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "indexer/change_monitor.h"
#include "indexer/change_records.h"
#include "indexer_fixture.h"
#include "platform/watch.h"

namespace lvx::indexer {
namespace {

// A change record as the system writes it into a watch buffer.
uint32_t WriteChangeRecord(uint8_t* buffer, uint32_t action, const std::u16string& name, bool last) {
  uint32_t length = (kChangeRecordHeader + 2 * uint32_t(name.size()) + 3) & ~3u;
  std::memset(buffer, 0, length);
  cache::StoreU32(buffer, last ? 0 : length);
  cache::StoreU32(buffer + 4, action);
  cache::StoreU32(buffer + 8, 2 * uint32_t(name.size()));
  for (size_t i = 0; i < name.size(); ++i) cache::StoreU16(buffer + kChangeRecordHeader + 2 * i, name[i]);
  return length;
}

// Polls a condition for up to 20 s; true as soon as it holds.
bool Eventually(const std::function<bool()>& condition) {
  for (uint32_t start = os::TickCount(); !condition(); os::Sleep(20))
    if (os::TickCount() - start > 20000) return false;
  return true;
}

class MonitorTest : public test::IndexerTest {
 protected:
  bool CacheHas(const std::string& line) const {
    std::vector<std::string> lines = Cached().lines;
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<std::u16string> Walk(const uint8_t* buffer, uint32_t bytes) {
    std::vector<std::u16string> folders;
    WalkChangeRecords(buffer, bytes, drive_.Root(), [&](const std::u16string& f) { folders.push_back(f); });
    return folders;
  }
};

TEST_F(MonitorTest, ChangeRecordsNameTheFoldersThatHoldTheChangedEntries) {
  drive_.MakeFolder("A");
  drive_.MakeFolder("B/deep");
  uint8_t buffer[4096];
  uint32_t at = 0;
  at += WriteChangeRecord(buffer + at, os::kActionModified, u"A\\file.txt", false);
  at += WriteChangeRecord(buffer + at, os::kActionRenamedOldName, u"B\\old-name.txt", false);
  at += WriteChangeRecord(buffer + at, os::kActionRenamedNewName, u"B\\new-name.txt", false);
  at += WriteChangeRecord(buffer + at, os::kActionAdded, u"root-file.txt", false);
  at += WriteChangeRecord(buffer + at, os::kActionRemoved, u"gone\\x.txt", false);
  at += WriteChangeRecord(buffer + at, os::kActionAdded, u"B\\deep\\y.txt", false);
  at += WriteChangeRecord(buffer + at, 9, u"A\\unknown-action.txt", true);
  std::vector<std::u16string> expected{drive_.Path("A/"), drive_.Path("B/"), drive_.Root(), drive_.Path("B/deep/")};
  EXPECT_EQ(Walk(buffer, at), expected) << "old names, unknown actions and vanished folders queue nothing";
  // Damaged buffers end the walk: what was read before stays.
  struct {
    const char* what;
    uint32_t offset, value, bytes;
    size_t queued;
  } damage[] = {{"name longer than the buffer", 8, 5000, 0, 0},
                {"next record overlapping this one", 0, 4, 0, 1},
                {"next record beyond the bytes read", 0, 200, 0, 1},
                {"shorter than a record header", 0, 0, 7, 0}};
  for (const auto& d : damage) {
    uint32_t length = WriteChangeRecord(buffer, os::kActionAdded, u"A\\x", false);
    cache::StoreU32(buffer + d.offset, d.value == 0 ? cache::LoadU32(buffer + d.offset) : d.value);
    EXPECT_EQ(Walk(buffer, d.bytes ? d.bytes : length).size(), d.queued) << d.what;
  }
}

TEST_F(MonitorTest, TheDrainMergesRepeatsAndKeepsWhatItDidNotRefresh) {
  drive_.MakeFolder("A");
  drive_.MakeFolder("B");
  Build();
  CLocationRefresher refresher(context_);
  test::Collected<std::u16string> refreshed;
  refresher.SetRefreshObserver([&](const std::u16string& location, int result) {
    refreshed.Add(location);
    EXPECT_EQ(result, 0);
  });
  std::u16string a = drive_.Path("A/"), b = drive_.Path("B/");
  for (const auto& location : {a, a, b, a}) refresher.EnqueueLocation(location);
  refresher.StartDrain();
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= 3; }));
  os::Sleep(300);  // nothing more comes
  EXPECT_EQ(refreshed.Items(), (std::vector<std::u16string>{a, b, a}));
  // Repeats arriving while the drain waits for a quiet queue are merged too.
  for (int i = 0; i < 20; ++i) {
    refresher.EnqueueLocation(a);
    os::Sleep(5);
  }
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= 4; }));
  os::Sleep(400);
  EXPECT_LE(refresher.RefreshCount(), 5u);
  // A drain stopped while it waits for repeats queues its location again, unrefreshed.
  uint32_t refreshes = refresher.RefreshCount();
  refresher.EnqueueLocation(b);
  os::Sleep(50);
  ASSERT_TRUE(refresher.RequestDrainStop()->Join(15000));
  EXPECT_EQ(refresher.QueuedLocations(), std::vector<std::u16string>{b});
  EXPECT_EQ(refresher.RefreshCount(), refreshes);
}

TEST_F(MonitorTest, AnUndrainedQueueKeepsEachFolderOnceAndTheNewestTenThousand) {
  CLocationRefresher refresher(context_);
  for (const char16_t* location : {u"T:\\a\\", u"T:\\b\\", u"T:\\a\\"}) refresher.EnqueueChange(location);
  EXPECT_EQ(refresher.QueuedLocations(), (std::vector<std::u16string>{u"T:\\a\\", u"T:\\b\\"}));
  for (int i = 0; i < 10001; ++i) refresher.EnqueueChange(u"T:\\n" + U16(std::to_string(i)) + u"\\");
  std::vector<std::u16string> queued = refresher.QueuedLocations();
  ASSERT_EQ(queued.size(), CLocationRefresher::kMaxIdleQueue);
  EXPECT_EQ(queued.front(), u"T:\\n1\\") << "a, b and n0 went first";
  EXPECT_EQ(queued.back(), u"T:\\n10000\\");
  refresher.EnqueueLocation(u"@T:\\");
  EXPECT_EQ(refresher.QueuedLocations().size(), CLocationRefresher::kMaxIdleQueue + 1)
      << "explicit requests are never dropped";
}

TEST_F(MonitorTest, WatchersFeedRefreshesUntilStoppedAndAStopIsBoundedUnderAStorm) {
  drive_.MakeFolder("docs/deep/er");
  Build();
  ChangeMonitor monitor(context_);
  monitor.StartWatchers(drive_.Mask());
  monitor.StartDrains(drive_.Mask());
  ASSERT_TRUE(monitor.AnyWatcherRunning());
  os::Sleep(200);  // the watcher opens the root
  drive_.MakeFile("at-the-root.txt", 1);
  EXPECT_TRUE(Eventually([&] { return CacheHas("at-the-root.txt|0") || CacheHas("at-the-root.txt|1"); }));
#ifndef _WIN32
  // wine reports changes in the watched root only; subtree changes are checked natively.
  drive_.MakeFile("docs/deep/er/inside.bin", 4096);
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs/deep/er/inside.bin|5"); }));
  drive_.MakeFile("docs/new-folder/later.txt", 1);
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs/new-folder/later.txt|1"); }));
  drive_.Remove("docs/deep");
  EXPECT_TRUE(Eventually([&] { return !CacheHas("docs/deep/"); }));
#endif
  monitor.StopDrains();
  monitor.StopWatchers();
  EXPECT_FALSE(monitor.AnyWatcherRunning() || monitor.AnyDrainRunning());
  // With the drains stopped, the changes wait in the queue and are applied once they start again.
  monitor.StartWatchers(drive_.Mask());
  os::Sleep(200);
  drive_.MakeFile("while-stopped.txt", 1);
  EXPECT_TRUE(Eventually([&] { return !monitor.Refresher(drive_.Letter()).QueuedLocations().empty(); }));
  EXPECT_FALSE(CacheHas("while-stopped.txt|1"));
  monitor.StartDrains(drive_.Mask());
  EXPECT_TRUE(Eventually([&] { return CacheHas("while-stopped.txt|1"); }));
  // Stopping under a storm of changes is bounded and leaves no refresh half-way.
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done && i < 3000; ++i) drive_.MakeFile("storm-" + std::to_string(i % 50) + ".txt", i);
  });
  os::Sleep(500);
  monitor.StopDrains();
  monitor.StopWatchers();
  done = true;
  writer.join();
  EXPECT_FALSE(monitor.AnyWatcherRunning() || monitor.AnyDrainRunning());
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u);
}

}  // namespace
}  // namespace lvx::indexer
