#include "shell/uilib_dialog.h"

#include <algorithm>

#include "uilib/dialog_builder.h"
#include "uilib/window_ctrl.h"

namespace lvx::shell {

bool CUILibDialog::BuildLayout() {
  paintManager_.Init(Handle());
  uilib::CDialogBuilder builder;
  std::unique_ptr<uilib::CControlUI> root = builder.Create(layout_, &paintManager_, &layoutError_);
  if (!root) return false;
  paintManager_.AttachDialog(std::move(root));
  paintManager_.AddNotifier(this);
  return true;
}

bool CUILibDialog::AttachHost(const char16_t* name, HWND window) {
  auto* host = dynamic_cast<uilib::CWindowCtrlUI*>(paintManager_.FindControl(name));
  if (!host || !window) return false;
  host->AttachHostWindow(window);
  return true;
}

void CUILibDialog::Relayout() {
  RECT client = ClientRect();
  paintManager_.Resize(client.right - client.left, client.bottom - client.top);
}

void CUILibDialog::ApplyLayoutSize() {
  const int width = paintManager_.GetInitWidth(), height = paintManager_.GetInitHeight();
  if (width <= 0 || height <= 0) return;
  RECT r = {0, 0, width, height};
  ::AdjustWindowRectEx(&r, Style(), ::GetMenu(Handle()) != nullptr, DWORD(::GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
  ::SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CUILibDialog::LimitToWorkArea(MINMAXINFO* info) const {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor)) return;
  // The maximised position is relative to the monitor, the size is the work area's.
  info->ptMaxPosition.x = monitor.rcWork.left - monitor.rcMonitor.left;
  info->ptMaxPosition.y = monitor.rcWork.top - monitor.rcMonitor.top;
  info->ptMaxSize.x = monitor.rcWork.right - monitor.rcWork.left;
  info->ptMaxSize.y = monitor.rcWork.bottom - monitor.rcWork.top;
  info->ptMaxTrackSize.x = std::max<LONG>(info->ptMaxTrackSize.x, info->ptMaxSize.x);
  info->ptMaxTrackSize.y = std::max<LONG>(info->ptMaxTrackSize.y, info->ptMaxSize.y);
}

bool CUILibDialog::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  // A dialog's procedure first hears of its window at WM_INITDIALOG; a window of its own class
  // already at WM_CREATE.
  if ((msg == WM_CREATE || msg == WM_INITDIALOG) && !layoutTried_) {
    layoutTried_ = true;
    if (!BuildLayout()) paintManager_.Init(nullptr);
  }
  LRESULT handled = 0;
  if (paintManager_.MessageHandler(msg, w, l, handled)) {
    *result = handled;
    return true;
  }
  if (msg == WM_GETMINMAXINFO) {
    LimitToWorkArea(reinterpret_cast<MINMAXINFO*>(l));
    *result = 0;
    return true;
  }
  return CDialogBox::WindowProc(msg, w, l, result);
}

}  // namespace lvx::shell
