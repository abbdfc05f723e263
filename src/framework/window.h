// CWindow: a window handle with an object behind it. Messages of a bound window reach the object's
// virtual handlers (OnCommand, OnNotify, OnTimer, OnSize, OnPaint, ...); a parent first offers a
// control's notifications (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*) to the
// control's own object (the OnReflect* handlers), so a control handles its own notifications and a
// dialog does not grow a switch over all of them.
//
// A window is bound to its object in one of three ways: a dialog from its first message (CDialogBox),
// a window of the framework's own class from WM_NCCREATE (CreateFrame), and an existing control by
// subclassing it (Subclass, CreateControl). Attach only wraps a handle: the object can send to the
// window but gets none of its messages. The object is found from the handle through a window
// property, so any code holding an HWND can reach it (FromHandle).
//
// A handler returns true when it handled the message; otherwise the window's default processing
// runs. Derived classes that need messages without a handler override WindowProc and call the base
// for the rest. Everything here runs on the thread that owns the window.
#pragma once

#include "framework/win_api.h"

namespace lvx::ui {

class CWindow {
 public:
  CWindow() = default;
  // Unbinds the window. A window this object created (a frame or a dialog) is destroyed; a
  // subclassed control is given back to its own window procedure and lives on.
  virtual ~CWindow();
  CWindow(const CWindow&) = delete;
  CWindow& operator=(const CWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  bool IsBound() const { return bound_ != Binding::None && bound_ != Binding::Attached; }
  static CWindow* FromHandle(HWND hwnd);

  // Wraps a handle without taking its messages; the previous binding is released first.
  void Attach(HWND hwnd);
  HWND Detach();
  // Takes over the messages of an existing window of this thread. False when hwnd is null, belongs to
  // another thread or is already bound to an object.
  bool Subclass(HWND hwnd);
  bool SubclassDlgItem(int id, HWND parent) { return Subclass(::GetDlgItem(parent, id)); }
  // Creates a child control of a system or registered class and subclasses it.
  bool CreateControl(const wchar_t* className, std::wstring_view text, DWORD style, DWORD exStyle,
                     const RECT& rect, HWND parent, int id);
  // Creates a window of the framework's own class ("LvxFrame"), bound from its first message.
  bool CreateFrame(DWORD exStyle, std::wstring_view title, DWORD style, const RECT& rect, HWND parent,
                   HMENU menuOrId = nullptr);
  bool Destroy();

  // Every message of the thread's loop passes here first, from the target window up to its top-level
  // window; true means the message was used and is not dispatched.
  virtual bool PreTranslateMessage(MSG* msg) { return false; }

  // Small helpers on the handle.
  LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(hwnd_, msg, w, l); }
  bool Post(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(hwnd_, msg, w, l) != 0; }
  std::wstring Text() const;
  void SetText(std::wstring_view text);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  int Id() const { return ::GetDlgCtrlID(hwnd_); }
  HWND Parent() const { return ::GetParent(hwnd_); }
  void Show(int command) { ::ShowWindow(hwnd_, command); }
  bool IsVisible() const { return ::IsWindowVisible(hwnd_) != 0; }
  void Enable(bool on) { ::EnableWindow(hwnd_, on); }
  bool IsEnabled() const { return ::IsWindowEnabled(hwnd_) != 0; }
  void Invalidate(bool erase = true) { ::InvalidateRect(hwnd_, nullptr, erase); }
  RECT ClientRect() const;
  // The window's rectangle in its parent's client coordinates (screen coordinates for a top-level).
  RECT RectInParent() const;
  void Move(const RECT& rect, bool repaint = true);
  HFONT Font() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }
  void SetFont(HFONT font, bool redraw = true) { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
  bool SetTimer(UINT_PTR id, UINT milliseconds) { return ::SetTimer(hwnd_, id, milliseconds, nullptr) != 0; }
  void KillTimer(UINT_PTR id) { ::KillTimer(hwnd_, id); }
  DWORD Style() const { return DWORD(::GetWindowLongPtrW(hwnd_, GWL_STYLE)); }
  void ModifyStyle(DWORD remove, DWORD add);
  void ModifyExStyle(DWORD remove, DWORD add);

 protected:
  // The dispatcher: routes a message to the handlers below. True when handled, with *result set.
  virtual bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result);
  // The default processing of a subclassed control or a frame (0 for a dialog, whose default runs
  // after the handlers return false). A handler that must draw after the control's own work calls it.
  LRESULT DefaultProc(UINT msg, WPARAM w, LPARAM l);
  // Called once the object receives the window's messages (after Subclass or CreateControl).
  virtual void OnSubclassed() {}
  // Called after the last message of the window, when the object no longer has a handle.
  virtual void OnFinalMessage() {}

  virtual bool OnCreate(CREATESTRUCTW* create) { return false; }
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual bool OnNotify(NMHDR* header, LRESULT* result) { return false; }
  virtual bool OnTimer(UINT_PTR id) { return false; }
  virtual void OnSize(UINT type, int cx, int cy) {}
  virtual bool OnPaint() { return false; }
  virtual bool OnPrintClient(HDC dc, UINT flags) { return false; }
  virtual bool OnEraseBkgnd(HDC dc) { return false; }
  // A brush for a child's WM_CTLCOLOR* message; null leaves it to the default.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) { return nullptr; }
  virtual bool OnDrawItem(int id, DRAWITEMSTRUCT* item) { return false; }
  virtual bool OnMeasureItem(int id, MEASUREITEMSTRUCT* item) { return false; }
  virtual bool OnMouseMove(UINT keys, POINT point) { return false; }
  virtual bool OnMouseLeave() { return false; }
  virtual bool OnContextMenu(HWND window, POINT screen) { return false; }
  virtual bool OnClose() { return false; }
  virtual void OnDestroy() {}

  // Notifications the parent received from this control. True consumes them: the parent's own
  // handlers do not see them.
  virtual bool OnReflectCommand(int code) { return false; }
  virtual bool OnReflectNotify(NMHDR* header, LRESULT* result) { return false; }
  virtual bool OnReflectDrawItem(DRAWITEMSTRUCT* item) { return false; }
  virtual bool OnReflectMeasureItem(MEASUREITEMSTRUCT* item) { return false; }
  virtual HBRUSH OnReflectCtlColor(HDC dc, UINT msg) { return nullptr; }

  enum class Binding { None, Attached, Subclassed, Frame, Dialog };
  // For CDialogBox: binds this object to a dialog from its first message.
  void BindDialog(HWND hwnd);
  // Runs one message through WindowProc and unbinds after the window's last message.
  bool Dispatch(UINT msg, WPARAM w, LPARAM l, LRESULT* result);
  Binding binding() const { return bound_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
  bool Reflect(UINT msg, WPARAM w, LPARAM l, LRESULT* result);
  void Bind(HWND hwnd, Binding how);
  void Unbind();

  HWND hwnd_ = nullptr;
  Binding bound_ = Binding::None;
};

// Offers a message of the loop to the PreTranslateMessage of its window and of each ancestor up to
// the top-level window; true when one of them used it.
bool RoutePreTranslate(MSG* msg);

// BeginPaint/EndPaint as a scope.
class CPaintScope {
 public:
  explicit CPaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
  ~CPaintScope() { ::EndPaint(hwnd_, &ps_); }
  CPaintScope(const CPaintScope&) = delete;
  CPaintScope& operator=(const CPaintScope&) = delete;
  HDC Dc() const { return dc_; }
  const RECT& Dirty() const { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  HDC dc_;
  PAINTSTRUCT ps_;
};

}  // namespace lvx::ui
