#include "framework/dialog.h"

#include <cstring>

namespace lvx::ui {

namespace {

// The dialog being created on this thread: its first messages (WM_SETFONT) come before
// WM_INITDIALOG carries the object.
thread_local CDialogBox* creatingDialog = nullptr;

uint32_t ReadDword(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void WriteDword(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

bool MakeChildTemplate(std::vector<uint8_t>* bytes) {
  // DLGTEMPLATE: style, extended style, ... (18 bytes at least). DLGTEMPLATEEX: version 1, signature
  // 0xFFFF, help id, extended style, style, ... (26 bytes at least).
  uint8_t* p = bytes->data();
  size_t styleAt = 0, exAt = 4;
  if (bytes->size() >= 26 && p[0] == 1 && p[1] == 0 && p[2] == 0xFF && p[3] == 0xFF) {
    styleAt = 12;
    exAt = 8;
  } else if (bytes->size() < 18) {
    return false;
  }
  const uint32_t dropStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                             WS_MAXIMIZEBOX | WS_VISIBLE | DS_MODALFRAME | DS_CENTER | DS_SYSMODAL;
  const uint32_t dropEx = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE | WS_EX_STATICEDGE |
                          WS_EX_APPWINDOW | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  WriteDword(p + styleAt, (ReadDword(p + styleAt) & ~dropStyle) | WS_CHILD | DS_CONTROL);
  WriteDword(p + exAt, (ReadDword(p + exAt) & ~dropEx) | WS_EX_CONTROLPARENT);
  return true;
}

bool CDialogBox::CreateFromTemplate(HWND parent, bool asChild) {
  if (Handle()) return false;
  HINSTANCE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(templateId_), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = found ? ::SizeofResource(module, found) : 0;
  if (!data || size == 0) return false;
  // A copy: the template may be changed, and the system wants it DWORD-aligned.
  std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  if (asChild && !MakeChildTemplate(&bytes)) return false;
  creatingDialog = this;
  HWND hwnd = ::CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), parent,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
  creatingDialog = nullptr;
  return hwnd && Handle() == hwnd;
}

INT_PTR CALLBACK CDialogBox::DialogProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  auto* self = static_cast<CDialogBox*>(FromHandle(hwnd));
  if (!self) {
    self = msg == WM_INITDIALOG ? reinterpret_cast<CDialogBox*>(l) : creatingDialog;
    if (!self || self->Handle()) return FALSE;
    creatingDialog = nullptr;
    self->BindDialog(hwnd);
  }
  LRESULT result = 0;
  if (!self->Dispatch(msg, w, l, &result)) return FALSE;
  switch (msg) {
    // These return their answer directly; all others through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      if (::IsWindow(hwnd)) ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

INT_PTR CDialogBox::DoModal(HWND owner) {
  if (Handle()) return -1;
  HWND top = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  modal_ = true;
  ended_ = false;
  result_ = IDCANCEL;
  if (!CreateFromTemplate(top, false)) {
    modal_ = false;
    return -1;
  }
  HWND self = Handle();
  bool reenable = top && ::IsWindowEnabled(top);
  if (reenable) ::EnableWindow(top, FALSE);
  if (!ended_) ::ShowWindow(self, SW_SHOW);
  MSG msg;
  while (!ended_ && Handle() == self) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The program is quitting: the modal dialog ends and the quit goes on to the outer loop.
      ::PostQuitMessage(int(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (!RoutePreTranslate(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  // The owner is enabled before the dialog goes, so that the system activates it next.
  if (reenable) ::EnableWindow(top, TRUE);
  modal_ = false;
  if (Handle() == self) ::DestroyWindow(self);
  return result_;
}

bool CDialogBox::CreateModeless(HWND owner) {
  modal_ = false;
  ended_ = false;
  return CreateFromTemplate(owner, false);
}

void CDialogBox::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  if (!Handle()) return;
  if (modal_) {
    ::PostMessageW(Handle(), WM_NULL, 0, 0);  // wakes the modal loop if it is waiting
  } else {
    ::ShowWindow(Handle(), SW_HIDE);
  }
}

bool CDialogBox::PreTranslateMessage(MSG* msg) {
  if (!Handle() || (Style() & WS_CHILD)) return false;
  bool key = msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST;
  bool mouse = msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST;
  return (key || mouse) && ::IsDialogMessageW(Handle(), msg);
}

bool CDialogBox::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_INITDIALOG) {
    *result = OnInitDialog() ? TRUE : FALSE;
    return true;
  }
  if (CWindow::WindowProc(msg, w, l, result)) return true;
  if (msg == WM_COMMAND && HIWORD(w) == BN_CLICKED) {
    if (LOWORD(w) == IDOK) {
      OnOK();
      return true;
    }
    if (LOWORD(w) == IDCANCEL) {
      OnCancel();
      return true;
    }
  }
  return false;
}

bool CChildPage::CreatePage(HWND host) { return CreateFromTemplate(host, true); }

}  // namespace lvx::ui
