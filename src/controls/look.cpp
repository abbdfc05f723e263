#include "controls/look.h"

#include "controls/paint_util.h"

namespace lvx::controls {

namespace {

int Channel(int from, int to, int line, int span) {
  return (from * (span - line) + to * line + span / 2) / span;
}

// Fills the lines of `area` with the colours they have in a gradient that spans `lines` lines from
// `spanTop`; lines outside the span take the nearer end colour.
void FillGradientLines(HDC dc, const RECT& area, int spanTop, int lines, COLORREF from, COLORREF to) {
  COLORREF oldBk = ::GetBkColor(dc);
  for (int y = area.top; y < area.bottom; ++y) {
    int line = y - spanTop;
    line = line < 0 ? 0 : (line >= lines ? lines - 1 : line);
    ::SetBkColor(dc, GradientColour(from, to, line, lines));
    RECT row = {area.left, y, area.right, y + 1};
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &row, nullptr, 0, nullptr);
  }
  ::SetBkColor(dc, oldBk);
}

bool IsClass(HWND hwnd, const wchar_t* name) {
  wchar_t cls[32] = {};
  ::GetClassNameW(hwnd, cls, 32);
  return ::lstrcmpiW(cls, name) == 0;
}

}  // namespace

COLORREF GradientColour(COLORREF from, COLORREF to, int line, int lines) {
  if (lines <= 1 || line <= 0) return from;
  if (line >= lines - 1) return to;
  int span = lines - 1;
  return RGB(Channel(GetRValue(from), GetRValue(to), line, span), Channel(GetGValue(from), GetGValue(to), line, span),
             Channel(GetBValue(from), GetBValue(to), line, span));
}

void FillVerticalGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom) {
  FillGradientLines(dc, rect, rect.top, rect.bottom - rect.top, top, bottom);
}

void FillMirroredGradient(HDC dc, const RECT& rect, COLORREF edge, COLORREF middle) {
  int mid = rect.top + (rect.bottom - rect.top) / 2;
  FillVerticalGradient(dc, RECT{rect.left, rect.top, rect.right, mid}, edge, middle);
  FillVerticalGradient(dc, RECT{rect.left, mid, rect.right, rect.bottom}, middle, edge);
}

void DrawRoundFrame(HDC dc, const RECT& rect, COLORREF pen, const COLORREF* fill) {
  HPEN framePen = ::CreatePen(PS_SOLID, 1, pen);
  HBRUSH fillBrush = fill ? ::CreateSolidBrush(*fill) : nullptr;
  HGDIOBJ oldPen = ::SelectObject(dc, framePen);
  HGDIOBJ oldBrush = ::SelectObject(dc, fillBrush ? static_cast<HGDIOBJ>(fillBrush) : ::GetStockObject(NULL_BRUSH));
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, kFrameCorner, kFrameCorner);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  if (fillBrush) ::DeleteObject(fillBrush);
  ::DeleteObject(framePen);
}

CBkgndObject::~CBkgndObject() {
  if (brush_) ::DeleteObject(brush_);
}

void CBkgndObject::Paint(HWND window, HDC dc) const {
  RECT client = {};
  ::GetClientRect(window, &client);
  RECT clip = {};
  RECT area = client;
  if (::GetClipBox(dc, &clip) > NULLREGION && !::IntersectRect(&area, &client, &clip)) return;
  CMemDC mem(dc, area);
  FillGradientLines(mem.Dc(), area, client.top, client.bottom - client.top, top_, bottom_);
}

HBRUSH CBkgndObject::ControlBrush(HWND window, HDC controlDc, HWND control) {
  if (!IsClass(control, L"Static") && !IsClass(control, L"Button")) return nullptr;
  RECT client = {};
  ::GetClientRect(window, &client);
  int height = client.bottom - client.top;
  if (height <= 0) return nullptr;
  if (!brush_ || brushHeight_ != height) {
    if (brush_) ::DeleteObject(brush_);
    brush_ = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP pattern = ::CreateCompatibleBitmap(screen, 8, height);
    if (mem && pattern) {
      HGDIOBJ old = ::SelectObject(mem, pattern);
      FillVerticalGradient(mem, RECT{0, 0, 8, height}, top_, bottom_);
      ::SelectObject(mem, old);
      brush_ = ::CreatePatternBrush(pattern);  // the brush keeps its own copy of the bitmap
    }
    if (pattern) ::DeleteObject(pattern);
    if (mem) ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    brushHeight_ = brush_ ? height : 0;
    if (!brush_) return nullptr;
  }
  POINT at = {0, 0};
  ::MapWindowPoints(control, window, &at, 1);
  ::SetBrushOrgEx(controlDc, -at.x, -at.y, nullptr);
  ::SetBkMode(controlDc, TRANSPARENT);
  return brush_;
}

}  // namespace lvx::controls
