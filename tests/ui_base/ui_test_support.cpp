#include "ui_test_support.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace lvx::uitest {

BITMAPINFOHEADER TopDown32(int width, int height) {
  return {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
}

COLORREF Image::At(int x, int y) const {
  uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

namespace {

// WM_PRINT of the window's client area, then of its visible children, bottom of the z-order first,
// each clipped to its parent: what PrintWindow does with PRF_CHILDREN on Windows (wine prints no
// children). Every window prints into a bitmap of its own at (0, 0): wine's controls clip their
// drawing as if the DC's origin were theirs.
void PrintTree(HWND hwnd, HDC target, POINT origin, const RECT& visible) {
  RECT client = {};
  ::GetClientRect(hwnd, &client);
  RECT placed = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  RECT shown = {};
  if (!::IntersectRect(&shown, &placed, &visible)) return;
  HDC dc = ::CreateCompatibleDC(target);
  HBITMAP bitmap = ::CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  // The child starts from what its parent drew under it: a control that leaves its background alone
  // (a group box) shows the dialog through it, as on the screen.
  ::BitBlt(dc, 0, 0, client.right, client.bottom, target, origin.x, origin.y, SRCCOPY);
  ::SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  ::BitBlt(target, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, dc,
           shown.left - origin.x, shown.top - origin.y, SRCCOPY);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  std::vector<HWND> children;
  for (HWND c = ::GetWindow(hwnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!(::GetWindowLongPtrW(*it, GWL_STYLE) & WS_VISIBLE)) continue;
    POINT at = {0, 0};
    ::MapWindowPoints(*it, hwnd, &at, 1);
    PrintTree(*it, target, POINT{origin.x + at.x, origin.y + at.y}, shown);
  }
}

}  // namespace

Image RenderClient(HWND hwnd) {
  Image image;
  RECT rc = {};
  ::GetClientRect(hwnd, &rc);
  image.width = rc.right;
  image.height = rc.bottom;
  if (image.width <= 0 || image.height <= 0) return image;
  BITMAPINFO info = {TopDown32(image.width, image.height), {}};
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  PrintTree(hwnd, dc, POINT{0, 0}, RECT{0, 0, image.width, image.height});
  ::GdiFlush();
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  image.pixels.assign(p, p + size_t(image.width) * size_t(image.height));
  for (uint32_t& px : image.pixels) px &= 0xFFFFFF;
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return image;
}

bool SaveBmp(const Image& image, const std::string& name, const char* folder) {
  std::string path = std::string(folder ? folder : LVX_SCREENSHOT_DIR) + "/" + name + ".bmp";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  BITMAPFILEHEADER file = {};
  const BITMAPINFOHEADER header = TopDown32(image.width, image.height);
  uint32_t bytes = uint32_t(image.pixels.size() * 4);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + bytes;
  bool ok = std::fwrite(&file, sizeof(file), 1, f) == 1 && std::fwrite(&header, sizeof(header), 1, f) == 1 &&
            std::fwrite(image.pixels.data(), 1, bytes, f) == bytes;
  return std::fclose(f) == 0 && ok;
}

Image Shoot(HWND hwnd, const std::string& name, const char* folder) {
  ::SetFocus(nullptr);
  Image image = RenderClient(hwnd);
  if (!name.empty() && !SaveBmp(image, name, folder)) ADD_FAILURE() << "cannot save " << name;
  return image;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
         std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

std::string Describe(COLORREF c) {
  return "RGB(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
         std::to_string(GetBValue(c)) + ")";
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
  DWORD start = ::GetTickCount();
  while (!done()) {
    if (int(::GetTickCount() - start) >= milliseconds) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

RECT RectIn(HWND window, HWND parent) {
  RECT rc = {};
  ::GetWindowRect(window, &rc);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

RECT ChildRect(HWND dialog, int id) { return RectIn(::GetDlgItem(dialog, id), dialog); }

}  // namespace lvx::uitest
