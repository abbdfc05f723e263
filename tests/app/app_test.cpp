// lumivex.exe started as Windows starts it, watched from outside: its window, status line, data
// files, registry value and message boxes.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "app_driver.h"

namespace lvx::apptest {
namespace {

constexpr DWORD kExitWaitMs = 30000;
constexpr wchar_t kSessionMessage[] =
    L"This program is now running by another user and can not run concurrently by multiple user!";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring StateFile() { return UserDataFolder() + L"\\stateinfo.ini"; }
std::wstring StatusText(HWND main) { return WindowText(GetDlgItem(main, 1008)); }

std::wstring RunValue() {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Lumivex", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"";
  return value;
}

// A session file held open without sharing, as a copy in another Windows session holds its own.
struct HeldSession {
  explicit HeldSession(const std::wstring& name)
      : handle(CreateFileW((CommonDataFolder() + L"\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr)) {}
  ~HeldSession() { CloseHandle(handle); }
  HANDLE handle;
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy left by an earlier failed test would take over every start.
    if (HWND left = FindMainWindow()) SendMessageW(left, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return FindMainWindow() == nullptr; }, kExitWaitMs));
    PrepareDataFolders();
  }

  // wine starts the programs of the Run key whenever the prefix boots: a value left behind would
  // start a hidden copy in every later wine test.
  void TearDown() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Lumivex"); }

  // Starts a copy and waits for its window and the end of its first build.
  HWND StartAndWaitForCache(Program& program, const std::wstring& arguments = L"") {
    if (!program.Start(arguments)) return nullptr;
    HWND main = program.MainWindow();
    if (!main) return nullptr;
    WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, kExitWaitMs);
    return main;
  }

  int CloseAndWait(Program& program, HWND main) {
    SendMessageW(main, WM_CLOSE, 0, 0);
    return program.WaitForExit(kExitWaitMs);
  }
};

TEST_F(AppTest, FirstStartBuildsTheCacheShowsTheWindowAndTheOrderlyExitRecordsTheEnd) {
  WriteUnicodeFile(CommonDataFolder() + L"\\User(3).session", L"");  // left by a crashed copy: no count
  Program program;
  HWND main = StartAndWaitForCache(program);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(WindowText(main), L"Lumivex");
  std::wstring status = StatusText(main);
  EXPECT_EQ(status.rfind(L"[Caching is Finished] ", 0), 0u) << std::string(status.begin(), status.end());
  EXPECT_NE(status.find(L" items cached,  "), std::wstring::npos);
  EXPECT_TRUE(FileExists(UserDataFolder() + L"\\default.db"));
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"CacheFileVersion"), L"1");
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"FALSE");
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"FirstRun"), L"TRUE");
  EXPECT_EQ(SessionFiles(), std::vector<std::wstring>{L"User.session"});
  std::wstring run = RunValue();
  EXPECT_NE(run.find(L"lumivex.exe /hide"), std::wstring::npos) << std::string(run.begin(), run.end());
  // The layout placed the boxes: the pattern box lies above the status line, both inside the window.
  RECT pattern, statusRect, window;
  GetWindowRect(GetDlgItem(main, 1018), &pattern);
  GetWindowRect(GetDlgItem(main, 1008), &statusRect);
  GetWindowRect(main, &window);
  EXPECT_LT(pattern.bottom, statusRect.top);
  EXPECT_GT(statusRect.top, window.top + (window.bottom - window.top) / 2);
  EXPECT_TRUE(SaveScreenshot(main, "app_main_window"));

  // The texts in the boxes at exit go into the histories.
  SendMessageW(GetDlgItem(main, 1018), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"needle*.txt"));
  EXPECT_EQ(CloseAndWait(program, main), 0);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE");
  EXPECT_EQ(ReadIni(UserDataFolder() + L"\\settings.ini", L"PATTERNHISTORY", L"PATTERN_0"), L"needle*.txt");
  EXPECT_TRUE(SessionFiles().empty()) << "the session file goes with its process";
}

TEST_F(AppTest, HideStartsHiddenASecondCopyBringsTheFirstForwardAndUninstallClosesIt) {
  HeldSession other(L"User.session");  // a copy in another Windows session
  Program first;
  HWND main = StartAndWaitForCache(first, L"/hide");
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));

  Program second;
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitForExit(kExitWaitMs), 0);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000));
  EXPECT_TRUE(first.Running());
  auto files = SessionFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::wstring>{L"User(0).session", L"User.session"})) << "the second claims none";
  // The close box hides the window; the program runs on until a copy or the hot key shows it.
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_TRUE(first.Running());
  SendMessageW(main, WM_APP + 20, 0, 0);
  EXPECT_TRUE(IsWindowVisible(main));
  ASSERT_FALSE(RunValue().empty());
  Program uninstall;
  ASSERT_TRUE(uninstall.Start(L"/UNINSTALL"));
  EXPECT_EQ(uninstall.WaitForExit(kExitWaitMs), 0);
  EXPECT_NE(first.WaitForExit(kExitWaitMs), -1);
  EXPECT_EQ(RunValue(), L"");
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE") << "closed by the orderly exit";
  EXPECT_EQ(uninstall.MainWindow(0), nullptr);
}

TEST_F(AppTest, TwoHeldSessionsRefuseAThirdCopy) {
  HeldSession one(L"User.session"), two(L"User(0).session");
  ASSERT_NE(one.handle, INVALID_HANDLE_VALUE);
  ASSERT_NE(two.handle, INVALID_HANDLE_VALUE);
  Program third;
  ASSERT_TRUE(third.Start());
  HWND box = third.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kSessionMessage);
  EXPECT_EQ(third.MainWindow(0), nullptr);
  PressOk(box);
  EXPECT_NE(third.WaitForExit(kExitWaitMs), -1);
  EXPECT_EQ(FindMainWindow(), nullptr);
}

// "/hide" with a further argument is no hidden start; the end of the Windows session records the
// end and takes the tray icon away without saving the histories.
TEST_F(AppTest, ExtraArgumentsShowTheWindowAndTheSessionEndKeepsTheHistories) {
  Program program;
  HWND main = StartAndWaitForCache(program, L"/hide extra");
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsWindowVisible(main));
  SendMessageW(GetDlgItem(main, 1018), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"unsaved"));
  EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(main, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE");
  EXPECT_FALSE(IsWindowVisible(main));
  // The icon goes while the window still exists (the shell drops a destroyed window's icons itself).
  EXPECT_FALSE(TrayIconShown(main, 0));
  EXPECT_EQ(ReadIni(UserDataFolder() + L"\\settings.ini", L"PATTERNHISTORY", L"PATTERN_0"), L"");
  // Windows ends the process; a later close request only ends the dialog.
  EXPECT_EQ(CloseAndWait(program, main), 0);
}

TEST_F(AppTest, AMissingInterfaceArchiveIsNamedInAMessageAndTheStartEnds) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "lvx_no_skin";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(LVX_APP_DIR "/lumivex.exe", folder / "lumivex.exe",
                             std::filesystem::copy_options::overwrite_existing);
  Program program;
  ASSERT_TRUE(program.Start(L"", (folder / "lumivex.exe").wstring()));
  HWND box = program.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  std::wstring text = MessageBoxText(box);
  EXPECT_NE(text.find(L"default.zip"), std::wstring::npos) << std::string(text.begin(), text.end());
  PressOk(box);
  EXPECT_EQ(program.WaitForExit(kExitWaitMs), 1);
  EXPECT_EQ(FindMainWindow(), nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace
}  // namespace lvx::apptest
