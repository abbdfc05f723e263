// What a control asks of the screen: the controls decide what to paint, a painter for the window
// system decides how. The Win32 painter draws with GDI; tests record the calls.
#pragma once

#include <string>
#include <vector>

#include "uilib/markup_text.h"
#include "uilib/ui_values.h"

namespace lvx::uilib {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

struct TextStyle {
  int font = -1;             // the window's font index, -1 for its default font
  Color color = 0xFF000000;  // runs without a colour of their own
  Color linkColor = 0xFF000000;
  HAlign align = HAlign::Left;
  VAlign valign = VAlign::Center;
};

class IUiPainter {
 public:
  virtual ~IUiPainter() = default;
  virtual void FillColor(const UiRect& rect, Color color) = 0;
  // A vertical gradient from top to bottom.
  virtual void FillGradient(const UiRect& rect, Color top, Color bottom) = 0;
  virtual void DrawBorder(const UiRect& rect, Color color, int size) = 0;
  // An image of the archive, stretched to the rectangle.
  virtual void DrawImage(const UiRect& rect, const std::u16string& name) = 0;
  // One line of runs inside the rectangle, clipped to it.
  virtual void DrawText(const UiRect& rect, const std::vector<TextRun>& runs, const TextStyle& style) = 0;
};

}  // namespace lvx::uilib
