#include "options_ui/dialogs/dialog_util.h"

#include <algorithm>

namespace lvx::dialogs {

void CenterOnOwner(HWND window) {
  RECT self = {};
  ::GetWindowRect(window, &self);
  int width = self.right - self.left, height = self.bottom - self.top;
  RECT area = {};
  HWND owner = ::GetWindow(window, GW_OWNER);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  ::GetMonitorInfoW(::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST), &monitor);
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
    ::GetWindowRect(owner, &area);
  else
    area = monitor.rcWork;
  int x = (area.left + area.right - width) / 2, y = (area.top + area.bottom - height) / 2;
  const RECT& work = monitor.rcWork;
  x = std::max(int(work.left), std::min(x, int(work.right) - width));
  y = std::max(int(work.top), std::min(y, int(work.bottom) - height));
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring TrimBlanks(const std::wstring& text) {
  const wchar_t* blanks = L" \t\r\n\v\f";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    wchar_t letter = path[0] & ~0x20;
    return letter >= L'A' && letter <= L'Z';
  }
  return path.size() >= 5 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\' && path[2] != L'?' &&
         path.find(L'\\', 2) != std::wstring::npos;
}

}  // namespace lvx::dialogs
