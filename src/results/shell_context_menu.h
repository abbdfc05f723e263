// CShellContextMenu: the Windows shell's own context menu for items of one folder ("E&xplorer
// Action" in the result menu). SetObjects takes the items' full paths, BuildShellMenu has the shell
// fill a popup menu (command ids 1 to 10000) and hooks the window that owns the menu, so that the
// shell draws and answers its own items (IContextMenu2/3); InvokeShellCommand carries out the
// chosen command and unhooks the window.
#pragma once

#include <string>
#include <vector>

#include "framework/win_api.h"
#include <shlobj.h>

namespace lvx::results {

class CShellContextMenu {
 public:
  static constexpr UINT kFirstCommand = 1;
  static constexpr UINT kLastCommand = 10000;

  CShellContextMenu() = default;
  virtual ~CShellContextMenu();
  CShellContextMenu(const CShellContextMenu&) = delete;
  CShellContextMenu& operator=(const CShellContextMenu&) = delete;

  // The items, all in one folder (the caller checks that); false when a path is not known to the
  // shell (nothing is kept then).
  bool SetObjects(const std::vector<std::wstring>& paths);
  // The shell's popup menu for the items, or null when the shell gives none.
  HMENU BuildShellMenu(HWND window);
  // Carries out a command of the shell's menu and returns 0, or returns id when it is not one;
  // either way the window is unhooked and the shell's menu interface released.
  UINT InvokeShellCommand(HWND window, UINT id);

  UINT ItemCount() const { return UINT(ids_.size()); }
  // 3, 2 or 1: the newest menu interface the shell gave; 0 before a build.
  int MenuType() const { return menuType_; }

 private:
  static LRESULT CALLBACK MenuHookProc(HWND window, UINT msg, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR self);
  void ReleaseItems();
  void ReleaseMenu();
  void Unhook();

  IContextMenu* contextMenu_ = nullptr;
  IContextMenu2* menu2_ = nullptr;  // set while a shell menu of type 2 is shown
  IContextMenu3* menu3_ = nullptr;  // of type 3
  int menuType_ = 0;
  HMENU popup_ = nullptr;
  IShellFolder* folder_ = nullptr;
  std::vector<PITEMID_CHILD> ids_;  // each from the shell's allocator
  HWND hooked_ = nullptr;
};

}  // namespace lvx::results
