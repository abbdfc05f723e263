#include "framework/message_box.h"

#include "framework/app.h"
#include "platform/thread.h"

namespace lvx::ui {

namespace {

os::Lock& ResponderLock() {
  static os::Lock lock;
  return lock;
}

MessageResponder& Responder() {  // guarded by ResponderLock()
  static MessageResponder responder;
  return responder;
}

}  // namespace

MessageResponder SetMessageResponder(MessageResponder responder) {
  os::LockGuard guard(ResponderLock());
  std::swap(Responder(), responder);
  return responder;
}

int MessageBoxFor(HWND owner, std::wstring_view text, std::wstring_view caption, UINT type) {
  MessageRequest request{owner, std::wstring(text), std::wstring(caption), type};
  if (request.caption.empty() && CApp::Current()) request.caption = CApp::Current()->Title();
  MessageResponder responder;
  {
    os::LockGuard guard(ResponderLock());
    responder = Responder();
  }
  // Called outside the lock: a responder may itself ask something.
  if (responder) return responder(request);
  return ::MessageBoxW(owner, request.text.c_str(), request.caption.c_str(), type);
}

bool AskYesNo(HWND owner, std::wstring_view text, std::wstring_view caption) {
  return MessageBoxFor(owner, text, caption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

}  // namespace lvx::ui
