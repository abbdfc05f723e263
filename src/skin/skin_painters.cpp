// What a skinned window does. A dialog paints the gradient, gives its plain labels and check boxes
// the gradient as their background, and draws its skinned push buttons, which are owner-drawn while
// the skin is on (so the system never draws the classic button over the skin). A button keeps
// behaving as a push button for the dialog manager: it answers WM_GETDLGCODE as one and keeps its
// owner-drawn type when the dialog makes it the default button.
#include <memory>

#include "controls/look.h"
#include "controls/paint_util.h"
#include "skin/skin_internal.h"

namespace lvx::skin::detail {

namespace {

using namespace lvx::controls;

constexpr UINT_PTR kDialogSkinId = 0x534B4E44;  // "SKND"
constexpr UINT_PTR kButtonSkinId = 0x534B4E42;  // "SKNB"
constexpr COLORREF kDisabledFrame = RGB(201, 199, 186);
// A skinned window carries its skin's state in a property as well as in its subclass, so that the
// skin is found from the handle (the system's subclass lookup is not exported by name everywhere).
const wchar_t kDialogSkinProp[] = L"LvxSkinDialog";
const wchar_t kButtonSkinProp[] = L"LvxSkinButton";


struct DialogSkin {
  static constexpr const wchar_t* kProp = kDialogSkinProp;
  CBkgndObject background;
};

struct ButtonSkin {
  static constexpr const wchar_t* kProp = kButtonSkinProp;
  bool ownerDrawn = false;  // converted; a button skinned at creation is converted after WM_CREATE
  bool isDefault = false;
  bool hover = false;
};

LRESULT CALLBACK DialogSkinProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK ButtonSkinProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

template <class T>
T* SkinOf(HWND hwnd) {
  return hwnd ? static_cast<T*>(::GetPropW(hwnd, T::kProp)) : nullptr;
}

bool IsDialogClass(HWND hwnd) {
  wchar_t cls[64] = {};
  ::GetClassNameW(hwnd, cls, 64);
  if (::lstrcmpW(cls, L"#32770") == 0) return true;
  // A class registered as a copy of the dialog class (the main window's) has the dialog procedure.
  static WNDPROC dialogProc = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    return ::GetClassInfoExW(nullptr, WC_DIALOG, &wc) ? wc.lpfnWndProc : nullptr;
  }();
  return dialogProc && reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC)) == dialogProc;
}

void ConvertButton(HWND hwnd, ButtonSkin* skin) {
  skin->ownerDrawn = true;
  DWORD style = DWORD(::GetWindowLongPtrW(hwnd, GWL_STYLE));
  skin->isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  ::DefSubclassProc(hwnd, BM_SETSTYLE, (style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW, TRUE);
  ::InvalidateRect(hwnd, nullptr, FALSE);
}

void DrawButton(const DRAWITEMSTRUCT* item, const ButtonSkin& skin) {
  const RECT& rect = item->rcItem;
  CMemDC mem(item->hDC, rect);
  HDC dc = mem.Dc();
  DrawParentBackground(item->hwndItem, dc);
  UINT state = item->itemState;
  RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
  if (state & ODS_SELECTED) {
    DrawRoundFrame(dc, rect, kFrameColour, &kPressedFill);
  } else if (state & ODS_DISABLED) {
    DrawRoundFrame(dc, rect, kDisabledFrame, &kGradientTop);
  } else {
    if (skin.hover) {
      FillVerticalGradient(dc, inner, kHoverTop, kGradientTop);
    } else {
      FillVerticalGradient(dc, inner, kGradientTop, kPressedFill);
    }
    DrawRoundFrame(dc, rect, kFrameColour, nullptr);
    if (skin.isDefault) DrawRoundFrame(dc, inner, kFrameColour, nullptr);
  }
  HWND hwnd = item->hwndItem;
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor((state & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  RECT textRect = rect;
  if (state & ODS_SELECTED) ::OffsetRect(&textRect, 1, 1);
  if (HICON icon = reinterpret_cast<HICON>(::SendMessageW(hwnd, BM_GETIMAGE, IMAGE_ICON, 0))) {
    int side = ::GetSystemMetrics(SM_CXSMICON);
    ::DrawIconEx(dc, (textRect.left + textRect.right - side) / 2, (textRect.top + textRect.bottom - side) / 2, icon,
                 side, side, 0, nullptr, DI_NORMAL);
  } else {
    int n = ::GetWindowTextLengthW(hwnd);
    std::wstring text(size_t(n) + 1, L'\0');
    n = ::GetWindowTextW(hwnd, text.data(), n + 1);
    UINT format = DT_CENTER | ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    if (state & ODS_NOACCEL) format |= DT_HIDEPREFIX;
    ::DrawTextW(dc, text.c_str(), n, &textRect, format);
  }
  if ((state & ODS_FOCUS) && !(state & ODS_NOFOCUSRECT)) {
    RECT focus = {rect.left + 3, rect.top + 3, rect.right - 3, rect.bottom - 3};
    ::DrawFocusRect(dc, &focus);
  }
  ::SelectObject(dc, oldFont);
}

LRESULT CALLBACK DialogSkinProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto* skin = reinterpret_cast<DialogSkin*>(data);
  switch (msg) {
    case WM_ERASEBKGND:
      skin->background.Paint(hwnd, reinterpret_cast<HDC>(w));
      return 1;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // A dialog that chose a brush of its own keeps it; the system's default becomes the gradient.
      LRESULT chosen = ::DefSubclassProc(hwnd, msg, w, l);
      HWND control = reinterpret_cast<HWND>(l);
      if ((chosen == 0 || reinterpret_cast<HBRUSH>(chosen) == ::GetSysColorBrush(COLOR_BTNFACE)) &&
          !IsExcluded(control)) {
        if (HBRUSH brush = skin->background.ControlBrush(hwnd, reinterpret_cast<HDC>(w), control)) {
          return reinterpret_cast<LRESULT>(brush);
        }
      }
      return chosen;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      if (item->CtlType != ODT_BUTTON) break;
      auto* button = SkinOf<ButtonSkin>(item->hwndItem);
      if (!button || !button->ownerDrawn) break;
      DrawButton(item, *button);
      return TRUE;
    }
    case WM_SIZE: {
      LRESULT r = ::DefSubclassProc(hwnd, msg, w, l);
      ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return r;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, DialogSkinProc, kDialogSkinId);
      ::RemovePropW(hwnd, kDialogSkinProp);
      delete skin;
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, w, l);
}

LRESULT CALLBACK ButtonSkinProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
  auto* skin = reinterpret_cast<ButtonSkin*>(data);
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, ButtonSkinProc, kButtonSkinId);
    ::RemovePropW(hwnd, kButtonSkinProp);
    delete skin;
    return ::DefSubclassProc(hwnd, msg, w, l);
  }
  if (!skin->ownerDrawn) {
    LRESULT r = ::DefSubclassProc(hwnd, msg, w, l);
    if (msg == WM_CREATE && r != -1) ConvertButton(hwnd, skin);
    return r;
  }
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!skin->hover) {
        skin->hover = true;
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd, 0};
        ::TrackMouseEvent(&track);
        ::InvalidateRect(hwnd, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      skin->hover = false;
      ::InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_LBUTTONDBLCLK:
      return ::DefSubclassProc(hwnd, WM_LBUTTONDOWN, w, l);
    case WM_ERASEBKGND:
      return 1;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | (skin->isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE: {
      skin->isDefault = (w & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      LRESULT r = ::DefSubclassProc(hwnd, msg, (w & ~WPARAM(BS_TYPEMASK)) | BS_OWNERDRAW, l);
      ::InvalidateRect(hwnd, nullptr, FALSE);
      return r;
    }
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, w, l);
}

}  // namespace

