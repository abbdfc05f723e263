#include "shell/status_line.h"

#include "shell/app_messages.h"

namespace lvx::shell {

void StatusLineSink::SetTarget(HWND window, HWND statusLine) {
  os::LockGuard hold(lock_);
  window_ = window;
  statusLine_ = statusLine;
}

void StatusLineSink::SetStatusText(const std::u16string& text) {
  os::LockGuard hold(lock_);
  text_ = text;
  if (posted_ || !window_) return;
  posted_ = ::PostMessageW(window_, WM_APP_STATUSTEXT, 0, 0) != 0;
}

void StatusLineSink::Apply() {
  std::u16string text;
  HWND statusLine;
  {
    os::LockGuard hold(lock_);
    posted_ = false;
    text = text_;
    statusLine = statusLine_;
  }
  if (statusLine) ::SetWindowTextW(statusLine, reinterpret_cast<const wchar_t*>(text.c_str()));
}

}  // namespace lvx::shell
