// Times are taken in this process around the messages a user's input would cause, polling the
// window's own answer (the status line's text, the list's item count) every millisecond. "Drawn"
// means the list's pending paint has been run: UpdateWindow sends WM_PAINT across processes and
// returns once it was handled, and a WM_NULL round trip behind it makes sure the thread got
// through its queue that far.
#include "ui_measure.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app_driver.h"
#include "program_setup.h"
#include "resource.h"

#include <psapi.h>  // after <windows.h>

namespace lvx::drive {
namespace {

constexpr DWORD kSearchWaitMs = 600000;
constexpr DWORD kFirstSearchWaitMs = 60000;  // no outcome by then: the window does not search
constexpr int kKeystrokeRuns = 5;
constexpr int kPageDowns = 100;
constexpr double kKeystrokeGoalMs = 30, kFirstRowsGoalMs = 1000, kPageDownGoalMs = 30;
constexpr double kIdleGoalMB = 40, kAfterAllGoalPerCache = 2.5;
constexpr double kMB = 1024.0 * 1024.0;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM w = 0, LPARAM l = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, w, l, SMTO_ABORTIFHUNG, 10000, &result);
  return LRESULT(result);
}

void Drawn(HWND list) {
  UpdateWindow(list);
  Ask(list, WM_NULL);
}

// The status line's outcome, polled every millisecond.
std::wstring PollOutcome(HWND main, DWORD milliseconds) {
  const double end = NowMs() + milliseconds;
  for (;;) {
    std::wstring status = StatusText(main);
    if (IsSearchOutcome(status) || NowMs() > end) return IsSearchOutcome(status) ? status : std::wstring();
    Sleep(1);
  }
}

// The engine's time in "... items found (...KB), in 0.12s", in ms; -1 without one.
double EngineMs(const std::wstring& status) {
  size_t at = status.rfind(L", in ");
  double seconds = -1;
  if (at == std::wstring::npos || swscanf(status.c_str() + at + 5, L"%lfs", &seconds) != 1) return -1;
  return seconds * 1000.0;
}

// wine fills PagefileUsage (the process's anonymous resident memory) and may leave PrivateUsage
// at 0; Windows keeps the two equal.
double PrivateMB(DWORD pid) {
  HANDLE process = pid == GetCurrentProcessId() ? GetCurrentProcess()
                                                : OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  bool ok = process && GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                            sizeof counters);
  if (process && pid != GetCurrentProcessId()) CloseHandle(process);
  if (!ok) return -1;
  return double(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage) / kMB;
}

