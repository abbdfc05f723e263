// A dialog whose client area is drawn by the markup user-interface library: it owns a paint manager,
// builds the layout "AppMain.xml" of the process's resource archive when the dialog is created, and
// hands every message to the paint manager first. The dialog's own controls are placed by the
// layout's host controls (HostControl). Maximising is limited to the work area of the window's
// monitor, so the window never lies under the taskbar.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "uilib/notify.h"
#include "uilib/win32/paint_manager.h"

namespace lvx::shell {

class CUILibDialog : public ui::CDialogBox, public uilib::INotifyUI {
 public:
  explicit CUILibDialog(UINT templateId, std::u16string layout = u"AppMain.xml")
      : CDialogBox(templateId), layout_(std::move(layout)) {}

  uilib::CPaintManagerUI& PaintManager() { return paintManager_; }
  // Whether the layout was built; LayoutError() says why not.
  bool HasLayout() const { return paintManager_.GetRoot() != nullptr; }
  const std::u16string& LayoutError() const { return layoutError_; }

  // Puts a child window into the named host control of the layout; false when there is no such
  // host or no window.
  bool AttachHost(const char16_t* name, HWND window);
  // Lays the tree out again in the current client size.
  void Relayout();
  // Makes the client area the layout's first size.
  void ApplyLayoutSize();

  void Notify(uilib::TNotifyUI& msg) override {}

 protected:
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

 private:
  bool BuildLayout();
  void LimitToWorkArea(MINMAXINFO* info) const;

  std::u16string layout_;
  std::u16string layoutError_;
  bool layoutTried_ = false;
  uilib::CPaintManagerUI paintManager_;
};

}  // namespace lvx::shell
