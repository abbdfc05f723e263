#include "indexer/change_monitor.h"

#include <vector>

#include "platform/drive.h"

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

ChangeMonitor::ChangeMonitor(cache::CacheContext& context) {
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

void ChangeMonitor::StopWatchers() {
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

}  // namespace lvx::indexer
