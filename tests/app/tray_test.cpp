// lumivex.exe hidden and shown as a user does it: Escape, the hot key, the notification-area icon
// and its menu; the history timers after typing; a volume arriving while it runs.
#include <gtest/gtest.h>

#include "app_driver.h"

#include <dbt.h>

namespace lvx::apptest {
namespace {

constexpr DWORD kWaitMs = 30000;
constexpr UINT kTrayNotify = WM_APP + 12;
constexpr int kPatternBox = 1018, kFolderBox = 1003;
constexpr UINT_PTR kHistoryTimer = 2, kHistorySaveTimer = 3;
constexpr wchar_t kExitQuestion[] =
    L"If you exit Lumivex, the file changes will not be detected by Trackmind any more and the search "
    L"results may become inaccurate.\r\n\r\nExit Lumivex?";

std::wstring Settings() { return UserDataFolder() + L"\\settings.ini"; }
HWND EditOf(HWND main, int box) { return GetWindow(GetDlgItem(main, box), GW_CHILD); }
std::wstring StatusText(HWND main) { return WindowText(GetDlgItem(main, 1008)); }
bool Visible(HWND main) { return IsWindowVisible(main) != FALSE; }

std::wstring ListItem(HWND main, int box, int index) {
  wchar_t text[512] = {};
  SendMessageW(GetDlgItem(main, box), CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
  return text;
}

// A key that arrives while the window waits for a worker thread (the end of the first build, say)
// is dispatched by that wait without the window's key handling: the press is repeated then.
bool PressEscape(HWND main, HWND control) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    PostMessageW(control, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    if (WaitUntil([&] { return !Visible(main); }, 2000)) return true;
  }
  return false;
}

void Tray(HWND main, UINT id, UINT mouse) { PostMessageW(main, kTrayNotify, id, mouse); }

class TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (HWND left = FindMainWindow()) SendMessageW(left, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return FindMainWindow() == nullptr; }, kWaitMs));
    PrepareDataFolders();
  }
  void TearDown() override {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Lumivex");
  }

  HWND Start() {
    if (!program_.Start()) return nullptr;
    HWND main = program_.MainWindow();
    if (main)
      WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, kWaitMs);
    return main;
  }

  Program program_;
};

TEST_F(TrayTest, EscapeHidesTheHotKeyShowsAndTheSessionEndRemovesTheIcon) {
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(TrayIconShown(main, 0));
  EXPECT_FALSE(TrayIconShown(main, 1));

  // Escape hides the window from any of its controls; the hot key brings it back with the focus in
  // the pattern box, wherever the focus was.
  HWND folder = EditOf(main, kFolderBox);
  PostMessageW(folder, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(folder, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  ASSERT_TRUE(WaitUntil([&] { return FocusIn(main) == folder; }, 5000));
  for (HWND control : {folder, GetDlgItem(main, 1004)}) {
    EXPECT_TRUE(PressEscape(main, control));
    PostMessageW(main, WM_HOTKEY, 0, MAKELPARAM(MOD_SHIFT, VK_ESCAPE));
    EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return FocusIn(main) == EditOf(main, kPatternBox); }, 5000));
  }
  // A minimised window comes back restored.
  ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(main));
  PostMessageW(main, WM_HOTKEY, 0, MAKELPARAM(MOD_SHIFT, VK_ESCAPE));
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(main) && Visible(main); }, 5000));

  // The end of the Windows session takes the icon away while the window still exists (the shell
  // drops the icons of a destroyed window by itself, so the orderly exit cannot be told apart here).
  SendMessageW(main, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(TrayIconShown(main, 0));
  SendMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
}

