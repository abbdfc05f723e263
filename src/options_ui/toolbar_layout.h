// Where the quick-search toolbar puts its buttons. Buttons are 60 pixels wide, in a row from 5
// pixels in; a button is shown while 25 pixels stay free behind it for the "more" button, and the
// last one also when it merely fits. The first button that does not fit and every later one go to
// the overflow menu, and then the "more" button shows at the right edge.
#pragma once

#include <vector>

namespace lvx::options {

constexpr int kToolbarButtonSize = 60;
constexpr int kToolbarMargin = 5;
constexpr int kMoreReserve = 25;
constexpr int kMoreWidth = 18, kMoreHeight = 20;

struct ToolbarPlace {
  int x = 0;
  bool shown = false;
};

struct ToolbarLayout {
  std::vector<ToolbarPlace> buttons;  // at (x, 5), 60 x 60; hidden ones go to the overflow menu
  bool moreShown = false;
  int moreX = 0;  // the "more" button at (moreX, 0), 18 x 20 when shown
};

ToolbarLayout LayoutToolbar(int left, int right, int count);

}  // namespace lvx::options
