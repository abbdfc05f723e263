// The main window's menu and accelerator commands run by WM_COMMAND with their ids, as the menus
// and keys send them: the dialogs they open, what they write, the questions they ask, the status
// line and the states of the cache-update items in the main and the tray menu.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_driver.h"

namespace lvx::apptest {
namespace {

constexpr DWORD kWaitMs = 30000;
constexpr int kPatternBox = 1018, kFolderBox = 1003, kResults = 1001, kSearch = 1004;
constexpr int kShowWarningsBox = 1060;
constexpr UINT kUpdateResult = WM_APP + 40;
constexpr wchar_t kUpdaterTitle[] = L"Lumivex Updater";
constexpr wchar_t kRebuildQuestion[] =
    L"Lumivex can automatically update your search cache in real time.\r\nYou should update the search cache "
    L"manually only if you can not find updated files in the results.\r\n\r\nAre you sure to rebuild the "
    L"entire search cache?";

// Main menu ids, tray ids.
constexpr UINT kUpdateCache = 32883, kStopUpdating = 32889, kPauseUpdating = 32884, kDefrag = 32792;
constexpr UINT kTrayUpdate = 32885, kTrayStop = 32886, kTrayPause = 32887;
// Folders enough that a build on T: runs a while; outside the searched T:\apptest.
constexpr char kBigTree[] = "T:\\commandstree";
constexpr UINT kSaveCache = 32785, kLoadCache = 32821;

std::wstring Settings() { return UserDataFolder() + L"\\settings.ini"; }
std::wstring StatusText(HWND main) { return WindowText(GetDlgItem(main, 1008)); }
void Command(HWND main, UINT id) { PostMessageW(main, WM_COMMAND, id, 0); }
void Press(HWND dialog, int button) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }
bool Gone(HWND window) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
}

// The program answers "Lumivex.MenuState" with an item's state (tray: its menu) or, for text,
// with the item's text as an atom.
UINT MenuState(HWND main, UINT id, bool tray = false) {
  static const UINT message = RegisterWindowMessageW(L"Lumivex.MenuState");
  return UINT(SendMessageW(main, message, id, tray ? 1 : 0));
}
std::wstring MenuText(HWND main, UINT id, bool tray = false) {
  static const UINT message = RegisterWindowMessageW(L"Lumivex.MenuState");
  ATOM atom = ATOM(SendMessageW(main, message, id, tray ? 3 : 2));
  wchar_t text[128] = {};
  if (atom) GlobalGetAtomNameW(atom, text, 128);
  if (atom) GlobalDeleteAtom(atom);
  return text;
}
bool Grayed(HWND main, UINT id, bool tray = false) { return (MenuState(main, id, tray) & MF_GRAYED) != 0; }

// The cache-update items as a build leaves them (building) or as they are without one.
void ExpectCacheMenus(HWND main, bool building) {
  for (auto [id, tray] : {std::pair{kUpdateCache, false}, {kDefrag, false}, {kTrayUpdate, true}})
    EXPECT_EQ(Grayed(main, id, tray), building) << id;
  for (auto [id, tray] : {std::pair{kStopUpdating, false}, {kPauseUpdating, false}, {kTrayStop, true}, {kTrayPause, true}})
    EXPECT_EQ(Grayed(main, id, tray), !building) << id;
  for (UINT id : {kSaveCache, kLoadCache}) EXPECT_EQ(Grayed(main, id), building) << id;
}

void ExpectPauseTexts(HWND main, const wchar_t* text) {
  EXPECT_EQ(MenuText(main, kPauseUpdating), text);
  EXPECT_EQ(MenuText(main, kTrayPause, true), text);
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
    if (HWND left = FindMainWindow()) SendMessageW(left, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return FindMainWindow() == nullptr; }, kWaitMs));
    std::error_code ignored;
    std::filesystem::remove_all(kBigTree, ignored);
  }
  void TearDown() override {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Lumivex");
  }

  HWND Start() {
    if (!program_.Start()) return nullptr;
    HWND main = program_.MainWindow();
    if (main) WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, kWaitMs);
    // The build's end reaches the menus just after the status line.
    if (main) WaitUntil([&] { return !Grayed(main, kUpdateCache); }, kWaitMs);
    return main;
  }
  HWND Box(const wchar_t* title = L"Lumivex", DWORD milliseconds = kWaitMs) {
    return ShownDialogOf(program_.Id(), title, true, milliseconds);
  }
  HWND Dialog(const wchar_t* title) { return ShownDialogOf(program_.Id(), title, false, kWaitMs); }
  void Close(HWND main) {
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
  }

  Program program_;
};

