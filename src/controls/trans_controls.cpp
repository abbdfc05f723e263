#include "controls/trans_controls.h"

#include "controls/button_ex.h"
#include "controls/look.h"
#include "controls/paint_util.h"
#include "controls/theme_helper.h"
#include "framework/window.h"

namespace lvx::controls {

namespace {

UINT StaticTextFormat(DWORD style) {
  UINT format = DT_EXPANDTABS;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP:
    case SS_SIMPLE: format |= DT_LEFT | DT_SINGLELINE; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
  }
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  switch (style & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS: format |= DT_END_ELLIPSIS; break;
    case SS_PATHELLIPSIS: format |= DT_PATH_ELLIPSIS; break;
    case SS_WORDELLIPSIS: format |= DT_WORD_ELLIPSIS; break;
    default: break;
  }
  return format;
}

COLORREF TextColour(COLORREF chosen, bool enabled) {
  if (!enabled) return ::GetSysColor(COLOR_GRAYTEXT);
  return chosen == CLR_INVALID ? ::GetSysColor(COLOR_BTNTEXT) : chosen;
}

}  // namespace

// ---- CTransStatic ----

void CTransStatic::SetTextColour(COLORREF colour) {
  colour_ = colour;
  if (Handle()) Invalidate(false);
}

bool CTransStatic::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFONT:
    case WM_UPDATEUISTATE: {
      // The static would draw its classic self at once; it is drawn here instead.
      {
        CNoPaintScope quiet(Handle());
        *result = DefaultProc(msg, w, l);
      }
      Invalidate(false);
      return true;
    }
    default:
      return CWindow::WindowProc(msg, w, l, result);
  }
}

bool CTransStatic::OnPaint() {
  ui::CPaintScope paint(Handle());
  Draw(paint.Dc());
  return true;
}

bool CTransStatic::OnPrintClient(HDC dc, UINT flags) {
  Draw(dc);
  return true;
}

void CTransStatic::Draw(HDC dc) {
  RECT rect = ClientRect();
  CMemDC mem(dc, rect);
  DrawParentBackground(Handle(), mem.Dc());
  HGDIOBJ oldFont = ::SelectObject(mem.Dc(), Font() ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(mem.Dc(), TRANSPARENT);
  ::SetTextColor(mem.Dc(), TextColour(colour_, IsEnabled()));
  std::wstring text = Text();
  ::DrawTextW(mem.Dc(), text.c_str(), int(text.size()), &rect, StaticTextFormat(Style()));
  ::SelectObject(mem.Dc(), oldFont);
}

// ---- CTransCheck ----

void CTransCheck::SetTextColour(COLORREF colour) {
  colour_ = colour;
  if (Handle()) Invalidate(false);
}

void CTransCheck::OnSubclassed() {
  DWORD type = Style() & BS_TYPEMASK;
  autoToggle_ = type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE;
  threeState_ = type == BS_3STATE || type == BS_AUTO3STATE;
  state_ = int(DefaultProc(BM_GETCHECK, 0, 0));  // the control's own state, not the answer below
  Send(BM_SETSTYLE, (Style() & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);
}

bool CTransCheck::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (bool consumed; HandleButtonMessage(msg, w, l, result, &consumed)) return consumed;
  switch (msg) {
    case BM_GETCHECK:
      *result = state_;
      return true;
    case BM_SETCHECK:
      state_ = (w == BST_INDETERMINATE && threeState_) ? BST_INDETERMINATE : (w == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED);
      Invalidate(false);
      *result = 0;
      return true;
    case BM_GETSTATE:
      *result = (DefaultProc(msg, w, l) & ~LRESULT(3)) | state_;
      return true;
    case WM_GETDLGCODE:
      // A check box to the dialog manager, which then never makes it a default push button.
      *result = DLGC_BUTTON;
      return true;
    default:
      return CWindow::WindowProc(msg, w, l, result);
  }
}

bool CTransCheck::OnReflectCommand(int code) {
  // The state changes before the parent hears of the click, as with a system check box.
  if (code == BN_CLICKED && autoToggle_) {
    state_ = threeState_ ? (state_ + 1) % 3 : (state_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
    Invalidate(false);
  }
  return false;
}

bool CTransCheck::OnReflectDrawItem(DRAWITEMSTRUCT* item) {
  const RECT& rect = item->rcItem;
  CMemDC mem(item->hDC, rect);
  HDC dc = mem.Dc();
  DrawParentBackground(Handle(), dc);
  bool disabled = (item->itemState & ODS_DISABLED) != 0;
  int side = CXThemeHelper::CheckBoxSize(dc);
  int top = rect.top + (rect.bottom - rect.top - side) / 2;
  RECT box = {rect.left, top, rect.left + side, top + side};
  CXThemeHelper::Instance().DrawCheckBox(Handle(), dc, box, state_, hover_, (item->itemState & ODS_SELECTED) != 0,
                                         disabled);
  HGDIOBJ oldFont = ::SelectObject(dc, Font() ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, TextColour(colour_, !disabled));
  std::wstring text = Text();
  RECT textRect = {box.right + 4, rect.top, rect.right, rect.bottom};
  UINT format = (Style() & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
  if (item->itemState & ODS_NOACCEL) format |= DT_HIDEPREFIX;
  ::DrawTextW(dc, text.c_str(), int(text.size()), &textRect, format);
  if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT) && !text.empty()) {
    RECT measured = textRect;
    ::DrawTextW(dc, text.c_str(), int(text.size()), &measured, format | DT_CALCRECT);
    ::InflateRect(&measured, 1, 1);
    ::IntersectRect(&measured, &measured, &rect);
    ::DrawFocusRect(dc, &measured);
  }
  ::SelectObject(dc, oldFont);
  return true;
}

}  // namespace lvx::controls
