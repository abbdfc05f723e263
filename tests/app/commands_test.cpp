// The main window's menu and accelerator commands run by WM_COMMAND with their ids, as the menus
// and keys send them: the dialogs they open, what they write, the questions they ask, the status
// line and the states of the cache-update items in the main and the tray menu.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_driver.h"

namespace lvx::apptest {
namespace {

// Main menu ids, tray ids.
constexpr UINT kUpdateCache = 32883, kStopUpdating = 32889, kPauseUpdating = 32884, kDefrag = 32792;
constexpr UINT kTrayUpdate = 32885, kTrayStop = 32886, kTrayPause = 32887, kSaveCache = 32785, kLoadCache = 32821;
constexpr UINT kSettings = 32891, kExit = 32771;
// Folders enough that a build on T: runs a while; outside the searched T:\apptest.
constexpr char kBigTree[] = "T:\\commandstree";

void Command(HWND main, UINT id) { PostMessageW(main, WM_COMMAND, id, 0); }
bool Gone(HWND window) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
}

// The program answers "Lumivex.MenuState" with an item's state (tray: its menu) or, for text,
// with the item's text as an atom.
UINT MenuState(HWND main, UINT id, bool tray = false, bool text = false) {
  static const UINT message = RegisterWindowMessageW(L"Lumivex.MenuState");
  return UINT(SendMessageW(main, message, id, (tray ? 1 : 0) + (text ? 2 : 0)));
}
std::wstring MenuText(HWND main, UINT id, bool tray = false) {
  ATOM atom = ATOM(MenuState(main, id, tray, true));
  wchar_t text[128] = {};
  if (atom) GlobalGetAtomNameW(atom, text, 128);
  if (atom) GlobalDeleteAtom(atom);
  return text;
}
bool Grayed(HWND main, UINT id, bool tray = false) { return (MenuState(main, id, tray) & MF_GRAYED) != 0; }

// The cache-update items as a build leaves them (building) or as they are without one, and the
// pause item's text in both menus.
void ExpectCacheMenus(HWND main, bool building, const wchar_t* pauseText) {
  for (auto [id, tray] : {std::pair{kUpdateCache, false}, {kDefrag, false}, {kTrayUpdate, true}, {kSaveCache, false},
                          {kLoadCache, false}})
    EXPECT_EQ(Grayed(main, id, tray), building) << id;
  for (auto [id, tray] : {std::pair{kStopUpdating, false}, {kPauseUpdating, false}, {kTrayStop, true}, {kTrayPause, true}})
    EXPECT_EQ(Grayed(main, id, tray), !building) << id;
  EXPECT_EQ(MenuText(main, kPauseUpdating), pauseText);
  EXPECT_EQ(MenuText(main, kTrayPause, true), pauseText);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart());
    std::error_code ignored;
    std::filesystem::remove_all(kBigTree, ignored);
  }
  void TearDown() override {
    RemoveRunValue();
    std::error_code ignored;
    std::filesystem::remove_all(kBigTree, ignored);
  }

  HWND Start() {
    HWND main = program_.StartAndWaitForCache();
    // The build's end reaches the menus just after the status line.
    if (main) WaitUntil([&] { return !Grayed(main, kUpdateCache); }, kWaitMs);
    return main;
  }
  // Sends the command and waits for the dialog it shows with the title.
  HWND Dialog(HWND main, UINT id, const wchar_t* title) {
    Command(main, id);
    return program_.DialogWindow(title);
  }

  Program program_;
};

