#include "shell/instance_control.h"

#include <shlobj.h>

#include "platform/message.h"
#include "shell/app_messages.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"

namespace lvx::shell {
namespace {

constexpr DWORD kCloseWaitMs = 5000;
constexpr int kGoneChecks = 13;
constexpr DWORD kGoneCheckMs = 500;
constexpr int kMaxSessionNames = 10000;

struct MarkerSearch {
  const wchar_t* property;
  HWND found;
};

BOOL CALLBACK FindMarked(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<MarkerSearch*>(param);
  if (::GetPropW(hwnd, search->property) != reinterpret_cast<HANDLE>(1)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) { return ::lstrcmpiW(a.c_str(), b) == 0; }

// Sends WM_CLOSE, giving up on a window whose thread does not answer.
void CloseWindowOf(HWND hwnd) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(hwnd, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kCloseWaitMs, &ignored);
}

// Deletes the Run value and the program's keys in one loaded user's hive.
void RemoveUserTraces(const std::wstring& user) {
  HKEY key = nullptr;
  std::wstring run = user + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
  if (::RegOpenKeyExW(HKEY_USERS, run.c_str(), 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, L"Lumivex");
    ::RegCloseKey(key);
  }
  std::wstring software = user + L"\\Software\\";
  if (::RegOpenKeyExW(HKEY_USERS, software.c_str(), 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
    for (const wchar_t* name : {L"CorvaneLumivex", L"Lumivex"}) {
      // A key with subkeys cannot be deleted in one call: its contents go first.
      ::RegDeleteTreeW(key, name);
      ::RegDeleteKeyW(key, name);
    }
    ::RegCloseKey(key);
  }
}

std::wstring CommonDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0])
    return {};
  return std::wstring(path) + L"\\" + reinterpret_cast<const wchar_t*>(kProductWord) + L" Data";
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Deletes every "*.session" file of folder; returns how many could not be deleted.
int DeleteStaleSessions(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"*.session").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int held = 0;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.cFileName[0] == L'.') continue;
    if (!::DeleteFileW((folder + data.cFileName).c_str())) ++held;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return held;
}

}  // namespace

HWND FindMarkedWindow(const wchar_t* property) {
  MarkerSearch search{property, nullptr};
  ::EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool HandleUninstallSwitch(const std::vector<std::wstring>& arguments) {
  bool uninstall = false;
  for (size_t i = 1; i < arguments.size(); ++i) uninstall = uninstall || EqualsNoCase(arguments[i], kUninstallSwitch);
  if (!uninstall) return true;

  if (HWND running = FindMarkedWindow(kInstanceMarker)) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(running, &processId);
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, processId);
    CloseWindowOf(running);
    if (process) {
      ::WaitForSingleObject(process, kCloseWaitMs);
      ::CloseHandle(process);
    }
    for (int i = 0; i < kGoneChecks && FindMarkedWindow(kInstanceMarker) == running; ++i) ::Sleep(kGoneCheckMs);
  }

  for (DWORD index = 0;; ++index) {
    wchar_t name[257];
    DWORD length = 257;
    LONG result = ::RegEnumKeyExW(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) continue;
    RemoveUserTraces(name);
  }
  return false;
}

bool ActivateRunningCopy(HANDLE* mutex) {
  if (HWND foreign = FindMarkedWindow(kForeignMarker)) CloseWindowOf(foreign);
  *mutex = ::CreateMutexW(nullptr, FALSE, kInstanceMarker);
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return true;
  if (HWND running = FindMarkedWindow(kInstanceMarker)) {
    ::SetForegroundWindow(running);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(running, WM_APP_SHOWWINDOW, 0, 0, SMTO_ABORTIFHUNG, kCloseWaitMs, &ignored);
  }
  return false;
}

std::wstring SessionFileName(const std::wstring& folder, int n) {
  if (n < 0) return folder + L"User.session";
  return folder + L"User(" + std::to_wstring(n) + L").session";
}

bool ClaimSessionIn(const std::wstring& folderPath, int limit) {
  if (folderPath.empty()) return true;
  if (!IsFolder(folderPath)) MakeDirectoryPath(FromW(folderPath.c_str()));
  if (!IsFolder(folderPath)) return true;
  std::wstring folder = folderPath.back() == L'\\' ? folderPath : folderPath + L"\\";
  if (DeleteStaleSessions(folder) >= limit) {
    os::ErrorBox(FromW(kSessionMessage));
    return false;
  }
  for (int n = -1; n < kMaxSessionNames; ++n) {
    // Exclusive and delete-on-close: the handle stays open until the process ends, and with it
    // the file, which no other copy can delete meanwhile.
    HANDLE file = ::CreateFileW(SessionFileName(folder, n).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) return true;
  }
  return true;
}

bool ClaimSession(int limit) { return ClaimSessionIn(CommonDataFolder(), limit); }

std::wstring SetWorkingDirectory() {
  std::vector<wchar_t> buffer(32768);
  DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
  std::wstring path(buffer.data(), n < buffer.size() ? n : 0);
  std::wstring folder = path.substr(0, path.rfind(L'\\') == std::wstring::npos ? 0 : path.rfind(L'\\'));
  if (!folder.empty()) ::SetCurrentDirectoryW(folder.c_str());
  SetProgramFolder(FromW(folder.c_str()));
  return folder;
}

}  // namespace lvx::shell
