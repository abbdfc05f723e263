// lvx_drive: lumivex.exe steered from outside under wine, one verb per call, so that a script can do
// its own part (a screenshot of the display) between two of them.
//
//   lvx_drive prepare EXE DRIVE [--headless] [--fresh-cache]   settings: cache only DRIVE (a letter)
//   lvx_drive start EXE [--wait-cache SECONDS]   start, wait for the window (and the built cache)
//   lvx_drive search PATTERN [SECONDS]           type the pattern, print the status line's outcome
//   lvx_drive geometry                           the main window as WxH+X+Y (for a screen crop)
//   lvx_drive bench                              the UI benchmark (ui_measure.h)
//   lvx_drive close [SECONDS]                    the orderly exit, waiting for the process to end
//
// Exit codes: 0 done, 1 failed (the reason on stderr), 2 usage, 3 no search outcome in time.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app_driver.h"
#include "program_setup.h"
#include "ui_measure.h"

#include <shellapi.h>  // after <windows.h>

namespace lvx::drive {
namespace {

constexpr DWORD kWindowWaitMs = 60000;

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

DWORD Seconds(const std::vector<std::wstring>& args, size_t at, DWORD fallback) {
  return at < args.size() ? DWORD(std::wcstoul(args[at].c_str(), nullptr, 10)) * 1000 : fallback;
}

bool Has(const std::vector<std::wstring>& args, const wchar_t* flag) {
  for (const auto& a : args)
    if (a == flag) return true;
  return false;
}

HWND RunningWindow() {
  HWND main = apptest::FindMainWindow();
  if (!main) std::fprintf(stderr, "lvx_drive: no Lumivex window\n");
  return main;
}

int Prepare(const std::vector<std::wstring>& args) {
  if (args.size() < 4 || args[3].size() != 1 || !iswalpha(args[3][0])) return 2;
  SetupChoices choices;
  choices.exe = args[2];
  choices.drive = wchar_t(towupper(args[3][0]));
  choices.headless = Has(args, L"--headless");
  choices.freshCache = Has(args, L"--fresh-cache");
  if (!PrepareDataFolder(choices)) return 1;
  std::printf("data folder: %s\n", Utf8(apptest::UserDataFolder()).c_str());
  return 0;
}

int Start(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return 2;
  HWND main = StartProgram(args[2], kWindowWaitMs);
  if (!main) {
    std::fprintf(stderr, "lvx_drive: the main window did not appear\n");
    return 1;
  }
  std::printf("window up (process %lu)\n", ProcessOf(main));
  std::fflush(stdout);
  if (args.size() >= 5 && args[3] == L"--wait-cache") {
    const DWORD start = GetTickCount();
    if (!WaitForCache(main, Seconds(args, 4, 0))) {
      std::fprintf(stderr, "lvx_drive: the cache was not built in time: %s\n", Utf8(StatusText(main)).c_str());
      return 1;
    }
    std::printf("cache built in %.1f s: %s\n", (GetTickCount() - start) / 1000.0, Utf8(StatusText(main)).c_str());
  }
  return 0;
}

int Search(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return 2;
  HWND main = RunningWindow();
  if (!main) return 1;
  ClearStatus(main);
  TypePattern(main, args[2]);
  std::wstring outcome = WaitForSearchOutcome(main, Seconds(args, 3, 60000));
  if (outcome.empty()) {
    std::printf("no search outcome; the status line reads \"%s\"\n", Utf8(StatusText(main)).c_str());
    return 3;
  }
  std::printf("%s\n", Utf8(outcome).c_str());
  return 0;
}

int Geometry() {
  HWND main = RunningWindow();
  RECT r;
  if (!main || !GetWindowRect(main, &r)) return 1;
  std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  return 0;
}

int Close(const std::vector<std::wstring>& args) {
  HWND main = apptest::FindMainWindow();
  if (!main) return 0;
  if (!CloseProgram(main, Seconds(args, 2, 30000))) {
    std::fprintf(stderr, "lvx_drive: the program did not end\n");
    return 1;
  }
  return 0;
}

int Run(const std::vector<std::wstring>& args) {
  const std::wstring verb = args.size() > 1 ? args[1] : L"";
  if (verb == L"prepare") return Prepare(args);
  if (verb == L"start") return Start(args);
  if (verb == L"search") return Search(args);
  if (verb == L"geometry") return Geometry();
  if (verb == L"close") return Close(args);
  if (verb == L"bench") {
    HWND main = RunningWindow();
    return main ? RunUiBench(main) : 1;
  }
  return 2;
}

}  // namespace
}  // namespace lvx::drive

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  int code = lvx::drive::Run(args);
  if (code == 2) std::fprintf(stderr, "usage: see the head of bench/ui/lvx_drive.cpp\n");
  return code;
}
