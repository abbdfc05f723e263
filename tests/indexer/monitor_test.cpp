// The change monitor: the record walk over hand-made change buffers, the drain thread's merging of
// repeats, the bounded queue of an undrained drive, and watchers feeding refreshes end to end.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "indexer/change_monitor.h"
#include "indexer/change_records.h"
#include "indexer_fixture.h"
#include "platform/text.h"
#include "platform/watch.h"
#include "tree_compare.h"

namespace lvx::indexer {
namespace {

// Polls a condition for up to the time given; true as soon as it holds.
template <typename Condition>
bool Eventually(Condition condition, uint32_t milliseconds = 20000) {
  uint32_t start = os::TickCount();
  while (!condition()) {
    if (os::TickCount() - start > milliseconds) return false;
    os::Sleep(20);
  }
  return true;
}

class MonitorTest : public test::IndexerTest {
 protected:
  bool CacheHas(const std::string& line) {
    std::vector<std::string> tree = test::CachedTree(Cache(), drive_.Letter());
    CloseCache();
    return std::find(tree.begin(), tree.end(), line) != tree.end();
  }
};

// Writes one change record as a watch delivers it; returns its length, 4-byte aligned.
uint32_t WriteChangeRecord(uint8_t* buffer, uint32_t action, const std::u16string& name, bool last) {
  uint32_t length = (kChangeRecordHeader + 2 * uint32_t(name.size()) + 3) & ~3u;
  std::memset(buffer, 0, length);
  cache::StoreU32(buffer, last ? 0 : length);
  cache::StoreU32(buffer + 4, action);
  cache::StoreU32(buffer + 8, 2 * uint32_t(name.size()));
  for (size_t i = 0; i < name.size(); ++i) cache::StoreU16(buffer + kChangeRecordHeader + 2 * i, name[i]);
  return length;
}

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
  std::vector<std::u16string> folders;
  WalkChangeRecords(buffer, at, drive_.Root(), [&](const std::u16string& f) { folders.push_back(f); });
  std::vector<std::u16string> expected{drive_.Path("A/"), drive_.Path("B/"), drive_.Root(),
                                       drive_.Path("B/deep/")};
  EXPECT_EQ(folders, expected) << "old names, unknown actions and vanished folders queue nothing";
}

TEST_F(MonitorTest, DamagedChangeBuffersEndTheWalk) {
  drive_.MakeFolder("A");
  uint8_t buffer[256];
  std::vector<std::u16string> folders;
  auto collect = [&](const std::u16string& f) { folders.push_back(f); };
  uint32_t length = WriteChangeRecord(buffer, os::kActionAdded, u"A\\x", false);
  cache::StoreU32(buffer + 8, 5000);  // name longer than the buffer
  WalkChangeRecords(buffer, length, drive_.Root(), collect);
  EXPECT_TRUE(folders.empty());
  length = WriteChangeRecord(buffer, os::kActionAdded, u"A\\x", false);
  cache::StoreU32(buffer, 4);  // next record overlaps this one
  WalkChangeRecords(buffer, length, drive_.Root(), collect);
  EXPECT_EQ(folders.size(), 1u);
  cache::StoreU32(buffer, 200);  // next record beyond the bytes read
  WalkChangeRecords(buffer, length, drive_.Root(), collect);
  EXPECT_EQ(folders.size(), 2u);
  WalkChangeRecords(buffer, 7, drive_.Root(), collect);
  EXPECT_EQ(folders.size(), 2u) << "shorter than a record header";
}

TEST_F(MonitorTest, TheDrainMergesOnlyImmediateRepeats) {
  drive_.MakeFolder("A");
  drive_.MakeFolder("B");
  Build();
  CLocationRefresher refresher(context_);
  std::mutex mutex;
  std::vector<std::u16string> refreshed;
  refresher.SetRefreshObserver([&](const std::u16string& location, int result) {
    std::lock_guard<std::mutex> hold(mutex);
    refreshed.push_back(location);
    EXPECT_EQ(result, 0);
  });
  std::u16string a = drive_.Path("A/"), b = drive_.Path("B/");
  for (const auto& location : {a, a, b, a}) refresher.EnqueueLocation(location);
  refresher.StartDrain();
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= 3; }));
  os::Sleep(300);  // nothing more comes
  auto thread = refresher.RequestDrainStop();
  ASSERT_TRUE(thread->Join(15000));
  std::lock_guard<std::mutex> hold(mutex);
  EXPECT_EQ(refreshed, (std::vector<std::u16string>{a, b, a}));
}

