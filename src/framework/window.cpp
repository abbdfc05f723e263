#include "framework/window.h"

#include <windowsx.h>

#include "framework/wait_cursor.h"

namespace lvx::ui {

namespace {

const wchar_t kObjectProp[] = L"LvxWindowObject";
const wchar_t kFrameClass[] = L"LvxFrame";
constexpr UINT_PTR kSubclassId = 0x4C5658;  // "LVX"

// The frame being created on this thread, bound at its first message (WM_GETMINMAXINFO comes before
// WM_NCCREATE).
thread_local CWindow* creatingFrame = nullptr;

bool IsCtlColor(UINT msg) { return msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC; }

}  // namespace

CWindow::~CWindow() {
  HWND hwnd = hwnd_;
  Binding how = bound_;
  Unbind();
  if (hwnd && (how == Binding::Frame || how == Binding::Dialog)) ::DestroyWindow(hwnd);
}

CWindow* CWindow::FromHandle(HWND hwnd) {
  return hwnd ? static_cast<CWindow*>(::GetPropW(hwnd, kObjectProp)) : nullptr;
}

void CWindow::Attach(HWND hwnd) {
  Unbind();
  hwnd_ = hwnd;
  bound_ = hwnd ? Binding::Attached : Binding::None;
}

HWND CWindow::Detach() {
  HWND hwnd = hwnd_;
  Unbind();
  return hwnd;
}

void CWindow::Bind(HWND hwnd, Binding how) {
  hwnd_ = hwnd;
  bound_ = how;
  ::SetPropW(hwnd, kObjectProp, this);
}

void CWindow::BindDialog(HWND hwnd) {
  Unbind();
  Bind(hwnd, Binding::Dialog);
}

void CWindow::Unbind() {
  if (hwnd_ && bound_ != Binding::None && bound_ != Binding::Attached) {
    if (FromHandle(hwnd_) == this) ::RemovePropW(hwnd_, kObjectProp);
    if (bound_ == Binding::Subclassed) ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  }
  hwnd_ = nullptr;
  bound_ = Binding::None;
}

bool CWindow::Subclass(HWND hwnd) {
  if (!hwnd || FromHandle(hwnd)) return false;
  if (::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId()) return false;
  Unbind();
  if (!::SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  Bind(hwnd, Binding::Subclassed);
  OnSubclassed();
  return true;
}

bool CWindow::CreateControl(const wchar_t* className, std::wstring_view text, DWORD style, DWORD exStyle,
                            const RECT& rect, HWND parent, int id) {
  std::wstring caption(text);
  HWND hwnd = ::CreateWindowExW(exStyle, className, caption.c_str(), style | WS_CHILD, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                nullptr);
  if (!hwnd) return false;
  if (Subclass(hwnd)) return true;
  ::DestroyWindow(hwnd);
  return false;
}

bool CWindow::CreateFrame(DWORD exStyle, std::wstring_view title, DWORD style, const RECT& rect, HWND parent,
                          HMENU menuOrId) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(::GetModuleHandleW(nullptr), kFrameClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFrameClass;
    if (!::RegisterClassExW(&wc)) return false;
  }
  Unbind();
  std::wstring caption(title);
  creatingFrame = this;
  HWND hwnd = ::CreateWindowExW(exStyle, kFrameClass, caption.c_str(), style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent, menuOrId,
                                ::GetModuleHandleW(nullptr), nullptr);
  creatingFrame = nullptr;
  return hwnd != nullptr && hwnd_ == hwnd;
}

bool CWindow::Destroy() {
  return hwnd_ && ::DestroyWindow(hwnd_);
}

std::wstring CWindow::Text() const {
  int n = ::GetWindowTextLengthW(hwnd_);
  if (n <= 0) return {};
  std::wstring text(size_t(n) + 1, L'\0');
  n = ::GetWindowTextW(hwnd_, text.data(), n + 1);
  text.resize(size_t(n > 0 ? n : 0));
  return text;
}

void CWindow::SetText(std::wstring_view text) {
  std::wstring copy(text);
  ::SetWindowTextW(hwnd_, copy.c_str());
}

RECT CWindow::ClientRect() const {
  RECT rc = {};
  ::GetClientRect(hwnd_, &rc);
  return rc;
}

RECT CWindow::RectInParent() const {
  RECT rc = {};
  ::GetWindowRect(hwnd_, &rc);
  HWND parent = (Style() & WS_CHILD) ? ::GetParent(hwnd_) : nullptr;
  if (parent) ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void CWindow::Move(const RECT& rect, bool repaint) {
  ::MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

void CWindow::ModifyStyle(DWORD remove, DWORD add) {
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, LONG_PTR((Style() & ~remove) | add));
}

void CWindow::ModifyExStyle(DWORD remove, DWORD add) {
  DWORD ex = DWORD(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  ::SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, LONG_PTR((ex & ~remove) | add));
}

LRESULT CWindow::DefaultProc(UINT msg, WPARAM w, LPARAM l) {
  if (bound_ == Binding::Subclassed) return ::DefSubclassProc(hwnd_, msg, w, l);
  if (bound_ == Binding::Frame) return ::DefWindowProcW(hwnd_, msg, w, l);
  return 0;
}

bool CWindow::Dispatch(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  *result = 0;
  bool handled = WindowProc(msg, w, l, result);
  // A dialog's procedure is not sure to see WM_NCDESTROY, so a dialog lets go of its handle at
  // WM_DESTROY; the default processing that follows does not need the object.
  if (msg == WM_NCDESTROY || (msg == WM_DESTROY && bound_ == Binding::Dialog)) {
    if (bound_ == Binding::Subclassed && !handled) {
      *result = ::DefSubclassProc(hwnd_, msg, w, l);
      handled = true;
    }
    Unbind();
    OnFinalMessage();
  }
  return handled;
}

LRESULT CALLBACK CWindow::SubclassProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  CWindow* self = reinterpret_cast<CWindow*>(data);
  LRESULT result = 0;
  if (self->Dispatch(msg, w, l, &result)) return result;
  return ::DefSubclassProc(hwnd, msg, w, l);
}

LRESULT CALLBACK CWindow::FrameProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  CWindow* self = FromHandle(hwnd);
  if (!self && creatingFrame) {
    self = creatingFrame;
    creatingFrame = nullptr;
    self->Bind(hwnd, Binding::Frame);
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, w, l);
  LRESULT result = 0;
  if (self->Dispatch(msg, w, l, &result)) return result;
  return ::DefWindowProcW(hwnd, msg, w, l);
}

