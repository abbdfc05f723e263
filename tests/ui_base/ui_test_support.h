// Helpers of the user-interface tests: a render of a window's client area, pixel comparisons, a
// message pump with a time limit, and a hidden owner window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/win_api.h"

namespace lvx::uitest {

struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  COLORREF At(int x, int y) const;
  bool operator==(const Image& other) const = default;
};

// The header of a 32-bit top-down bitmap.
BITMAPINFOHEADER TopDown32(int width, int height);
// The window's client area and its children as they paint themselves (WM_PRINT), hidden or not.
Image RenderClient(HWND hwnd);
// Writes <folder>/<name>.bmp, by default in build/<preset>/screenshots; false when it cannot.
bool SaveBmp(const Image& image, const std::string& name, const char* folder = nullptr);
// The render the tests compare and show: without keyboard focus, so that only what is tested makes
// two renders differ; saved for a reader under the name when one is given (a failed save fails).
Image Shoot(HWND hwnd, const std::string& name = "", const char* folder = nullptr);
// Each channel within the tolerance.
bool Near(COLORREF a, COLORREF b, int tolerance);
std::string Describe(COLORREF c);
// Dispatches this thread's messages until done() or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, int milliseconds);
// The window's rectangle in its parent's client coordinates; the control's in its dialog's.
RECT RectIn(HWND window, HWND parent);
RECT ChildRect(HWND dialog, int id);

}  // namespace lvx::uitest
