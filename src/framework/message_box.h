// The program's message boxes and questions. Every box goes through MessageBoxFor, so a test can
// install a responder that answers in place of the user and sees what was asked; with no responder
// the system's box is shown. Callable from any thread.
#pragma once

#include <functional>

#include "framework/win_api.h"

namespace lvx::ui {

struct MessageRequest {
  HWND owner = nullptr;
  std::wstring text;
  std::wstring caption;
  UINT type = 0;  // MB_ flags
};

// Returns the button the user would have pressed (IDOK, IDYES, IDNO, ...).
using MessageResponder = std::function<int(const MessageRequest& request)>;
// Installs a responder for the whole process; returns the previous one. Null restores the real box.
MessageResponder SetMessageResponder(MessageResponder responder);

// Shows a box; an empty caption takes the application's title.
int MessageBoxFor(HWND owner, std::wstring_view text, std::wstring_view caption, UINT type);
// A Yes/No question with the exclamation icon; true for Yes.
bool AskYesNo(HWND owner, std::wstring_view text, std::wstring_view caption);

}  // namespace lvx::ui
