// The application object: one per process. Main() runs InitInstance; when that returns true the
// message loop runs until WM_QUIT, and ExitInstance gives the exit code. A program whose main window
// is a modal dialog runs it inside InitInstance and returns false, as the shell does.
#pragma once

#include <string>
#include <vector>

#include "framework/window.h"

namespace lvx::ui {

class CApp {
 public:
  CApp();
  virtual ~CApp();
  CApp(const CApp&) = delete;
  CApp& operator=(const CApp&) = delete;

  // The process's start routine: call from WinMain or main.
  int Main();
  // The message loop; every message passes RoutePreTranslate first. Returns WM_QUIT's code.
  int Run();

  HINSTANCE Instance() const { return instance_; }
  const std::wstring& CommandLine() const { return commandLine_; }
  // The command line split into arguments; [0] is the program.
  std::vector<std::wstring> Arguments() const;
  CWindow* MainWindow() const { return mainWindow_; }
  void SetMainWindow(CWindow* window) { mainWindow_ = window; }
  // The caption of message boxes that name none.
  const std::wstring& Title() const { return title_; }
  void SetTitle(std::wstring title) { title_ = std::move(title); }

  // The application object of the process, or null before one exists.
  static CApp* Current();

 protected:
  // False ends the program without running the message loop.
  virtual bool InitInstance() = 0;
  virtual int ExitInstance() { return exitCode_; }

 private:
  HINSTANCE instance_;
  std::wstring commandLine_;
  std::wstring title_;
  CWindow* mainWindow_ = nullptr;
  int exitCode_ = 0;
};

// Splits a command line as the system does for a program's arguments.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace lvx::ui