double FileMB(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (double(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / kMB;
}

void Line(const char* what, double value, const char* unit, double goal, const char* goalText) {
  std::printf("%-40s %10.1f %-3s goal %s: %.2f of the goal %s\n", what, value, unit, goalText, value / goal,
              value <= goal ? "(met)" : "(MISSED)");
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? char(c) : '?';
  return out;
}

struct Keystroke {
  double uiMs = 0, engineMs = 0;
};

// "mp" then the keystroke that completes "mp3", timed from the keystroke to the result line.
bool TimeKeystroke(HWND main, Keystroke* out) {
  ClearStatus(main);
  TypePattern(main, L"mp");
  if (PollOutcome(main, kFirstSearchWaitMs).empty()) return false;
  ClearStatus(main);
  const double start = NowMs();
  TypePattern(main, L"mp3");
  std::wstring status = PollOutcome(main, kSearchWaitMs);
  out->uiMs = NowMs() - start;
  out->engineMs = EngineMs(status);
  return out->engineMs >= 0;
}

}  // namespace

int RunUiBench(HWND main) {
  const DWORD pid = ProcessOf(main);
  HWND list = GetDlgItem(main, IDC_MAIN_RESULTS);
  const double cacheMB = FileMB(CacheFilePath());
  Sleep(2000);  // the build's last messages and the refreshers' start settle
  const double idleMB = PrivateMB(pid);

  std::vector<Keystroke> runs(kKeystrokeRuns);
  for (auto& run : runs) {
    if (!TimeKeystroke(main, &run)) {
      std::printf("no search outcome in the status line (it reads \"%s\"): the window does not search yet\n",
                  Narrow(StatusText(main)).c_str());
      return 3;
    }
  }
  std::sort(runs.begin(), runs.end(), [](const Keystroke& a, const Keystroke& b) {
    return a.uiMs - a.engineMs < b.uiMs - b.engineMs;
  });
  const Keystroke median = runs[runs.size() / 2];
  const double worstOverMs = runs.back().uiMs - runs.back().engineMs;

  // "*" from a list that shows no hits: the first rows are the ones of this search.
  ClearStatus(main);
  TypePattern(main, L"no such name at all");
  PollOutcome(main, kSearchWaitMs);
  SetPattern(main, L"*");
  ClearStatus(main);
  const double start = NowMs();
  PressSearch(main);
  while (Ask(list, LVM_GETITEMCOUNT) <= 1 && NowMs() - start < kSearchWaitMs) Sleep(1);
  Drawn(list);
  const double firstRowsMs = NowMs() - start;
  const std::wstring allStatus = PollOutcome(main, kSearchWaitMs);
  const double allEngineMs = EngineMs(allStatus);
  const LRESULT hits = Ask(list, LVM_GETITEMCOUNT);
  Sleep(1000);
  const double afterAllMB = PrivateMB(pid);

  double worstPageMs = 0, totalPageMs = 0, totalKeyMs = 0;
  const LRESULT topBefore = Ask(list, LVM_GETTOPINDEX);
  for (int i = 0; i < kPageDowns; ++i) {
    const double pageStart = NowMs();
    Ask(list, WM_KEYDOWN, VK_NEXT, 0x01510001);
    Ask(list, WM_KEYUP, VK_NEXT, 0xC1510001);
    totalKeyMs += NowMs() - pageStart;
    Drawn(list);
    const double took = NowMs() - pageStart;
    worstPageMs = std::max(worstPageMs, took);
    totalPageMs += took;
  }
  const LRESULT topAfter = Ask(list, LVM_GETTOPINDEX);

  std::printf("cache file %.1f MB; \"*\" shows %ld rows (%s)\n", cacheMB, long(hits), Narrow(allStatus).c_str());
  std::printf("keystroke completing \"mp3\" to its result line: %.1f ms, engine %.0f ms (status line), "
              "UI/engine %.2f; %d runs, worst overhead %.1f ms\n",
              median.uiMs, median.engineMs, median.engineMs > 0 ? median.uiMs / median.engineMs : 0.0,
              kKeystrokeRuns, worstOverMs);
  Line("mp3: UI latency - engine time (median)", median.uiMs - median.engineMs, "ms", kKeystrokeGoalMs, "<= 30 ms");
  std::printf("\"*\": first rows drawn %.1f ms after the keystroke, engine %.0f ms (UI/engine %.2f)\n", firstRowsMs,
              allEngineMs, allEngineMs > 0 ? firstRowsMs / allEngineMs : 0.0);
  Line("\"*\": keystroke to first rows drawn", firstRowsMs, "ms", kFirstRowsGoalMs, "< 1 s");
  std::printf("%d page-downs: mean %.1f ms (key handling %.1f, drawing %.1f), top row %ld -> %ld\n", kPageDowns,
              totalPageMs / kPageDowns, totalKeyMs / kPageDowns, (totalPageMs - totalKeyMs) / kPageDowns,
              long(topBefore), long(topAfter));
  Line("page-down to redrawn list (worst)", worstPageMs, "ms", kPageDownGoalMs, "<= 30 ms");
  std::printf("private memory of this driver, wine's floor for a small Win32 process: %.1f MB\n",
              PrivateMB(GetCurrentProcessId()));
  Line("private memory, idle with the cache", idleMB, "MB", kIdleGoalMB, "<= 40 MB");
  std::printf("private memory after \"*\": %.1f MB = %.2f x the cache file\n", afterAllMB,
              cacheMB > 0 ? afterAllMB / cacheMB : 0.0);
  Line("private memory after \"*\" / cache file", cacheMB > 0 ? afterAllMB / cacheMB : 0.0, "x",
       kAfterAllGoalPerCache, "<= 2.5 x");
  return 0;
}

}  // namespace lvx::drive
