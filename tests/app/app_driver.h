// Drives a started lumivex.exe from outside, as Windows and a user do: starts it with arguments,
// finds its main window by class and marker, reads its status line, finds and closes its message
// boxes, and prepares the data folders it will use.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/win_api.h"
#include "ui_base/ui_test_support.h"

namespace lvx::apptest {

constexpr int kStatusBox = 1008, kPatternBox = 1018, kFolderBox = 1003, kResultsList = 1001, kSearchButton = 1004;
constexpr DWORD kWaitMs = 30000;  // for what the program does in a test's small trees

std::wstring UserDataFolder();    // CSIDL_APPDATA\Lumivex Data
std::wstring CommonDataFolder();  // CSIDL_COMMON_APPDATA\Lumivex Data
std::wstring SettingsFile();      // settings.ini of the user's data folder
std::wstring StateFile();         // stateinfo.ini of the user's data folder
// Removes both data folders and writes the settings a test starts from: the drive T: only, no
// update check, the install bookkeeping done.
void PrepareDataFolders(const std::wstring& extraOptions = L"");
// Ends a copy an earlier failed test left (it would take over every start), then prepares the data
// folders; false when the copy does not end.
bool FreshStart(const std::wstring& extraOptions = L"");
// wine starts the programs of the Run key whenever the prefix boots: a value left behind would
// start a hidden copy in every later wine test.
void RemoveRunValue();
// A UTF-16LE INI file with its byte-order mark.
void WriteUnicodeFile(const std::wstring& path, const std::wstring& text);
std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key);
bool FileExists(const std::wstring& path);
std::vector<std::wstring> SessionFiles();

class Program {
 public:
  Program() = default;
  ~Program();  // a copy still running is ended
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Start(const std::wstring& arguments = L"", const std::wstring& exe = L"");
  // Starts, finds the main window and waits for the end of the first build ("[Caching is
  // Finished]"); null when there is no window.
  HWND StartAndWaitForCache(const std::wstring& arguments = L"");
  // Waits for the end; the exit code, or -1 when it did not end in time.
  int WaitForExit(DWORD milliseconds);
  // WM_CLOSE to the window, then the exit code as WaitForExit gives it.
  int CloseAndWait(HWND main);
  bool Running() const;
  DWORD Id() const { return info_.dwProcessId; }

  // The main window of this process (class and marker), waiting up to the time.
  HWND MainWindow(DWORD milliseconds = 30000) const;
  // A message box of this process titled "Lumivex", waiting up to the time.
  HWND MessageBoxWindow(DWORD milliseconds = 30000) const;
  // A shown dialog or message box (class "#32770") of this process with the title, waiting up to
  // the time; with boxOnly, only a message box (one with its text static).
  HWND DialogWindow(const wchar_t* title, bool boxOnly = false, DWORD milliseconds = 30000) const;

 private:
  PROCESS_INFORMATION info_{};
};

// The main window of whatever copy runs, by class and marker.
HWND FindMainWindow();
std::wstring WindowText(HWND hwnd);
std::wstring StatusText(HWND main);
bool CachingFinished(HWND main, DWORD milliseconds);  // waits for the status line to say so
HWND EditOf(HWND main, int box);                     // the edit field of one of its combo boxes
std::string U8(const std::wstring& text);  // for failure messages
// The text of a message box (its static text).
std::wstring MessageBoxText(HWND box);
void Press(HWND dialog, int button);  // a BN_CLICKED of the button
// Polls until done() holds or the time is up.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);
// Waits up to the time for a top-level window of the process (0: any) and class for which wanted()
// holds.
HWND WaitForWindow(DWORD process, const wchar_t* cls, const std::function<bool(HWND)>& wanted, DWORD milliseconds);
// The first window below the parent for which wanted() holds.
HWND ChildWhere(HWND parent, const std::function<bool(HWND)>& wanted);
// The window that has the keyboard focus in the thread of the given window (null for none).
HWND FocusIn(HWND window);
// A shown popup menu (class "#32768") of the process, waiting up to the time.
HWND PopupMenuOf(DWORD process, DWORD milliseconds);
// Escape to the shown popup menu of the process; whether it closed.
bool CloseMenuOf(DWORD process);
// Whether the notification area holds the icon of the window and id: only an icon that is there
// can be changed.
bool TrayIconShown(HWND window, UINT id);
// The pixels of a rectangle of the screen (0x00RRGGBB).
uitest::Image ScreenPixels(const RECT& r);
// The window as it is on the screen, written to screenshots/<name>.bmp.
bool SaveScreenshot(HWND hwnd, const std::string& name);

}  // namespace lvx::apptest
