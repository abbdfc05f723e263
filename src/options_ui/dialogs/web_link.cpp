#include "options_ui/dialogs/web_link.h"

#include <shellapi.h>

#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_rules.h"
#include "version_info.h"

namespace lvx::dialogs {
namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 255);

WebOpener& Opener() {
  static WebOpener opener;
  return opener;
}

std::u16string ToU16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

WebOpener SetWebOpener(WebOpener opener) {
  WebOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}

bool OpenWebAddress(HWND owner, const std::wstring& address) {
  if (!shell::IsWebUrl(ToU16(address))) return false;
  if (Opener()) return Opener()(address);
  HINSTANCE done = ::ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

std::wstring HomePageAddress() {
  std::u16string configured =
      shell::ReadIniString(u"OPTIONS", u"HOMEPAGE_URL", shell::Paths().settings, u"");
  if (shell::IsWebUrl(configured)) return ToWide(configured);
  return L"" LVX_HOMEPAGE_URL;
}

bool IsStrictlyInside(const RECT& rect, POINT point) {
  return point.x > rect.left && point.x < rect.right - 1 && point.y > rect.top && point.y < rect.bottom - 1;
}

CLinkStatic::~CLinkStatic() {
  if (underlined_) ::DeleteObject(underlined_);
}

void CLinkStatic::SetAddress(const std::wstring& address) {
  address_ = address;
  SetText(address);
}

void CLinkStatic::OnSubclassed() {
  CTransStatic::OnSubclassed();
  ModifyStyle(0, SS_NOTIFY);
  SetTextColour(kLinkColour);
  LOGFONTW font = {};
  HFONT current = Font();
  if (!current) current = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (::GetObjectW(current, sizeof(font), &font) == sizeof(font)) {
    font.lfUnderline = TRUE;
    underlined_ = ::CreateFontIndirectW(&font);
    if (underlined_) SetFont(underlined_, false);
  }
  if (address_.empty()) address_ = Text();
}

bool CLinkStatic::WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_SETCURSOR) {
    POINT at = {};
    ::GetCursorPos(&at);
    ::ScreenToClient(Handle(), &at);
    bool inside = IsStrictlyInside(ClientRect(), at);
    ::SetCursor(::LoadCursorW(nullptr, inside ? IDC_HAND : IDC_ARROW));
    *result = TRUE;
    return true;
  }
  return CTransStatic::WindowProc(msg, w, l, result);
}

bool CLinkStatic::OnReflectCommand(int code) {
  if (code != STN_CLICKED) return false;
  OpenWebAddress(Parent(), address_);
  return true;
}

}  // namespace lvx::dialogs
