#include "app_driver.h"

#include <filesystem>
#include <fstream>

#include <shellapi.h>
#include <shlobj.h>


namespace lvx::apptest {
namespace {

constexpr wchar_t kClass[] = L"LVXWND_UnicodeClass";
constexpr wchar_t kMarker[] = L"LVX-2DFFEFB1-E7C2-4acb-9E32-9506AD4960D0";

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return std::wstring(path) + L"\\Lumivex Data";
}

// The first top-level window of the process (0: any) and class for which wanted() holds.
HWND FindWindowOf(DWORD process, const wchar_t* cls, const std::function<bool(HWND)>& wanted) {
  struct Search {
    DWORD process;
    const wchar_t* cls;
    const std::function<bool(HWND)>* wanted;
    HWND found;
  } s{process, cls, &wanted, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if ((s->process && pid != s->process) || lstrcmpW(name, s->cls) != 0 || !(*s->wanted)(hwnd)) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

bool Marked(HWND hwnd) { return GetPropW(hwnd, kMarker) == reinterpret_cast<HANDLE>(1); }

}  // namespace

std::wstring UserDataFolder() { return ShellFolder(CSIDL_APPDATA); }
std::wstring CommonDataFolder() { return ShellFolder(CSIDL_COMMON_APPDATA); }
std::wstring SettingsFile() { return UserDataFolder() + L"\\settings.ini"; }
std::wstring StateFile() { return UserDataFolder() + L"\\stateinfo.ini"; }

void WriteUnicodeFile(const std::wstring& path, const std::wstring& text) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write("\xFF\xFE", 2);
  out.write(reinterpret_cast<const char*>(text.data()), std::streamsize(text.size() * 2));
}

void PrepareDataFolders(const std::wstring& extraOptions) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(UserDataFolder()), ignored);
  std::filesystem::remove_all(std::filesystem::path(CommonDataFolder()), ignored);
  std::filesystem::create_directories(std::filesystem::path(UserDataFolder()));
  std::filesystem::create_directories(std::filesystem::path(CommonDataFolder()));
  // T: is the tests' own drive (bit 19); every other drive of the prefix stays out of the cache.
  WriteUnicodeFile(SettingsFile(),
                   L"[FILEVER]\r\nVER=16000\r\n[OPTIONS]\r\nSELECT_DRIVES=0X80000\r\nCHECKUPDATE=3\r\n"
                   L"UPDATE_URL=http://127.0.0.1:9/\r\n" + extraOptions + L"[CACHEFILE]\r\nfilepath=default.db\r\n");
  WriteUnicodeFile(UserDataFolder() + L"\\installinfo.ini", L"[FILEVER]\r\nVER=16000\r\n[Info]\r\nIsChecked=TRUE\r\n");
  WriteUnicodeFile(CommonDataFolder() + L"\\installdata.ini",
                   L"[FILEVER]\r\nVER=16000\r\n[INSTALLINFO]\r\nInstallType=Installed\r\n");
  std::filesystem::create_directories("T:\\apptest\\folder");
  std::ofstream("T:\\apptest\\folder\\found.txt") << "x";
}

bool FreshStart(const std::wstring& extraOptions) {
  if (HWND left = FindMainWindow()) SendMessageW(left, WM_CLOSE, 0, 0);
  if (!WaitUntil([] { return FindMainWindow() == nullptr; }, 30000)) return false;
  PrepareDataFolders(extraOptions);
  return true;
}

void RemoveRunValue() {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Lumivex");
}

std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[1024] = {};
  GetPrivateProfileStringW(section, key, L"", value, 1024, file.c_str());
  return value;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> SessionFiles() {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((CommonDataFolder() + L"\\*.session").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

Program::~Program() {
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
}

bool Program::Start(const std::wstring& arguments, const std::wstring& exe) {
  std::wstring program = exe.empty() ? std::wstring(L"" LVX_APP_DIR L"\\lumivex.exe") : exe;
  for (auto& c : program) c = c == L'/' ? L'\\' : c;
  std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_) != 0;
}

HWND Program::StartAndWaitForCache(const std::wstring& arguments) {
  HWND main = Start(arguments) ? MainWindow() : nullptr;
  if (main) CachingFinished(main, kWaitMs);
  return main;
}

int Program::WaitForExit(DWORD milliseconds) {
  if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return int(code);
}

int Program::CloseAndWait(HWND main) {
  SendMessageW(main, WM_CLOSE, 0, 0);
  return WaitForExit(30000);
}

bool Program::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

HWND Program::MainWindow(DWORD milliseconds) const { return WaitForWindow(info_.dwProcessId, kClass, Marked, milliseconds); }

HWND Program::MessageBoxWindow(DWORD milliseconds) const {
  return DialogWindow(L"Lumivex", true, milliseconds);
}

HWND Program::DialogWindow(const wchar_t* title, bool boxOnly, DWORD milliseconds) const {
  auto wanted = [&](HWND h) {
    return IsWindowVisible(h) && WindowText(h) == title && (!boxOnly || GetDlgItem(h, 0xFFFF));
  };
  return WaitForWindow(info_.dwProcessId, L"#32770", wanted, milliseconds);
}

HWND FindMainWindow() { return FindWindowOf(0, kClass, Marked); }

std::wstring WindowText(HWND hwnd) {
  wchar_t text[2048] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
  return text;
}

std::wstring StatusText(HWND main) { return WindowText(GetDlgItem(main, kStatusBox)); }

bool CachingFinished(HWND main, DWORD milliseconds) {
  return WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, milliseconds);
}

HWND EditOf(HWND main, int box) { return GetWindow(GetDlgItem(main, box), GW_CHILD); }

std::string U8(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

void Press(HWND dialog, int button) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(100);
  }
}

HWND WaitForWindow(DWORD process, const wchar_t* cls, const std::function<bool(HWND)>& wanted, DWORD milliseconds) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(process, cls, wanted)) != nullptr; }, milliseconds);
  return found;
}

HWND ChildWhere(HWND parent, const std::function<bool(HWND)>& wanted) {
  std::pair<const std::function<bool(HWND)>*, HWND> search{&wanted, nullptr};
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<decltype(search)*>(param);
        if (!(*s->first)(hwnd)) return TRUE;
        s->second = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

HWND FocusIn(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

HWND PopupMenuOf(DWORD process, DWORD milliseconds) {
  return WaitForWindow(process, L"#32768", [](HWND h) { return IsWindowVisible(h) != FALSE; }, milliseconds);
}

bool CloseMenuOf(DWORD process) {
  HWND menu = PopupMenuOf(process, 5000);
  if (!menu) return false;
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  return WaitUntil([&] { return PopupMenuOf(process, 0) == nullptr; }, 5000);
}

bool TrayIconShown(HWND window, UINT id) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = id;
  data.uFlags = NIF_TIP;
  lstrcpyW(data.szTip, L"Lumivex");
  return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

uitest::Image ScreenPixels(const RECT& r) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {uitest::TopDown32(width, height), {}};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  uitest::Image image;
  image.width = width;
  image.height = height;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  image.pixels.assign(pixels, pixels + size_t(width) * height);
  for (auto& p : image.pixels) p &= 0x00FFFFFF;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

bool SaveScreenshot(HWND hwnd, const std::string& name) {
  RECT r;
  return GetWindowRect(hwnd, &r) && uitest::SaveBmp(ScreenPixels(r), name);
}

}  // namespace lvx::apptest