TEST_F(CommandsTest, DialogsOpenAndTheLookTheFontAndTheHistoriesAreWritten) {
  PrepareDataFolders();
  WritePrivateProfileStringW(L"OPTIONS", L"SELECT_DRIVES", L"0x80000", Settings().c_str());
  for (auto [key, value] : {std::pair{L"hisnumber", L"1"}, {L"PATTERN_0", L"older"}})
    WritePrivateProfileStringW(L"PATTERNHISTORY", key, value, Settings().c_str());
  HWND main = Start();
  ASSERT_NE(main, nullptr);

  // Each dialog of a command appears with its title and goes with Cancel.
  const struct {
    UINT id;
    const wchar_t* title;
  } kDialogs[] = {{32772, L"About Lumivex"},   {32890, L"Update Location..."}, {32891, L"Settings"},
                  {32783, L"Customize Toolbar"}, {32773, L"Save Results"},      {32846, L"Select Drives to Search ..."}};
  for (const auto& dialog : kDialogs) {
    Command(main, dialog.id);
    HWND shown = Dialog(dialog.title);
    ASSERT_NE(shown, nullptr) << dialog.id;
    Press(shown, IDCANCEL);
    EXPECT_TRUE(Gone(shown)) << dialog.id;
  }
  EXPECT_EQ(ReadIni(Settings(), L"OPTIONS", L"SELECT_DRIVES"), L"0x80000") << "Cancel writes nothing";
  // OK in the location dialog queues the folder's refresh.
  Command(main, 32890);
  HWND location = Dialog(L"Update Location...");
  ASSERT_NE(location, nullptr);
  SetDlgItemTextW(location, 1056, L"T:\\apptest\\folder");
  Press(location, IDOK);
  EXPECT_TRUE(Gone(location));
  std::wstring status;
  EXPECT_TRUE(WaitUntil(
      [&] {
        status = StatusText(main);
        return status.rfind(L"[Refreshing Location T:\\apptest\\folder", 0) == 0 &&
               status.find(L"Finished") != std::wstring::npos;
      },
      kWaitMs))
      << std::string(status.begin(), status.end());
  // OK in the drive dialog writes the selection the way the program writes it, and the option.
  Command(main, 32846);
  HWND drives = Dialog(L"Select Drives to Search ...");
  ASSERT_NE(drives, nullptr);
  Press(drives, IDOK);
  EXPECT_TRUE(Gone(drives));
  EXPECT_TRUE(WaitUntil([] { return ReadIni(Settings(), L"OPTIONS", L"SELECT_DRIVES") == L"0X80000"; }, 5000));
  EXPECT_EQ(ReadIni(Settings(), L"OPTIONS", L"AutoSelRemovable"), L"0");

  // Styles: Vista, then Windows Theme twice; the checks follow and the style is written.
  const std::wstring skin = UserDataFolder() + L"\\skininfo.ini";
  SendMessageW(main, WM_COMMAND, 32867, 0);
  EXPECT_EQ(ReadIni(skin, L"SKIN_INFO", L"Style"), L"vista");
  EXPECT_TRUE(MenuState(main, 32867) & MF_CHECKED);
  EXPECT_FALSE(MenuState(main, 32866) & MF_CHECKED);
  for (int i = 0; i < 2; ++i) {
    SendMessageW(main, WM_COMMAND, 32866, 0);
    EXPECT_EQ(ReadIni(skin, L"SKIN_INFO", L"Style"), L"default");
    EXPECT_TRUE(MenuState(main, 32866) & MF_CHECKED);
    EXPECT_FALSE(MenuState(main, 32867) & MF_CHECKED);
  }
  ExpectCacheMenus(main, false);

  // Font: the system's font dialog; OK writes fontinfo.ini.
  const std::wstring fontFile = UserDataFolder() + L"\\fontinfo.ini";
  std::filesystem::remove(std::filesystem::path(fontFile));
  Command(main, 32857);
  HWND font = Dialog(L"Font");
  ASSERT_NE(font, nullptr);
  Press(font, IDOK);
  EXPECT_TRUE(Gone(font));
  EXPECT_TRUE(WaitUntil([&] { return FileExists(fontFile); }, 5000));

  // Cleaning the search history empties the list and the stored keys; the location list keeps its
  // built-in first item.
  ASSERT_EQ(SendMessageW(GetDlgItem(main, kPatternBox), CB_GETCOUNT, 0, 0), 1);
  SendMessageW(main, WM_COMMAND, 32829, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(main, kPatternBox), CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"PATTERN_0"), L"");
  EXPECT_EQ(ReadIni(Settings(), L"PATTERNHISTORY", L"hisnumber"), L"0");
  SendMessageW(main, WM_COMMAND, 32830, 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(main, kFolderBox), CB_GETCOUNT, 0, 0), 1);

  // Results: Select All selects every row; Copy Full Path puts them on the clipboard; the
  // context-menu key and a right click open the result menu.
  SendMessageW(GetDlgItem(main, kFolderBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"T:\\apptest\\"));
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(kFolderBox, CBN_EDITCHANGE), LPARAM(GetDlgItem(main, kFolderBox)));
  SendMessageW(GetDlgItem(main, kPatternBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"fo"));
  Press(main, kSearch);
  HWND list = GetDlgItem(main, kResults);
  ASSERT_TRUE(WaitUntil([&] { return StatusText(main).find(L"2 items found") != std::wstring::npos; }, kWaitMs))
      << std::string(StatusText(main).begin(), StatusText(main).end());
  SendMessageW(main, WM_COMMAND, 32853, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  SendMessageW(main, WM_COMMAND, 32809, 0);
  EXPECT_EQ(ClipboardText(), L"T:\\apptest\\folder\\found.txt\r\nT:\\apptest\\folder\r\n");
  // Refresh draws the same rows again; Copy puts the items themselves on the clipboard.
  SendMessageW(main, WM_COMMAND, 32786, 0);
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
  SendMessageW(main, WM_COMMAND, 32877, 0);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
  for (int way = 0; way < 3; ++way) {
    if (way < 2) {
      Command(main, way == 0 ? 32868 : 32869);  // the context-menu key, and Shift+F10
    } else {
      PostMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 30));
      PostMessageW(list, WM_RBUTTONUP, 0, MAKELPARAM(40, 30));
    }
    HWND menu = PopupMenuOf(program_.Id(), 5000);
    ASSERT_NE(menu, nullptr) << way;
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return PopupMenuOf(program_.Id(), 0) == nullptr; }, 5000));
  }

  // The cache file saved under a chosen name, then loaded back: the one replaced stays as ".bak".
  const std::wstring saved = UserDataFolder() + L"\\saved.db";
  for (auto [id, title] : {std::pair{kSaveCache, L"Save As"}, {kLoadCache, L"Open"}}) {
    Command(main, id);
    HWND picker = Dialog(title);
    ASSERT_NE(picker, nullptr) << id;
    for (int name : {0x47c, 0x480}) SetDlgItemTextW(picker, name, saved.c_str());
    Press(picker, IDOK);
    EXPECT_TRUE(Gone(picker)) << id;
  }
  EXPECT_TRUE(WaitUntil([&] { return FileExists(UserDataFolder() + L"\\default.db.bak"); }, 5000));
  EXPECT_TRUE(FileExists(saved));
  EXPECT_TRUE(FileExists(UserDataFolder() + L"\\default.db"));

  // Settings: warnings switched off on the general page apply at once; the rebuild asks nothing.
  Command(main, 32891);
  HWND settings = Dialog(L"Settings");
  ASSERT_NE(settings, nullptr);
  HWND warnings = nullptr;
  EnumChildWindows(
      settings,
      [](HWND child, LPARAM found) -> BOOL {
        if (GetDlgCtrlID(child) != kShowWarningsBox) return TRUE;
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&warnings));
  ASSERT_NE(warnings, nullptr);
  SendMessageW(warnings, BM_CLICK, 0, 0);
  Press(settings, IDOK);
  EXPECT_TRUE(Gone(settings));
  EXPECT_EQ(ReadIni(Settings(), L"OPTIONS", L"SHOWWARNINGS"), L"FALSE");
  Command(main, kUpdateCache);
  EXPECT_EQ(Box(L"Update Search Cache", 1500), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, kWaitMs));
  Close(main);
}

