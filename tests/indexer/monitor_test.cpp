// The change monitor: the record walk over hand-made change buffers, the queue's merging and folding,
// the drain thread's hand-back of a request it did not run, the pending file and a restart that
// applies it, which drives are watched, threads that outlive their stop, and watchers feeding
// refreshes end to end.
#include <atomic>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

#include "indexer/change_monitor.h"
#include "indexer/change_monitor_pending.h"
#include "indexer/change_records.h"
#include "indexer_fixture.h"
#include "platform/drive.h"
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
  at += WriteChangeRecord(buffer + at, os::kActionRenamedNewName, u"B\\deep", false);
  at += WriteChangeRecord(buffer + at, 9, u"A\\unknown-action.txt", true);
  std::vector<std::u16string> expected{drive_.Path("A/"), drive_.Path("B/"), drive_.Root(), drive_.Path("B/deep/"),
                                       u"*" + drive_.Path("B/deep/"), drive_.Path("B/")};
  EXPECT_EQ(Walk(buffer, at), expected) << "old names, unknown actions and vanished folders queue nothing; "
                                            "a folder arriving is rescanned";
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

// Each row feeds a queue ("c" a change, "r" a request, "f" a request handed back; '/' stands for '\\')
// and lists what it holds then. Folding thresholds are small so that a few entries make a long queue.
TEST(ChangeQueueTest, MergesEveryRepeatAndFoldsLongBursts) {
  const struct {
    const char *what, *ops, *queued;
    size_t longQueue, foldMin;
  } rows[] = {
      {"repeats merge wherever they stand", "cC:/A/ cC:/B/ cC:/A/ r@C:/B/ r@C:/B/", "C:/A/ C:/B/ @C:/B/", 99, 99},
      {"a folder or subtree request covers later changes", "r@C:/A/ cC:/A/ r#C:/B/ cC:/B/x/y/ cC:/A/x/",
       "@C:/A/ #C:/B/ C:/A/x/", 99, 99},
      {"siblings in a long queue fold into their parent, deeper entries too",
       "cC:/P/1/a/ cC:/Q/ cC:/P/1/ cC:/P/2/ cC:/P/3/ cC:/P/4/z/", "C:/Q/ *C:/P/", 4, 3},
      {"a short queue does not fold", "cC:/P/1/ cC:/P/2/ cC:/P/3/", "C:/P/1/ C:/P/2/ C:/P/3/", 5, 3},
      {"folded subtrees fold on; explicit requests stay", "r@C:/P/a/ cC:/P/a/1/ cC:/P/a/2/ cC:/P/b/1/ cC:/P/b/2/",
       "@C:/P/a/ *C:/P/", 2, 2},
      {"a subtree rescan takes the place of what it covers", "cC:/A/x/ cC:/B/ r*C:/A/ r*C:/A/ cC:/A/",
       "C:/B/ *C:/A/", 99, 99},
      {"a request handed back goes to the front, once", "cC:/A/ cC:/B/ fC:/B/ f#C:/", "#C:/ C:/B/ C:/A/", 99, 99},
  };
  for (const auto& row : rows) {
    ChangeQueue queue;
    queue.SetFolding(row.longQueue, row.foldMin);
    std::istringstream ops(row.ops);
    for (std::string op; ops >> op;) {
      std::replace(op.begin(), op.end(), '/', '\\');
      auto push = op[0] == 'c'   ? &ChangeQueue::PushChange
                  : op[0] == 'r' ? &ChangeQueue::PushRequest
                                 : &ChangeQueue::PushFront;
      (queue.*push)(U16(op.substr(1)));
    }
    std::string queued;
    for (std::u16string entry; queue.TakeFront(&entry);) queued += (queued.empty() ? "" : " ") + U8(entry);
    std::replace(queued.begin(), queued.end(), '\\', '/');
    EXPECT_EQ(queued, row.queued) << row.what;
    EXPECT_TRUE(queue.Empty() && !queue.Contains(u"C:\\A\\")) << row.what;
  }
}

