// lumivex.exe as the start script and the UI benchmark meet it: its data folders set up so that it
// caches one drive and starts without questions, then started, typed into and closed from outside
// by window messages, as a user and Windows do.
#pragma once

#include <string>

#include "framework/win_api.h"

namespace lvx::drive {

struct SetupChoices {
  std::wstring exe;         // the program, whose resources carry the default settings
  wchar_t drive = L'D';     // the one drive the program caches
  bool headless = false;    // no display of the user's: no welcome, wine frames the windows itself
  bool freshCache = false;  // the cache file goes, so the next start builds it anew
};

// Writes the settings: only the chosen drive, no update check, no start with Windows, the install
// bookkeeping done; keeps the user's other settings. False, with the reason on stderr, on failure.
bool PrepareDataFolder(const SetupChoices& choices);
std::wstring CacheFilePath();

// Starts the program without waiting for it and returns its main window, or nullptr after the time.
HWND StartProgram(const std::wstring& exe, DWORD milliseconds);
DWORD ProcessOf(HWND main);

std::wstring StatusText(HWND main);
// Waits until the status line reports the end of the full build.
bool WaitForCache(HWND main, DWORD milliseconds);

// A search outcome in the status line: the "items found" line or one of the search warnings.
bool IsSearchOutcome(const std::wstring& status);
// Empties the status line, so that an outcome read afterwards is the next search's own.
void ClearStatus(HWND main);
// A keystroke that leaves the pattern box holding the pattern: the box's text, then the edit
// change the box reports to the main window.
void TypePattern(HWND main, const std::wstring& pattern);
// The Search button, with the pattern box holding the pattern (so that a pattern of one character,
// which typing alone does not search, is searched too).
void SetPattern(HWND main, const std::wstring& pattern);
void PressSearch(HWND main);
// The search outcome in the status line, or empty after the time.
std::wstring WaitForSearchOutcome(HWND main, DWORD milliseconds);

// The orderly exit (WM_CLOSE to the main window) and the end of the process.
bool CloseProgram(HWND main, DWORD milliseconds);

}  // namespace lvx::drive