TEST_F(MonitorTest, ABurstInOneFolderCostsOneRefresh) {
  drive_.MakeFolder("Work");
  Build();
  CLocationRefresher refresher(context_);
  refresher.StartDrain();
  std::u16string work = drive_.Path("Work/");
  refresher.EnqueueLocation(work);
  for (int i = 0; i < 20; ++i) {
    refresher.EnqueueLocation(work);
    os::Sleep(5);
  }
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= 1; }));
  os::Sleep(400);
  EXPECT_LE(refresher.RefreshCount(), 2u) << "repeats arriving while it waits are merged";
  auto thread = refresher.RequestDrainStop();
  ASSERT_TRUE(thread->Join(15000));
}

TEST_F(MonitorTest, AnUndrainedQueueKeepsEachFolderOnceAndTheNewestTenThousand) {
  CLocationRefresher refresher(context_);
  refresher.EnqueueChange(u"T:\\a\\");
  refresher.EnqueueChange(u"T:\\b\\");
  refresher.EnqueueChange(u"T:\\a\\");
  EXPECT_EQ(refresher.QueuedLocations(), (std::vector<std::u16string>{u"T:\\a\\", u"T:\\b\\"}));
  for (int i = 0; i < 10001; ++i) refresher.EnqueueChange(u"T:\\n" + U16(std::to_string(i)) + u"\\");
  std::vector<std::u16string> queued = refresher.QueuedLocations();
  ASSERT_EQ(queued.size(), CLocationRefresher::kMaxIdleQueue);
  EXPECT_EQ(queued.front(), u"T:\\n1\\") << "a, b and n0 went first";
  EXPECT_EQ(queued.back(), u"T:\\n10000\\");
  // Explicit requests are never dropped.
  refresher.EnqueueLocation(u"@T:\\");
  EXPECT_EQ(refresher.QueuedLocations().size(), CLocationRefresher::kMaxIdleQueue + 1);
}

TEST_F(MonitorTest, WatchersFeedRefreshesUntilStopped) {
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
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs\\deep\\er\\inside.bin|5"); }));
  drive_.MakeFile("docs/new-folder/later.txt", 1);
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs\\new-folder\\later.txt|1"); }));
  drive_.Remove("docs/deep");
  EXPECT_TRUE(Eventually([&] { return !CacheHas("docs\\deep\\"); }));
#endif
  monitor.StopDrains();
  monitor.StopWatchers();
  EXPECT_FALSE(monitor.AnyWatcherRunning());
  EXPECT_FALSE(monitor.AnyDrainRunning());
  // With the drains stopped, the changes wait in the queue and are applied once they start again.
  monitor.StartWatchers(drive_.Mask());
  os::Sleep(200);
  drive_.MakeFile("while-stopped.txt", 1);
  EXPECT_TRUE(Eventually([&] { return !monitor.Refresher(drive_.Letter()).QueuedLocations().empty(); }));
  EXPECT_FALSE(CacheHas("while-stopped.txt|1"));
  monitor.StartDrains(drive_.Mask());
  EXPECT_TRUE(Eventually([&] { return CacheHas("while-stopped.txt|1"); }));
}

TEST_F(MonitorTest, StoppingUnderAStormOfChangesIsBounded) {
  drive_.MakeFolder("storm");
  Build();
  ChangeMonitor monitor(context_);
  monitor.StartWatchers(drive_.Mask());
  monitor.StartDrains(drive_.Mask());
  os::Sleep(200);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done && i < 3000; ++i) drive_.MakeFile("storm-" + std::to_string(i % 50) + ".txt", i);
  });
  os::Sleep(500);
  monitor.StopDrains();
  monitor.StopWatchers();
  done = true;
  writer.join();
  EXPECT_FALSE(monitor.AnyWatcherRunning());
  EXPECT_FALSE(monitor.AnyDrainRunning());
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u) << "no refresh was left half-way";
}

}  // namespace
}  // namespace lvx::indexer
