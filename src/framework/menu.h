// A menu handle, owned (destroyed with the object) when this object loaded or created it.
#pragma once

#include "framework/win_api.h"

namespace lvx::ui {

class CMenu {
 public:
  CMenu() = default;
  CMenu(HMENU menu, bool owned) : menu_(menu), owned_(owned) {}
  ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  bool Load(UINT resourceId);
  bool CreatePopup();
  void Attach(HMENU menu, bool owned);
  HMENU Detach();
  HMENU Handle() const { return menu_; }

  HMENU SubMenu(int position) const { return ::GetSubMenu(menu_, position); }
  int Count() const { return ::GetMenuItemCount(menu_); }
  bool Append(UINT id, std::wstring_view text);
  bool AppendSeparator() { return ::AppendMenuW(menu_, MF_SEPARATOR, 0, nullptr) != 0; }
  // Removes every item (submenus are destroyed with their items).
  void Clear();

  // By command id, searched through the submenus too. The setters return false for an unknown id.
  bool Check(UINT id, bool on);
  bool Enable(UINT id, bool on);
  bool IsChecked(UINT id) const;
  bool IsEnabled(UINT id) const;
  bool SetText(UINT id, std::wstring_view text);
  std::wstring Text(UINT id) const;

  // Shows the menu at a screen point. Without TPM_RETURNCMD the chosen command goes to the owner as
  // WM_COMMAND; with it, the command is returned (0 for none).
  UINT Track(HWND owner, POINT screen, UINT flags = TPM_RIGHTBUTTON);

 private:
  HMENU menu_ = nullptr;
  bool owned_ = false;
};

}  // namespace lvx::ui
