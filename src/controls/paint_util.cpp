#include "controls/paint_util.h"

namespace lvx::controls {

namespace {
const wchar_t kNoPaintDepth[] = L"LvxNoPaintDepth";
}

CMemDC::CMemDC(HDC target, const RECT& rect) : target_(target), rect_(rect) {
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  dc_ = ::CreateCompatibleDC(target);
  if (!dc_) return;
  bitmap_ = ::CreateCompatibleBitmap(target, width, height);
  if (!bitmap_) {
    ::DeleteDC(dc_);
    dc_ = nullptr;
    return;
  }
  oldBitmap_ = ::SelectObject(dc_, bitmap_);
  ::SetViewportOrgEx(dc_, -rect.left, -rect.top, nullptr);
  // Text drawn off-screen looks as it would on the target.
  ::SelectObject(dc_, ::GetCurrentObject(target, OBJ_FONT));
  ::SetTextColor(dc_, ::GetTextColor(target));
  ::SetBkColor(dc_, ::GetBkColor(target));
  ::SetBkMode(dc_, ::GetBkMode(target));
}

CMemDC::~CMemDC() {
  if (!dc_) return;
  if (!discard_) {
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, dc_, rect_.left,
             rect_.top, SRCCOPY);
  }
  ::SelectObject(dc_, oldBitmap_);
  ::DeleteObject(bitmap_);
  ::DeleteDC(dc_);
}

void DrawParentBackground(HWND child, HDC dc) {
  HWND parent = ::GetParent(child);
  if (!parent) return;
  POINT at = {0, 0};
  ::MapWindowPoints(child, parent, &at, 1);
  POINT old;
  ::OffsetViewportOrgEx(dc, -at.x, -at.y, &old);
  ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

CNoPaintScope::CNoPaintScope(HWND hwnd) : hwnd_(hwnd) {
  INT_PTR depth = reinterpret_cast<INT_PTR>(::GetPropW(hwnd, kNoPaintDepth));
  if (depth == 0 && (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE)) {
    ::SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    switchedOff_ = true;
  }
  ::SetPropW(hwnd, kNoPaintDepth, reinterpret_cast<HANDLE>(depth + 1));
}

CNoPaintScope::~CNoPaintScope() {
  INT_PTR depth = reinterpret_cast<INT_PTR>(::GetPropW(hwnd_, kNoPaintDepth)) - 1;
  if (depth > 0) {
    ::SetPropW(hwnd_, kNoPaintDepth, reinterpret_cast<HANDLE>(depth));
  } else {
    ::RemovePropW(hwnd_, kNoPaintDepth);
  }
  if (switchedOff_) ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
}

}  // namespace lvx::controls
