// Labels and check boxes that show their parent's background (the dialog's gradient) behind their
// text. Both draw themselves off-screen: the parent's background, then the glyph and the text.
//
// CTransCheck makes its check box owner-drawn, so the system never draws the classic box over the
// gradient; the check state is therefore kept here and answered for BM_GETCHECK / BM_SETCHECK, so
// the dialog reads and sets it as for any check box (IsDlgButtonChecked, CheckDlgButton, BM_CLICK).
#pragma once

#include "controls/button_ex.h"
#include "framework/window.h"

namespace lvx::controls {

class CTransStatic : public ui::CWindow {
 public:
  void SetTextColour(COLORREF colour);

 protected:
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;
  bool OnPaint() override;
  bool OnPrintClient(HDC dc, UINT flags) override;

 private:
  void Draw(HDC dc);
  COLORREF colour_ = CLR_INVALID;  // the system's text colour
};

class CTransCheck : public COwnerDrawnButton {
 public:
  int State() const { return state_; }
  bool IsChecked() const { return state_ == BST_CHECKED; }
  void SetTextColour(COLORREF colour);

 protected:
  void OnSubclassed() override;
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;
  bool OnReflectCommand(int code) override;
  bool OnReflectDrawItem(DRAWITEMSTRUCT* item) override;

 private:
  int state_ = BST_UNCHECKED;
  bool autoToggle_ = false;
  bool threeState_ = false;
  COLORREF colour_ = CLR_INVALID;
};

}  // namespace lvx::controls
