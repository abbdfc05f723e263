// The dispatching join on Win32: MsgWaitForMultipleObjects on the thread's handle, so that a
// window thread that waits for a worker still answers what the worker sends or posts to it.
#include <pthread.h>

#include "platform/thread.h"
#include "platform/win32/win32.h"

namespace lvx::os {

bool Thread::WaitDispatching(uintptr_t thread, uint32_t milliseconds) {
  HANDLE h = ::pthread_gethandle(pthread_t(thread));
  const DWORD start = ::GetTickCount();
  auto left = [&]() -> DWORD {
    DWORD elapsed = ::GetTickCount() - start;
    return milliseconds == INFINITE ? INFINITE : elapsed >= milliseconds ? 0 : milliseconds - elapsed;
  };
  auto ended = [&](DWORD wait) { return ::WaitForSingleObject(h, wait) == WAIT_OBJECT_0; };
  for (MSG msg;;) {
    DWORD r = ::MsgWaitForMultipleObjects(1, &h, FALSE, left(), QS_ALLINPUT);
    if (r != WAIT_OBJECT_0 + 1) return r == WAIT_OBJECT_0;  // ended, time up, or the wait failed
    // Everything queued now is dispatched (sent messages are delivered inside PeekMessageW): the
    // wait wakes only for input that arrived after the queue was last looked at.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is closing: its WM_QUIT is kept for its own loop, and only the thread is
        // waited for from here on.
        bool done = ended(left());
        ::PostQuitMessage(int(msg.wParam));
        return done;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
      // A sender that never lets the queue run dry must not hold the caller past its time.
      if (left() == 0) return ended(0);
    }
  }
}

}  // namespace lvx::os
