#include "shell/lumivex_app.h"

#include <ole2.h>

#include "framework/message_box.h"
#include "platform/message.h"
#include "shell/app_messages.h"
#include "shell/instance_control.h"
#include "shell/lumivex_dlg.h"
#include "shell/win_text.h"
#include "uilib/win32/paint_manager.h"

namespace lvx::shell {

CLumivexApp::CLumivexApp() { SetTitle(kProductTitle); }

CLumivexApp::~CLumivexApp() { os::SetMessageSink(nullptr); }

bool CLumivexApp::RegisterMainWindowClass() {
  WNDCLASSEXW dialogClass{};
  dialogClass.cbSize = sizeof dialogClass;
  if (!::GetClassInfoExW(nullptr, L"#32770", &dialogClass)) return false;
  dialogClass.hInstance = Instance();
  dialogClass.lpszClassName = kMainWindowClass;
  return ::RegisterClassExW(&dialogClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void CLumivexApp::InstallMessageSink() {
  uiThread_ = ::GetCurrentThreadId();
  os::SetMessageSink([this](const os::String& text) {
    HWND owner = nullptr;
    if (::GetCurrentThreadId() == uiThread_ && MainWindow()) owner = MainWindow()->Handle();
    ui::MessageBoxFor(owner, W(text), kProductTitle, MB_OK | MB_ICONEXCLAMATION);
  });
}

bool CLumivexApp::InitInstance() {
  exitCode_ = 1;
  if (!RegisterMainWindowClass()) return false;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  InstallMessageSink();
  oleReady_ = SUCCEEDED(::OleInitialize(nullptr));
  if (!oleReady_) {
    os::ErrorBox(u"AfxOleInit Error!");
    return false;
  }
  // Ends without a box: a request of the uninstaller, or this session's running copy is shown.
  exitCode_ = 0;
  if (!HandleUninstallSwitch(Arguments())) return false;
  SetWorkingDirectory();
  if (!ActivateRunningCopy(&mutex_)) return false;
  exitCode_ = 1;
  if (!ClaimSession(kSessionLimit)) return false;

  uilib::CPaintManagerUI::SetInstance(Instance());
  std::u16string archiveError;
  if (uilib::CPaintManagerUI::SetResourceZip(FromW(kSkinArchive), &archiveError) != 0) {
    os::ErrorBox(archiveError);
    return false;
  }

  CLumivexDlg dialog(cacheContext_);
  SetMainWindow(&dialog);
  INT_PTR result = dialog.DoModal(nullptr);
  SetMainWindow(nullptr);
  exitCode_ = result == IDCANCEL ? 0 : 1;
  return false;
}

int CLumivexApp::ExitInstance() {
  if (mutex_) ::CloseHandle(mutex_);
  mutex_ = nullptr;
  if (oleReady_) ::OleUninitialize();
  oleReady_ = false;
  return exitCode_;
}

}  // namespace lvx::shell