TEST_F(CommandsTest, TheUpdateCheckAnswersAsTheUserAskedOrNotAtAll) {
  PrepareDataFolders();
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  // A check the user starts shows the updater; the server (nothing listens) cannot be reached.
  SendMessageW(main, WM_COMMAND, 32855, 0);
  HWND updater = Dialog(kUpdaterTitle);
  if (updater && IsWindowVisible(updater)) {
    RedrawWindow(updater, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (IsWindowVisible(updater)) SaveScreenshot(updater, "commands_updater");
  }
  HWND box = Box(kUpdaterTitle);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), L"Can not connect to the server, please check your network connection.");
  PressOk(box);
  EXPECT_TRUE(Gone(box));
  EXPECT_FALSE(updater && IsWindowVisible(updater));

  // Without a shown updater only a version not announced before speaks.
  WriteUnicodeFile(UserDataFolder() + L"\\update.ini",
                   L"[Version]\r\nMain=9.9.9.9\r\nWhatsNew=Faster\r\nFreeUrl=http://127.0.0.1:9/d.htm\r\n");
  for (WPARAM code : {10, 12, 13}) PostMessageW(main, kUpdateResult, code, 0);
  EXPECT_EQ(Box(kUpdaterTitle, 2000), nullptr);
  PostMessageW(main, kUpdateResult, 11, 0);
  box = Box(kUpdaterTitle);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box),
            L"A new version(9.9.9.9) of Lumivex is available,would you like to download it now?\r\n\r\nWhat's "
            L"New?\r\nFaster\r\n\r\nClick Yes to download, click No to cancel.");
  Press(box, IDNO);
  EXPECT_TRUE(Gone(box));

  // Help > Content opens the help file beside the program in the system's help viewer.
  Command(main, 32788);
  HWND help = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (help = FindWindowW(L"HH Parent", nullptr)) != nullptr; }, kWaitMs));
  if (help) PostMessageW(help, WM_CLOSE, 0, 0);
  Close(main);
}

