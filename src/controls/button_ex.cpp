#include "controls/button_ex.h"

#include "controls/look.h"
#include "controls/paint_util.h"

namespace lvx::controls {

void CButtonEx::SetIcon(HICON icon, int size) {
  icon_ = icon;
  iconSize_ = size;
  if (Handle()) Invalidate(false);
}

void CButtonEx::SetFramed(bool framed) {
  framed_ = framed;
  if (Handle()) Invalidate(false);
}

void CButtonEx::OnSubclassed() {
  // Through the BM_SETSTYLE handler below, which keeps the default flag and makes the type owner-drawn.
  DWORD type = (Style() & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  Send(BM_SETSTYLE, (Style() & ~DWORD(BS_TYPEMASK)) | type, TRUE);
}

bool COwnerDrawnButton::HandleButtonMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result, bool* consumed) {
  *consumed = msg == WM_LBUTTONDBLCLK || msg == WM_ERASEBKGND;
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!hover_) {
        hover_ = true;
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, Handle(), 0};
        ::TrackMouseEvent(&track);
        Invalidate(false);
      }
      return true;
    case WM_MOUSELEAVE:
      hover_ = false;
      Invalidate(false);
      return true;
    case WM_LBUTTONDBLCLK:
      // An owner-drawn button turns the second click of a double click into BN_DOUBLECLICKED; here
      // it is a click like the first.
      *result = DefaultProc(WM_LBUTTONDOWN, w, l);
      return true;
    case WM_ERASEBKGND:
      *result = 1;  // the face covers everything
      return true;
    default:
      return false;
  }
}

bool CButtonEx::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (bool consumed; HandleButtonMessage(msg, w, l, result, &consumed)) return consumed;
  switch (msg) {
    case WM_GETDLGCODE:
      // A push button to the dialog manager, so that Enter presses it while it has the focus.
      *result = DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
      return true;
    case BM_SETSTYLE:
      // The dialog manager makes the focused push button the default one; the type stays owner-drawn.
      default_ = (w & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      *result = DefaultProc(msg, (w & ~WPARAM(BS_TYPEMASK)) | BS_OWNERDRAW, l);
      Invalidate(false);
      return true;
    default:
      return CWindow::WindowProc(msg, w, l, result);
  }
}

bool CButtonEx::OnReflectDrawItem(DRAWITEMSTRUCT* item) {
  CMemDC mem(item->hDC, item->rcItem);
  DrawParentBackground(Handle(), mem.Dc());
  HGDIOBJ oldFont = ::SelectObject(mem.Dc(), Font() ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(mem.Dc(), TRANSPARENT);
  DrawFace(mem.Dc(), item->rcItem, item->itemState);
  ::SelectObject(mem.Dc(), oldFont);
  return true;
}

void CButtonEx::DrawStateFrame(HDC dc, const RECT& rect, UINT state) const {
  if (state & ODS_SELECTED) {
    DrawRoundFrame(dc, rect, kFrameColour, &kPressedFill);
  } else if (hover_ && !(state & ODS_DISABLED)) {
    RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    FillVerticalGradient(dc, inner, kHoverTop, kGradientTop);
    DrawRoundFrame(dc, rect, kFrameColour, nullptr);
  } else if (framed_ || default_) {
    DrawRoundFrame(dc, rect, kFrameColour, &kGradientTop);
  }
}

void CButtonEx::DrawCaption(HDC dc, const RECT& rect, UINT state) const {
  std::wstring text = Text();
  RECT textRect = rect;
  if (icon_) {
    int x = rect.left + (rect.right - rect.left - iconSize_) / 2;
    int y = text.empty() ? rect.top + (rect.bottom - rect.top - iconSize_) / 2 : rect.top + 4;
    ::DrawIconEx(dc, x, y, icon_, iconSize_, iconSize_, 0, nullptr, DI_NORMAL);
    textRect.top = y + iconSize_ + 2;
  }
  if (!text.empty()) {
    ::SetTextColor(dc, ::GetSysColor((state & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    UINT format = DT_CENTER | DT_SINGLELINE | (icon_ ? DT_TOP : DT_VCENTER) | DT_END_ELLIPSIS;
    if (state & ODS_NOACCEL) format |= DT_HIDEPREFIX;
    if (state & ODS_SELECTED) ::OffsetRect(&textRect, 1, 1);
    ::DrawTextW(dc, text.c_str(), int(text.size()), &textRect, format);
  }
  if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
    RECT focus = {rect.left + 3, rect.top + 3, rect.right - 3, rect.bottom - 3};
    ::DrawFocusRect(dc, &focus);
  }
}

void CButtonEx::DrawFace(HDC dc, const RECT& rect, UINT state) {
  DrawStateFrame(dc, rect, state);
  DrawCaption(dc, rect, state);
}

void CMoreBtn::DrawFace(HDC dc, const RECT& rect, UINT state) {
  DrawStateFrame(dc, rect, state);
  if (icon_) {
    int x = rect.left + (rect.right - rect.left - iconSize_) / 2;
    int y = rect.top + (rect.bottom - rect.top - iconSize_) / 2;
    ::DrawIconEx(dc, x, y, icon_, iconSize_, iconSize_, 0, nullptr, DI_NORMAL);
    return;
  }
  HPEN pen = ::CreatePen(PS_SOLID, 1, ::GetSysColor((state & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  HGDIOBJ old = ::SelectObject(dc, pen);
  int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2 - 3;
  for (int chevron = 0; chevron < 2; ++chevron) {
    for (int i = 0; i < 3; ++i) {
      int y = cy + chevron * 4 + i;
      ::MoveToEx(dc, cx - 3 + i, y, nullptr);
      ::LineTo(dc, cx + 4 - i, y);
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
}

}  // namespace lvx::controls
