#include "results/result_menu.h"

#include "framework/menu.h"
#include "resource.h"

namespace lvx::results {

namespace {

constexpr UINT_PTR kOwnerHookId = 0x4c565852;  // "LVXR"
const wchar_t kExplorerAction[] = L"E&xplorer Action";

HMENU LoadListMenu(HMENU* bar) {
  *bar = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_LISTMENU));
  return *bar ? ::GetSubMenu(*bar, 0) : nullptr;
}

}  // namespace

MenuItems CollectMenuItems(CListCtrlEx& list) {
  MenuItems items;
  std::u16string recorded;
  for (int row = list.NextItem(-1); row >= 0; row = list.NextItem(row)) {
    SelectedRow selected;
    if (!list.GetItemPath(row, &selected.name, &selected.path)) {
      items.readable = false;
      return items;
    }
    if (!recorded.empty() && selected.path != recorded) {
      items.sameFolder = false;
      return items;
    }
    recorded = selected.path;
    const std::u16string shellPath = selected.ShellPath();
    items.paths.emplace_back(shellPath.begin(), shellPath.end());
  }
  return items;
}

CResultMenu::CResultMenu(CListCtrlEx* list, HWND owner) : list_(list), owner_(owner) {
  notAvailable_ = ::CreatePopupMenu();
  ::AppendMenuW(notAvailable_, MF_STRING, 0, L"Not available for this item.");
}

CResultMenu::~CResultMenu() { ::DestroyMenu(notAvailable_); }

bool CResultMenu::KeyboardPoint(POINT* screen) {
  int row = list_->NextItem(-1);
  if (row < 0) return false;
  for (; row >= 0; row = list_->NextItem(row)) {
    RECT rc = {};
    rc.left = LVIR_BOUNDS;
    if (list_->Send(LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&rc)) && rc.top >= 0) {
      *screen = POINT{rc.left + 100, rc.top};
      ::ClientToScreen(list_->Handle(), screen);
      return true;
    }
  }
  ::GetCursorPos(screen);
  return true;
}

void CResultMenu::ShowByKeyboard() {
  POINT screen = {};
  if (KeyboardPoint(&screen)) ShowAt(screen);
}

UINT CResultMenu::Track(HMENU menu, POINT screen) {
  return UINT(::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x, screen.y, 0, owner_,
                               nullptr));
}

void CResultMenu::ShowAt(POINT screen) {
  const MenuItems items = CollectMenuItems(*list_);
  if (!items.readable || (items.sameFolder && items.paths.empty())) return;
  HMENU bar = nullptr;
  listMenu_ = LoadListMenu(&bar);
  if (!listMenu_) return;
  placeholder_ = ::CreatePopupMenu();
  ::InsertMenuW(listMenu_, 0, MF_BYPOSITION | MF_POPUP, UINT_PTR(placeholder_), kExplorerAction);
  sameFolder_ = items.sameFolder;
  shellMenuFailed_ = !sameFolder_ || !shellMenu_.SetObjects(items.paths);
  if (!sameFolder_) ::AppendMenuW(placeholder_, MF_STRING, 0, L"Not in the same folder");
  // The owner's menu messages pass here first while the menu is shown.
  const bool hooked = ::SetWindowSubclass(owner_, OwnerProc, kOwnerHookId, DWORD_PTR(this)) != FALSE;
  UINT command = Track(listMenu_, screen);
  if (hooked) ::RemoveWindowSubclass(owner_, OwnerProc, kOwnerHookId);
  if (!shellMenuFailed_) command = shellMenu_.InvokeShellCommand(owner_, command);
  else shellMenu_.InvokeShellCommand(owner_, 0);
  if (command > CShellContextMenu::kLastCommand) ::SendMessageW(owner_, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  // Opening the placeholder put the shell's menu (kept by shellMenu_) or notAvailable_ in its place,
  // and the system destroyed it then: neither goes with the result menu.
  if (::GetSubMenu(listMenu_, 0) != placeholder_) ::RemoveMenu(listMenu_, 0, MF_BYPOSITION);
  if (::IsMenu(placeholder_) && ::GetSubMenu(listMenu_, 0) != placeholder_) ::DestroyMenu(placeholder_);
  placeholder_ = nullptr;
  listMenu_ = nullptr;
  ::DestroyMenu(bar);
}

void CResultMenu::OnResultMenuPopup(HMENU popup) {
  if (!placeholder_ || popup != placeholder_ || !sameFolder_) return;
  shellMenuFailed_ = false;
  HMENU shell = shellMenu_.BuildShellMenu(owner_);
  if (!shell) shellMenuFailed_ = true;
  ::ModifyMenuW(listMenu_, 0, MF_BYPOSITION | MF_POPUP, UINT_PTR(shellMenuFailed_ ? notAvailable_ : shell), kExplorerAction);
}

LRESULT CALLBACK CResultMenu::OwnerProc(HWND window, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  const LRESULT result = ::DefSubclassProc(window, msg, w, l);
  if (msg == WM_INITMENUPOPUP) reinterpret_cast<CResultMenu*>(data)->OnResultMenuPopup(reinterpret_cast<HMENU>(w));
  return result;
}

}  // namespace lvx::results
