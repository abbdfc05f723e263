// The change queue and the drain thread of a CLocationRefresher. The thread takes folders from the
// front of the queue, merges immediate repeats (a burst of changes in one folder costs one refresh
// once the queue has been quiet for 150 ms) and refreshes each folder under the refresh lock, so that
// refreshes of all drives run one at a time.
#include "indexer/location_refresher.h"

namespace lvx::indexer {

void CLocationRefresher::PushBack(const std::u16string& location) {
  queue_.push_back(location);
  ++queuedCounts_[location];
}

void CLocationRefresher::PopFront() {
  auto count = queuedCounts_.find(queue_.front());
  if (count != queuedCounts_.end() && --count->second == 0) queuedCounts_.erase(count);
  queue_.pop_front();
}

void CLocationRefresher::EnqueueLocation(const std::u16string& location) {
  {
    os::LockGuard hold(queueLock_);
    PushBack(location);
  }
  wake_.Set();
}

void CLocationRefresher::EnqueueChange(const std::u16string& location) {
  {
    os::LockGuard hold(queueLock_);
    if (!drainRunning_.load()) {
      // Until the drain runs again, one refresh of a folder covers all its changes, and a queued
      // rescan of the whole drive covers every change on it.
      std::u16string rescan = u"#" + location.substr(0, 3);
      if (queuedCounts_.count(location) != 0 || queuedCounts_.count(rescan) != 0) return;
      // A watched drive outside the selection would collect changes for the whole session: past
      // kMaxIdleQueue its changes become that one rescan, and nothing that changed is forgotten.
      if (!selected_.load() && queue_.size() >= kMaxIdleQueue) {
        std::deque<std::u16string> kept;
        for (std::u16string& entry : queue_)
          if (!entry.empty() && (entry[0] == u'#' || entry[0] == u'@')) kept.push_back(std::move(entry));
        queue_.clear();
        queuedCounts_.clear();
        for (const std::u16string& entry : kept) PushBack(entry);
        PushBack(rescan);
        return;
      }
    }
    PushBack(location);
  }
  wake_.Set();
}

std::vector<std::u16string> CLocationRefresher::QueuedLocations() const {
  os::LockGuard hold(queueLock_);
  return std::vector<std::u16string>(queue_.begin(), queue_.end());
}

void CLocationRefresher::StartDrain() {
  if (drainThread_ && drainThread_->Finished()) drainThread_.reset();
  if (drainThread_) return;
  stop_ = false;
  cachePath_ = context_.Path();
  drainRunning_ = true;
  drainThread_ = std::make_unique<os::Thread>([this] { return DrainThreadProc(); });
  if (!drainThread_->Start()) {
    drainThread_.reset();
    drainRunning_ = false;
  }
}

std::unique_ptr<os::Thread> CLocationRefresher::RequestDrainStop() {
  stop_ = true;
  drainRunning_ = false;
  wake_.Set();
  return std::move(drainThread_);
}

bool CLocationRefresher::TakeFront(std::u16string* location) {
  os::LockGuard hold(queueLock_);
  if (queue_.empty()) return false;
  *location = queue_.front();
  PopFront();
  return true;
}

uint32_t CLocationRefresher::DrainThreadProc() {
  if (stop_) return 0;
  for (;;) {
    std::u16string location;
    bool have = TakeFront(&location);
    if (have) {
      // Merge the immediate repeats of this location, waiting once for a quiet queue. A folder
      // that never goes quiet (a log written all the time) is still refreshed every few seconds.
      uint32_t coalesceStart = os::TickCount();
      for (;;) {
        if (stop_ || os::TickCount() - coalesceStart > timing_.maxCoalesce) break;
        {
          os::LockGuard hold(queueLock_);
          if (!queue_.empty()) {
            if (queue_.front() != location) break;
            PopFront();
            continue;
          }
        }
        os::Sleep(timing_.coalescePause);
        os::LockGuard hold(queueLock_);
        if (queue_.empty()) break;
      }
      int result = -2;
      if (!stop_) {
        os::LockGuard hold(context_.refreshLock);
        result = RefreshLocation(location);
      }
      if (result == -2) {
        // Stopped before or during the refresh: the request waits for the next start of the thread.
        os::LockGuard hold(queueLock_);
        queue_.push_front(location);
        ++queuedCounts_[location];
      } else {
        ++refreshCount_;
        if (observer_) observer_(location, result);
      }
    }
    if (stop_) break;
    if (have)
      os::Sleep(timing_.betweenRefreshes);  // bounds the work of a change storm
    else
      wake_.Wait(timing_.idlePoll);  // ends early when a request arrives or the thread is stopped
    if (stop_) break;
  }
  return 0;
}

}  // namespace lvx::indexer
