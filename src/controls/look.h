// The look of the program's dialogs: a vertical gradient from white at the top to RGB(226, 224, 220)
// at the bottom, composed off-screen; transparent labels and check boxes over it; selection and
// hover frames as rounded rectangles with 5 x 5 corners in RGB(172, 168, 153).
#pragma once

#include "framework/dialog.h"
#include "framework/win_api.h"

namespace lvx::controls {

constexpr COLORREF kGradientTop = RGB(255, 255, 255);
constexpr COLORREF kGradientBottom = RGB(226, 224, 220);
constexpr COLORREF kFrameColour = RGB(172, 168, 153);
constexpr COLORREF kPressedFill = RGB(236, 233, 216);
constexpr COLORREF kHoverTop = RGB(254, 224, 208);
constexpr int kFrameCorner = 5;

// The colour of line `line` of `lines` in a gradient from `from` (line 0) to `to` (the last line),
// each channel interpolated linearly and rounded to the nearest value.
COLORREF GradientColour(COLORREF from, COLORREF to, int line, int lines);
// A vertical gradient over the rectangle, drawn line by line.
void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);
// From `edge` at the top to `middle` at the vertical middle and back to `edge` at the bottom.
void FillMirroredGradient(HDC dc, const RECT& rect, COLORREF edge, COLORREF middle);
// A rounded rectangle with 5 x 5 corners and a 1-pixel pen; fill null draws the outline only.
void DrawRoundFrame(HDC dc, const RECT& rect, COLORREF pen, const COLORREF* fill);

// Paints a window's background as the gradient over its whole client height.
class CBkgndObject {
 public:
  explicit CBkgndObject(COLORREF top = kGradientTop, COLORREF bottom = kGradientBottom) : top_(top), bottom_(bottom) {}
  ~CBkgndObject();
  CBkgndObject(const CBkgndObject&) = delete;
  CBkgndObject& operator=(const CBkgndObject&) = delete;

  // The part of the client area inside the DC's clip box, composed off-screen, copied once.
  void Paint(HWND window, HDC dc) const;
  // For WM_CTLCOLORSTATIC / WM_CTLCOLORBTN of a plain label or check box: the gradient as a brush
  // aligned to the control's place, with a transparent text background, so the control looks
  // transparent. Null for other kinds of controls (edit boxes keep their own background).
  HBRUSH ControlBrush(HWND window, HDC controlDc, HWND control);

 private:
  COLORREF top_, bottom_;
  HBRUSH brush_ = nullptr;  // a pattern of the gradient, one window height tall
  int brushHeight_ = 0;
};

// A dialog or page that paints the gradient behind its controls.
template <class Base>
class CGradientWindow : public Base {
 public:
  using Base::Base;

 protected:
  bool OnEraseBkgnd(HDC dc) override {
    background_.Paint(this->Handle(), dc);
    return true;
  }
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) override {
    if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
      if (HBRUSH brush = background_.ControlBrush(this->Handle(), dc, control)) return brush;
    }
    return Base::OnCtlColor(dc, control, msg);
  }
  void OnSize(UINT type, int cx, int cy) override {
    // The gradient spans the whole height: a new height changes every line.
    ::RedrawWindow(this->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    Base::OnSize(type, cx, cy);
  }
  CBkgndObject background_;
};

using CGradientDialog = CGradientWindow<ui::CDialogBox>;
using CGradientPage = CGradientWindow<ui::CChildPage>;

}  // namespace lvx::controls
