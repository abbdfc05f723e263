#include "uilib/win32/gdi_painter.h"

#include <algorithm>
#include <cstring>

namespace lvx::uilib {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 strings go to the W functions as they are");

RECT ToRect(const UiRect& r) { return {r.left, r.top, r.right, r.bottom}; }

COLOR16 Channel(Color c, int shift) { return COLOR16(((c >> shift) & 0xFF) << 8); }

}  // namespace

CGdiPainter::~CGdiPainter() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [image, bitmap] : bitmaps_) DeleteObject(bitmap);
}

void CGdiPainter::FillColor(const UiRect& rect, Color color) {
  const RECT r = ToRect(rect);
  SetDCBrushColor(dc_, ColorrefFromColor(color));
  FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void CGdiPainter::FillGradient(const UiRect& rect, Color top, Color bottom) {
  TRIVERTEX v[2] = {{rect.left, rect.top, Channel(top, 16), Channel(top, 8), Channel(top, 0), 0xFF00},
                    {rect.right, rect.bottom, Channel(bottom, 16), Channel(bottom, 8), Channel(bottom, 0), 0xFF00}};
  GRADIENT_RECT index = {0, 1};
  GradientFill(dc_, v, 2, &index, 1, GRADIENT_FILL_RECT_V);
}

void CGdiPainter::DrawBorder(const UiRect& rect, Color color, int size) {
  const int s = std::min({size, rect.Width() / 2 + 1, rect.Height() / 2 + 1});
  FillColor({rect.left, rect.top, rect.right, rect.top + s}, color);
  FillColor({rect.left, rect.bottom - s, rect.right, rect.bottom}, color);
  FillColor({rect.left, rect.top, rect.left + s, rect.bottom}, color);
  FillColor({rect.right - s, rect.top, rect.right, rect.bottom}, color);
}

HBITMAP CGdiPainter::Bitmap(const UiImage& image) {
  auto it = bitmaps_.find(&image);
  if (it != bitmaps_.end()) return it->second;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top row first, as the image keeps it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;  // out of GDI resources: the image is left out, nothing else
  std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(uint32_t));
  bitmaps_.emplace(&image, bitmap);
  return bitmap;
}

void CGdiPainter::DrawImage(const UiRect& rect, const std::u16string& name) {
  std::u16string error;
  const UiImage* image = manager_->GetImage(name, &error);  // the builder checked every image
  HBITMAP bitmap = image ? Bitmap(*image) : nullptr;
  if (!bitmap) return;
  HDC source = CreateCompatibleDC(dc_);
  HGDIOBJ old = SelectObject(source, bitmap);
  if (image->hasAlpha) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc_, rect.left, rect.top, rect.Width(), rect.Height(), source, 0, 0, image->width, image->height, blend);
  } else {
    SetStretchBltMode(dc_, COLORONCOLOR);
    StretchBlt(dc_, rect.left, rect.top, rect.Width(), rect.Height(), source, 0, 0, image->width, image->height, SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
}

HFONT CGdiPainter::Font(int index, const TextRun& run, int styleFont) {
  const std::vector<FontSpec>& fonts = manager_->GetFonts();
  if (index < 0) index = styleFont;
  if (index < 0 || index >= int(fonts.size())) index = 0;
  FontSpec spec;
  if (index < int(fonts.size())) {
    spec = fonts[size_t(index)];
  } else {
    LOGFONTW system{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof system, &system);
    spec.face = reinterpret_cast<const char16_t*>(system.lfFaceName);
    spec.size = std::max(1, int(system.lfHeight < 0 ? -system.lfHeight : system.lfHeight));
  }
  const FontKey key{spec.face, spec.size, spec.bold || run.bold, spec.italic || run.italic,
                    spec.underline || run.underline};
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  HFONT font = CreateFontW(-spec.size, 0, 0, 0, std::get<2>(key) ? FW_BOLD : FW_NORMAL, std::get<3>(key),
                           std::get<4>(key), FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           reinterpret_cast<const wchar_t*>(spec.face.c_str()));
  if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_.emplace(key, font);
  return font;
}

void CGdiPainter::DrawText(const UiRect& rect, const std::vector<TextRun>& runs, const TextStyle& style) {
  struct Piece {
    HFONT font;
    int width;
  };
  std::vector<Piece> pieces;
  int width = 0, ascent = 0, descent = 0;
  HGDIOBJ oldFont = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
  for (const TextRun& run : runs) {
    HFONT font = Font(run.font, run, style.font);
    SelectObject(dc_, font);
    SIZE size{};
    GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(run.text.c_str()), int(run.text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    pieces.push_back({font, int(size.cx)});
    width += size.cx;
    ascent = std::max(ascent, int(metrics.tmAscent));
    descent = std::max(descent, int(metrics.tmDescent));
  }
  // One line: the runs share a baseline, and the line as a whole is aligned in the rectangle.
  int x = style.align == HAlign::Left     ? rect.left
          : style.align == HAlign::Center ? rect.left + (rect.Width() - width) / 2
                                          : rect.right - width;
  const int line = ascent + descent;
  const int top = style.valign == VAlign::Top      ? rect.top
                  : style.valign == VAlign::Center ? rect.top + (rect.Height() - line) / 2
                                                   : rect.bottom - line;
  const RECT clip = ToRect(rect);
  const UINT oldAlign = SetTextAlign(dc_, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  const int oldMode = SetBkMode(dc_, TRANSPARENT);
  for (size_t i = 0; i < runs.size(); ++i) {
    const TextRun& run = runs[i];
    const Color color = run.color != kNoColor ? run.color : run.link >= 0 ? style.linkColor : style.color;
    SelectObject(dc_, pieces[i].font);
    SetTextColor(dc_, ColorrefFromColor(color));
    ExtTextOutW(dc_, x, top + ascent, ETO_CLIPPED, &clip, reinterpret_cast<const wchar_t*>(run.text.c_str()),
                UINT(run.text.size()), nullptr);
    x += pieces[i].width;
  }
  SetBkMode(dc_, oldMode);
  SetTextAlign(dc_, oldAlign);
  SelectObject(dc_, oldFont);
}

}  // namespace lvx::uilib
