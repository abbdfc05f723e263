#include "framework/menu.h"

#include <vector>

namespace lvx::ui {

CMenu::~CMenu() {
  if (owned_ && menu_) ::DestroyMenu(menu_);
}

bool CMenu::Load(UINT resourceId) {
  HMENU menu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
  if (!menu) return false;
  Attach(menu, true);
  return true;
}

bool CMenu::CreatePopup() {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return false;
  Attach(menu, true);
  return true;
}

void CMenu::Attach(HMENU menu, bool owned) {
  if (owned_ && menu_ && menu_ != menu) ::DestroyMenu(menu_);
  menu_ = menu;
  owned_ = owned;
}

HMENU CMenu::Detach() {
  HMENU menu = menu_;
  menu_ = nullptr;
  owned_ = false;
  return menu;
}

bool CMenu::Append(UINT id, std::wstring_view text) {
  std::wstring copy(text);
  return ::AppendMenuW(menu_, MF_STRING, id, copy.c_str()) != 0;
}

void CMenu::Clear() {
  for (int n = Count(); n > 0; --n) ::DeleteMenu(menu_, 0, MF_BYPOSITION);
}

bool CMenu::Check(UINT id, bool on) {
  return ::CheckMenuItem(menu_, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)) != DWORD(-1);
}

bool CMenu::Enable(UINT id, bool on) {
  return ::EnableMenuItem(menu_, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)) != -1;
}

bool CMenu::IsChecked(UINT id) const {
  UINT state = ::GetMenuState(menu_, id, MF_BYCOMMAND);
  return state != UINT(-1) && (state & MF_CHECKED);
}

bool CMenu::IsEnabled(UINT id) const {
  UINT state = ::GetMenuState(menu_, id, MF_BYCOMMAND);
  return state != UINT(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool CMenu::SetText(UINT id, std::wstring_view text) {
  std::wstring copy(text);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING;
  info.dwTypeData = copy.data();
  return ::SetMenuItemInfoW(menu_, id, FALSE, &info) != 0;
}

std::wstring CMenu::Text(UINT id) const {
  int n = ::GetMenuStringW(menu_, id, nullptr, 0, MF_BYCOMMAND);
  if (n <= 0) return {};
  std::vector<wchar_t> buffer(size_t(n) + 1, L'\0');
  n = ::GetMenuStringW(menu_, id, buffer.data(), n + 1, MF_BYCOMMAND);
  return std::wstring(buffer.data(), size_t(n > 0 ? n : 0));
}

UINT CMenu::Track(HWND owner, POINT screen, UINT flags) {
  return UINT(::TrackPopupMenu(menu_, flags, screen.x, screen.y, 0, owner, nullptr));
}

}  // namespace lvx::ui
