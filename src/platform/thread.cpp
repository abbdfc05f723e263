// Threads, events, locks and ticks, written once on the C++ library, which each toolchain builds on
// its system's own threads (pthreads; on Windows the MinGW thread library over CreateThread). The
// Win32 backend adds only the join that keeps a window's messages flowing (WaitDispatching).
//
// A Thread's body runs as a packaged task that the running thread owns, and its result waits in a
// shared state, so destroying the Thread while the body runs only lets go of it: the body keeps
// what it holds until it ends, and nothing is ever killed.
#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/fault.h"

namespace lvx::os {

constexpr uint32_t kStillActive = 259;  // GetExitCodeThread's value for a running thread

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
  auto signalled = [&] { return impl_->signalled; };
  if (milliseconds == kInfinite)
    impl_->cv.wait(hold, signalled);
  else if (!impl_->cv.wait_for(hold, std::chrono::milliseconds(milliseconds), signalled))
    return false;
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
  std::packaged_task<uint32_t()> body;  // moved to the running thread by Start
  std::shared_future<uint32_t> result;
  std::thread thread;
};

Thread::Thread(std::function<uint32_t()> body) : impl_(std::make_unique<Impl>()) {
  if (body) impl_->body = std::packaged_task<uint32_t()>(std::move(body));
}

Thread::~Thread() {
  // A finished thread has only its last instructions left to run.
  if (impl_->thread.joinable()) Finished() ? impl_->thread.join() : impl_->thread.detach();
}

bool Thread::Start() {
  if (!impl_->body.valid()) return SetLastError(CodeOf(Error::IoError)), false;  // started, or no body
  if (fault::ShouldFail(fault::Op::Thread)) return false;
  impl_->result = impl_->body.get_future().share();  // before the body may ask about itself
  try {
    impl_->thread = std::thread(std::move(impl_->body));
  } catch (const std::system_error&) {  // the library's way to say the system made no thread
    impl_->result = {};
    return SetLastError(CodeOf(Error::OutOfMemory)), false;
  }
  return true;
}

bool Thread::Join(uint32_t milliseconds) {
  if (!impl_->result.valid()) return false;  // a thread that never ran has not ended
  if (milliseconds == kInfinite)
    impl_->result.wait();
  else if (impl_->result.wait_for(std::chrono::milliseconds(milliseconds)) != std::future_status::ready)
    return false;
  if (impl_->thread.joinable()) impl_->thread.join();
  return true;
}

bool Thread::JoinDispatching(uint32_t milliseconds) {
  if (!impl_->result.valid()) return false;
  return (!impl_->thread.joinable() ||
          WaitDispatching(uintptr_t(impl_->thread.native_handle()), milliseconds)) &&
         Join(milliseconds);
}

bool Thread::Finished() const {
  return impl_->result.valid() &&
         impl_->result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

uint32_t Thread::ExitCode() const { return Finished() ? impl_->result.get() : kStillActive; }

}  // namespace lvx::os