TEST_F(MonitorTest, TheDrainMergesRepeatsKeepsWhatItDidNotRefreshAndEndsALongMerge) {
  drive_.MakeFolder("A");
  drive_.MakeFolder("B");
  Build();
  CLocationRefresher refresher(context_);
  std::u16string a = drive_.Path("A/"), b = drive_.Path("B/");
  refresher.StartDrain();
  // Repeats arriving while the drain waits for a quiet queue are merged.
  for (int i = 0; i < 20; ++i) {
    refresher.EnqueueLocation(a);
    os::Sleep(5);
  }
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= 1; }));
  os::Sleep(400);
  EXPECT_LE(refresher.RefreshCount(), 2u);
  // A drain stopped after it took a location, before its refresh (held off by the refresh lock),
  // queues the location again, unrefreshed.
  uint32_t refreshes = refresher.RefreshCount();
  context_.refreshLock.Acquire();
  refresher.EnqueueLocation(b);
  ASSERT_TRUE(Eventually([&] { return refresher.QueuedLocations().empty(); }));
  std::unique_ptr<os::Thread> drain = refresher.RequestDrainStop();
  context_.refreshLock.Release();
  ASSERT_TRUE(drain->Join(15000));
  EXPECT_EQ(refresher.QueuedLocations(), std::vector<std::u16string>{b});
  EXPECT_EQ(refresher.RefreshCount(), refreshes);
  // An idle drain that never polls still takes each request at once (after the one it kept), and a
  // folder whose repeats never stop coming is refreshed once the merge has lasted its longest.
  CLocationRefresher::DrainTiming timing;
  timing.idlePoll = os::kInfinite;
  timing.maxCoalesce = 20;
  refresher.SetDrainTiming(timing);
  refresher.StartDrain();
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= refreshes + 1; }));
  refresher.EnqueueLocation(a);
  ASSERT_TRUE(Eventually([&] { return refresher.RefreshCount() >= refreshes + 2; }));
  bool refreshedMeanwhile = false;
  for (int i = 0; i < 20000 && !(refreshedMeanwhile = refresher.RefreshCount() > refreshes + 2); ++i) {
    refresher.EnqueueLocation(a);
    os::Sleep(1);
  }
  EXPECT_TRUE(refreshedMeanwhile) << "repeats kept arriving and the folder was never refreshed";
}

// Fixed drives are watched always, network drives when selected, other kinds never.
TEST_F(MonitorTest, WhichDrivesAreWatched) {
#ifdef _WIN32
  GTEST_SKIP() << "drive kinds are the system's under wine";
#else
  ChangeMonitor monitor(context_);
  test::TempDir folder;
  const struct {
    os::DriveKind kind;
    bool selected, watched;
  } rows[] = {{os::DriveKind::Fixed, false, true},     {os::DriveKind::Fixed, true, true},
              {os::DriveKind::Remote, true, true},     {os::DriveKind::Remote, false, false},
              {os::DriveKind::Removable, true, false}, {os::DriveKind::Optical, true, false}};
  for (const auto& row : rows) {
    os::MapDrive(u'P', folder.HostPath(), row.kind);
    monitor.StartWatchers(row.selected ? 1u << (u'P' - u'A') : 0);
    EXPECT_EQ(monitor.Watching(u'P'), row.watched) << int(row.kind) << " selected " << row.selected;
    monitor.StopWatchers();
  }
  os::MapDrive(u'P', "");
#endif
}

// A refresh that outlives the stop's wait (held here in its progress text) keeps its thread, and
// the monitor's end waits for it rather than freeing what it uses.
TEST_F(MonitorTest, AThreadOutlivingItsStopIsWaitedForAtTheEnd) {
  drive_.MakeFile("x.txt", 1);
  Build();
  struct HeldStatus : cache::IStatusSink {
    os::Event entered{true, false}, release{true, false};
    void SetStatusText(const std::u16string&) override {
      entered.Set();
      release.Wait(os::kInfinite);
    }
  } status;
  auto monitor = std::make_unique<ChangeMonitor>(context_);
  monitor->SetSinks(&status, &notify_);
  monitor->SetStopWait(50);
  monitor->Refresher(drive_.Letter()).EnqueueLocation(u"@" + drive_.Root());
  monitor->StartDrains(drive_.Mask());
  ASSERT_TRUE(status.entered.Wait(20000));
  monitor->StopDrains();
  EXPECT_TRUE(monitor->AnyDrainRunning()) << "the stop gave up on the thread and kept it";
  std::atomic<bool> destroyed{false};
  std::thread end([&] {
    monitor.reset();
    destroyed = true;
  });
  os::Sleep(200);
  EXPECT_FALSE(destroyed.load()) << "the refresher went while its thread still ran";
  status.release.Set();
  end.join();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), 0u) << "the stopped refresh left the cache as it was";
}

