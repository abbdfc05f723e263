// lumivex.exe started as Windows starts it, watched from outside: one copy per user and Windows
// session, /hide and /uninstall, a missing interface archive; hidden and shown as a user does it
// (Escape, the hot key, the notification-area icon and its menu), the history timers, a volume
// arriving, the update check's answers and the exit with its question.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "app_driver.h"

#include <dbt.h>

namespace lvx::apptest {
namespace {

constexpr UINT kTrayNotify = WM_APP + 12, kShowWindow = WM_APP + 20, kUpdateResult = WM_APP + 40;
constexpr UINT_PTR kHistoryTimer = 2, kHistorySaveTimer = 3;
constexpr wchar_t kUpdaterTitle[] = L"Lumivex Updater";

std::wstring RunValue() {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Lumivex", RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS)
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

bool Visible(HWND main) { return IsWindowVisible(main) != FALSE; }
std::wstring ListItem(HWND main, int box, int index) {
  wchar_t text[512] = {};
  SendMessageW(GetDlgItem(main, box), CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
  return text;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FreshStart()); }
  void TearDown() override { RemoveRunValue(); }
};

TEST_F(AppTest, AMissingInterfaceArchiveIsNamedInAMessageAndTheStartEnds) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "lvx_no_skin";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(LVX_APP_DIR "/lumivex.exe", folder / "lumivex.exe",
                             std::filesystem::copy_options::overwrite_existing);
  Program program;
  ASSERT_TRUE(program.Start(L"", (folder / "lumivex.exe").wstring()));
  HWND box = program.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(MessageBoxText(box).find(L"default.zip"), std::wstring::npos) << U8(MessageBoxText(box));
  Press(box, IDOK);
  EXPECT_EQ(program.WaitForExit(kWaitMs), 1);
  EXPECT_EQ(FindMainWindow(), nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

TEST_F(AppTest, HiddenStartASecondCopyEscapeHotKeyTrayHistoryVolumeUpdatesUninstallAndAThirdCopy) {
  for (auto [key, value] : {std::pair{L"hisnumber", L"2"}, {L"PATTERN_0", L"older"}, {L"PATTERN_1", L"needle"}})
    WritePrivateProfileStringW(L"PATTERNHISTORY", key, value, SettingsFile().c_str());
  WritePrivateProfileStringW(L"OPTIONS", L"SELECT_DRIVES", L"0x80000", SettingsFile().c_str());
  WritePrivateProfileStringW(L"OPTIONS", L"AutoSelRemovable", L"1", SettingsFile().c_str());
  HeldSession other(L"User.session");  // a copy in another Windows session
  Program program;
  HWND main = program.StartAndWaitForCache(L"/hide");
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(IsWindowVisible(main));
  const DWORD process = program.Id();
  auto tray = [&](UINT id, UINT mouse) { PostMessageW(main, kTrayNotify, id, mouse); };
  // A second copy shows the hidden first and ends.
  Program second;
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitForExit(kWaitMs), 0);
  EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
  auto files = SessionFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::wstring>{L"User(0).session", L"User.session"}))
      << "the second claims none";
  EXPECT_NE(RunValue().find(L"lumivex.exe /hide"), std::wstring::npos) << U8(RunValue());
  EXPECT_TRUE(TrayIconShown(main, 0));
  EXPECT_FALSE(TrayIconShown(main, 1));
  // Escape hides the window from any of its controls; the hot key brings it back with the focus in
  // the pattern box, wherever the focus was. A key that arrives while the window waits for a worker
  // thread is dispatched without the window's key handling: the press is repeated then.
  HWND folder = EditOf(main, kFolderBox);
  PostMessageW(folder, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(folder, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  ASSERT_TRUE(WaitUntil([&] { return FocusIn(main) == folder; }, 5000));
  for (HWND control : {folder, GetDlgItem(main, kSearchButton)}) {
    bool hidden = false;
    for (int attempt = 0; attempt < 3 && !hidden; ++attempt) {
      PostMessageW(control, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      hidden = WaitUntil([&] { return !Visible(main); }, 2000);
    }
    EXPECT_TRUE(hidden);
    PostMessageW(main, WM_HOTKEY, 0, MAKELPARAM(MOD_SHIFT, VK_ESCAPE));
    EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(main) == EditOf(main, kPatternBox); }, 5000));
  }
  ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(main));
  PostMessageW(main, WM_HOTKEY, 0, MAKELPARAM(MOD_SHIFT, VK_ESCAPE));
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(main) && Visible(main); }, 5000)) << "a minimised window is restored";

  // Another icon id is not this program's. A double click hides a shown window and shows a hidden
  // one; its first click opens no menu.
  tray(1, WM_RBUTTONDOWN);
  tray(1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(PopupMenuOf(process, 1500), nullptr);
  EXPECT_TRUE(Visible(main));
  tray(0, WM_LBUTTONDOWN);
  tray(0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(main); }, 5000));
  EXPECT_EQ(PopupMenuOf(process, GetDoubleClickTime() + 1500), nullptr);
  tray(0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
  // A single left click opens the menu after the double-click time.
  tray(0, WM_LBUTTONDOWN);
  EXPECT_TRUE(CloseMenuOf(process));
  // The close box hides the window; the right button opens the menu at once; "Open Main &Window"
  // shows the hidden window.
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(main); }, 5000));
  tray(0, WM_RBUTTONDOWN);
  HWND menu = PopupMenuOf(process, 5000);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_CHAR, L'w', 0);
  EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return FocusIn(main) == EditOf(main, kPatternBox); }, 5000));

  // Typed texts rise in the lists on the history timer and are saved once the window is hidden.
  SendMessageW(GetDlgItem(main, kFolderBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"T:\\apptest\\"));
  for (wchar_t c : std::wstring(L"needle")) PostMessageW(EditOf(main, kPatternBox), WM_CHAR, c, 1);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(main, kPatternBox)) == L"needle"; }, 5000));
  SendMessageW(main, WM_TIMER, kHistoryTimer, 0);
  EXPECT_EQ(ListItem(main, kPatternBox, 0) + L"," + ListItem(main, kPatternBox, 1), L"needle,older");
  EXPECT_EQ(ListItem(main, kFolderBox, 1), L"T:\\apptest\\");
  EXPECT_EQ(WindowText(GetDlgItem(main, kPatternBox)), L"needle") << "the typed text stays";
  SendMessageW(main, WM_TIMER, kHistorySaveTimer, 0);
  EXPECT_EQ(ReadIni(SettingsFile(), L"PATTERNHISTORY", L"PATTERN_0"), L"older") << "shown: the save waits";
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageW(main, WM_TIMER, kHistorySaveTimer, 0);
  EXPECT_EQ(ReadIni(SettingsFile(), L"PATTERNHISTORY", L"PATTERN_0"), L"needle");
  EXPECT_EQ(ReadIni(SettingsFile(), L"FOLDERHISTORY", L"PATTERN_0"), L"T:\\apptest\\");

  // A volume gone, then back: the drive joins the selection again, which is written, and its root is
  // listed again by the drive's refresher.
  DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, 1u << ('T' - 'A'), 0};
  SendMessageW(main, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
  EXPECT_EQ(ReadIni(SettingsFile(), L"OPTIONS", L"SELECT_DRIVES"), L"0x80000") << "a removal writes nothing";
  SendMessageW(main, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  EXPECT_EQ(ReadIni(SettingsFile(), L"OPTIONS", L"SELECT_DRIVES"), L"0X80000");
  EXPECT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Refreshing Location T:\\ Finished]", 0) == 0; }, kWaitMs))
      << U8(StatusText(main));

  // A check the user starts shows the updater; the server (nothing listens) cannot be reached.
  SendMessageW(main, kShowWindow, 0, 0);
  SendMessageW(main, WM_COMMAND, 32855, 0);
  HWND updater = program.DialogWindow(kUpdaterTitle, false, 5000);
  if (updater) {
    RedrawWindow(updater, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveScreenshot(updater, "commands_updater");
  }
  HWND box = program.DialogWindow(kUpdaterTitle, true);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Can not connect to the server, please check your network connection.");
  Press(box, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(updater) || !IsWindowVisible(updater); }, 10000));
  // Without a shown updater only a new version speaks (the codes' rules are the checker's own).
  WriteUnicodeFile(UserDataFolder() + L"\\update.ini",
                   L"[Version]\r\nMain=9.9.9.9\r\nWhatsNew=Faster\r\nFreeUrl=http://127.0.0.1:9/d.htm\r\n");
  PostMessageW(main, kUpdateResult, 10, 0);
  EXPECT_EQ(program.DialogWindow(kUpdaterTitle, true, 2000), nullptr);
  PostMessageW(main, kUpdateResult, 11, 0);
  box = program.DialogWindow(kUpdaterTitle, true);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"A new version(9.9.9.9) of Lumivex is available,would you like to download it now?\r\n\r\nWhat's "
            L"New?\r\nFaster\r\n\r\nClick Yes to download, click No to cancel.");
  Press(box, IDNO);
  // Help > Content opens the help file beside the program in the system's help viewer.
  PostMessageW(main, WM_COMMAND, 32788, 0);
  HWND help = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (help = FindWindowW(L"HH Parent", nullptr)) != nullptr; }, kWaitMs));
  if (help) PostMessageW(help, WM_CLOSE, 0, 0);

  // "E&xit" asks first (warnings are on); No keeps the program.
  tray(0, WM_RBUTTONDOWN);
  menu = PopupMenuOf(process, 5000);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_CHAR, L'x', 0);
  box = program.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"If you exit Lumivex, the file changes will not be detected by Trackmind any more and the search "
            L"results may become inaccurate.\r\n\r\nExit Lumivex?");
  Press(box, IDNO);
  EXPECT_EQ(program.WaitForExit(3000), -1);

  // /UNINSTALL ends the running copy in order and takes the Run value away.
  Program uninstall;
  ASSERT_TRUE(uninstall.Start(L"/UNINSTALL"));
  EXPECT_EQ(uninstall.WaitForExit(kWaitMs), 0);
  EXPECT_NE(program.WaitForExit(kWaitMs), -1);
  EXPECT_EQ(RunValue(), L"");
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE") << "closed by the orderly exit";

  // Two sessions held elsewhere: a third copy refuses with the message.
  HeldSession another(L"User(0).session");
  ASSERT_NE(another.handle, INVALID_HANDLE_VALUE);
  Program third;
  ASSERT_TRUE(third.Start());
  box = third.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"This program is now running by another user and can not run concurrently by multiple user!");
  EXPECT_EQ(third.MainWindow(0), nullptr);
  Press(box, IDOK);
  EXPECT_NE(third.WaitForExit(kWaitMs), -1);
}

}  // namespace
}  // namespace lvx::apptest
