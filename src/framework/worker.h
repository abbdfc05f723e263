// Worker threads of the user interface, on top of the OS layer's Thread and Event. A worker never
// touches a window: it posts a message with a heap payload (PostOwned) and the UI thread takes the
// payload back (TakePosted). Stop sets the stop flag, wakes the worker and waits for it with a time
// limit, dispatching the UI thread's messages meanwhile, so a worker that is posting to the window
// cannot deadlock the wait.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "framework/win_api.h"
#include "platform/thread.h"

namespace lvx::ui {

// What a worker's body sees: the stop flag and its wake-up. Shared between the CWorker and its
// thread, so a thread that outlives a timed-out stop still has it.
class WorkerControl {
 public:
  WorkerControl() : wake_(false, false) {}
  bool StopRequested() const { return stop_.load(std::memory_order_acquire); }
  // Waits for Wake or a stop up to the time; false when a stop was requested.
  bool WaitForWork(uint32_t milliseconds);

 private:
  friend class CWorker;
  std::atomic<bool> stop_{false};
  os::Event wake_;  // auto-reset
};

class CWorker {
 public:
  using Body = std::function<uint32_t(WorkerControl& control)>;
  explicit CWorker(Body body);
  // Asks a running worker to stop and does not wait (call Stop first to wait).
  ~CWorker();
  CWorker(const CWorker&) = delete;
  CWorker& operator=(const CWorker&) = delete;

  // Starts the thread once; false when it cannot be created or was started before.
  bool Start();
  void Wake() { control_->wake_.Set(); }
  // Requests the stop, wakes the worker and waits up to the time; true when it has ended (also
  // when it never ran). A worker that outlasts the wait keeps running on its own and is not killed.
  bool Stop(uint32_t milliseconds);
  bool Running() const;
  uint32_t ExitCode() const { return thread_ ? thread_->ExitCode() : 0; }

 private:
  std::shared_ptr<WorkerControl> control_;
  Body body_;
  std::unique_ptr<os::Thread> thread_;
};

// Posts msg with a heap payload in lParam; the receiver owns it through TakePosted. When the post
// fails (the window is gone, its queue is full) the payload is freed here.
template <class T>
bool PostOwned(HWND target, UINT msg, WPARAM w, std::unique_ptr<T> payload) {
  T* raw = payload.release();
  if (::PostMessageW(target, msg, w, reinterpret_cast<LPARAM>(raw))) return true;
  delete raw;
  return false;
}

template <class T>
std::unique_ptr<T> TakePosted(LPARAM l) {
  return std::unique_ptr<T>(reinterpret_cast<T*>(l));
}

}  // namespace lvx::ui