// With its drain stopped (a build, a compaction, a save or load), a selected drive keeps every
// changed folder; a drive outside the selection folds an overflow into one rescan of its root.
TEST_F(MonitorTest, AStoppedDrainLosesNoChange) {
  ChangeMonitor monitor(context_);
  monitor.StartWatchers(drive_.Mask());  // the selection: T only
  monitor.StopWatchers();
  CLocationRefresher& selected = monitor.Refresher(drive_.Letter());
  CLocationRefresher& other = monitor.Refresher(u'U');
  // Each in a folder of its own, so that no parent gathers enough of them to fold.
  auto folder = [](char16_t letter, int i) {
    return std::u16string{letter, u':', u'\\'} + U16(std::to_string(i)) + u"\\x\\";
  };
  other.EnqueueLocation(u"@U:\\");
  for (int i = 0; i <= int(CLocationRefresher::kMaxIdleQueue) + 1; ++i) {
    selected.EnqueueChange(folder(u'T', i));
    other.EnqueueChange(folder(u'U', i));
  }
  std::vector<std::u16string> kept = selected.QueuedLocations();
  ASSERT_EQ(kept.size(), CLocationRefresher::kMaxIdleQueue + 2);
  EXPECT_EQ(kept.front(), folder(u'T', 0));
  EXPECT_EQ(other.QueuedLocations(), (std::vector<std::u16string>{u"@U:\\", u"#U:\\"}))
      << "explicit requests stay, the changes become one rescan";
  other.EnqueueChange(folder(u'U', 1));
  EXPECT_EQ(other.QueuedLocations().size(), 2u) << "the rescan covers later changes";
}

// The pending file reads back what was written; a write failing at any step keeps the last good
// file; a damaged file is refused whole, and the monitor rescans the selected drives instead.
TEST_F(MonitorTest, ThePendingFileRoundTripsAndRefusesDamage) {
  std::u16string path = PendingFilePath(cachePath_);
  const std::vector<std::u16string> kept{u"T:\\A\\", u"#T:\\B\\", u"*T:\\\u00E9\xD800\\", u"@U:\\"};
  std::vector<std::u16string> read;
  EXPECT_EQ(ReadPendingFile(path, &read), PendingRead::Missing);
  ASSERT_EQ(WritePendingFile(path, kept), 0);
  for (auto [op, n] : {std::pair{os::fault::Op::Open, 1}, {os::fault::Op::Write, 1}, {os::fault::Op::Write, 2}}) {
    os::fault::FailNth(op, n, os::Error::DiskFull);
    EXPECT_EQ(WritePendingFile(path, {u"T:\\other\\"}), -1) << int(op) << n;
    os::fault::Reset();
    EXPECT_EQ(ReadPendingFile(path, &read), PendingRead::Read);
    EXPECT_EQ(read, kept);
    EXPECT_FALSE(test::fs::exists(Beside(".pending.new")));
  }
  std::vector<uint8_t> good = *test::ReadImage(Beside(".pending"));
  EXPECT_EQ(WritePendingFile(path, {}), 0);
  EXPECT_FALSE(test::fs::exists(Beside(".pending"))) << "nothing left to keep";
  WritePendingFile(path, {u"no drive\\"});
  auto with = [&](size_t at, int delta) { auto b = good; b[at] = uint8_t(b[at] + delta); return b; };
  const struct {
    const char* what;
    std::vector<uint8_t> image;
  } damaged[] = {{"empty", {}}, {"cut short", std::vector<uint8_t>(good.begin(), good.end() - 3)},
                 {"not a pending file", with(0, 1)}, {"checksum", with(good.size() - 1, 1)},
                 {"count beyond the entries", with(8, 1)}, {"count short of the entries", with(8, -1)},
                 {"an entry naming no drive folder", *test::ReadImage(Beside(".pending"))}};
  for (const auto& d : damaged) {
    test::WriteImage(Beside(".pending"), d.image);
    EXPECT_TRUE(ReadPendingFile(path, &read) == PendingRead::Damaged && read.empty()) << d.what;
  }
  ChangeMonitor monitor(context_);
  monitor.SetSinks(&status_, nullptr);
  EXPECT_EQ(monitor.ApplyPending(drive_.Mask()), -1);
  EXPECT_EQ(status_.Items().size(), 1u) << "reported";
  const std::vector<std::u16string> rescan{u"#" + drive_.Root()};
  EXPECT_EQ(monitor.Refresher(drive_.Letter()).QueuedLocations(), rescan);
  EXPECT_EQ(ReadPendingFile(path, &read), PendingRead::Read) << "written again from the queue";
  EXPECT_EQ(read, rescan);
}

