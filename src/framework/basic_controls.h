// Wrappers of the standard controls: the messages a dialog sends them, as methods with the program's
// types. A wrapper is attached to a control of a dialog (Attach(Item(id))) or subclassed when a
// derived class handles the control's own messages or reflected notifications.
#pragma once

#include "framework/window.h"

namespace lvx::ui {

class CButton : public CWindow {
 public:
  bool IsChecked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
  void SetChecked(bool on) { Send(BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED); }
  // As a user's click: the button's own state changes and its parent gets BN_CLICKED.
  void Click() { Send(BM_CLICK); }
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(Send(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
  }
};

class CEditBox : public CWindow {
 public:
  void SetLimit(int chars) { Send(EM_SETLIMITTEXT, WPARAM(chars)); }
  void Select(int from, int to) { Send(EM_SETSEL, WPARAM(from), LPARAM(to)); }
  void SelectAll() { Select(0, -1); }
  void SetReadOnly(bool on) { Send(EM_SETREADONLY, on); }
  bool IsModified() const { return Send(EM_GETMODIFY) != 0; }
};

// Shared by combo boxes and list boxes, whose string messages differ only in name.
class CStringListControl : public CWindow {
 public:
  int Add(std::wstring_view text);
  int Insert(int index, std::wstring_view text);
  bool Delete(int index);
  void Clear();
  int Count() const;
  int Selection() const;  // -1 for none
  bool Select(int index);  // -1 clears the selection
  std::wstring ItemText(int index) const;
  int FindExact(std::wstring_view text, int after = -1) const;  // -1 when absent; ignores case
  bool SetItemData(int index, LPARAM data);
  LPARAM ItemData(int index) const;

  struct Messages {
    UINT add, insert, remove, reset, count, getSel, setSel, textLen, text, findExact, setData, getData;
    LRESULT error;
  };

 protected:
  explicit CStringListControl(const Messages& m) : m_(m) {}

 private:
  const Messages& m_;
};

class CComboBox : public CStringListControl {
 public:
  CComboBox();
  void ShowDropDown(bool show) { Send(CB_SHOWDROPDOWN, show); }
  bool IsDroppedDown() const { return Send(CB_GETDROPPEDSTATE) != 0; }
  void SetEditLimit(int chars) { Send(CB_LIMITTEXT, WPARAM(chars)); }
};

class CListBox : public CStringListControl {
 public:
  CListBox();
  bool SetTopIndex(int index) { return Send(LB_SETTOPINDEX, WPARAM(index)) != LB_ERR; }
};

}  // namespace lvx::ui
