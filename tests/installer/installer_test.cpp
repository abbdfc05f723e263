// The setup program and its uninstaller as an administrator meets them, in a wine prefix of their
// own: a silent install, a first start of the installed program, a silent upgrade over the running
// copy and a silent uninstall. The cases build on each other and run in this order. What the program
// does once started (its search) is the app tests' part; here it only has to start from its files.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include "app/app_driver.h"

namespace lvx::apptest {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::wstring>;

constexpr DWORD kSetupWaitMs = 60000;
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumivex";
constexpr wchar_t kMarker[] = L"LVX-2DFFEFB1-E7C2-4acb-9E32-9506AD4960D0";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }
std::wstring Slashes(std::wstring path) {
  for (auto& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
std::wstring InstallFolder() { return Folder(CSIDL_PROGRAM_FILES) + L"\\Lumivex"; }
std::wstring InstalledExe() { return InstallFolder() + L"\\lumivex.exe"; }
std::wstring StartMenuLink() { return Folder(CSIDL_COMMON_PROGRAMS) + L"\\Lumivex.lnk"; }
std::wstring DesktopLink() { return Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Lumivex.lnk"; }
std::wstring InstallData() { return CommonDataFolder() + L"\\installdata.ini"; }
std::wstring InstallInfo() { return UserDataFolder() + L"\\installinfo.ini"; }

// Runs the setup and waits for its end; the exit code, or -1.
int RunSetup(const std::wstring& arguments = L"/S") {
  Program setup;
  if (!setup.Start(arguments, Slashes(Widen(LVX_TEST_SETUP)))) return -1;
  return setup.WaitForExit(kSetupWaitMs);
}

// Every file below the folder, relative, with "/" between folders.
Names FilesBelow(const std::wstring& folder) {
  Names names;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (!it->is_regular_file()) continue;
    std::wstring rel = fs::relative(it->path(), folder).wstring();
    for (auto& c : rel) c = c == L'\\' ? L'/' : c;
    names.insert(rel);
  }
  return names;
}

std::string Bytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::wstring RegText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[2048] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return L"<missing>";
  return value;
}

// The program a shortcut starts.
std::wstring LinkTarget(const std::wstring& link) {
  std::wstring target = L"<unreadable>";
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink))))
    return target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
      target = path;
    file->Release();
  }
  shellLink->Release();
  return target;
}

// The version numbers of a program's version resource, "a.b.c.d".
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  std::string data(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, DWORD(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size) || !info)
    return L"<none>";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

class InstallerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  static void TearDownTestSuite() {
    // A copy left running by a failed case: ended with the process that started it.
    running_.reset();
    RemoveRunValue();
  }

  // Starts the installed program and waits for its window.
  static HWND StartInstalled() {
    running_ = std::make_unique<Program>();
    if (!running_->Start(L"", InstalledExe())) return nullptr;
    return running_->MainWindow(kSetupWaitMs);
  }

  // The window comes up before the program's install bookkeeping, whose last step is this.
  static bool BookkeepingDone() {
    return WaitUntil([] { return ReadIni(InstallData(), L"INSTALLINFO", L"InstallType") == L"Installed"; }, kSetupWaitMs);
  }

  static std::unique_ptr<Program> running_;
};
std::unique_ptr<Program> InstallerTest::running_;

