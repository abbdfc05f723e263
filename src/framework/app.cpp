#include "framework/app.h"

#include <shellapi.h>

namespace lvx::ui {

namespace {
CApp* current = nullptr;
}

CApp::CApp() : instance_(::GetModuleHandleW(nullptr)) {
  const wchar_t* line = ::GetCommandLineW();
  commandLine_ = line ? line : L"";
  if (!current) current = this;
}

CApp::~CApp() {
  if (current == this) current = nullptr;
}

CApp* CApp::Current() { return current; }

int CApp::Main() {
  if (!InitInstance()) return ExitInstance();
  exitCode_ = Run();
  return ExitInstance();
}

int CApp::Run() {
  MSG msg;
  for (;;) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return int(msg.wParam);
    if (got == -1) return -1;
    if (!RoutePreTranslate(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

std::vector<std::wstring> CApp::Arguments() const { return SplitCommandLine(commandLine_); }

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> args;
  if (commandLine.empty()) return args;
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

}  // namespace lvx::ui
