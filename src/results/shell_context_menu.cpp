#include "results/shell_context_menu.h"

namespace lvx::results {

namespace {

constexpr UINT_PTR kHookId = 0x4c56584d;  // "LVXM"

// The font of the shell's owner-drawn items, shared by every menu (one is shown at a time).
HFONT MenuFont() {
  static HFONT font = ::CreateFontW(15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, L"Arial");
  return font;
}

}  // namespace

CShellContextMenu::~CShellContextMenu() {
  Unhook();
  ReleaseMenu();
  ReleaseItems();
  if (popup_) ::DestroyMenu(popup_);
}

void CShellContextMenu::ReleaseItems() {
  for (PITEMID_CHILD id : ids_) ::CoTaskMemFree(id);
  ids_.clear();
  if (folder_) folder_->Release();
  folder_ = nullptr;
}

void CShellContextMenu::ReleaseMenu() {
  if (contextMenu_) contextMenu_->Release();
  if (menu2_) menu2_->Release();
  if (menu3_) menu3_->Release();
  contextMenu_ = nullptr;
  menu2_ = nullptr;
  menu3_ = nullptr;
}

void CShellContextMenu::Unhook() {
  if (hooked_) ::RemoveWindowSubclass(hooked_, MenuHookProc, kHookId);
  hooked_ = nullptr;
}

bool CShellContextMenu::SetObjects(const std::vector<std::wstring>& paths) {
  ReleaseItems();
  IShellFolder* desktop = nullptr;
  if (paths.empty() || FAILED(::SHGetDesktopFolder(&desktop))) return false;
  bool ok = true;
  for (size_t i = 0; ok && i < paths.size(); ++i) {
    PIDLIST_RELATIVE full = nullptr;
    std::wstring name = paths[i];
    ok = SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &full, nullptr));
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD last = nullptr;
    if (ok) {
      ok = SUCCEEDED(::SHBindToParent(reinterpret_cast<PCIDLIST_ABSOLUTE>(full), IID_IShellFolder,
                                      reinterpret_cast<void**>(&parent), &last));
    }
    if (ok) {
      ids_.push_back(static_cast<PITEMID_CHILD>(::ILClone(last)));
      // The first item's folder stands for all.
      if (i == 0) {
        folder_ = parent;
        parent = nullptr;
      }
    }
    if (parent) parent->Release();
    ::CoTaskMemFree(full);
  }
  desktop->Release();
  if (!ok) ReleaseItems();
  return ok;
}

HMENU CShellContextMenu::BuildShellMenu(HWND window) {
  Unhook();
  ReleaseMenu();
  menuType_ = 0;
  if (!folder_ || ids_.empty()) return nullptr;
  if (FAILED(folder_->GetUIObjectOf(window, UINT(ids_.size()), const_cast<PCUITEMID_CHILD_ARRAY>(ids_.data()),
                                    IID_IContextMenu, nullptr, reinterpret_cast<void**>(&contextMenu_)))) {
    contextMenu_ = nullptr;
    return nullptr;
  }
  if (SUCCEEDED(contextMenu_->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu3_)))) {
    menuType_ = 3;
  } else if (SUCCEEDED(contextMenu_->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&menu2_)))) {
    menuType_ = 2;
  } else {
    menu3_ = nullptr;
    menu2_ = nullptr;
    menuType_ = 1;
  }
  if (popup_) ::DestroyMenu(popup_);
  popup_ = ::CreatePopupMenu();
  if (!popup_ || FAILED(contextMenu_->QueryContextMenu(popup_, 0, kFirstCommand, kLastCommand, CMF_EXPLORE))) {
    ReleaseMenu();
    return nullptr;
  }
  if (menuType_ >= 2 && window && ::SetWindowSubclass(window, MenuHookProc, kHookId, DWORD_PTR(this))) {
    hooked_ = window;
  }
  return popup_;
}

UINT CShellContextMenu::InvokeShellCommand(HWND window, UINT id) {
  Unhook();
  if (!contextMenu_) return id;
  UINT result = id;
  if (id >= kFirstCommand && id <= kLastCommand) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(id - kFirstCommand);
    info.nShow = SW_SHOWNORMAL;
    contextMenu_->InvokeCommand(&info);
    result = 0;
  }
  ReleaseMenu();
  return result;
}

LRESULT CALLBACK CShellContextMenu::MenuHookProc(HWND window, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CShellContextMenu*>(data);
  IContextMenu2* handler = self->menu2_ ? static_cast<IContextMenu2*>(self->menu2_) : self->menu3_;
  switch (msg) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      if (w != 0 || !handler) break;
      if (msg == WM_DRAWITEM && reinterpret_cast<DRAWITEMSTRUCT*>(l)->CtlType == ODT_MENU) {
        HDC dc = reinterpret_cast<DRAWITEMSTRUCT*>(l)->hDC;
        HGDIOBJ old = ::SelectObject(dc, MenuFont());
        handler->HandleMenuMsg(msg, w, l);
        ::SelectObject(dc, old);
      } else {
        handler->HandleMenuMsg(msg, w, l);
      }
      return TRUE;
    case WM_INITMENUPOPUP:
      if (!handler) break;
      handler->HandleMenuMsg(msg, w, l);
      return 0;
    case WM_MENUCHAR:
      if (self->menu3_) {
        LRESULT answer = 0;
        self->menu3_->HandleMenuMsg2(msg, w, l, &answer);
        return answer;
      }
      break;
    default:
      break;
  }
  return ::DefSubclassProc(window, msg, w, l);
}

}  // namespace lvx::results