TEST_F(InstallerTest, ASilentInstallPutsEveryFileInPlaceWithShortcutsAndTheUninstallKey) {
  ASSERT_FALSE(FileExists(InstallFolder())) << "a fresh prefix";
  // An installdata.ini left by an earlier install: a new install goes without it.
  fs::create_directories(fs::path(CommonDataFolder()));
  WriteUnicodeFile(InstallData(), L"[FILEVER]\r\nVER=16000\r\n[INSTALLINFO]\r\nInstallType=Installed\r\n");
  ASSERT_EQ(RunSetup(), 0);

  Names expected;  // the files the install list names, as the test script found them in the program folder
  std::wifstream list(fs::path(Slashes(Widen(LVX_TEST_EXPECTED))));
  for (std::wstring line; std::getline(list, line);)
    if (!line.empty()) expected.insert(line);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(expected.count(L"lumivex.exe") && expected.count(L"skins/default.zip"));
  Names installed = FilesBelow(InstallFolder());
  EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
  EXPECT_EQ(installed, expected);
  uintmax_t bytes = 0;
  for (const auto& name : expected) {
    std::wstring path = InstallFolder() + L"\\" + Slashes(name);
    EXPECT_EQ(Bytes(path), Bytes(Slashes(Widen(LVX_APP_DIR)) + L"\\" + Slashes(name))) << U8(name);
    bytes += fs::file_size(fs::path(path));
  }
  bytes += fs::file_size(fs::path(InstallFolder() + L"\\uninstall.exe"));

  HKEY hklm = HKEY_LOCAL_MACHINE;
  const std::wstring uninstaller = L"\"" + InstallFolder() + L"\\uninstall.exe\"";
  for (auto [name, value] : {std::pair<const wchar_t*, std::wstring>{L"DisplayName", L"Lumivex"},
                             {L"DisplayVersion", Widen(LVX_TEST_VERSION)}, {L"Publisher", Widen(LVX_TEST_PUBLISHER)},
                             {L"DisplayIcon", InstalledExe() + L",0"}, {L"InstallLocation", InstallFolder()},
                             {L"UninstallString", uninstaller}, {L"QuietUninstallString", uninstaller + L" /S"}})
    EXPECT_EQ(RegText(hklm, kUninstallKey, name), value) << U8(name);
  DWORD sizeKB = 0, size = sizeof sizeKB;
  ASSERT_EQ(RegGetValueW(hklm, kUninstallKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &sizeKB, &size), 0);
  EXPECT_NEAR(double(sizeKB), double(bytes / 1024), double(installed.size() + 2));
  // One version everywhere: the program's version resource and the setup's.
  EXPECT_EQ(FileVersion(InstalledExe()), Widen(LVX_TEST_VERSION) + L".0");
  EXPECT_EQ(FileVersion(Slashes(Widen(LVX_TEST_SETUP))), Widen(LVX_TEST_VERSION) + L".0");

  EXPECT_EQ(LinkTarget(StartMenuLink()), InstalledExe());
  EXPECT_EQ(LinkTarget(DesktopLink()), InstalledExe());
  EXPECT_FALSE(FileExists(InstallData()));
}

// A window that looks like a running copy's main window (class and marker) and ignores WM_CLOSE,
// as a copy in trouble would.
TEST_F(InstallerTest, ASetupThatCannotCloseTheRunningCopyStopsAndChangesNothing) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    return message == WM_CLOSE ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
  };
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LVXWND_UnicodeClass";
  RegisterClassW(&wc);
  HWND copy = CreateWindowW(wc.lpszClassName, L"Lumivex", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
  ASSERT_NE(copy, nullptr);
  SetPropW(copy, kMarker, reinterpret_cast<HANDLE>(1));
  // A changed installed file shows whether the setup went on to put its files in place.
  std::wstring probe = InstallFolder() + L"\\Language\\English.ini";
  std::string original = Bytes(probe);
  std::ofstream(fs::path(probe), std::ios::binary) << "changed";
  EXPECT_EQ(RunSetup(), 2) << "aborted";
  EXPECT_EQ(Bytes(probe), "changed");
  EXPECT_FALSE(FileExists(InstallData())) << "no upgrade marked";
  std::ofstream(fs::path(probe), std::ios::binary) << original;
  RemovePropW(copy, kMarker);
  DestroyWindow(copy);
}

TEST_F(InstallerTest, TheInstalledProgramStartsCachesAndDoesTheNewInstallBookkeeping) {
  // Drive T: only (bit 19); the update check that an install makes due asks a port where nothing answers.
  fs::create_directories(fs::path(UserDataFolder()));
  WriteUnicodeFile(SettingsFile(),
                   L"[FILEVER]\r\nVER=16000\r\n[OPTIONS]\r\nSELECT_DRIVES=0X80000\r\nCHECKUPDATE=3\r\n"
                   L"UPDATE_URL=http://127.0.0.1:9/\r\n[CACHEFILE]\r\nfilepath=default.db\r\n");

  HWND main = StartInstalled();
  ASSERT_NE(main, nullptr) << "the installed program's main window";
  EXPECT_EQ(WindowText(main), L"Lumivex");
  EXPECT_TRUE(BookkeepingDone());
  EXPECT_EQ(ReadIni(InstallInfo(), L"Info", L"InstallType"), L"NewInstall");
  ASSERT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, kSetupWaitMs))
      << U8(StatusText(main));
  EXPECT_NE(RegText(HKEY_CURRENT_USER, kRunKey, L"Lumivex").find(InstalledExe()), std::wstring::npos);

  EXPECT_TRUE(running_->Running());
}

