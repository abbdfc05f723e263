// The painter of the control tree on Win32: GDI fills, GradientFill for gradients, AlphaBlend or
// StretchBlt for the archive's images, and runs of formatted text measured and drawn one after
// another on a line. It keeps the fonts and bitmaps it made for one window until it is destroyed.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>

#include "uilib/control_manager.h"
#include "uilib/painter.h"

namespace lvx::uilib {

class CGdiPainter : public IUiPainter {
 public:
  explicit CGdiPainter(CControlManager* manager) : manager_(manager) {}
  ~CGdiPainter() override;
  CGdiPainter(const CGdiPainter&) = delete;
  CGdiPainter& operator=(const CGdiPainter&) = delete;

  // The device context the next calls draw into.
  void SetDC(HDC dc) { dc_ = dc; }

  void FillColor(const UiRect& rect, Color color) override;
  void FillGradient(const UiRect& rect, Color top, Color bottom) override;
  void DrawBorder(const UiRect& rect, Color color, int size) override;
  void DrawImage(const UiRect& rect, const std::u16string& name) override;
  void DrawText(const UiRect& rect, const std::vector<TextRun>& runs, const TextStyle& style) override;

 private:
  // Font index (-1: the style's, then font 0, then the system's dialog font) with a run's extras.
  HFONT Font(int index, const TextRun& run, int styleFont);
  HBITMAP Bitmap(const UiImage& image);

  CControlManager* manager_;
  HDC dc_ = nullptr;
  using FontKey = std::tuple<std::u16string, int, bool, bool, bool>;
  std::map<FontKey, HFONT> fonts_;
  std::map<const UiImage*, HBITMAP> bitmaps_;
};

}  // namespace lvx::uilib
