// Threads, events and ticks on the C++ library, for both systems; the Win32 backend adds only the
// join that keeps a window's messages flowing. A Thread's body runs as a packaged task that the
// running thread owns, so destroying the Thread while the body runs only lets go of it.
#include "platform/thread.h"

#include <chrono>
#include <system_error>

#include "platform/fault.h"

namespace lvx::os {

constexpr uint32_t kStillActive = 259;  // GetExitCodeThread's value for a running thread

uint32_t TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void Event::Set() {
  // Notified under the lock: a waiter may destroy the event as soon as it sees the signal.
  std::lock_guard<std::mutex> hold(mutex_);
  signalled_ = true;
  manualReset_ ? cv_.notify_all() : cv_.notify_one();
}

bool Event::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> hold(mutex_);
  auto signalled = [this] { return signalled_; };
  if (milliseconds == kInfinite)
    cv_.wait(hold, signalled);
  else if (!cv_.wait_for(hold, std::chrono::milliseconds(milliseconds), signalled))
    return false;
  if (!manualReset_) signalled_ = false;
  return true;
}

Thread::Thread(std::function<uint32_t()> body) {
  if (body) body_ = std::packaged_task<uint32_t()>(std::move(body));
}

Thread::~Thread() {
  // A finished thread has only its last instructions left to run.
  if (thread_.joinable()) Finished() ? thread_.join() : thread_.detach();
}

bool Thread::Start() {
  if (!body_.valid()) return SetLastError(CodeOf(Error::IoError)), false;  // started, or no body
  if (fault::ShouldFail(fault::Op::Thread)) return false;
  result_ = body_.get_future().share();  // before the body may ask about itself
  try {
    thread_ = std::thread(std::move(body_));
  } catch (const std::system_error&) {  // the library's way to say the system made no thread
    result_ = {};
    return SetLastError(CodeOf(Error::OutOfMemory)), false;
  }
  return true;
}

bool Thread::Join(uint32_t milliseconds) {
  if (!result_.valid()) return false;  // a thread that never ran has not ended
  if (milliseconds == kInfinite)
    result_.wait();
  else if (result_.wait_for(std::chrono::milliseconds(milliseconds)) != std::future_status::ready)
    return false;
  if (thread_.joinable()) thread_.join();
  return true;
}

bool Thread::JoinDispatching(uint32_t milliseconds) {
  if (!result_.valid()) return false;
  return (!thread_.joinable() || WaitDispatching(uintptr_t(thread_.native_handle()), milliseconds)) &&
         Join(milliseconds);
}

bool Thread::Finished() const {
  return result_.valid() && result_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

uint32_t Thread::ExitCode() const { return Finished() ? result_.get() : kStillActive; }

}  // namespace lvx::os