TEST_F(InstallerTest, AnUpgradeClosesTheRunningCopyAndMarksTheUpgradeForItsNextStart) {
  ASSERT_TRUE(running_ && running_->Running()) << "the copy started by the case before";
  ASSERT_EQ(RunSetup(L"/S /NODESKTOP"), 0);
  EXPECT_EQ(running_->WaitForExit(0), 0) << "closed by its orderly exit before the files were replaced";
  EXPECT_EQ(ReadIni(InstallData(), L"INSTALLINFO", L"InstallType"), L"Upgrade");
  EXPECT_TRUE(FileExists(InstalledExe()));
  EXPECT_TRUE(FileExists(StartMenuLink()));
  EXPECT_FALSE(FileExists(DesktopLink())) << "/NODESKTOP";

  // Once more over a copy that never started (no installdata.ini): the file is made as the program
  // makes its own, and an upgrade without /NODESKTOP keeps the shortcuts as they are.
  ASSERT_TRUE(DeleteFileW(InstallData().c_str()));
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_EQ(ReadIni(InstallData(), L"INSTALLINFO", L"InstallType"), L"Upgrade");
  EXPECT_EQ(Bytes(InstallData()).substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(ReadIni(InstallData(), L"FILEVER", L"VER"), L"16000");
  EXPECT_FALSE(FileExists(DesktopLink()));

  // The next start repeats the per-user bookkeeping as an upgrade, once.
  WritePrivateProfileStringW(L"Info", L"IsChecked", L"TRUE", InstallInfo().c_str());
  HWND main = StartInstalled();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(BookkeepingDone());
  EXPECT_EQ(ReadIni(InstallInfo(), L"Info", L"InstallType"), L"Upgrade");
  EXPECT_EQ(ReadIni(InstallInfo(), L"Info", L"IsChecked"), L"FALSE");
}

TEST_F(InstallerTest, ASilentUninstallClosesTheProgramAndRemovesAllButTheUsersData) {
  ASSERT_TRUE(running_ && running_->Running()) << "the copy started by the case before";
  ASSERT_NE(RegText(HKEY_CURRENT_USER, kRunKey, L"Lumivex"), L"<missing>");
  // The uninstaller goes on in a copy of itself in the temporary folder, so that it can remove its
  // own file: the end of that copy is waited for.
  Program uninstaller;
  ASSERT_TRUE(uninstaller.Start(L"/S", InstallFolder() + L"\\uninstall.exe"));
  auto children = [&] {  // the running processes the uninstaller started
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
      if (entry.th32ParentProcessID == uninstaller.Id()) found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
  };
  ASSERT_EQ(uninstaller.WaitForExit(kSetupWaitMs), 0);
  EXPECT_TRUE(WaitUntil([&] { return children().empty(); }, kSetupWaitMs));
  EXPECT_FALSE(FileExists(InstallFolder())) << "left: " << [] {
    std::string left;
    for (const auto& name : FilesBelow(InstallFolder())) left += U8(name) + " ";
    return left;
  }();
  EXPECT_EQ(running_->WaitForExit(kSetupWaitMs), 0);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kRunKey, L"Lumivex"), L"<missing>");
  EXPECT_FALSE(FileExists(StartMenuLink()));
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(FileExists(CommonDataFolder()));
  // A silent uninstall keeps the user's settings and cache.
  EXPECT_TRUE(FileExists(SettingsFile()));
  EXPECT_TRUE(FileExists(UserDataFolder() + L"\\default.db"));
}

}  // namespace
}  // namespace lvx::apptest
