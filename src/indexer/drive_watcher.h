// DriveWatcher: the watcher thread of one drive. It keeps one change read pending over the whole
// drive and queues the folder that holds each changed entry in the drive's change queue; it never
// touches the cache file itself.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/thread.h"
#include "platform/watch.h"

namespace lvx::indexer {

class CLocationRefresher;

class DriveWatcher {
 public:
  DriveWatcher() = default;
  ~DriveWatcher();
  DriveWatcher(const DriveWatcher&) = delete;
  DriveWatcher& operator=(const DriveWatcher&) = delete;

  void SetQueue(CLocationRefresher* queue) { queue_ = queue; }
  // Starts the watcher thread on a root ("C:\\") unless it runs.
  void StartWatcher(const std::u16string& root);
  // Sets the stop flag, wakes the thread and hands it over (null when none ran).
  std::unique_ptr<os::Thread> RequestStop();
  // A thread that did not end in time comes back here, so that the watch stays open under it and no
  // second thread starts on this watcher until it has ended.
  void KeepThread(std::unique_ptr<os::Thread> thread) { thread_ = std::move(thread); }
  // After the thread has ended: closes the watch.
  void CloseHandles();
  bool Running() const { return thread_ != nullptr && !thread_->Finished(); }
  // Whether the thread is inside a read of changes, and how many reads it has finished: a thread
  // that stays inside one read has read every change the system reported (ChangeMonitor::Settle).
  bool Reading() const { return reading_.load(); }
  uint32_t ReadsDone() const { return readsDone_.load(); }
  const std::u16string& Root() const { return root_; }

 private:
  uint32_t ThreadProc();

  std::u16string root_;
  std::atomic<bool> stop_{true};
  std::atomic<bool> reading_{false};
  std::atomic<uint32_t> readsDone_{0};
  CLocationRefresher* queue_ = nullptr;
  std::unique_ptr<os::Thread> thread_;
  os::DirectoryWatch watch_;
};

}  // namespace lvx::indexer
