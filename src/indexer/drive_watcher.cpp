#include "indexer/drive_watcher.h"

#include <cstring>

#include "indexer/change_records.h"
#include "indexer/change_monitor_queue.h"
#include "indexer/location_refresher.h"

namespace lvx::indexer {

namespace {
constexpr uint32_t kChangeBufferSize = 4096;
constexpr uint32_t kPauseBeforeReadMs = 10;
constexpr uint32_t kPauseAfterFailureMs = 300;
// A change record of the longest name a folder entry can have (255 UTF-16 units).
constexpr uint32_t kLongestRecord = kChangeRecordHeader + 2 * 255 + 2;
}  // namespace

DriveWatcher::~DriveWatcher() {
  // A thread that outlived a stop's wait (kept by KeepThread) still reads the watch: wait for it.
  std::unique_ptr<os::Thread> thread = RequestStop();
  if (thread) thread->Join(os::kInfinite);
  CloseHandles();
}

void DriveWatcher::StartWatcher(const std::u16string& root) {
  if (thread_ && thread_->Finished()) {
    thread_.reset();
    CloseHandles();
  }
  if (thread_) return;
  stop_ = false;
  root_ = root;
  thread_ = std::make_unique<os::Thread>([this] { return ThreadProc(); });
  if (!thread_->Start()) {
    thread_.reset();
    stop_ = true;
  }
}

std::unique_ptr<os::Thread> DriveWatcher::RequestStop() {
  if (!thread_) return nullptr;
  stop_ = true;
  watch_.Wake();
  return std::move(thread_);
}

void DriveWatcher::CloseHandles() { watch_.Close(); }

uint32_t DriveWatcher::ThreadProc() {
  if (!watch_.Open(root_)) return 0;  // not monitored until the watchers are started again
  uint8_t buffer[kChangeBufferSize];
  bool more = false;
  while (!stop_) {
    // A full buffer leaves more to read: then the next read follows at once, so that a burst is
    // not read late (or not at all, if a stop comes first).
    if (!more) os::Sleep(kPauseBeforeReadMs);
    std::memset(buffer, 0, sizeof buffer);
    reading_ = true;
    int bytes = watch_.Read(buffer, sizeof buffer);
    reading_ = false;
    ++readsDone_;
    more = bytes > int(sizeof buffer) - int(kLongestRecord);
    if (stop_) break;
    if (bytes < 0) {
      os::Sleep(kPauseAfterFailureMs);
      continue;
    }
    if (queue_ == nullptr) continue;
    // 0 bytes without a stop: the system dropped changes (an overflow). Which folders they touched
    // is unknown, so the whole drive is rescanned, silently, once the queue reaches it.
    if (bytes == 0) {
      queue_->EnqueueLocation(ChangeQueue::kSubtree + root_);
      continue;
    }
    WalkChangeRecords(buffer, uint32_t(bytes), root_,
                      [this](const std::u16string& folder) { queue_->EnqueueChange(folder); });
  }
  return 0;
}

}  // namespace lvx::indexer
