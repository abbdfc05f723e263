// Wrappers of the common controls the dialogs use: list view, tab control, up-down control, date
// picker and progress bar. The program calls InitCommonControls (InitCommonControls below) before
// its first dialog.
#pragma once

#include "framework/window.h"

namespace lvx::ui {

// Registers the common control classes the dialogs use; true when all could be registered.
bool InitCommonControls();

class CListView : public CWindow {
 public:
  int InsertColumn(int index, std::wstring_view heading, int width, int format = LVCFMT_LEFT);
  bool SetColumnWidth(int column, int width) { return Send(LVM_SETCOLUMNWIDTH, WPARAM(column), width) != 0; }
  int ColumnWidth(int column) const { return int(Send(LVM_GETCOLUMNWIDTH, WPARAM(column))); }
  int InsertItem(int index, std::wstring_view text);
  bool SetItemText(int index, int column, std::wstring_view text);
  std::wstring ItemText(int index, int column) const;
  bool DeleteItem(int index) { return Send(LVM_DELETEITEM, WPARAM(index)) != 0; }
  void DeleteAll() { Send(LVM_DELETEALLITEMS); }
  int Count() const { return int(Send(LVM_GETITEMCOUNT)); }
  // The row count of an owner-data list (no rows are stored by the control).
  bool SetVirtualCount(int count, DWORD flags = LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  DWORD ExtendedStyle() const { return DWORD(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  void SetExtendedStyle(DWORD mask, DWORD style) { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style); }
  bool IsCheckedItem(int index) const;
  bool SetCheckedItem(int index, bool on);
  UINT ItemState(int index, UINT mask) const { return UINT(Send(LVM_GETITEMSTATE, WPARAM(index), mask)); }
  bool SetItemState(int index, UINT state, UINT mask);  // index -1: every row
  int SelectedCount() const { return int(Send(LVM_GETSELECTEDCOUNT)); }
  int NextItem(int start, UINT flags = LVNI_SELECTED) const { return int(Send(LVM_GETNEXTITEM, WPARAM(start), flags)); }
  bool RedrawItems(int first, int last) { return Send(LVM_REDRAWITEMS, WPARAM(first), last) != 0; }
  bool EnsureVisible(int index) { return Send(LVM_ENSUREVISIBLE, WPARAM(index), FALSE) != 0; }
  // The row under a point of the client area, -1 for none.
  int HitTest(POINT client) const;
  HWND Header() const { return reinterpret_cast<HWND>(Send(LVM_GETHEADER)); }
  HIMAGELIST SetImageList(HIMAGELIST list, int which) {
    return reinterpret_cast<HIMAGELIST>(Send(LVM_SETIMAGELIST, WPARAM(which), reinterpret_cast<LPARAM>(list)));
  }
};

class CTabControl : public CWindow {
 public:
  int InsertItem(int index, std::wstring_view text);
  bool DeleteItem(int index) { return Send(TCM_DELETEITEM, WPARAM(index)) != 0; }
  void DeleteAll() { Send(TCM_DELETEALLITEMS); }
  int Count() const { return int(Send(TCM_GETITEMCOUNT)); }
  int Selection() const { return int(Send(TCM_GETCURSEL)); }
  // Selects a tab without notifying the parent (as the control's own message does); -1 on failure.
  int Select(int index) { return int(Send(TCM_SETCURSEL, WPARAM(index))); }
  std::wstring ItemText(int index) const;
  // The display area for a window rectangle (larger = false), or the reverse.
  RECT AdjustRect(const RECT& rect, bool larger) const;
};

class CUpDown : public CWindow {
 public:
  void SetRange(int low, int high) { Send(UDM_SETRANGE32, WPARAM(low), LPARAM(high)); }
  void Range(int* low, int* high) const;
  // The position; *valid (when given) is false when the buddy's text is not a number in range.
  int Position(bool* valid = nullptr) const;
  int SetPosition(int position) { return int(Send(UDM_SETPOS32, 0, position)); }
  HWND Buddy() const { return reinterpret_cast<HWND>(Send(UDM_GETBUDDY)); }
  void SetBuddy(HWND buddy) { Send(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy)); }
};

class CDatePicker : public CWindow {
 public:
  // False when the picker shows no date (a picker with a check box that is cleared).
  bool Time(SYSTEMTIME* time) const;
  bool SetTime(const SYSTEMTIME& time);
  bool SetFormat(std::wstring_view format);
};

class CProgressBar : public CWindow {
 public:
  void SetRange(int low, int high) { Send(PBM_SETRANGE32, WPARAM(low), LPARAM(high)); }
  int Position() const { return int(Send(PBM_GETPOS)); }
  int SetPosition(int position) { return int(Send(PBM_SETPOS, WPARAM(position))); }
  int Step(int delta) { return int(Send(PBM_DELTAPOS, WPARAM(delta))); }
  int Low() const { return int(Send(PBM_GETRANGE, TRUE)); }
  int High() const { return int(Send(PBM_GETRANGE, FALSE)); }
};

}  // namespace lvx::ui
