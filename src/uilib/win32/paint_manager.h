// The control tree on a Win32 window. The window hands every message to MessageHandler first:
// WM_SIZE lays the tree out (and with it moves the host windows), WM_PAINT and WM_PRINTCLIENT paint
// it off-screen and copy it in one go, the mouse messages drive hover, press and click, and
// WM_GETMINMAXINFO keeps the window at least as large as the layout's "mininfo".
//
// The module instance and the resource archive are process-wide, set once at start-up before any
// window exists; every paint manager reads its layout and images from that archive.
#pragma once

#include <memory>
#include <string>

#include <windows.h>

#include "uilib/control_manager.h"
#include "uilib/win32/gdi_painter.h"

namespace lvx::uilib {

class CPaintManagerUI : public CControlManager {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI() override;

  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // The folder of the instance's module file, ending in '\'.
  static std::u16string GetInstancePath();
  // Reads the archive at path: a full path, or one under the instance path ("\skins\default.zip").
  // 0, or -1 with the message in *error; the message is also what a later layout build reports.
  static int SetResourceZip(const std::u16string& path, std::u16string* error = nullptr);

  // Binds to the window whose client area the tree fills, and to the process's archive.
  void Init(HWND window);
  HWND GetPaintWindow() const { return window_; }

  // True when the message was consumed; lResult then holds its answer.
  bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

  void Invalidate(const UiRect& rect) override;
  void PlaceHostWindow(HostWindow window, const UiRect& rect, bool visible) override;
  void SetMouseCapture(bool capture) override;

 private:
  // Paints the part of the client area given by dirty (client coordinates) into dc, whose origin is
  // the client area's.
  void PaintTo(HDC dc, const RECT& dirty);
  void OnMinMaxInfo(MINMAXINFO* info) const;
  bool OnSetCursor() const;

  HWND window_ = nullptr;
  bool trackingLeave_ = false;
  std::unique_ptr<CGdiPainter> painter_;
};

}  // namespace lvx::uilib
