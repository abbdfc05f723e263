// Threads, events, locks and ticks on Win32.
//
// A Thread's body and exit code live in a block shared between the Thread object and the running
// thread (a shared_ptr each), so that destroying the object while the thread still runs only closes
// the handle: the thread finishes on its own with everything it uses still alive, and is never
// killed.
#include "platform/win32/win32.h"

#include "platform/fault.h"
#include "platform/thread.h"

namespace lvx::os {

uint32_t TickCount() { return ::GetTickCount(); }

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

// ---- Event ----
// A flag under a slim lock with a condition variable: unlike an event object it cannot fail to be
// made, so a wait never fails.

struct Event::Impl {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE cv = CONDITION_VARIABLE_INIT;
  bool manualReset = false;
  bool signalled = false;  // guarded by lock
};

Event::Event(bool manualReset, bool initiallySet) : impl_(std::make_unique<Impl>()) {
  impl_->manualReset = manualReset;
  impl_->signalled = initiallySet;
}

Event::~Event() = default;

void Event::Set() {
  ::AcquireSRWLockExclusive(&impl_->lock);
  impl_->signalled = true;
  // Woken under the lock: a waiter may destroy the event as soon as it sees the signal.
  if (impl_->manualReset)
    ::WakeAllConditionVariable(&impl_->cv);
  else
    ::WakeConditionVariable(&impl_->cv);
  ::ReleaseSRWLockExclusive(&impl_->lock);
}

void Event::Reset() {
  ::AcquireSRWLockExclusive(&impl_->lock);
  impl_->signalled = false;
  ::ReleaseSRWLockExclusive(&impl_->lock);
}

bool Event::Wait(uint32_t milliseconds) {
  const ULONGLONG start = ::GetTickCount64();
  ::AcquireSRWLockExclusive(&impl_->lock);
  while (!impl_->signalled) {
    ULONGLONG elapsed = ::GetTickCount64() - start;
    if (milliseconds != kInfinite && elapsed >= milliseconds) break;
    DWORD left = milliseconds == kInfinite ? INFINITE : DWORD(milliseconds - elapsed);
    ::SleepConditionVariableSRW(&impl_->cv, &impl_->lock, left, 0);
  }
  bool signalled = impl_->signalled;
  if (signalled && !impl_->manualReset) impl_->signalled = false;
  ::ReleaseSRWLockExclusive(&impl_->lock);
  return signalled;
}

// ---- Lock ----

struct Lock::Impl {
  CRITICAL_SECTION section;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) { ::InitializeCriticalSection(&impl_->section); }

Lock::~Lock() { ::DeleteCriticalSection(&impl_->section); }

void Lock::Acquire() { ::EnterCriticalSection(&impl_->section); }

void Lock::Release() { ::LeaveCriticalSection(&impl_->section); }

bool Lock::TryAcquire() { return ::TryEnterCriticalSection(&impl_->section) != 0; }

// ---- Thread ----

namespace {

struct ThreadState {
  std::function<uint32_t()> body;  // run once, then released by the thread
};

DWORD WINAPI ThreadMain(void* parameter) {
  // The creator handed over a heap copy of its shared_ptr; from here the thread owns one reference.
  std::shared_ptr<ThreadState> state = std::move(*static_cast<std::shared_ptr<ThreadState>*>(parameter));
  delete static_cast<std::shared_ptr<ThreadState>*>(parameter);
  uint32_t code = state->body();
  state->body = nullptr;  // the body's captures go when it ends, not with the last reference
  return code;
}

}  // namespace

struct Thread::Impl {
  std::shared_ptr<ThreadState> state;
  HANDLE handle = nullptr;  // null until Start succeeds
};

Thread::Thread(std::function<uint32_t()> body) : impl_(std::make_unique<Impl>()) {
  impl_->state = std::make_shared<ThreadState>();
  impl_->state->body = std::move(body);
}

Thread::~Thread() {
  if (impl_->handle) ::CloseHandle(impl_->handle);
}

bool Thread::Start() {
  if (impl_->handle || !impl_->state->body) return ::SetLastError(ERROR_INVALID_PARAMETER), false;
  if (fault::ShouldFail(fault::Op::Thread)) return false;
  auto* handOver = new std::shared_ptr<ThreadState>(impl_->state);
  DWORD id = 0;
  HANDLE h = ::CreateThread(nullptr, 0, ThreadMain, handOver, CREATE_SUSPENDED, &id);
  if (!h) {
    delete handOver;
    return false;
  }
  ::SetThreadPriority(h, THREAD_PRIORITY_NORMAL);
  impl_->handle = h;
  ::ResumeThread(h);
  return true;
}

bool Thread::Join(uint32_t milliseconds) {
  if (!impl_->handle) return false;  // a thread that never ran has not ended
  return ::WaitForSingleObject(impl_->handle, milliseconds) == WAIT_OBJECT_0;
}

bool Thread::JoinDispatching(uint32_t milliseconds) {
  HANDLE h = impl_->handle;
  if (!h) return false;
  const DWORD start = ::GetTickCount();
  bool quit = false;
  WPARAM quitCode = 0;
  bool ended = false;
  for (;;) {
    DWORD wait = INFINITE;
    if (milliseconds != INFINITE) {
      DWORD elapsed = ::GetTickCount() - start;
      wait = elapsed >= milliseconds ? 0 : milliseconds - elapsed;
    }
    if (quit) {
      // The program is closing: its WM_QUIT is kept for its own loop, so only the thread is
      // waited for from here on.
      ended = ::WaitForSingleObject(h, wait) == WAIT_OBJECT_0;
      break;
    }
    DWORD r = ::MsgWaitForMultipleObjects(1, &h, FALSE, wait, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (r != WAIT_OBJECT_0 + 1) break;  // time is up, or the wait failed
    // Dispatch everything queued now (sent messages are delivered inside PeekMessageW), because
    // the wait above wakes only for input that arrived after the queue was last looked at.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
      // A sender that never lets the queue run dry must not hold the caller past its time.
      if (milliseconds != INFINITE && ::GetTickCount() - start >= milliseconds) break;
    }
    if (wait == 0 && !quit) {  // the last look: time ran out while messages were dispatched
      ended = ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
      break;
    }
  }
  if (quit) ::PostQuitMessage(int(quitCode));
  return ended;
}

bool Thread::Finished() const {
  return impl_->handle && ::WaitForSingleObject(impl_->handle, 0) == WAIT_OBJECT_0;
}

// As GetExitCodeThread: STILL_ACTIVE (259) until the thread has ended.
uint32_t Thread::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (impl_->handle) ::GetExitCodeThread(impl_->handle, &code);
  return code;
}

}  // namespace lvx::os
