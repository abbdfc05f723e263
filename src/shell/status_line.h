// The engine's workers write progress into the main window's status line through this sink. The text
// is kept under a lock and the main thread is told by a posted message, at most one at a time, to
// show the newest text: a worker never waits for the main thread, which may itself be waiting for
// that worker to end (a build or a refresh stopped at exit).
#pragma once

#include <string>

#include "cache/engine_sinks.h"
#include "framework/win_api.h"
#include "platform/thread.h"

namespace lvx::shell {

class StatusLineSink : public cache::IStatusSink {
 public:
  // The window that receives WM_APP_STATUSTEXT and the status control it writes.
  void SetTarget(HWND window, HWND statusLine);
  // Any thread.
  void SetStatusText(const std::u16string& text) override;
  // Main thread, on WM_APP_STATUSTEXT: shows the newest text.
  void Apply();

 private:
  os::Lock lock_;
  HWND window_ = nullptr;      // guarded by lock_
  HWND statusLine_ = nullptr;  // guarded by lock_
  std::u16string text_;        // guarded by lock_
  bool posted_ = false;        // guarded by lock_
};

}  // namespace lvx::shell
