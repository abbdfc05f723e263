#include "framework/common_controls.h"

#include <vector>

namespace lvx::ui {

bool InitCommonControls() {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof(init);
  init.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES | ICC_PROGRESS_CLASS |
               ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  return ::InitCommonControlsEx(&init) != 0;
}

int CListView::InsertColumn(int index, std::wstring_view heading, int width, int format) {
  std::wstring text(heading);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.cx = width;
  column.pszText = text.data();
  return int(Send(LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&column)));
}

int CListView::InsertItem(int index, std::wstring_view text) {
  std::wstring copy(text);
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = copy.data();
  return int(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CListView::SetItemText(int index, int column, std::wstring_view text) {
  std::wstring copy(text);
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = copy.data();
  return Send(LVM_SETITEMTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::wstring CListView::ItemText(int index, int column) const {
  // The control copies at most the buffer's size and says how much it copied; a full buffer may
  // mean a longer text, so the buffer grows until the text fits.
  for (size_t size = 256; size <= (1u << 20); size *= 4) {
    std::vector<wchar_t> buffer(size, L'\0');
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = int(size);
    LRESULT n = Send(LVM_GETITEMTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(&item));
    if (n < 0) return {};
    if (size_t(n) < size - 1) return std::wstring(buffer.data(), size_t(n));
  }
  return {};
}

bool CListView::SetVirtualCount(int count, DWORD flags) {
  return Send(LVM_SETITEMCOUNT, WPARAM(count), LPARAM(flags)) != 0;
}

bool CListView::IsCheckedItem(int index) const {
  return ((ItemState(index, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
}

bool CListView::SetCheckedItem(int index, bool on) {
  return SetItemState(index, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK);
}

bool CListView::SetItemState(int index, UINT state, UINT mask) {
  LVITEMW item = {};
  item.state = state;
  item.stateMask = mask;
  return Send(LVM_SETITEMSTATE, WPARAM(index), reinterpret_cast<LPARAM>(&item)) != 0;
}

int CListView::HitTest(POINT client) const {
  LVHITTESTINFO info = {};
  info.pt = client;
  return int(Send(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&info)));
}

int CTabControl::InsertItem(int index, std::wstring_view text) {
  std::wstring copy(text);
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = copy.data();
  return int(Send(TCM_INSERTITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item)));
}

std::wstring CTabControl::ItemText(int index) const {
  wchar_t buffer[256] = {};
  TCITEMW item = {};
  item.mask = TCIF_TEXT;
  item.pszText = buffer;
  item.cchTextMax = 256;
  if (!Send(TCM_GETITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item))) return {};
  return item.pszText ? std::wstring(item.pszText) : std::wstring();
}

RECT CTabControl::AdjustRect(const RECT& rect, bool larger) const {
  RECT r = rect;
  Send(TCM_ADJUSTRECT, larger, reinterpret_cast<LPARAM>(&r));
  return r;
}

void CUpDown::Range(int* low, int* high) const {
  Send(UDM_GETRANGE32, reinterpret_cast<WPARAM>(low), reinterpret_cast<LPARAM>(high));
}

int CUpDown::Position(bool* valid) const {
  BOOL error = FALSE;
  int pos = int(Send(UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)));
  if (valid) *valid = !error;
  return pos;
}

bool CDatePicker::Time(SYSTEMTIME* time) const {
  return Send(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(time)) == GDT_VALID;
}

bool CDatePicker::SetTime(const SYSTEMTIME& time) {
  return Send(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)) != 0;
}

bool CDatePicker::SetFormat(std::wstring_view format) {
  std::wstring copy(format);
  return Send(DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(copy.empty() ? nullptr : copy.c_str())) != 0;
}

}  // namespace lvx::ui