TEST_F(TrayTest, TrayClicksToggleTheWindowAndOpenTheMenuWhoseCommandsWork) {
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  const DWORD process = program_.Id();

  // Another icon id is not this program's.
  Tray(main, 1, WM_RBUTTONDOWN);
  Tray(main, 1, WM_LBUTTONDBLCLK);
  EXPECT_EQ(PopupMenuOf(process, 1500), nullptr);
  EXPECT_TRUE(Visible(main));

  // A double click hides a shown window and shows a hidden one; its first click opens no menu.
  Tray(main, 0, WM_LBUTTONDOWN);
  Tray(main, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return !Visible(main); }, 5000));
  EXPECT_EQ(PopupMenuOf(process, GetDoubleClickTime() + 1500), nullptr);
  Tray(main, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));

  // A single left click opens the menu after the double-click time; Escape closes it.
  Tray(main, 0, WM_LBUTTONDOWN);
  HWND menu = PopupMenuOf(process, 5000);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return PopupMenuOf(process, 0) == nullptr; }, 5000));

  // The right button opens it at once; "Open Main &Window" shows the hidden window.
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(main); }, 5000));
  Tray(main, 0, WM_RBUTTONDOWN);
  menu = PopupMenuOf(process, 5000);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_CHAR, L'w', 0);
  EXPECT_TRUE(WaitUntil([&] { return Visible(main); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return FocusIn(main) == EditOf(main, kPatternBox); }, 5000));

  // "E&xit" asks first (warnings are on); Yes ends the program in order.
  Tray(main, 0, WM_RBUTTONDOWN);
  menu = PopupMenuOf(process, 5000);
  ASSERT_NE(menu, nullptr);
  PostMessageW(menu, WM_CHAR, L'x', 0);
  HWND box = program_.MessageBoxWindow();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kExitQuestion);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
  EXPECT_EQ(ReadIni(UserDataFolder() + L"\\stateinfo.ini", L"STATEINFO", L"ProgramExit"), L"TRUE");
}

TEST_F(TrayTest, TypedTextsRiseInTheListsAndAreSavedOnceTheWindowIsHidden) {
  for (auto [key, value] : {std::pair{L"hisnumber", L"2"}, {L"PATTERN_0", L"older"}, {L"PATTERN_1", L"needle"}})
    WritePrivateProfileStringW(L"PATTERNHISTORY", key, value, Settings().c_str());
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  SendMessageW(GetDlgItem(main, kFolderBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"T:\\apptest\\"));
  for (wchar_t c : std::wstring(L"needle")) PostMessageW(EditOf(main, kPatternBox), WM_CHAR, c, 1);
  ASSERT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(main, kPatternBox)) == L"needle"; }, 5000));

  SendMessageW(main, WM_TIMER, kHistoryTimer, 0);
  EXPECT_EQ(ListItem(main, kPatternBox, 0), L"needle");
  EXPECT_EQ(ListItem(main, kPatternBox, 1), L"older");
  EXPECT_EQ(SendMessageW(GetDlgItem(main, kPatternBox), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(ListItem(main, kFolderBox, 0), L"My Computer");
  EXPECT_EQ(ListItem(main, kFolderBox, 1), L"T:\\apptest\\");
  EXPECT_EQ(WindowText(GetDlgItem(main, kPatternBox)), L"needle") << "the typed text stays";
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"PATTERN_0"), L"older") << "nothing written yet";

  // While the window is shown the save waits; hidden, both lists are written.
  SendMessageW(main, WM_TIMER, kHistorySaveTimer, 0);
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"PATTERN_0"), L"older");
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageW(main, WM_TIMER, kHistorySaveTimer, 0);
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"PATTERN_0"), L"needle");
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"PATTERN_1"), L"older");
  EXPECT_EQ(ReadIni(Settings(), L"FOLDERHISTORY", L"PATTERN_0"), L"T:\\apptest\\");
  SendMessageW(main, WM_ENDSESSION, TRUE, 0);
  SendMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
}

TEST_F(TrayTest, AnArrivingVolumeJoinsTheSelectionWhenRemovableDrivesAreChosen) {
  WritePrivateProfileStringW(L"OPTIONS", L"SELECT_DRIVES", L"0x80000", Settings().c_str());
  WritePrivateProfileStringW(L"OPTIONS", L"AutoSelRemovable", L"1", Settings().c_str());
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << ('T' - 'A');
  // Gone, then back: the drive joins the selection again and the selection is written.
  SendMessageW(main, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
  EXPECT_EQ(ReadIni(Settings(), L"OPTIONS", L"SELECT_DRIVES"), L"0x80000") << "a removal writes nothing";
  SendMessageW(main, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  EXPECT_EQ(ReadIni(Settings(), L"OPTIONS", L"SELECT_DRIVES"), L"0X80000");
  // Its root is listed again by the drive's refresher.
  std::wstring status;
  EXPECT_TRUE(WaitUntil(
      [&] { return (status = StatusText(main)).rfind(L"[Refreshing Location T:\\ Finished]", 0) == 0; }, kWaitMs))
      << std::string(status.begin(), status.end());
  SendMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
}

}  // namespace
}  // namespace lvx::apptest