TEST_F(CommandsTest, DialogsTheLookTheFontTheHistoriesTheResultsTheBuildsAndTheCacheFile) {
  WritePrivateProfileStringW(L"OPTIONS", L"SELECT_DRIVES", L"0x80000", SettingsFile().c_str());
  for (auto [key, value] : {std::pair{L"hisnumber", L"1"}, {L"PATTERN_0", L"older"}})
    WritePrivateProfileStringW(L"PATTERNHISTORY", key, value, SettingsFile().c_str());
  HWND main = Start();
  ASSERT_NE(main, nullptr);

  // Each dialog of a command appears with its title and goes with Cancel, writing nothing.
  const std::pair<UINT, const wchar_t*> kDialogs[] = {
      {32772, L"About Lumivex"},       {32890, L"Update Location..."}, {kSettings, L"Settings"},
      {32783, L"Customize Toolbar"}, {32773, L"Save Results"},       {32846, L"Select Drives to Search ..."}};
  for (auto [id, title] : kDialogs) {
    HWND shown = Dialog(main, id, title);
    ASSERT_NE(shown, nullptr) << id;
    Press(shown, IDCANCEL);
    EXPECT_TRUE(Gone(shown)) << id;
  }
  EXPECT_EQ(ReadIni(SettingsFile(), L"OPTIONS", L"SELECT_DRIVES"), L"0x80000") << "Cancel writes nothing";
  // OK in the location dialog queues the folder's refresh.
  HWND location = Dialog(main, 32890, L"Update Location...");
  ASSERT_NE(location, nullptr);
  SetDlgItemTextW(location, 1056, L"T:\\apptest\\folder");
  Press(location, IDOK);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const std::wstring status = StatusText(main);
        return status.rfind(L"[Refreshing Location T:\\apptest\\folder", 0) == 0 &&
               status.find(L"Finished") != std::wstring::npos;
      },
      kWaitMs))
      << U8(StatusText(main));
  // OK in the drive dialog writes the ticked drives the way the program writes them, and the option.
  HWND drives = Dialog(main, 32846, L"Select Drives to Search ...");
  ASSERT_NE(drives, nullptr);
  Press(drives, 1040);  // its OK button (the dialog has no IDOK)
  EXPECT_TRUE(WaitUntil([] { return ReadIni(SettingsFile(), L"OPTIONS", L"SELECT_DRIVES") == L"0X80000"; }, 5000));
  EXPECT_EQ(ReadIni(SettingsFile(), L"OPTIONS", L"AutoSelRemovable"), L"0");

  // Styles: Vista, then Windows Theme; the checks follow and the style is written.
  const std::wstring skin = UserDataFolder() + L"\\skininfo.ini";
  for (auto [id, other, style] : {std::tuple{32867u, 32866u, L"vista"}, {32866u, 32867u, L"default"}}) {
    SendMessageW(main, WM_COMMAND, id, 0);
    EXPECT_EQ(ReadIni(skin, L"SKIN_INFO", L"Style"), style);
    EXPECT_TRUE(MenuState(main, id) & MF_CHECKED) << id;
    EXPECT_FALSE(MenuState(main, other) & MF_CHECKED) << id;
  }

  // Font: the system's font dialog; OK writes fontinfo.ini.
  const std::wstring fontFile = UserDataFolder() + L"\\fontinfo.ini";
  std::filesystem::remove(std::filesystem::path(fontFile));
  HWND font = Dialog(main, 32857, L"Font");
  ASSERT_NE(font, nullptr);
  Press(font, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return FileExists(fontFile); }, 5000));

  // Cleaning the search history empties the list and the stored keys; the location list keeps its
  // built-in first item.
  ASSERT_EQ(SendMessageW(GetDlgItem(main, kPatternBox), CB_GETCOUNT, 0, 0), 1);
  SendMessageW(main, WM_COMMAND, 32829, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(main, kPatternBox), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(ReadIni(SettingsFile(), L"PATTERNHISTORY", L"hisnumber"), L"0");
  SendMessageW(main, WM_COMMAND, 32830, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(main, kFolderBox), CB_GETCOUNT, 0, 0), 1);

  // Results: Select All and Copy Full Path reach the list's actions; the context-menu key,
  // Shift+F10 and a right click open the result menu.
  SendMessageW(GetDlgItem(main, kFolderBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"T:\\apptest\\"));
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(kFolderBox, CBN_EDITCHANGE), LPARAM(GetDlgItem(main, kFolderBox)));
  SendMessageW(GetDlgItem(main, kPatternBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"fo"));
  Press(main, kSearchButton);
  HWND list = GetDlgItem(main, kResultsList);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(main).find(L"2 items found") != std::wstring::npos; }, kWaitMs))
      << U8(StatusText(main));
  SendMessageW(main, WM_COMMAND, 32853, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  SendMessageW(main, WM_COMMAND, 32809, 0);
  EXPECT_EQ(ClipboardText(), L"T:\\apptest\\folder\\found.txt\r\nT:\\apptest\\folder\r\n");
  for (int way = 0; way < 3; ++way) {
    if (way < 2) {
      Command(main, way == 0 ? 32868 : 32869);  // the context-menu key, and Shift+F10
    } else {
      PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 30));
      PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(40, 30));
    }
    EXPECT_TRUE(CloseMenuOf(program_.Id())) << way;
  }

  // A full build is asked for, paused, resumed, restarted and stopped.
  for (int i = 0; i < 80; ++i)
    for (int j = 0; j < 80; ++j)
      std::filesystem::create_directories(std::string(kBigTree) + "\\" + std::to_string(i) + "\\" + std::to_string(j));

  // A complete cache: the question first; No leaves it.
  const std::wstring question =
      L"Lumivex can automatically update your search cache in real time.\r\nYou should update the search cache "
      L"manually only if you can not find updated files in the results.\r\n\r\nAre you sure to rebuild the "
      L"entire search cache?";
  Command(main, kUpdateCache);
  HWND box = program_.DialogWindow(L"Update Search Cache", true);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), question);
  Press(box, IDNO);
  EXPECT_TRUE(Gone(box));
  EXPECT_FALSE(Grayed(main, kUpdateCache));

  // Yes (from the tray's item) starts the build. Pause and Resume rename the item in both menus.
  Command(main, kTrayUpdate);
  box = program_.DialogWindow(L"Update Search Cache", true);
  ASSERT_NE(box, nullptr);
  Press(box, IDYES);
  ASSERT_TRUE(WaitUntil([&] { return Grayed(main, kUpdateCache); }, 5000));
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);
  ASSERT_EQ(StatusText(main), L"Caching is paused by user.");
  ExpectCacheMenus(main, true, L"&Resume Updating");

  // A running build starts again without a question, unpaused.
  SendMessageW(main, WM_COMMAND, kUpdateCache, 0);
  EXPECT_EQ(MenuText(main, kPauseUpdating), L"&Pause Updating");
  SendMessageW(main, WM_COMMAND, kTrayPause, 0);
  EXPECT_EQ(program_.DialogWindow(L"Update Search Cache", true, 1500), nullptr);
  ExpectCacheMenus(main, true, L"&Resume Updating");
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);
  EXPECT_EQ(MenuText(main, kTrayPause, true), L"&Pause Updating") << "resumed";
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);

  // Paused, then Stop: the build ends and the items are as without a build.
  SendMessageW(main, WM_COMMAND, kTrayStop, 0);
  EXPECT_EQ(StatusText(main), L"Caching is stopped by user.");
  ExpectCacheMenus(main, false, L"&Pause Updating");
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"UpdateCacheExit"), L"FALSE");

  // Asked again, Yes: this build runs to its end.
  Command(main, kUpdateCache);
  box = program_.DialogWindow(L"Update Search Cache", true);
  ASSERT_NE(box, nullptr);
  Press(box, IDYES);
  EXPECT_TRUE(CachingFinished(main, 120000)) << U8(StatusText(main));
  EXPECT_TRUE(WaitUntil([&] { return !Grayed(main, kUpdateCache); }, 5000));
  ExpectCacheMenus(main, false, L"&Pause Updating");
  // Defrag compacts the file and records its size in MB again.
  WritePrivateProfileStringW(L"STATEINFO", L"CacheFileSize", L"999", StateFile().c_str());
  SendMessageW(main, WM_COMMAND, kDefrag, 0);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"CacheFileSize"), L"0");

  // The cache file saved under a chosen name, then loaded back: the one replaced stays as ".bak".
  const std::wstring saved = UserDataFolder() + L"\\saved.db";
  for (auto [id, title] : {std::pair{kSaveCache, L"Save As"}, {kLoadCache, L"Open"}}) {
    HWND picker = Dialog(main, id, title);
    ASSERT_NE(picker, nullptr) << id;
    for (int name : {0x47c, 0x480}) SetDlgItemTextW(picker, name, saved.c_str());
    Press(picker, IDOK);
    EXPECT_TRUE(Gone(picker)) << id;
  }
  EXPECT_TRUE(WaitUntil([&] { return FileExists(UserDataFolder() + L"\\default.db.bak"); }, 5000));
  EXPECT_TRUE(FileExists(saved));
  EXPECT_TRUE(FileExists(UserDataFolder() + L"\\default.db"));

  // Warnings switched off on the general page apply at once: the build starts without a question,
  // and Exit asks nothing.
  HWND settings = Dialog(main, kSettings, L"Settings");
  ASSERT_NE(settings, nullptr);
  HWND warnings = ChildWhere(settings, [](HWND child) { return GetDlgCtrlID(child) == 1060; });
  ASSERT_NE(warnings, nullptr);
  SendMessageW(warnings, BM_CLICK, 0, 0);
  Press(settings, IDOK);
  EXPECT_TRUE(Gone(settings));
  EXPECT_EQ(ReadIni(SettingsFile(), L"OPTIONS", L"SHOWWARNINGS"), L"FALSE");
  Command(main, kUpdateCache);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) != 0; }, 5000));
  EXPECT_TRUE(CachingFinished(main, 120000));
  EXPECT_EQ(program_.DialogWindow(L"Update Search Cache", true, 0), nullptr);
  Command(main, kExit);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
}

}  // namespace
}  // namespace lvx::apptest
