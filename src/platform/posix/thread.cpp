// Threads, events, locks and the tick counter on POSIX.
//
// A Thread's body and its "finished" flag live in a state object that the running thread shares
// (shared_ptr) with the Thread object, so a Thread destroyed while its body still runs only
// detaches it: the body keeps its state until it ends, and nothing is ever killed. Join waits on
// the flag with a time limit and reaps the thread once the flag is set.
#include <pthread.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/fault.h"
#include "platform/posix/posix.h"
#include "platform/thread.h"

namespace lvx::os {

uint32_t TickCount() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void Sleep(uint32_t milliseconds) {
  struct timespec left;
  left.tv_sec = time_t(milliseconds / 1000);
  left.tv_nsec = long(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

namespace {

// Waits on cv until ready() holds or the time is up; kInfinite waits for ever.
template <typename Ready>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& hold, uint32_t ms,
             Ready ready) {
  if (ms == kInfinite) {
    cv.wait(hold, ready);
    return true;
  }
  return cv.wait_for(hold, std::chrono::milliseconds(ms), ready);
}

}  // namespace

// ---- Event ----

struct Event::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  bool manualReset = false;
  bool signalled = false;  // guarded by mutex
};

Event::Event(bool manualReset, bool initiallySet) : impl_(std::make_unique<Impl>()) {
  impl_->manualReset = manualReset;
  impl_->signalled = initiallySet;
}

Event::~Event() = default;

void Event::Set() {
  std::lock_guard<std::mutex> hold(impl_->mutex);
  impl_->signalled = true;
  // Notify under the lock: a waiter may destroy the event as soon as it sees the signal.
  if (impl_->manualReset)
    impl_->cv.notify_all();
  else
    impl_->cv.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> hold(impl_->mutex);
  impl_->signalled = false;
}

bool Event::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(impl_->mutex);
  if (!WaitFor(impl_->cv, hold, milliseconds, [&] { return impl_->signalled; })) return false;
  if (!impl_->manualReset) impl_->signalled = false;
  return true;
}

// ---- Lock ----
// Recursive, as a critical section is on Windows, so that code correct there is correct here.

struct Lock::Impl {
  std::recursive_mutex mutex;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {}
Lock::~Lock() = default;
void Lock::Acquire() { impl_->mutex.lock(); }
void Lock::Release() { impl_->mutex.unlock(); }
bool Lock::TryAcquire() { return impl_->mutex.try_lock(); }

// ---- Thread ----

namespace {

constexpr uint32_t kStillActive = 259;  // GetExitCodeThread's value for a running thread

struct ThreadState {
  std::function<uint32_t()> body;  // run once, then released by the thread
  std::mutex mutex;
  std::condition_variable cv;
  bool finished = false;  // guarded by mutex
  uint32_t exitCode = 0;  // guarded by mutex
};

void* ThreadMain(void* arg) {
  // The thread owns one reference for as long as it runs.
  std::unique_ptr<std::shared_ptr<ThreadState>> mine(static_cast<std::shared_ptr<ThreadState>*>(arg));
  std::shared_ptr<ThreadState> state = *mine;
  mine.reset();
  uint32_t code = state->body();
  state->body = nullptr;  // the body's captures go now, not with the last reference
  {
    std::lock_guard<std::mutex> hold(state->mutex);
    state->exitCode = code;
    state->finished = true;
    state->cv.notify_all();
  }
  return nullptr;
}

}  // namespace

struct Thread::Impl {
  std::shared_ptr<ThreadState> state = std::make_shared<ThreadState>();
  pthread_t thread{};
  bool started = false;
  bool reaped = false;  // joined or detached
};

Thread::Thread(std::function<uint32_t()> body) : impl_(std::make_unique<Impl>()) {
  impl_->state->body = std::move(body);
}

Thread::~Thread() {
  if (!impl_->started || impl_->reaped) return;
  if (Finished())
    ::pthread_join(impl_->thread, nullptr);
  else
    ::pthread_detach(impl_->thread);  // it ends on its own, with its state
}

bool Thread::Start() {
  if (impl_->started || !impl_->state->body) return posix::Fail(EINVAL);
  if (fault::ShouldFail(fault::Op::Thread)) return false;
  auto* arg = new std::shared_ptr<ThreadState>(impl_->state);
  int err = ::pthread_create(&impl_->thread, nullptr, ThreadMain, arg);
  if (err != 0) {
    delete arg;
    return posix::Fail(err);
  }
  impl_->started = true;
  return true;
}

bool Thread::Join(uint32_t milliseconds) {
  if (!impl_->started) return false;  // a thread that never ran has not ended
  if (impl_->reaped) return true;
  ThreadState& state = *impl_->state;
  {
    std::unique_lock<std::mutex> hold(state.mutex);
    if (!WaitFor(state.cv, hold, milliseconds, [&] { return state.finished; })) return false;
  }
  // The body has returned; the thread only has its last few instructions left.
  ::pthread_join(impl_->thread, nullptr);
  impl_->reaped = true;
  return true;
}

bool Thread::JoinDispatching(uint32_t milliseconds) { return Join(milliseconds); }

bool Thread::Finished() const {
  std::lock_guard<std::mutex> hold(impl_->state->mutex);
  return impl_->state->finished;
}

uint32_t Thread::ExitCode() const {
  std::lock_guard<std::mutex> hold(impl_->state->mutex);
  return impl_->state->finished ? impl_->state->exitCode : kStillActive;
}

}  // namespace lvx::os