TEST_F(CommandsTest, AFullBuildIsAskedForPausedResumedRestartedAndStopped) {
  PrepareDataFolders();
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  ExpectCacheMenus(main, false);
  // Enough folders that a build on T: runs a while.
  for (int i = 0; i < 80; ++i)
    for (int j = 0; j < 80; ++j)
      std::filesystem::create_directories(std::string(kBigTree) + "\\" + std::to_string(i) + "\\" + std::to_string(j));

  // A complete cache: the question first; No leaves it.
  Command(main, kUpdateCache);
  HWND box = Box(L"Update Search Cache");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kRebuildQuestion);
  Press(box, IDNO);
  EXPECT_TRUE(Gone(box));
  ExpectCacheMenus(main, false);

  // Yes (from the tray's item) starts the build. Pause and Resume rename the item in both menus.
  Command(main, kTrayUpdate);
  box = Box(L"Update Search Cache");
  ASSERT_NE(box, nullptr);
  Press(box, IDYES);
  ASSERT_TRUE(WaitUntil([&] { return Grayed(main, kUpdateCache); }, 5000));
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);
  std::wstring status = StatusText(main);
  ASSERT_EQ(status, L"Caching is paused by user.");
  ExpectCacheMenus(main, true);
  ExpectPauseTexts(main, L"&Resume Updating");

  // A running build starts again without a question, unpaused.
  SendMessageW(main, WM_COMMAND, kUpdateCache, 0);
  ExpectPauseTexts(main, L"&Pause Updating");
  SendMessageW(main, WM_COMMAND, kTrayPause, 0);
  EXPECT_EQ(Box(L"Update Search Cache", 1500), nullptr);
  ExpectCacheMenus(main, true);
  ExpectPauseTexts(main, L"&Resume Updating");
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);
  ExpectPauseTexts(main, L"&Pause Updating");
  SendMessageW(main, WM_COMMAND, kPauseUpdating, 0);

  // Pause, then Stop: the build ends and the items are as without a build.
  SendMessageW(main, WM_COMMAND, kTrayStop, 0);
  EXPECT_EQ(StatusText(main), L"Caching is stopped by user.");
  ExpectCacheMenus(main, false);
  ExpectPauseTexts(main, L"&Pause Updating");
  EXPECT_EQ(ReadIni(UserDataFolder() + L"\\stateinfo.ini", L"STATEINFO", L"UpdateCacheExit"), L"FALSE");

  // Asked again, Yes: this build runs to its end.
  Command(main, kUpdateCache);
  box = Box(L"Update Search Cache");
  ASSERT_NE(box, nullptr);
  Press(box, IDYES);
  EXPECT_TRUE(WaitUntil([&] { return (status = StatusText(main)).rfind(L"[Caching is Finished]", 0) == 0; }, 120000))
      << std::string(status.begin(), status.end());
  EXPECT_TRUE(WaitUntil([&] { return !Grayed(main, kUpdateCache); }, 5000));
  ExpectCacheMenus(main, false);
  // Defrag compacts the file and records its size in MB again.
  const std::wstring state = UserDataFolder() + L"\\stateinfo.ini";
  WritePrivateProfileStringW(L"STATEINFO", L"CacheFileSize", L"999", state.c_str());
  SendMessageW(main, WM_COMMAND, kDefrag, 0);
  EXPECT_EQ(ReadIni(state, L"STATEINFO", L"CacheFileSize"), L"0");
  Close(main);

  // Without warnings the build starts at once and Exit asks nothing.
  PrepareDataFolders(L"SHOWWARNINGS=FALSE\r\n");
  main = Start();
  ASSERT_NE(main, nullptr);
  Command(main, kUpdateCache);
  EXPECT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) != 0; }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return StatusText(main).rfind(L"[Caching is Finished]", 0) == 0; }, 120000));
  EXPECT_EQ(Box(L"Update Search Cache", 0), nullptr);
  Command(main, 32771);
  EXPECT_EQ(program_.WaitForExit(kWaitMs), 0);
  std::error_code ignored;
  std::filesystem::remove_all(kBigTree, ignored);
}

}  // namespace
}  // namespace lvx::apptest
