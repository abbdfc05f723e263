// The results list's own keyboard navigation: Up, Down, Page Up, Page Down, Home and End, alone,
// with Shift or with Ctrl, and Space alone. The list view's own handling clears the old selection
// of an owner-data list row by row over every row of the list (wine), which costs seconds per key
// with a million hits. Here only the rows whose state changes are touched: the selection is found from
// the rows the last move left selected and checked against the list's own selected count; when it
// cannot be found so cheaply it is cleared by shrinking the row count to nothing and back, and only
// if even that left rows selected by the list view's clear-all.
#include "results/list_ctrl_ex.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace lvx::results {

namespace {

// A selection of at most this many rows is looked up and cleared row by row.
constexpr int kRowByRowLimit = 64;
// A Shift move that changes more rows than this is left to the list view.
constexpr int kRangeDeltaLimit = 4096;

bool Down(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

}  // namespace

int NavigationRow(UINT key, int focus, int top, int perPage, int count) {
  if (count <= 0) return -1;
  perPage = std::max(perPage, 1);
  int row = focus;
  switch (key) {
    case VK_HOME:
      row = 0;
      break;
    case VK_END:
      row = count - 1;
      break;
    case VK_UP:
      row = focus < 0 ? 0 : focus - 1;
      break;
    case VK_DOWN:
      row = focus < 0 ? 0 : focus + 1;
      break;
    case VK_PRIOR:
      // To the top row of the page; from there one page up.
      row = focus == top ? top - perPage + 1 : top;
      break;
    case VK_NEXT:
      // To the bottom row of the page; from there one page down.
      row = focus == top + perPage - 1 ? focus + perPage - 1 : top + perPage - 1;
      break;
    default:
      return -1;
  }
  return std::clamp(row, 0, count - 1);
}

bool CListCtrlEx::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_KEYDOWN && OnNavigationKey(UINT(w))) {
    *result = 0;
    return true;
  }
  if ((msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) && !(w & (MK_SHIFT | MK_CONTROL))) {
    // A click that selects its row alone finds nothing else selected, which the list view's own
    // handling then gets through at once. A right click on a selected row keeps the selection.
    const int row = HitTest(POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    if (row >= 0 && (msg == WM_LBUTTONDOWN || !(ItemState(row, LVIS_SELECTED) & LVIS_SELECTED)))
      DeselectAllBut(NextItem(-1, LVNI_FOCUSED), -1);
  }
  return CListView::WindowProc(msg, w, l, result);
}

bool CListCtrlEx::OnNavigationKey(UINT key) {
  const int count = Count();
  const int focus = NextItem(-1, LVNI_FOCUSED);
  const bool shift = Down(VK_SHIFT), ctrl = Down(VK_CONTROL);
  if (key == VK_SPACE) {
    // Space alone selects the focused row only; with Ctrl it toggles it (the list view's own).
    if (shift || ctrl || focus < 0) return false;
    SelectOnly(focus, focus);
    Notify(key);
    return true;
  }
  const int row = NavigationRow(key, focus, int(Send(LVM_GETTOPINDEX)), int(Send(LVM_GETCOUNTPERPAGE)), count);
  if (row < 0) return false;
  if (shift && !(Style() & LVS_SINGLESEL)) {
    if (!ExtendSelection(focus, row)) return false;
  } else if (ctrl && !(Style() & LVS_SINGLESEL)) {
    SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
  } else {
    SelectOnly(focus, row);
  }
  Notify(key);
  EnsureVisible(row);
  return true;
}

void CListCtrlEx::Notify(UINT key) {
  // The parent hears of the key as from the list view's own handling.
  NMLVKEYDOWN note = {};
  note.hdr.hwndFrom = Handle();
  note.hdr.idFrom = UINT_PTR(Id());
  note.hdr.code = LVN_KEYDOWN;
  note.wVKey = WORD(key);
  ::SendMessageW(Parent(), WM_NOTIFY, note.hdr.idFrom, reinterpret_cast<LPARAM>(&note));
}

