#include "uilib/window_ctrl.h"

#include "uilib/control_manager.h"

namespace lvx::uilib {

void CWindowCtrlUI::AttachHostWindow(HostWindow window) {
  window_ = window;
  Place();
}

void CWindowCtrlUI::SetPos(const UiRect& rect) {
  CControlUI::SetPos(rect);
  Place();
}

void CWindowCtrlUI::Place() {
  if (window_ && manager_) manager_->PlaceHostWindow(window_, pos_, IsVisible());
}

}  // namespace lvx::uilib
