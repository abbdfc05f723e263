// The change queue and the drain thread of a CLocationRefresher. The queue merges every request for
// a folder that is already queued and folds long bursts (change_monitor_queue.h); the thread takes
// requests from the front and refreshes each under the refresh lock, so that refreshes of all drives
// run one at a time. While requests are queued it runs them back to back; a lone change waits for a
// quiet moment first, so that a file written in steps costs one refresh.
#include "indexer/location_refresher.h"

namespace lvx::indexer {

void CLocationRefresher::EnqueueLocation(const std::u16string& location) {
  {
    os::LockGuard hold(queueLock_);
    queue_.PushRequest(location);
  }
  wake_.Set();
}

void CLocationRefresher::RestoreRequest(const std::u16string& request) {
  {
    os::LockGuard hold(queueLock_);
    queue_.PushFront(request);
  }
  wake_.Set();
}

void CLocationRefresher::EnqueueChange(const std::u16string& location) {
  {
    os::LockGuard hold(queueLock_);
    // A watched drive outside the selection would collect changes for the whole session: past
    // kMaxIdleQueue its changes become one rescan of its root, and nothing that changed is forgotten.
    if (!drainRunning_.load() && !selected_.load() && queue_.Size() >= kMaxIdleQueue)
      queue_.FoldAllInto(RequestFolder(location).substr(0, 3));
    else if (!location.empty() && location[0] == ChangeQueue::kSubtree)
      queue_.PushRequest(location);
    else
      queue_.PushChange(location);
  }
  wake_.Set();
}

std::vector<std::u16string> CLocationRefresher::QueuedLocations() const {
  os::LockGuard hold(queueLock_);
  return queue_.Entries();
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
  return queue_.TakeFront(location);
}

// A location taken alone waits for the queue to stay quiet, merging the repeats that arrive
// meanwhile. Other work queued ends the wait at once, and a folder that never goes quiet (a log
// written all the time) is still refreshed once the merge has lasted maxCoalesce.
void CLocationRefresher::MergeRepeats(const std::u16string& location) {
  uint32_t start = os::TickCount();
  while (!stop_ && os::TickCount() - start <= timing_.maxCoalesce) {
    {
      os::LockGuard hold(queueLock_);
      queue_.Remove(location);
      if (!queue_.Empty()) return;
    }
    os::Sleep(timing_.coalescePause);
    os::LockGuard hold(queueLock_);
    if (!queue_.Contains(location)) return;
  }
}

uint32_t CLocationRefresher::DrainThreadProc() {
  while (!stop_) {
    std::u16string location;
    if (!TakeFront(&location)) {
      wake_.Wait(timing_.idlePoll);  // ends early when a request arrives or the thread is stopped
      continue;
    }
    MergeRepeats(location);
    int result = -2;
    if (!stop_) {
      os::LockGuard hold(context_.refreshLock);
      result = RefreshLocation(location);
    }
    if (result == -2) {
      // Stopped before or during the refresh: the request waits for the next start of the thread.
      os::LockGuard hold(queueLock_);
      queue_.PushFront(location);
    } else {
      ++refreshCount_;
      if (observer_) observer_(location, result);
    }
  }
  return 0;
}

}  // namespace lvx::indexer
