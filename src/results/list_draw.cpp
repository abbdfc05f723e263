// Drawing of the results list: each row is composed off-screen (icon, name and size on the first
// line, folder and date in grey on the second, a gradient and a rounded frame behind a selected row)
// and copied to the list in one transfer, so rows do not flicker while the icon thread redraws them.
#include "results/list_ctrl_ex.h"

#include "controls/look.h"
#include "controls/paint_util.h"

namespace lvx::results {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSecondLine = RGB(127, 127, 127);
constexpr UINT kLineFlags = DT_SINGLELINE | DT_NOPREFIX;

const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int TextWidth(HDC dc, const std::u16string& text) {
  RECT rc = {0, 0, 0, 0};
  ::DrawTextW(dc, W(text), int(text.size()), &rc, kLineFlags | DT_CALCRECT);
  return rc.right - rc.left;
}

RECT ItemRect(HWND list, int row, int part) {
  RECT rc = {};
  rc.left = part;
  ::SendMessageW(list, LVM_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&rc));
  return rc;
}

}  // namespace

bool CListCtrlEx::OnReflectMeasureItem(MEASUREITEMSTRUCT* item) {
  MeasureRow(item);
  return true;
}

bool CListCtrlEx::OnReflectDrawItem(DRAWITEMSTRUCT* item) {
  DrawItem(item);
  return true;
}

void CListCtrlEx::MeasureRow(MEASUREITEMSTRUCT* item) {
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, ListFont());
  TEXTMETRICW metrics = {};
  ::GetTextMetricsW(screen, &metrics);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  itemHeight_ = RowHeight(metrics.tmHeight, metrics.tmExternalLeading);
  item->itemHeight = UINT(itemHeight_);
}

void CListCtrlEx::Remeasure() {
  // The list asks its parent for the row height again when its position has changed.
  RECT rc = {};
  ::GetWindowRect(Handle(), &rc);
  WINDOWPOS pos = {};
  pos.hwnd = Handle();
  pos.cx = rc.right - rc.left;
  pos.cy = rc.bottom - rc.top;
  pos.flags = SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOOWNERZORDER;
  Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

void CListCtrlEx::DrawItem(DRAWITEMSTRUCT* item) {
  os::LockGuard draw(drawLock_);
  if (mode_ == ModeResults) {
    DrawResultRow(item);
  } else if (const char16_t* text = StateText(mode_)) {
    DrawStateRow(item, text);
  }
}

void CListCtrlEx::DrawStateRow(DRAWITEMSTRUCT* item, const char16_t* text) {
  RECT rc = item->rcItem;
  ::FillRect(item->hDC, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::DrawTextW(item->hDC, reinterpret_cast<const wchar_t*>(text), -1, &rc, DT_VCENTER | DT_NOPREFIX);
}

void CListCtrlEx::DrawTextLine(HDC dc, const RECT& line, const std::u16string& left, std::u16string right) {
  int leftWidth = TextWidth(dc, left);
  int rightWidth = TextWidth(dc, right);
  RECT leftRect = line;
  if (RightTextNeedsEllipsis(leftWidth, rightWidth, line.right - line.left, &widestText_)) {
    right = kEllipsisPrefix + right;
    leftRect.right = line.right - TextWidth(dc, right);
  }
  RECT rightRect = line;
  ::DrawTextW(dc, W(left), int(left.size()), &leftRect, kLineFlags | DT_LEFT);
  ::DrawTextW(dc, W(right), int(right.size()), &rightRect, kLineFlags | DT_RIGHT);
}

void CListCtrlEx::DrawResultRow(DRAWITEMSTRUCT* item) {
  const int row = int(item->itemID);
  std::u16string name, path, sizeText = u"0KB", dateText;
  int icon = defaultFileIcon_;
  bool queue = false;
  {
    os::LockGuard guard(resultLock_);
    if (!entries_ || row < 0 || row >= Count() || uint32_t(row) >= entryCount_) return;
    search::SearchResult& entry = entries_[row];
    name = entry.name ? entry.name : u"";
    path = entry.path ? entry.path : u"";
    sizeText = SizeText(entry.sizeKB);
    dateText = DateText(entry.modified);
    if (entry.iconIndex == search::ICON_UNRESOLVED) {
      queue = true;
    } else {
      icon = entry.iconIndex;
    }
  }
  if (queue) {
    {
      os::LockGuard guard(queueLock_);
      iconQueue_.push_back(row);
    }
    wakeEvent_.Set();
  }

  const RECT rowRect = item->rcItem;
  controls::CMemDC mem(item->hDC, rowRect);
  HDC dc = mem.Dc();
  ::FillRect(dc, &rowRect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HGDIOBJ oldFont = ::SelectObject(dc, ListFont());
  // The text goes over the selection's gradient, so it leaves its background alone.
  ::SetBkColor(dc, ::GetBkColor(item->hDC));
  ::SetBkMode(dc, TRANSPARENT);

  RECT iconRect = ItemRect(Handle(), row, LVIR_ICON);
  if (smallImages_) ImageList_Draw(smallImages_, icon, dc, iconRect.left, iconRect.top, ILD_NORMAL);

  RECT label = ItemRect(Handle(), row, LVIR_LABEL);
  label.left += 16;
  if (item->itemState & ODS_SELECTED) {
    controls::FillMirroredGradient(dc, label, controls::kGradientTop, controls::kGradientBottom);
    controls::DrawRoundFrame(dc, label, controls::kFrameColour, nullptr);
  } else {
    ::FillRect(dc, &label, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  ::SetTextColor(dc, RGB(0, 0, 0));
  DrawTextLine(dc, label, name, sizeText);
  if (!path.empty()) {
    RECT second = label;
    second.top = label.top + (label.bottom - label.top) / 2;
    ::SetTextColor(dc, kSecondLine);
    DrawTextLine(dc, second, path, dateText);
  }
  ::SelectObject(dc, oldFont);
}

}  // namespace lvx::results
