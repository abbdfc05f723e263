// The dispatching join on Win32: MsgWaitForMultipleObjects on the thread's handle, so that a
// window thread that waits for a worker still answers what the worker sends or posts to it.
#include <pthread.h>

#include "platform/thread_wait.h"
#include "platform/win32/win32.h"

namespace lvx::os {

bool WaitDispatching(std::thread& thread, uint32_t milliseconds) {
  HANDLE h = ::pthread_gethandle(thread.native_handle());
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

}  // namespace lvx::os
