#include "controls/theme_helper.h"

namespace lvx::controls {

namespace {
// Parts and states of the "BUTTON" class (vsstyle.h).
constexpr int kPartCheckBox = 3;
constexpr int kCheckUncheckedNormal = 1;  // then hot, pressed, disabled; checked from 5, mixed from 9
}  // namespace

CXThemeHelper& CXThemeHelper::Instance() {
  static CXThemeHelper helper;
  return helper;
}

CXThemeHelper::CXThemeHelper() {
  HMODULE module = ::LoadLibraryW(L"uxtheme.dll");
  if (!module) return;
  auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(::GetProcAddress(module, "OpenThemeData")));
  auto close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(::GetProcAddress(module, "CloseThemeData")));
  auto draw = reinterpret_cast<DrawFn>(reinterpret_cast<void*>(::GetProcAddress(module, "DrawThemeBackground")));
  auto active = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(::GetProcAddress(module, "IsThemeActive")));
  auto app = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(::GetProcAddress(module, "IsAppThemed")));
  if (!open || !close || !draw || !active || !app) return;  // the module stays loaded: it is small
  openThemeData_ = open;
  closeThemeData_ = close;
  drawThemeBackground_ = draw;
  isThemeActive_ = active;
  isAppThemed_ = app;
}

bool CXThemeHelper::IsThemeActive() const {
  return IsAvailable() && !classic_ && isThemeActive_() && isAppThemed_();
}

HANDLE CXThemeHelper::Open(HWND hwnd, const wchar_t* classList) const {
  return IsThemeActive() ? openThemeData_(hwnd, classList) : nullptr;
}

void CXThemeHelper::Close(HANDLE theme) const {
  if (theme && closeThemeData_) closeThemeData_(theme);
}

bool CXThemeHelper::DrawBackground(HANDLE theme, HDC dc, int part, int state, const RECT& rect) const {
  return theme && drawThemeBackground_ && SUCCEEDED(drawThemeBackground_(theme, dc, part, state, &rect, nullptr));
}

int CXThemeHelper::CheckBoxSize(HDC dc) {
  int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  return ::MulDiv(13, dpi > 0 ? dpi : 96, 96);
}

void CXThemeHelper::DrawCheckBox(HWND owner, HDC dc, const RECT& box, int state, bool hot, bool pressed,
                                 bool disabled) const {
  if (HANDLE theme = Open(owner, L"BUTTON")) {
    int look = disabled ? 3 : pressed ? 2 : hot ? 1 : 0;
    int base = kCheckUncheckedNormal + (state == 1 ? 4 : state == 2 ? 8 : 0);
    bool drawn = DrawBackground(theme, dc, kPartCheckBox, base + look, box);
    Close(theme);
    if (drawn) return;
  }
  UINT flags = DFCS_BUTTONCHECK | (state == 1 ? DFCS_CHECKED : 0) | (pressed ? DFCS_PUSHED : 0) |
               (disabled ? DFCS_INACTIVE : 0);
  if (state == 2) flags = DFCS_BUTTON3STATE | DFCS_CHECKED | (disabled ? DFCS_INACTIVE : 0);
  RECT r = box;
  ::DrawFrameControl(dc, &r, DFC_BUTTON, flags);
}

}  // namespace lvx::controls
