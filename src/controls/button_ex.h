// Owner-drawn buttons that follow the pointer. CButtonEx takes over a push button (its type becomes
// BS_OWNERDRAW), tracks whether the pointer is over it, and draws itself off-screen over its parent's
// background: at rest flat, under the pointer a light gradient in the rounded hover frame, pressed
// the frame filled. Derived buttons (the toolbar's) override DrawFace. CMoreBtn is the small
// overflow button at the end of a row of buttons.
#pragma once

#include "framework/window.h"

namespace lvx::controls {

// What every owner-drawn button of ours handles alike: the pointer tracked for the hover look, the
// second click of a double click taken as a click (an owner-drawn button would make it
// BN_DOUBLECLICKED), and no background erase (the face covers everything).
class COwnerDrawnButton : public ui::CWindow {
 public:
  bool IsHover() const { return hover_; }

 protected:
  // True when msg is one of those; *consumed is then what WindowProc returns (the pointer's
  // messages still go on to the control's own procedure).
  bool HandleButtonMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result, bool* consumed);

  bool hover_ = false;
};

class CButtonEx : public COwnerDrawnButton {
 public:
  // The icon is drawn above the caption (or centred without one); it stays the caller's.
  void SetIcon(HICON icon, int size);
  // A framed button shows its rounded frame at rest too (a dialog's push button); a flat one only
  // under the pointer (a toolbar's).
  void SetFramed(bool framed);

 protected:
  void OnSubclassed() override;
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;
  bool OnReflectDrawItem(DRAWITEMSTRUCT* item) override;
  // Draws the button into a DC that already holds the parent's background; state has the ODS_ flags.
  virtual void DrawFace(HDC dc, const RECT& rect, UINT state);
  // The frame and fill of the state: pressed, hover, framed at rest, or nothing.
  void DrawStateFrame(HDC dc, const RECT& rect, UINT state) const;
  void DrawCaption(HDC dc, const RECT& rect, UINT state) const;

  HICON icon_ = nullptr;
  int iconSize_ = 0;
  bool framed_ = false;
  bool default_ = false;  // the dialog's default push button
};

class CMoreBtn : public CButtonEx {
 protected:
  // The icon when one is set, otherwise two small triangles pointing down.
  void DrawFace(HDC dc, const RECT& rect, UINT state) override;
};

}  // namespace lvx::controls