Kind KindOf(HWND hwnd) {
  if (!hwnd) return Kind::None;
  if (IsDialogClass(hwnd)) return Kind::Dialog;
  wchar_t cls[16] = {};
  ::GetClassNameW(hwnd, cls, 16);
  if (::lstrcmpiW(cls, L"Button") != 0) return Kind::None;
  DWORD style = DWORD(::GetWindowLongPtrW(hwnd, GWL_STYLE));
  DWORD type = style & BS_TYPEMASK;
  if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return Kind::None;
  if (!(style & WS_CHILD) || !SkinOf<DialogSkin>(::GetParent(hwnd))) return Kind::None;
  return Kind::PushButton;
}

bool Apply(HWND hwnd, bool atCreation) {
  if (Has(hwnd)) return false;
  switch (KindOf(hwnd)) {
    case Kind::Dialog: {
      auto skin = std::make_unique<DialogSkin>();
      if (!::SetWindowSubclass(hwnd, DialogSkinProc, kDialogSkinId, reinterpret_cast<DWORD_PTR>(skin.get()))) {
        return false;
      }
      ::SetPropW(hwnd, kDialogSkinProp, skin.release());
      return true;
    }
    case Kind::PushButton: {
      auto skin = std::make_unique<ButtonSkin>();
      ButtonSkin* raw = skin.get();
      if (!::SetWindowSubclass(hwnd, ButtonSkinProc, kButtonSkinId, reinterpret_cast<DWORD_PTR>(raw))) return false;
      ::SetPropW(hwnd, kButtonSkinProp, skin.release());
      // A button seen at its creation has not run WM_CREATE yet: it is converted after it.
      if (!atCreation) ConvertButton(hwnd, raw);
      return true;
    }
    default:
      return false;
  }
}

bool Remove(HWND hwnd) {
  if (auto* skin = SkinOf<DialogSkin>(hwnd)) {
    ::RemoveWindowSubclass(hwnd, DialogSkinProc, kDialogSkinId);
    ::RemovePropW(hwnd, kDialogSkinProp);
    delete skin;
    return true;
  }
  if (auto* skin = SkinOf<ButtonSkin>(hwnd)) {
    bool converted = skin->ownerDrawn, isDefault = skin->isDefault;
    ::RemoveWindowSubclass(hwnd, ButtonSkinProc, kButtonSkinId);
    ::RemovePropW(hwnd, kButtonSkinProp);
    delete skin;
    if (converted) {
      DWORD style = DWORD(::GetWindowLongPtrW(hwnd, GWL_STYLE)) & ~DWORD(BS_TYPEMASK);
      ::SendMessageW(hwnd, BM_SETSTYLE, style | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), TRUE);
    }
    return true;
  }
  return false;
}

bool Has(HWND hwnd) {
  return SkinOf<DialogSkin>(hwnd) || SkinOf<ButtonSkin>(hwnd);
}

}  // namespace lvx::skin::detail
