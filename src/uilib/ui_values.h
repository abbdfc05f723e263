// Attribute values of the layout markup: colours, sizes, rectangles, numbers and switches. Each
// reader returns false for text it does not take, leaving *out as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lvx::uilib {

// Colours are 0xAARRGGBB; alpha 0 means "none" (not painted).
using Color = uint32_t;
constexpr Color kNoColor = 0;
constexpr Color ColorFromColorref(uint32_t colorref) {
  return 0xFF000000u | (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}
constexpr uint32_t ColorrefFromColor(Color c) { return (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16; }

struct UiRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const UiRect&) const = default;
};

// A length along one axis: a number of pixels, a share of the parent's room ("40%"), or nothing
// given (the control takes an equal part of what is left).
struct SizeSpec {
  enum Kind { Auto, Fixed, Percent } kind = Auto;
  int value = 0;
  bool operator==(const SizeSpec&) const = default;
};

// The largest coordinate the markup may give; sums of a few of them stay far from overflow.
constexpr int kMaxCoordinate = 100000;

// "#RRGGBB" (opaque) or "#AARRGGBB".
bool ParseColor(std::u16string_view text, Color* out);
// A whole number 0..kMaxCoordinate.
bool ParseLength(std::u16string_view text, int* out);
// "120", "40%" (0..100) or "0" (nothing given).
bool ParseSize(std::u16string_view text, SizeSpec* out);
// "l,t,r,b" with lengths.
bool ParseRect(std::u16string_view text, UiRect* out);
// "w,h" with lengths.
bool ParsePair(std::u16string_view text, int* first, int* second);
// "true" or "false".
bool ParseBool(std::u16string_view text, bool* out);
// A whole number 0..limit.
bool ParseIndex(std::u16string_view text, int limit, int* out);

}  // namespace lvx::uilib
