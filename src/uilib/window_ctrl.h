// A host control: a place in the layout for a window that is not drawn by the layout (a combo box,
// the results list, a child dialog). The window is kept at the control's rectangle and shown
// exactly while the control is, on every layout.
#pragma once

#include "uilib/control.h"

namespace lvx::uilib {

// A window handle of the window system, opaque to the portable part.
using HostWindow = void*;

class CWindowCtrlUI : public CControlUI {
 public:
  std::u16string_view GetClass() const override { return u"WindowCtrlUI"; }

  // Takes the window (null lets go of it) and places it at once when the control is laid out.
  void AttachHostWindow(HostWindow window);
  HostWindow GetHostWindow() const { return window_; }

  void SetPos(const UiRect& rect) override;

 protected:
  void OnVisibilityChanged() override { Place(); }

 private:
  void Place();
  HostWindow window_ = nullptr;
};

}  // namespace lvx::uilib
