// Drawing helpers of the custom controls: an off-screen drawing context, the parent's background
// under a child, and a scope that keeps a control's own procedure from drawing on screen.
#pragma once

#include "framework/win_api.h"

namespace lvx::controls {

// An off-screen copy of a rectangle of the target DC. Drawing goes to Dc() in the target's own
// coordinates and is copied to the target in one transfer when the object ends, so a control that
// is composed of several layers never shows a half-drawn state. When no bitmap can be had, Dc() is
// the target itself and drawing goes straight to it.
class CMemDC {
 public:
  CMemDC(HDC target, const RECT& rect);
  ~CMemDC();
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;
  HDC Dc() const { return dc_ ? dc_ : target_; }
  bool IsOffScreen() const { return dc_ != nullptr; }
  const RECT& Rect() const { return rect_; }
  // Nothing is copied to the target.
  void Discard() { discard_ = true; }

 private:
  HDC target_;
  RECT rect_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  bool discard_ = false;
};

// Paints what the parent shows under the child into the child's DC (in the child's coordinates):
// the parent is asked to erase its background into the DC, shifted to the child's place. This is how
// transparent controls show the gradient of their dialog, or any other background their parent has.
void DrawParentBackground(HWND child, HDC dc);

// While alive, the window's own procedure cannot draw on screen (WM_SETREDRAW off): for the messages
// after which a classic control draws itself at once (set text, focus, state) and the owner draws it
// instead. Nested scopes on one window act as the outermost. A hidden window is left alone.
class CNoPaintScope {
 public:
  explicit CNoPaintScope(HWND hwnd);
  ~CNoPaintScope();
  CNoPaintScope(const CNoPaintScope&) = delete;
  CNoPaintScope& operator=(const CNoPaintScope&) = delete;

 private:
  HWND hwnd_;
  bool switchedOff_ = false;
};

}  // namespace lvx::controls
