// Threads, events, locks and ticks, written once on the C++ library, which each toolchain builds on
// its system's own threads (pthreads; on Windows the MinGW thread library over CreateThread). The
// Win32 backend adds only the join that keeps a window's messages flowing (WaitDispatching).
//
// A Thread's body and its end live in a state block that the running thread shares with the
// Thread object, so destroying the object while the body runs only lets go of it: the body keeps
// what it holds until it ends, and nothing is ever killed.
#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/fault.h"
#include "platform/thread_wait.h"

namespace lvx::os {
namespace {

// Waits on cv until ready() holds or the time is up; kInfinite waits for ever.
template <typename Ready>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& hold, uint32_t ms, Ready ready) {
  if (ms != kInfinite) return cv.wait_for(hold, std::chrono::milliseconds(ms), ready);
  cv.wait(hold, ready);
  return true;
}

constexpr uint32_t kStillActive = 259;  // GetExitCodeThread's value for a running thread

struct ThreadState {
  std::function<uint32_t()> body;  // run once, then released by the thread
  std::mutex mutex;
  std::condition_variable cv;
  bool finished = false;  // guarded by mutex
  uint32_t exitCode = 0;  // guarded by mutex
};

void Run(std::shared_ptr<ThreadState> state) {
  uint32_t code = state->body();
  state->body = nullptr;  // the body's captures go now, not with the last reference
  std::lock_guard<std::mutex> hold(state->mutex);
  state->exitCode = code;
  state->finished = true;
  state->cv.notify_all();
}

}  // namespace

uint32_t TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

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
  // Notified under the lock: a waiter may destroy the event as soon as it sees the signal.
  std::lock_guard<std::mutex> hold(impl_->mutex);
  impl_->signalled = true;
  impl_->manualReset ? impl_->cv.notify_all() : impl_->cv.notify_one();
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

// Recursive, as a critical section is, so that code correct on one system is correct on the other.
struct Lock::Impl {
  std::recursive_mutex mutex;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {}
Lock::~Lock() = default;
void Lock::Acquire() { impl_->mutex.lock(); }
void Lock::Release() { impl_->mutex.unlock(); }
bool Lock::TryAcquire() { return impl_->mutex.try_lock(); }

struct Thread::Impl {
  std::shared_ptr<ThreadState> state = std::make_shared<ThreadState>();
  std::thread thread;
  bool started = false;
};

Thread::Thread(std::function<uint32_t()> body) : impl_(std::make_unique<Impl>()) {
  impl_->state->body = std::move(body);
}

Thread::~Thread() {
  if (!impl_->thread.joinable()) return;
  if (Finished())
    impl_->thread.join();  // only its last instructions were left
  else
    impl_->thread.detach();
}

bool Thread::Start() {
  if (impl_->started || !impl_->state->body) return SetLastError(CodeOf(Error::IoError)), false;
  if (fault::ShouldFail(fault::Op::Thread)) return false;
  try {
    impl_->thread = std::thread(Run, impl_->state);
  } catch (const std::system_error&) {  // the library's way to say the system made no thread
    SetLastError(CodeOf(Error::OutOfMemory));
    return false;
  }
  impl_->started = true;
  return true;
}

bool Thread::Join(uint32_t milliseconds) {
  if (!impl_->started) return false;  // a thread that never ran has not ended
  ThreadState& state = *impl_->state;
  {
    std::unique_lock<std::mutex> hold(state.mutex);
    if (!WaitFor(state.cv, hold, milliseconds, [&] { return state.finished; })) return false;
  }
  if (impl_->thread.joinable()) impl_->thread.join();
  return true;
}

bool Thread::JoinDispatching(uint32_t milliseconds) {
  if (!impl_->started) return false;
  return (!impl_->thread.joinable() || WaitDispatching(impl_->thread, milliseconds)) &&
         Join(milliseconds);
}

bool Thread::Finished() const {
  std::lock_guard<std::mutex> hold(impl_->state->mutex);
  return impl_->state->finished;
}

uint32_t Thread::ExitCode() const {
  std::lock_guard<std::mutex> hold(impl_->state->mutex);
  return impl_->state->finished ? impl_->state->exitCode : kStillActive;
}

}  // namespace lvx::os
