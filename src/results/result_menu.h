// The result menu ("LISTMENU"): the program's own commands for the selected rows, with the shell's
// context menu for them in front as "E&xplorer Action". The shell's part is built only when that
// submenu opens, and only for rows of one folder. The program's commands reach the owner window as
// ordinary WM_COMMAND messages (CResultActions::RunCommand carries them out).
#pragma once

#include <string>
#include <vector>

#include "results/result_actions.h"
#include "results/shell_context_menu.h"

namespace lvx::results {

// What the selected rows make of the shell submenu.
struct MenuItems {
  bool readable = true;    // false: a row could not be read (no menu is shown)
  bool sameFolder = true;  // all rows in one folder
  std::vector<std::wstring> paths;  // the rows' items for the shell (a drive as its root)
};
MenuItems CollectMenuItems(CListCtrlEx& list);

class CResultMenu {
 public:
  explicit CResultMenu(CListCtrlEx* list, HWND owner);
  virtual ~CResultMenu();

  // A right-click on the list: the menu at the pointer (screen coordinates).
  void ShowAt(POINT screen);
  // The context-menu key (with or without Shift): beside the first visible selected row; nothing
  // when no row is selected.
  void ShowByKeyboard();
  // Where the keyboard variant opens: 100 pixels right of the list's left edge, at the top of the
  // first selected row whose top is in view; false when no row is selected. *screen is the pointer
  // when no selected row is in view.
  bool KeyboardPoint(POINT* screen);

 protected:
  // Shows the menu and returns the chosen command (0 for none). Tests answer here.
  virtual UINT Track(HMENU menu, POINT screen);
  // The owner's menu-popup message while the menu is shown: builds the shell's submenu when the
  // placeholder opens.
  void OnResultMenuPopup(HMENU popup);
  HMENU ListMenu() const { return listMenu_; }
  HMENU Placeholder() const { return placeholder_; }
  CShellContextMenu& ShellMenu() { return shellMenu_; }

 private:
  static LRESULT CALLBACK OwnerProc(HWND window, UINT msg, WPARAM w, LPARAM l, UINT_PTR id, DWORD_PTR self);

  CListCtrlEx* list_;
  HWND owner_;
  CShellContextMenu shellMenu_;
  HMENU listMenu_ = nullptr;     // while shown
  HMENU placeholder_ = nullptr;  // while shown
  HMENU notAvailable_ = nullptr;
  bool sameFolder_ = false;
  bool shellMenuFailed_ = false;
};

}  // namespace lvx::results
