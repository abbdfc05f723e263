#include "options_ui/toolbar_layout.h"

namespace lvx::options {

ToolbarLayout LayoutToolbar(int left, int right, int count) {
  ToolbarLayout layout;
  int x = left + kToolbarMargin;
  bool hiding = false;
  for (int n = 0; n < count; ++n) {
    const bool last = n == count - 1;
    // Once one button is hidden the later ones are too: they would stand further right.
    const bool fits = !hiding && (x + kToolbarButtonSize + kMoreReserve < right || (last && x + kToolbarButtonSize < right));
    hiding = hiding || !fits;
    layout.buttons.push_back({x, fits});
    x += kToolbarButtonSize;
  }
  layout.moreShown = hiding;
  layout.moreX = hiding ? right - kMoreWidth : right - kMoreReserve;
  return layout;
}

}  // namespace lvx::options
