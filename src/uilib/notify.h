// Notifications from the controls to the window that owns them: "click" from a button or option
// button the user clicked, "selectchanged" from an option button that became selected (or, outside
// a group, was switched either way), "tabselect" from a tab layout that shows another page.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::uilib {

class CControlUI;

struct TNotifyUI {
  std::u16string sType;
  CControlUI* pSender = nullptr;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

}  // namespace lvx::uilib
