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

struct Search {
  DWORD process;       // 0: any
  const wchar_t* cls;
  bool marked;
  const wchar_t* title;  // unmarked windows: the title wanted
  HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (s->process && pid != s->process) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (lstrcmpW(cls, s->cls) != 0) return TRUE;
  if (s->marked && GetPropW(hwnd, kMarker) != reinterpret_cast<HANDLE>(1)) return TRUE;
  if (!s->marked && WindowText(hwnd) != s->title) return TRUE;
  s->found = hwnd;
  return FALSE;
}

HWND Find(DWORD process, const wchar_t* cls, bool marked, const wchar_t* title = L"Lumivex") {
  Search s{process, cls, marked, title, nullptr};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

}  // namespace

std::wstring UserDataFolder() { return ShellFolder(CSIDL_APPDATA); }
std::wstring CommonDataFolder() { return ShellFolder(CSIDL_COMMON_APPDATA); }

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
  WriteUnicodeFile(UserDataFolder() + L"\\settings.ini",
                   L"[FILEVER]\r\nVER=16000\r\n[OPTIONS]\r\nSELECT_DRIVES=0X80000\r\nCHECKUPDATE=3\r\n"
                   L"UPDATE_URL=http://127.0.0.1:9/\r\n" + extraOptions + L"[CACHEFILE]\r\nfilepath=default.db\r\n");
  WriteUnicodeFile(UserDataFolder() + L"\\installinfo.ini", L"[FILEVER]\r\nVER=16000\r\n[Info]\r\nIsChecked=TRUE\r\n");
  WriteUnicodeFile(CommonDataFolder() + L"\\installdata.ini",
                   L"[FILEVER]\r\nVER=16000\r\n[INSTALLINFO]\r\nInstallType=Installed\r\n");
  std::filesystem::create_directories("T:\\apptest\\folder");
  std::ofstream("T:\\apptest\\folder\\found.txt") << "x";
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

int Program::WaitForExit(DWORD milliseconds) {
  if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return int(code);
}

bool Program::Running() const { return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

HWND Program::MainWindow(DWORD milliseconds) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = Find(info_.dwProcessId, kClass, true)) != nullptr; }, milliseconds);
  return found;
}

HWND Program::MessageBoxWindow(DWORD milliseconds) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = Find(info_.dwProcessId, L"#32770", false)) != nullptr; }, milliseconds);
  return found;
}

HWND Program::DialogWindow(const wchar_t* title, DWORD milliseconds) const {
  HWND found = nullptr;
  WaitUntil([&] { return (found = Find(info_.dwProcessId, L"#32770", false, title)) != nullptr; }, milliseconds);
  return found;
}

HWND FindMainWindow() { return Find(0, kClass, true); }

std::wstring WindowText(HWND hwnd) {
  wchar_t text[2048] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
  return text;
}

std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

void PressOk(HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(100);
  }
}

HWND FocusIn(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

HWND ShownDialogOf(DWORD process, const wchar_t* title, bool boxOnly, DWORD milliseconds) {
  struct Wanted {
    DWORD process;
    const wchar_t* title;
    bool boxOnly;
    HWND found;
  } wanted{process, title, boxOnly, nullptr};
  auto visit = [](HWND hwnd, LPARAM param) -> BOOL {
    auto* w = reinterpret_cast<Wanted*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != w->process || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (WindowText(hwnd) != w->title || (w->boxOnly && !GetDlgItem(hwnd, 0xFFFF))) return TRUE;
    w->found = hwnd;
    return FALSE;
  };
  WaitUntil(
      [&] {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&wanted));
        return wanted.found != nullptr;
      },
      milliseconds);
  return wanted.found;
}

HWND PopupMenuOf(DWORD process, DWORD milliseconds) {
  struct Menu {
    DWORD process;
    HWND found;
  } menu{process, nullptr};
  auto visit = [](HWND hwnd, LPARAM param) -> BOOL {
    auto* m = reinterpret_cast<Menu*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != m->process || lstrcmpW(cls, L"#32768") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    m->found = hwnd;
    return FALSE;
  };
  WaitUntil(
      [&] {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&menu));
        return menu.found != nullptr;
      },
      milliseconds);
  return menu.found;
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
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
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
