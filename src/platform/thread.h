// Threads, events, locks and the tick counter. Threads are joined with a time limit: a stop that
// waits for a worker never hangs the caller for ever. A Thread destroyed while its body runs lets
// it run to its end (it is never killed), with everything the body holds.
#pragma once

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/os_types.h"

namespace lvx::os {

uint32_t TickCount();  // milliseconds since an arbitrary start, wrapping at 2^32
void Sleep(uint32_t milliseconds);

class Event {
 public:
  Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), signalled_(initiallySet) {}
  void Set();
  void Reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = false;
  }
  // True when signalled within the time (kInfinite waits for ever); an auto-reset event is reset.
  bool Wait(uint32_t milliseconds);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  const bool manualReset_;
  bool signalled_;  // guarded by mutex_
};

// Recursive, as a critical section is, so that code correct on one system is correct on the other.
class Lock {
 public:
  void Acquire() { mutex_.lock(); }
  void Release() { mutex_.unlock(); }
  bool TryAcquire() { return mutex_.try_lock(); }
  void lock() { Acquire(); }  // for LockGuard
  void unlock() { Release(); }

 private:
  std::recursive_mutex mutex_;
};
using LockGuard = std::lock_guard<Lock>;

class Thread {
 public:
  explicit Thread(std::function<uint32_t()> body);
  ~Thread();  // a thread that has not ended is detached (never killed)
  bool Start();  // false (LastError set) when the system makes no thread
  // True once the thread has ended within the time.
  bool Join(uint32_t milliseconds);
  // As Join, but keeps dispatching the calling thread's window messages while it waits.
  bool JoinDispatching(uint32_t milliseconds);
  bool Finished() const;
  uint32_t ExitCode() const;

 private:
  // The backend's part of JoinDispatching: waits up to the time for the thread (its native id) to
  // end while window messages keep being dispatched; true once it has. Without window messages,
  // true at once (the plain join then waits).
  static bool WaitDispatching(uintptr_t thread, uint32_t milliseconds);

  std::packaged_task<uint32_t()> body_;  // moved to the running thread by Start
  std::shared_future<uint32_t> result_;
  std::thread thread_;
};

}  // namespace lvx::os