bool CWindow::Reflect(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  HWND child = nullptr;
  if (msg == WM_COMMAND) {
    child = reinterpret_cast<HWND>(l);
  } else if (msg == WM_NOTIFY) {
    child = reinterpret_cast<NMHDR*>(l)->hwndFrom;
  } else if (msg == WM_DRAWITEM) {
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(l);
    if (item->CtlType != ODT_MENU) child = item->hwndItem;
  } else if (msg == WM_MEASUREITEM) {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
    if (item->CtlType != ODT_MENU) child = ::GetDlgItem(hwnd_, int(item->CtlID));
  } else if (IsCtlColor(msg)) {
    child = reinterpret_cast<HWND>(l);
  }
  CWindow* target = child && child != hwnd_ ? FromHandle(child) : nullptr;
  if (!target) return false;
  switch (msg) {
    case WM_COMMAND:
      return target->OnReflectCommand(HIWORD(w));
    case WM_NOTIFY:
      return target->OnReflectNotify(reinterpret_cast<NMHDR*>(l), result);
    case WM_DRAWITEM:
      if (!target->OnReflectDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(l))) return false;
      *result = TRUE;
      return true;
    case WM_MEASUREITEM:
      if (!target->OnReflectMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(l))) return false;
      *result = TRUE;
      return true;
    default: {
      HBRUSH brush = target->OnReflectCtlColor(reinterpret_cast<HDC>(w), msg);
      if (!brush) return false;
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
  }
}

bool CWindow::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  switch (msg) {
    case WM_CREATE:
      if (!OnCreate(reinterpret_cast<CREATESTRUCTW*>(l))) return false;
      *result = 0;
      return true;
    case WM_COMMAND:
      if (l && Reflect(msg, w, l, result)) return true;
      return OnCommand(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
    case WM_NOTIFY:
      if (Reflect(msg, w, l, result)) return true;
      return OnNotify(reinterpret_cast<NMHDR*>(l), result);
    case WM_DRAWITEM: {
      if (Reflect(msg, w, l, result)) return true;
      if (!OnDrawItem(int(w), reinterpret_cast<DRAWITEMSTRUCT*>(l))) return false;
      *result = TRUE;
      return true;
    }
    case WM_MEASUREITEM:
      if (Reflect(msg, w, l, result)) return true;
      if (!OnMeasureItem(int(w), reinterpret_cast<MEASUREITEMSTRUCT*>(l))) return false;
      *result = TRUE;
      return true;
    case WM_TIMER:
      return OnTimer(w);
    case WM_SIZE:
      OnSize(UINT(w), LOWORD(l), HIWORD(l));
      return false;
    case WM_PAINT:
      return OnPaint();
    case WM_PRINTCLIENT:
      return OnPrintClient(reinterpret_cast<HDC>(w), UINT(l));
    case WM_ERASEBKGND:
      if (!OnEraseBkgnd(reinterpret_cast<HDC>(w))) return false;
      *result = 1;
      return true;
    case WM_MOUSEMOVE:
      return OnMouseMove(UINT(w), POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    case WM_MOUSELEAVE:
      return OnMouseLeave();
    case WM_CONTEXTMENU:
      return OnContextMenu(reinterpret_cast<HWND>(w), POINT{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    case WM_SETCURSOR:
      if (!CWaitCursor::Active()) return false;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      *result = TRUE;
      return true;
    case WM_CLOSE:
      return OnClose();
    case WM_DESTROY:
      OnDestroy();
      return false;
    default:
      if (!IsCtlColor(msg)) return false;
      if (Reflect(msg, w, l, result)) return true;
      if (HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l), msg)) {
        *result = reinterpret_cast<LRESULT>(brush);
        return true;
      }
      return false;
  }
}

bool RoutePreTranslate(MSG* msg) {
  for (HWND hwnd = msg->hwnd; hwnd;) {
    if (CWindow* window = CWindow::FromHandle(hwnd)) {
      if (window->PreTranslateMessage(msg)) return true;
    }
    if (!(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;
    hwnd = ::GetParent(hwnd);
  }
  return false;
}

}  // namespace lvx::ui