// Changes seen but not refreshed when the monitor stops are kept beside the cache and refreshed after
// the next start, which leaves the cache as a new build would. Changes a watcher may not have read,
// or that cannot be kept, leave a rescan of the drive or its mark for a rebuild.
TEST_F(MonitorTest, ARestartRefreshesWhatTheLastRunLeftQueued) {
  drive_.MakeFile("B/name.txt", 1);
  drive_.MakeFolder("C/deep/er");
  drive_.MakeFolder("D/x/y");
  Build();
  {
    ChangeMonitor monitor(context_);
    monitor.StartWatchers(drive_.Mask());  // and no drain: every change stays queued
    os::Sleep(200);
    std::vector<std::u16string> folders{drive_.Root()};
    drive_.MakeFile("root.txt", 3000);
#ifndef _WIN32  // wine reports changes in the watched root only
    drive_.MakeFile("B/new.txt", 5000);
    drive_.Rename("B/name.txt", "B/renamed.txt");
    drive_.Remove("C/deep");  // a folder with its contents
    drive_.Rename("D/x", "B/x");
    folders = {drive_.Root(), drive_.Path("B/"), drive_.Path("C/"), drive_.Path("D/")};
#endif
    // (A folder removed with its contents may queue itself too, when it is seen before it goes.)
    EXPECT_TRUE(Eventually([&] {
      std::vector<std::u16string> q = monitor.Refresher(drive_.Letter()).QueuedLocations();
      return std::all_of(folders.begin(), folders.end(), [&](auto& f) { return std::count(q.begin(), q.end(), f); });
    }));
    monitor.StopWatchers();
    ASSERT_EQ(monitor.SavePending(), 0);
  }
  EXPECT_NE(Cached().lines, Disk());
  ChangeMonitor monitor(context_);
  EXPECT_EQ(monitor.ApplyPending(drive_.Mask()), 0);
  monitor.StartDrains(drive_.Mask());
  EXPECT_TRUE(Eventually([&] {
    return monitor.Refresher(drive_.Letter()).QueuedLocations().empty() && Cached().lines == Disk();
  }));
  monitor.StopDrains();
  // A watcher that cannot read at the stop may leave changes unread: its drive is rescanned.
  monitor.StartWatchers(drive_.Mask());
  os::Sleep(200);
  os::fault::FailFrom(os::fault::Op::Watch, 2, os::Error::IoError);  // the reads after this change
  drive_.MakeFile("unread.txt", 1);
  EXPECT_TRUE(Eventually([&] { return !monitor.Refresher(drive_.Letter()).QueuedLocations().empty(); }));
  monitor.StopWatchers();
  os::fault::Reset();
  EXPECT_EQ(monitor.Refresher(drive_.Letter()).QueuedLocations(), std::vector<std::u16string>{u"*" + drive_.Root()});
  os::fault::FailNth(os::fault::Op::Open, 1, os::Error::DiskFull);
  EXPECT_EQ(monitor.SavePending(), -1);
  os::fault::Reset();
  EXPECT_EQ(U32(cache::kDrivesBusyOffset), drive_.Mask());
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
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs/deep/er/inside.bin|5"); }));
  drive_.MakeFile("docs/new-folder/later.txt", 1);
  EXPECT_TRUE(Eventually([&] { return CacheHas("docs/new-folder/later.txt|1"); }));
  drive_.Remove("docs/deep");
  EXPECT_TRUE(Eventually([&] { return !CacheHas("docs/deep/"); }));
#endif
  monitor.StopDrains();
  monitor.StopWatchers();
  EXPECT_FALSE(monitor.AnyWatcherRunning() || monitor.AnyDrainRunning());
  monitor.StartWatchers(drive_.Mask());
  monitor.StartDrains(drive_.Mask());
  // A stop under a storm of changes leaves no refresh half-way.
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
