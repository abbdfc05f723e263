#include "program_setup.h"

#include <cstdio>
#include <filesystem>

#include "app_driver.h"
#include "resource.h"
#include "shell/settings_files.h"

namespace lvx::drive {
namespace {

using apptest::FileExists;
using apptest::UserDataFolder;
using apptest::WindowText;

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kFramesKey[] = L"Software\\Wine\\AppDefaults\\lumivex.exe\\X11 Driver";

std::wstring SettingsFile() { return UserDataFolder() + L"\\settings.ini"; }
std::wstring StateFile() { return UserDataFolder() + L"\\stateinfo.ini"; }

// The program's own default of a settings file, as it would release it at its first start, so that
// the toolbar and the histories are there; the keys written afterwards go into it.
bool WriteDefault(HMODULE program, uint16_t id, const std::wstring& path) {
  if (FileExists(path)) return true;
  HRSRC resource = FindResourceW(program, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(shell::kIniResourceType));
  HGLOBAL loaded = resource ? LoadResource(program, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes) return false;
  apptest::WriteUnicodeFile(path, std::wstring(reinterpret_cast<const wchar_t*>(bytes + 2),
                                               (SizeofResource(program, resource) - 2) / 2));
  return true;
}

bool WriteKey(const std::wstring& file, const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  return WritePrivateProfileStringW(section, key, value.c_str(), file.c_str()) != FALSE;
}

bool WriteKeys(const SetupChoices& choices) {
  wchar_t mask[16];
  swprintf(mask, 16, L"0X%X", 1u << (choices.drive - L'A'));
  const std::wstring settings = SettingsFile();
  bool ok = WriteKey(settings, L"OPTIONS", L"SELECT_DRIVES", mask) &&
            WriteKey(settings, L"OPTIONS", L"AutoSelRemovable", L"0") &&
            WriteKey(settings, L"OPTIONS", L"CHECKUPDATE", L"3") &&
            WriteKey(settings, L"OPTIONS", L"UPDATE_URL", L"http://127.0.0.1:9/") &&
            WriteKey(settings, L"OPTIONS", L"AUTOSTART", L"FALSE") &&
            WriteKey(settings, L"CACHEFILE", L"filepath", L"default.db");
  // No copy of the user's first start is lost by this: the welcome is shown at the first start
  // with a display.
  if (choices.headless) ok = ok && WriteKey(StateFile(), L"STATEINFO", L"FirstRun", L"TRUE");
  return ok;
}

// Without a window manager (the virtual display) wine frames and places the windows itself.
void SetWineFrames(bool own) {
  if (own) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kFramesKey, L"Managed", REG_SZ, L"N", 4);
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kFramesKey, L"Managed");
  }
}

}  // namespace

std::wstring CacheFilePath() { return UserDataFolder() + L"\\default.db"; }

bool PrepareDataFolder(const SetupChoices& choices) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(UserDataFolder()), ignored);
  std::filesystem::create_directories(std::filesystem::path(apptest::CommonDataFolder()), ignored);
  HMODULE program = LoadLibraryExW(choices.exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!program) {
    fwprintf(stderr, L"lvx_drive: cannot read %ls\n", choices.exe.c_str());
    return false;
  }
  bool ok = WriteDefault(program, shell::kResSettingsIni, SettingsFile()) &&
            WriteDefault(program, shell::kResStateIni, StateFile());
  FreeLibrary(program);
  // The install bookkeeping counts as done, so the first start neither resets the options nor
  // asks the update server.
  const std::wstring installInfo = UserDataFolder() + L"\\installinfo.ini";
  const std::wstring installData = apptest::CommonDataFolder() + L"\\installdata.ini";
  if (!FileExists(installInfo))
    apptest::WriteUnicodeFile(installInfo, L"[FILEVER]\r\nVER=16000\r\n[Info]\r\nIsChecked=TRUE\r\n");
  if (!FileExists(installData))
    apptest::WriteUnicodeFile(installData, L"[FILEVER]\r\nVER=16000\r\n[INSTALLINFO]\r\nInstallType=Installed\r\n");
  ok = ok && WriteKey(installInfo, L"Info", L"IsChecked", L"TRUE") &&
       WriteKey(installData, L"INSTALLINFO", L"InstallType", L"Installed") && WriteKeys(choices);
  if (!ok) {
    fwprintf(stderr, L"lvx_drive: cannot write the settings in %ls\n", UserDataFolder().c_str());
    return false;
  }
  // wine starts the Run key's programs whenever the prefix boots: a value left by an older start
  // would start a hidden copy behind the script's back.
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Lumivex");
  SetWineFrames(choices.headless);
  if (choices.freshCache) {
    for (const wchar_t* suffix : {L"", L".tmp", L".bak"}) DeleteFileW((CacheFilePath() + suffix).c_str());
  }
  return true;
}

HWND StartProgram(const std::wstring& exe, DWORD milliseconds) {
  std::wstring line = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    fwprintf(stderr, L"lvx_drive: cannot start %ls (error %lu)\n", exe.c_str(), GetLastError());
    return nullptr;
  }
  CloseHandle(info.hThread);
  HWND main = nullptr;
  apptest::WaitUntil(
      [&] {
        // A copy that already ran takes over from this one, which ends: its window counts.
        main = apptest::FindMainWindow();
        return main != nullptr || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0;
      },
      milliseconds);
  if (!main) main = apptest::FindMainWindow();
  CloseHandle(info.hProcess);
  return main;
}

DWORD ProcessOf(HWND main) {
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  return pid;
}

std::wstring StatusText(HWND main) { return WindowText(GetDlgItem(main, IDC_MAIN_STATUS)); }

bool WaitForCache(HWND main, DWORD milliseconds) {
  return apptest::WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, milliseconds);
}

bool IsSearchOutcome(const std::wstring& status) {
  return status.find(L" items found (") != std::wstring::npos || status.rfind(L" [WARNING] : ", 0) == 0;
}

void ClearStatus(HWND main) {
  SendMessageW(GetDlgItem(main, IDC_MAIN_STATUS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

void SetPattern(HWND main, const std::wstring& pattern) {
  SendMessageW(GetDlgItem(main, IDC_MAIN_PATTERN), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pattern.c_str()));
}

void TypePattern(HWND main, const std::wstring& pattern) {
  SetPattern(main, pattern);
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_MAIN_PATTERN, CBN_EDITCHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_MAIN_PATTERN)));
}

void PressSearch(HWND main) {
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_MAIN_SEARCH, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(main, IDC_MAIN_SEARCH)));
}

std::wstring WaitForSearchOutcome(HWND main, DWORD milliseconds) {
  std::wstring status;
  apptest::WaitUntil([&] { return IsSearchOutcome(status = StatusText(main)); }, milliseconds);
  return IsSearchOutcome(status) ? status : std::wstring();
}

bool CloseProgram(HWND main, DWORD milliseconds) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(main));
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, milliseconds, &ignored);
  bool ended = !process || WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
  if (process) CloseHandle(process);
  return ended;
}

}  // namespace lvx::drive