std::vector<int> CListCtrlEx::SelectedNear(int from, int selected) const {
  // The rows from `from` on; all of them only if the list's count says so.
  std::vector<int> rows;
  if (selected > kRowByRowLimit) return rows;
  // Each search runs to the next selected row or to the end of the list: none after the last.
  for (int r = NextItem(std::max(from, 0) - 1, LVNI_SELECTED); r >= 0; r = NextItem(r, LVNI_SELECTED)) {
    rows.push_back(r);
    if (int(rows.size()) == selected) return rows;
  }
  return {};
}

void CListCtrlEx::DeselectAllBut(int focus, int row) {
  const int selected = SelectedCount();
  if (selected <= 0) return;
  const int mark = SelectionMark();
  int from = focus;
  if (mark >= 0 && (from < 0 || mark < from)) from = mark;
  std::vector<int> rows = SelectedNear(from, selected);
  if (rows.empty()) {
    ClearSelection();
    return;
  }
  for (int r : rows) {
    if (r != row) SetItemState(r, 0, LVIS_SELECTED);
  }
}

void CListCtrlEx::SelectOnly(int focus, int row) {
  DeselectAllBut(focus, row);
  SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Send(LVM_SETSELECTIONMARK, 0, row);
}

int CListCtrlEx::SelectionMark() const {
  // The list view keeps a mark of rows that are gone (the row count was lowered since).
  const int mark = int(Send(LVM_GETSELECTIONMARK));
  return mark < Count() ? mark : -1;
}

bool CListCtrlEx::ExtendSelection(int focus, int row) {
  int mark = SelectionMark();
  if (mark < 0) mark = focus >= 0 ? focus : row;
  const int oldLo = std::min(mark, focus < 0 ? mark : focus), oldHi = std::max(mark, focus < 0 ? mark : focus);
  const int newLo = std::min(mark, row), newHi = std::max(mark, row);
  // The rows that change: the ends of the old range that the new one leaves, and the reverse.
  const int changed = std::abs(newLo - oldLo) + std::abs(newHi - oldHi);
  if (changed > kRangeDeltaLimit) return false;
  // The old range must be exactly what is selected; otherwise the new one is made from nothing.
  bool exact = SelectedCount() == oldHi - oldLo + 1 && oldHi - oldLo < kRangeDeltaLimit;
  for (int r = oldLo; exact && r <= oldHi; ++r) exact = (ItemState(r, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  if (!exact) {
    if (newHi - newLo >= kRangeDeltaLimit) return false;
    SelectOnly(focus, mark);
    for (int r = newLo; r <= newHi; ++r) SetItemState(r, LVIS_SELECTED, LVIS_SELECTED);
  } else {
    for (int r = oldLo; r <= oldHi; ++r) {
      if (r < newLo || r > newHi) SetItemState(r, 0, LVIS_SELECTED);
    }
    for (int r = newLo; r <= newHi; ++r) {
      if (r < oldLo || r > oldHi) SetItemState(r, LVIS_SELECTED, LVIS_SELECTED);
    }
  }
  SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
  Send(LVM_SETSELECTIONMARK, 0, mark);
  return true;
}

void CListCtrlEx::ClearSelection() {
  // The list view forgets the selection of rows beyond its row count at once: shrink it to nothing
  // and back without drawing in between, then bring back the rows that were shown.
  const int count = Count();
  const int top = int(Send(LVM_GETTOPINDEX));
  const int perPage = int(Send(LVM_GETCOUNTPERPAGE));
  Send(WM_SETREDRAW, FALSE);
  SetVirtualCount(0);
  SetVirtualCount(count);
  if (top > 0) {
    EnsureVisible(std::min(top + std::max(perPage, 1) - 1, count - 1));
    EnsureVisible(top);
  }
  Send(WM_SETREDRAW, TRUE);
  Invalidate(false);
  if (SelectedCount() > 0) SetItemState(-1, 0, LVIS_SELECTED);
}

}  // namespace lvx::results
