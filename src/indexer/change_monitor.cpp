#include "indexer/change_monitor.h"

#include <vector>

#include "cache/map_file.h"
#include "indexer/change_monitor_pending.h"
#include "platform/drive.h"
#include "platform/message.h"

namespace lvx::indexer {

namespace {
// Waits for the threads within one shared time limit. Those that have not ended by then are left
// running (never killed) and handed back; the result tells which ended.
std::vector<bool> JoinAll(std::vector<std::unique_ptr<os::Thread>>& threads, bool dispatch,
                          uint32_t waitMs) {
  std::vector<bool> ended(threads.size(), false);
  uint32_t start = os::TickCount();
  for (size_t i = 0; i < threads.size(); ++i) {
    uint32_t spent = os::TickCount() - start;
    uint32_t left = spent >= waitMs ? 0 : waitMs - spent;
    ended[i] = dispatch ? threads[i]->JoinDispatching(left) : threads[i]->Join(left);
  }
  return ended;
}
}  // namespace

ChangeMonitor::ChangeMonitor(cache::CacheContext& context) : context_(context) {
  for (size_t i = 0; i < 26; ++i) {
    watchers_[i] = std::make_unique<DriveWatcher>();
    refreshers_[i] = std::make_unique<CLocationRefresher>(context);
  }
}

ChangeMonitor::~ChangeMonitor() {
  StopDrains();
  StopWatchers();
}

void ChangeMonitor::SetSinks(cache::IStatusSink* status, cache::INotifySink* notify) {
  status_ = status;
  for (auto& refresher : refreshers_) {
    refresher->SetStatusSink(status);
    refresher->SetNotifySink(notify);
  }
}

void ChangeMonitor::StartWatchers(uint32_t driveMask) {
  for (size_t i = 0; i < 26; ++i) {
    refreshers_[i]->SetSelected((driveMask & (1u << i)) != 0);
    std::u16string root{char16_t(u'A' + i), u':', u'\\'};
    os::DriveKind kind = os::DriveKindOf(root);
    bool watch = kind == os::DriveKind::Fixed ||
                 (kind == os::DriveKind::Remote && (driveMask & (1u << i)));
    if (!watch) continue;
    watchers_[i]->SetQueue(refreshers_[i].get());
    watchers_[i]->StartWatcher(root);
  }
}

void ChangeMonitor::Settle() {
  std::array<bool, 26> settled{};
  std::array<uint32_t, 26> reads{};
  for (uint32_t start = os::TickCount();;) {
    for (size_t i = 0; i < 26; ++i) reads[i] = watchers_[i]->ReadsDone();
    os::Sleep(kSettleSampleMs);
    bool all = true;
    for (size_t i = 0; i < 26; ++i) {
      const DriveWatcher& w = *watchers_[i];
      // Inside the same read for a whole sample: it waits, with nothing unread.
      settled[i] = settled[i] || !w.Running() || (w.Reading() && w.ReadsDone() == reads[i]);
      all = all && settled[i];
    }
    if (all) return;
    if (os::TickCount() - start > kSettleMs) break;
  }
  for (size_t i = 0; i < 26; ++i)
    if (!settled[i]) refreshers_[i]->EnqueueChange(ChangeQueue::kSubtree + watchers_[i]->Root());
}

void ChangeMonitor::StopWatchers() {
  if (AnyWatcherRunning()) Settle();
  std::vector<std::unique_ptr<os::Thread>> threads;
  std::vector<DriveWatcher*> stopped;
  for (auto& watcher : watchers_) {
    if (auto thread = watcher->RequestStop()) {
      threads.push_back(std::move(thread));
      stopped.push_back(watcher.get());
    }
  }
  std::vector<bool> ended = JoinAll(threads, false, stopWaitMs_);
  for (size_t i = 0; i < stopped.size(); ++i) {
    if (ended[i])
      stopped[i]->CloseHandles();
    else
      stopped[i]->KeepThread(std::move(threads[i]));  // its watch stays open under it
  }
}

void ChangeMonitor::StartDrains(uint32_t driveMask) {
  for (size_t i = 0; i < 26; ++i)
    if (driveMask & (1u << i)) refreshers_[i]->StartDrain();
}

void ChangeMonitor::StopDrains() {
  std::vector<std::unique_ptr<os::Thread>> threads;
  std::vector<CLocationRefresher*> stopped;
  for (auto& refresher : refreshers_) {
    if (auto thread = refresher->RequestDrainStop()) {
      threads.push_back(std::move(thread));
      stopped.push_back(refresher.get());
    }
  }
  std::vector<bool> ended = JoinAll(threads, true, stopWaitMs_);
  for (size_t i = 0; i < stopped.size(); ++i)
    if (!ended[i]) stopped[i]->KeepDrainThread(std::move(threads[i]));
}

bool ChangeMonitor::AnyWatcherRunning() const {
  for (const auto& watcher : watchers_)
    if (watcher->Running()) return true;
  return false;
}

bool ChangeMonitor::AnyDrainRunning() const {
  for (const auto& refresher : refreshers_)
    if (refresher->DrainRunning()) return true;
  return false;
}

void ChangeMonitor::Report(const std::u16string& text) {
  if (status_) status_->SetStatusText(text);
}

int ChangeMonitor::SavePending() {
  std::vector<std::u16string> requests;
  uint32_t drives = 0;
  for (size_t i = 0; i < 26; ++i)
    for (std::u16string& request : refreshers_[i]->QueuedLocations()) {
      requests.push_back(std::move(request));
      drives |= 1u << i;
    }
  std::u16string cachePath = context_.Path();
  std::u16string path = PendingFilePath(cachePath);
  if (WritePendingFile(path, requests) == 0) return 0;
  // The changes cannot be kept: the cache says instead that these drives may be out of date.
  cache::CDBMapFile cache;
  bool opened;
  {
    os::QuietMessages quiet;
    opened = cache.OpenForUpdate(cachePath);
  }
  if (opened) {
    os::LockGuard hold(context_.cacheLock);
    uint32_t busy = 0;
    if (cache.GetU32(cache::kDrivesBusyOffset, &busy)) cache.PutU32(cache::kDrivesBusyOffset, busy | drives);
  }
  cache.CloseMapFile(false);
  Report(u"Pending changes could not be kept in " + path);
  return -1;
}

int ChangeMonitor::ApplyPending(uint32_t driveMask) {
  std::u16string path = PendingFilePath(context_.Path());
  std::vector<std::u16string> requests;
  PendingRead read = ReadPendingFile(path, &requests);
  if (read == PendingRead::Missing) return 0;
  if (read == PendingRead::Damaged) {
    Report(u"Pending changes in " + path + u" are damaged; the cached drives are scanned again");
    for (size_t i = 0; i < 26; ++i)
      if (driveMask & (1u << i)) requests.push_back(std::u16string{u'#', char16_t(u'A' + i), u':', u'\\'});
  }
  // From the last: each goes to the front, so that they keep their order.
  for (auto request = requests.rbegin(); request != requests.rend(); ++request)
    refreshers_[Slot(RequestFolder(*request)[0])]->RestoreRequest(*request);
  // A good file already holds these requests; a damaged one is replaced by the rescans.
  if (read == PendingRead::Damaged) SavePending();
  return read == PendingRead::Damaged ? -1 : 0;
}

}  // namespace lvx::indexer
