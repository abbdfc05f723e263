#include "uilib/win32/paint_manager.h"

#include <algorithm>
#include <vector>

#include <windowsx.h>

#include "uilib/text_controls.h"

namespace lvx::uilib {
namespace {

struct ProcessUi {
  HINSTANCE instance = nullptr;
  CResourceArchive archive;
  std::u16string archiveError;
};

// Set at start-up on the UI thread, before any paint manager exists; read by them afterwards.
ProcessUi& Process() {
  static ProcessUi process;
  return process;
}

bool IsFullPath(const std::u16string& path) {
  return (path.size() >= 2 && path[1] == u':') || path.rfind(u"\\\\", 0) == 0;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() : painter_(std::make_unique<CGdiPainter>(this)) {}

CPaintManagerUI::~CPaintManagerUI() = default;

void CPaintManagerUI::SetInstance(HINSTANCE instance) { Process().instance = instance; }

HINSTANCE CPaintManagerUI::GetInstance() { return Process().instance; }

std::u16string CPaintManagerUI::GetInstancePath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(Process().instance, buffer.data(), DWORD(buffer.size()));
  std::u16string path(reinterpret_cast<const char16_t*>(buffer.data()), std::min<size_t>(n, buffer.size()));
  return path.substr(0, path.rfind(u'\\') + 1);
}

int CPaintManagerUI::SetResourceZip(const std::u16string& path, std::u16string* error) {
  ProcessUi& process = Process();
  std::u16string full = path;
  if (!IsFullPath(path)) full = GetInstancePath() + (path.rfind(u'\\', 0) == 0 ? path.substr(1) : path);
  process.archiveError.clear();
  if (process.archive.Load(full, &process.archiveError) == 0) return 0;
  if (error) *error = process.archiveError;
  return -1;
}

void CPaintManagerUI::Init(HWND window) {
  window_ = window;
  const ProcessUi& process = Process();
  SetResources(process.archive.IsLoaded() ? &process.archive : nullptr, process.archiveError);
}

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
  if (!window_) return false;
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Resize(LOWORD(lParam), HIWORD(lParam));
      return false;
    case WM_ERASEBKGND:
      if (!GetRoot()) return false;
      lResult = 1;  // the paint covers the whole client area
      return true;
    case WM_PAINT: {
      if (!GetRoot()) return false;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      if (dc && !IsRectEmpty(&ps.rcPaint)) PaintTo(dc, ps.rcPaint);
      EndPaint(window_, &ps);
      lResult = 0;
      return true;
    }
    case WM_PRINTCLIENT: {
      if (!GetRoot()) return false;
      RECT client;
      GetClientRect(window_, &client);
      PaintTo(reinterpret_cast<HDC>(wParam), client);
      lResult = 0;
      return true;
    }
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, 0};
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
      }
      OnMouseMove(x, y);
      return false;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      OnMouseLeave();
      return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(x, y);
      return false;
    case WM_LBUTTONUP:
      OnButtonUp(x, y);
      return false;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != window_) OnCaptureLost();
      return false;
    case WM_SETCURSOR:
      if (LOWORD(lParam) != HTCLIENT || !OnSetCursor()) return false;
      lResult = TRUE;
      return true;
    case WM_GETMINMAXINFO:
      OnMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return false;
    case WM_NCDESTROY:
      window_ = nullptr;
      return false;
    default:
      return false;
  }
}

void CPaintManagerUI::PaintTo(HDC dc, const RECT& dirty) {
  const int width = dirty.right - dirty.left, height = dirty.bottom - dirty.top;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, width, height) : nullptr;
  HDC target = bitmap ? memory : dc;  // short of GDI resources: paint straight on, flicker and all
  HGDIOBJ old = bitmap ? SelectObject(memory, bitmap) : nullptr;
  POINT oldOrigin{};
  if (bitmap) SetViewportOrgEx(memory, -dirty.left, -dirty.top, &oldOrigin);
  FillRect(target, &dirty, GetSysColorBrush(COLOR_BTNFACE));
  painter_->SetDC(target);
  Paint(*painter_, {dirty.left, dirty.top, dirty.right, dirty.bottom});
  painter_->SetDC(nullptr);
  if (bitmap) {
    BitBlt(dc, dirty.left, dirty.top, width, height, memory, dirty.left, dirty.top, SRCCOPY);
    SetViewportOrgEx(memory, oldOrigin.x, oldOrigin.y, nullptr);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  if (memory) DeleteDC(memory);
}

void CPaintManagerUI::OnMinMaxInfo(MINMAXINFO* info) const {
  if (GetMinWidth() <= 0 && GetMinHeight() <= 0) return;
  RECT r = {0, 0, GetMinWidth(), GetMinHeight()};
  AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                     DWORD(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
  info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, r.right - r.left);
  info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, r.bottom - r.top);
}

bool CPaintManagerUI::OnSetCursor() const {
  const auto* label = dynamic_cast<const CLabelUI*>(GetHotControl());
  if (!label) return false;
  const auto& runs = label->GetRuns();
  if (std::none_of(runs.begin(), runs.end(), [](const TextRun& r) { return r.link >= 0; })) return false;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
  return true;
}

void CPaintManagerUI::Invalidate(const UiRect& rect) {
  if (!window_ || IsEmpty(rect)) return;
  const RECT r = {rect.left, rect.top, rect.right, rect.bottom};
  InvalidateRect(window_, &r, FALSE);
}

void CPaintManagerUI::PlaceHostWindow(HostWindow window, const UiRect& rect, bool visible) {
  HWND host = static_cast<HWND>(window);
  if (!window_ || !IsWindow(host)) return;
  // The rectangle is in this window's client area; the host may be a child of another window.
  RECT r = {rect.left, rect.top, rect.right, rect.bottom};
  HWND parent = GetParent(host);
  if (parent && parent != window_) MapWindowPoints(window_, parent, reinterpret_cast<POINT*>(&r), 2);
  RECT now;
  GetWindowRect(host, &now);
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&now), 2);
  const bool shown = (GetWindowLongPtrW(host, GWL_STYLE) & WS_VISIBLE) != 0;
  if (EqualRect(&r, &now) && shown == visible) return;  // unchanged: no repaint of the host
  SetWindowPos(host, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CPaintManagerUI::SetMouseCapture(bool capture) {
  if (!window_) return;
  if (capture)
    SetCapture(window_);
  else if (GetCapture() == window_)
    ReleaseCapture();
}

}  // namespace lvx::uilib
