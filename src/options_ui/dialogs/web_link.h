// Web addresses that the program hands to the shell, and the link label of the welcome and about
// boxes. Only http and https addresses are ever opened: an address comes from a build setting or a
// settings file that anyone can edit, and the shell would run a "file:" path, a program or a script
// just as willingly as it opens a page.
#pragma once

#include <functional>

#include "controls/trans_controls.h"
#include "framework/win_api.h"

namespace lvx::dialogs {

// Opens the address with the shell, shown normally; false, with nothing opened, when it is not an
// http or https address or the shell fails.
bool OpenWebAddress(HWND owner, const std::wstring& address);

// Tests answer in place of the shell and see what would have been opened. Null restores the shell.
using WebOpener = std::function<bool(const std::wstring& address)>;
WebOpener SetWebOpener(WebOpener opener);

// The maker's web page: settings.ini OPTIONS/HOMEPAGE_URL when it is an http or https address,
// otherwise the one the program was built with.
std::wstring HomePageAddress();

// True when the client point is inside the rectangle and not on its edge.
bool IsStrictlyInside(const RECT& rect, POINT point);

// A static label (SS_NOTIFY) that looks like a link: blue and underlined over its dialog's
// background, the hand cursor while the pointer is strictly inside it, and a click opens its address.
class CLinkStatic : public controls::CTransStatic {
 public:
  ~CLinkStatic() override;
  // Shows the address as the label's text.
  void SetAddress(const std::wstring& address);
  const std::wstring& Address() const { return address_; }

 protected:
  void OnSubclassed() override;
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;
  bool OnReflectCommand(int code) override;

 private:
  std::wstring address_;
  HFONT underlined_ = nullptr;
};

}  // namespace lvx::dialogs
