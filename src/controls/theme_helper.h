// Visual styles through uxtheme.dll when the system has it and styles are on, loaded at run time so
// the program starts on systems without it; classic drawing otherwise.
#pragma once

#include "framework/win_api.h"

namespace lvx::controls {

class CXThemeHelper {
 public:
  // The process's helper, loading uxtheme.dll on first use.
  static CXThemeHelper& Instance();

  // uxtheme.dll and the functions used here were found.
  bool IsAvailable() const { return openThemeData_ != nullptr; }
  // Visual styles are on for this application (and not switched off by UseClassic).
  bool IsThemeActive() const;
  // Classic drawing even where styles are on (the "Windows Theme" look, and tests).
  void UseClassic(bool classic) { classic_ = classic; }

  HANDLE Open(HWND hwnd, const wchar_t* classList) const;
  void Close(HANDLE theme) const;
  bool DrawBackground(HANDLE theme, HDC dc, int part, int state, const RECT& rect) const;

  // A check box glyph in the box: the themed one when styles are on, the classic frame control
  // otherwise. state: 0 clear, 1 checked, 2 indeterminate.
  void DrawCheckBox(HWND owner, HDC dc, const RECT& box, int state, bool hot, bool pressed, bool disabled) const;
  // The side of a check box glyph in pixels for the DC's resolution.
  static int CheckBoxSize(HDC dc);

 private:
  CXThemeHelper();
  using OpenFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using CloseFn = HRESULT(WINAPI*)(HANDLE);
  using DrawFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  using BoolFn = BOOL(WINAPI*)();
  OpenFn openThemeData_ = nullptr;
  CloseFn closeThemeData_ = nullptr;
  DrawFn drawThemeBackground_ = nullptr;
  BoolFn isThemeActive_ = nullptr;
  BoolFn isAppThemed_ = nullptr;
  bool classic_ = false;
};

}  // namespace lvx::controls
