// The search flow of lumivex.exe seen from outside: a first start and what it leaves, keystrokes,
// Enter, the Search, Browse and quick-search buttons, the outcome in the status line and the results
// list, the sort and refine mode, over a small tree of its own on T:; the orderly exit and the end
// of the Windows session. The list holds no rows of its own (owner data): its rows' names are asked
// for with the program's registered message "Lumivex.RowName".
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "app_driver.h"

namespace lvx::apptest {
namespace {

constexpr int kPattern = kPatternBox, kFolder = kFolderBox, kSearch = kSearchButton, kBrowse = 1015,
              kStatus = kStatusBox, kList = kResultsList, kSortTabs = 1042, kAllowOneChar = 1042;
constexpr WPARAM kRefineMode = 32874, kSortSize = 32778, kAccelSortName = 32858, kAccelUnsorted = 32863;
constexpr wchar_t kTree[] = L"T:\\sflow";
// Two quick searches: *.doc in the tree, "delta" in the location box's folder.
constexpr wchar_t kToolbar[] =
    L"[TOOLBAR]\r\ntbnumber=2\r\nICONTEXT_0=Docs\r\nQUERYPATTER_0=*.doc\r\nSEARCHLOC_0=T:\\sflow\r\n"
    L"ICONTEXT_1=Delta\r\nQUERYPATTER_1=delta\r\nSEARCHLOC_1=DEFAULT\r\n";

using Names = std::vector<std::wstring>;

// alpha.txt 3 KB, beta.txt 1 KB, gamma.doc 2 KB, sub\delta.txt 5 KB (a cached size is bytes / 1024 + 1).
void MakeTree() {
  std::error_code ignored;
  std::filesystem::remove_all(kTree, ignored);
  std::filesystem::create_directories(std::wstring(kTree) + L"\\sub");
  for (auto [name, bytes] : {std::pair{L"alpha.txt", 3000}, {L"beta.txt", 100}, {L"gamma.doc", 2000},
                             {L"sub\\delta.txt", 5000}})
    std::ofstream(std::filesystem::path(std::wstring(kTree) + L"\\" + name)) << std::string(size_t(bytes), 'x');
}

void SetText(HWND window, const std::wstring& text) {
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Pixels of the refine label's red (#C00000) in a rectangle of the screen.
int RedPixels(const RECT& r) {
  const uitest::Image image = ScreenPixels(r);
  return int(std::count_if(image.pixels.begin(), image.pixels.end(), [](uint32_t p) {
    return ((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80;
  }));
}

// "N items found (KB), in X.XXs" with the count and the KB (a regular expression).
bool IsFound(const std::wstring& status, int count, const std::wstring& kb) {
  return std::regex_match(status, std::wregex(L"^" + std::to_wstring(count) + L" items found \\(" + kb +
                                              L"KB\\), in \\d+\\.\\d\\ds$"));
}

class SearchFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FreshStart(kToolbar));
    MakeTree();
  }

  void TearDown() override {
    if (program_.Running() && main_) {
      EXPECT_EQ(program_.CloseAndWait(main_), 0);
    }
    RemoveRunValue();
    std::error_code ignored;
    std::filesystem::remove_all(kTree, ignored);
  }

  HWND Item(int id) const { return GetDlgItem(main_, id); }
  std::wstring Status() const { return WindowText(Item(kStatus)); }
  int Rows() const { return int(SendMessageW(Item(kList), LVM_GETITEMCOUNT, 0, 0)); }

  // Runs the trigger and waits for the outcome of the search it started; "-" when it started none.
  std::wstring Outcome(const std::function<void()>& trigger) {
    SetText(Item(kStatus), L"-");
    trigger();
    if (Status() == L"-") return L"-";
    WaitUntil([&] { return Status().find(L" items found (") != std::wstring::npos || Status()[0] == L' '; }, kWaitMs);
    return Status();
  }
  std::wstring Type(wchar_t c) {
    return Outcome([&] { SendMessageW(EditOf(main_, kPattern), WM_CHAR, c, 1); });
  }
  std::wstring ClickSearch() {
    return Outcome([&] { SendMessageW(main_, WM_COMMAND, MAKEWPARAM(kSearch, BN_CLICKED), LPARAM(Item(kSearch))); });
  }
  void Command(WPARAM id, WORD source = 0) { SendMessageW(main_, WM_COMMAND, MAKEWPARAM(id, source), 0); }

  // The rows' names in list order; sorted: in name order (the walk order is the disk's).
  Names RowNames(bool sorted = false) const {
    static const UINT message = RegisterWindowMessageW(L"Lumivex.RowName");
    Names names;
    for (int row = 0, rows = Rows(); row < rows; ++row) {
      ATOM atom = ATOM(SendMessageW(main_, message, WPARAM(row), 0));
      wchar_t name[256] = {};
      if (atom) GlobalGetAtomNameW(atom, name, 256);
      if (atom) GlobalDeleteAtom(atom);
      names.push_back(name);
    }
    if (sorted) std::sort(names.begin(), names.end());
    return names;
  }
  bool RowsBecome(const Names& wanted) {
    return WaitUntil([&] { return RowNames() == wanted; }, 5000);
  }
  // A first start: the main window, and the welcome it shows (owned by it) answered.
  void StartWelcomed(Program& program) {
    ASSERT_TRUE(program.Start());
    main_ = program.MainWindow();
    ASSERT_NE(main_, nullptr);
    HWND welcome = program.DialogWindow(L"Welcome to Lumivex");
    ASSERT_NE(welcome, nullptr);
    EXPECT_EQ(GetWindow(welcome, GW_OWNER), main_);
    Press(welcome, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(welcome); }, kWaitMs));
  }
  int SortTab() const { return int(SendMessageW(Item(kSortTabs), TCM_GETCURSEL, 0, 0)); }

  Program program_;
  HWND main_ = nullptr;
};

TEST_F(SearchFlowTest, AFirstStartSearchesSortsRefinesExitsInOrderAndASessionEndKeepsTheHistories) {
  {
    // C: as well: the prefix's system folders keep the build going for minutes; the exit stops it.
    WritePrivateProfileStringW(L"OPTIONS", L"SELECT_DRIVES", L"0X80004", SettingsFile().c_str());
    Program building;
    ASSERT_NO_FATAL_FAILURE(StartWelcomed(building));
    EXPECT_TRUE(WaitUntil([&] { return Status().rfind(L"[Caching Drive C ]", 0) == 0; }, kWaitMs)) << U8(Status());
    EXPECT_EQ(Rows(), 1) << "the cache-building row";
    // A search while the first build runs finds nothing, keeps the building row and asks nothing
    // (the builder's progress may overwrite its status line at once).
    SetText(Item(kPattern), L"zzqqxx");
    ClickSearch();
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(building.MessageBoxWindow(1000), nullptr);
    EXPECT_TRUE(SaveScreenshot(main_, "search_flow_cache_building"));
    SendMessageW(main_, WM_CLOSE, 0, 0);
    ASSERT_EQ(building.WaitForExit(kWaitMs), 0);
  }
  PrepareDataFolders(kToolbar);
  WriteUnicodeFile(CommonDataFolder() + L"\\User(3).session", L"");  // left by a crashed copy: no count
  // A first start of a T:-only selection: the welcome is answered and the first build ends.
  ASSERT_NO_FATAL_FAILURE(StartWelcomed(program_));
  ASSERT_TRUE(WaitUntil([&] { return Status().rfind(L"[Caching is Finished] ", 0) == 0; }, kWaitMs)) << U8(Status());
  EXPECT_NE(Status().find(L" items cached,  "), std::wstring::npos) << U8(Status());
  EXPECT_EQ(program_.MessageBoxWindow(0), nullptr) << "no abnormal-end question on a first start";
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_EQ(Rows(), 1) << "the cache-ready row";
  EXPECT_TRUE(SaveScreenshot(main_, "search_flow_cache_ready") && SaveScreenshot(main_, "app_main_window"));
  EXPECT_TRUE(FileExists(UserDataFolder() + L"\\default.db"));
  for (auto [key, value] : {std::pair{L"CacheFileVersion", L"1"}, {L"ProgramExit", L"FALSE"}, {L"FirstRun", L"TRUE"}})
    EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", key), value) << U8(key);
  EXPECT_EQ(SessionFiles(), Names{L"User.session"});
  const LRESULT rowsPerPage = SendMessageW(Item(kList), LVM_GETCOUNTPERPAGE, 0, 0);

  // The same start: the triggers and their outcomes, the sorts and refine mode, Browse, typing.
  struct Where {
    const wchar_t* folder;
    const wchar_t* pattern;
    std::wstring status;  // a regular expression
  } wheres[] = {
      {L"T:\\sflow\\missing", L"gamma.doc", L"^ \\[WARNING\\] : The search location is invalid!! Default to be My Computer! $"},
      {L"C:\\", L"*", L"^0 items found \\(0KB\\), in .*"},  // a drive that is not cached: no warning
      {L"T:\\sflow\\sub", L"*", L"^1 items found \\(5KB\\), in .*"},
  };
  for (const Where& w : wheres) {
    SetText(Item(kFolder), w.folder);
    SetText(Item(kPattern), w.pattern);
    std::wstring status = ClickSearch();
    EXPECT_TRUE(std::regex_match(status, std::wregex(w.status))) << U8(status);
  }
  EXPECT_EQ(RowNames(), Names{L"delta.txt"});

  SetText(Item(kPattern), L"zzqqxx");
  EXPECT_TRUE(IsFound(ClickSearch(), 0, L"0"));
  EXPECT_EQ(Rows(), 1) << "the nothing-found row";
  EXPECT_TRUE(SaveScreenshot(main_, "search_flow_nothing_found"));

  SetText(Item(kFolder), kTree);
  SetText(Item(kPattern), L"*.txt");
  // Enter released in the pattern box: a search, and both texts go into their histories. (Not
  // straight after the first build: a key that arrives while the window waits for the build thread
  // to end is dispatched without the window's key handling.)
  std::wstring outcome = Outcome([&] {
    PostMessageW(EditOf(main_, kPattern), WM_KEYUP, VK_RETURN, 0xC01C0001);
    WaitUntil([&] { return Status() != L"-"; }, kWaitMs);
  });
  EXPECT_TRUE(IsFound(outcome, 3, L"9")) << U8(outcome);
  EXPECT_EQ(Rows(), 3);
  const std::wstring settings = SettingsFile();
  EXPECT_EQ(ReadIni(settings, L"PATTERNHISTORY", L"PATTERN_0"), L"*.txt");
  EXPECT_EQ(ReadIni(settings, L"FOLDERHISTORY", L"PATTERN_0"), kTree);
  // The Search button added the earlier patterns to the list too: four, "*" once.
  EXPECT_EQ(SendMessageW(Item(kPattern), CB_GETCOUNT, 0, 0), 4) << "the drop-down list follows the history";
  EXPECT_EQ(WindowText(Item(kPattern)), L"*.txt");

  // Quick searches: the button's own location, or the box's for "DEFAULT"; the boxes keep their texts.
  SetText(Item(kFolder), L"T:\\sflow\\sub");
  SetText(Item(kPattern), L"kept");
  EXPECT_TRUE(IsFound(Outcome([&] { SendMessageW(main_, WM_APP + 5, 0, 0); }), 1, L"2"));
  EXPECT_EQ(RowNames(), Names{L"gamma.doc"});
  EXPECT_TRUE(IsFound(Outcome([&] { SendMessageW(main_, WM_APP + 5, 1, 0); }), 1, L"5"));
  EXPECT_EQ(Outcome([&] { SendMessageW(main_, WM_APP + 5, 10000, 0); }), L"-");
  EXPECT_EQ(WindowText(Item(kPattern)), L"kept");
  EXPECT_EQ(WindowText(Item(kFolder)), L"T:\\sflow\\sub");

  SetText(Item(kFolder), kTree);
  SetText(Item(kPattern), L"*.txt");
  ASSERT_TRUE(IsFound(ClickSearch(), 3, L"9"));

  // The Size button of the layout: its row lies just above the sort tabs.
  RECT tabs;
  GetWindowRect(Item(kSortTabs), &tabs);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&tabs), 2);
  const LPARAM sizeButton = MAKELPARAM(tabs.left + 305, tabs.top - 17);
  PostMessageW(main_, WM_LBUTTONDOWN, MK_LBUTTON, sizeButton);
  PostMessageW(main_, WM_LBUTTONUP, 0, sizeButton);
  EXPECT_TRUE(RowsBecome({L"delta.txt", L"alpha.txt", L"beta.txt"})) << "largest first";
  EXPECT_EQ(SortTab(), 3);
  // The sort commands of the View menu (source 0) and the accelerators (1): each picks its key's tab.
  struct Step {
    WPARAM command;
    WORD source;
    Names rows;  // empty: the rows' order is not checked
    int tab;
  } steps[] = {
      {kSortSize, 0, {L"beta.txt", L"alpha.txt", L"delta.txt"}, 3},       // the menu: same key flips
      {kAccelSortName, 1, {L"alpha.txt", L"beta.txt", L"delta.txt"}, 1},  // Alt+N: a new key, A to Z
      {kAccelSortName, 1, {L"delta.txt", L"beta.txt", L"alpha.txt"}, 1},
      {kAccelUnsorted, 1, {L"delta.txt", L"beta.txt", L"alpha.txt"}, 0},  // the order stays
      {32776, 0, {L"alpha.txt", L"beta.txt", L"delta.txt"}, 1},           // View > Sort > Name: A to Z
      {32777, 0, {}, 2}, {32779, 0, {}, 4}, {32782, 0, {}, 5}, {32859, 1, {}, 2}, {32861, 1, {}, 4},
      {32862, 1, {}, 5}, {32860, 1, {L"delta.txt", L"alpha.txt", L"beta.txt"}, 3},
  };
  for (const Step& s : steps) {
    Command(s.command, s.source);
    if (!s.rows.empty()) {
      EXPECT_EQ(RowNames(), s.rows) << s.command;
    }
    EXPECT_EQ(SortTab(), s.tab) << s.command;
  }
  EXPECT_TRUE(SaveScreenshot(main_, "search_flow_sorted_by_size"));

  // The sort tabs under the mouse: a new tab sorts by its key, a click on the selected tab flips it.
  HWND tabControl = Item(kSortTabs);
  auto click = [&](int x) {
    PostMessageW(tabControl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 8));
    PostMessageW(tabControl, WM_LBUTTONUP, 0, MAKELPARAM(x, 8));
  };
  int nameX = -1;
  for (int x = 4; x < 300 && nameX < 0; x += 10) {
    click(x);
    if (WaitUntil([&] { return SortTab() == 1; }, 300)) nameX = x;
  }
  ASSERT_GT(nameX, 0);
  EXPECT_TRUE(RowsBecome({L"alpha.txt", L"beta.txt", L"delta.txt"}));
  click(nameX);
  EXPECT_TRUE(RowsBecome({L"delta.txt", L"beta.txt", L"alpha.txt"})) << "the selected tab again flips";
  EXPECT_EQ(SortTab(), 1);
  // A finished search is sorted by the key; a one-character pattern leaves the walk order.
  SetText(Item(kPattern), L"*.TXT");
  ASSERT_TRUE(IsFound(ClickSearch(), 3, L"9"));
  EXPECT_EQ(RowNames(), (Names{L"delta.txt", L"beta.txt", L"alpha.txt"}));
  SetText(Item(kPattern), L"a");
  ClickSearch();
  EXPECT_EQ(SortTab(), 0);

  // Refine mode (Ctrl+R): the label shows, and typing narrows the last full search ("*.txt").
  SetText(Item(kPattern), L"*.txt");
  ASSERT_TRUE(IsFound(ClickSearch(), 3, L"9"));
  // The label is the window's only red.
  RECT label;
  GetWindowRect(main_, &label);
  EXPECT_EQ(RedPixels(label), 0);
  Command(kRefineMode, 1);
  EXPECT_TRUE(WaitUntil([&] { return RedPixels(label) > 20; }, 5000)) << "[Refine Mode is On]";
  EXPECT_TRUE(SaveScreenshot(main_, "search_flow_refine_mode"));
  SetText(Item(kPattern), L"");
  EXPECT_TRUE(IsFound(Type(L'd'), 1, L"5"));
  EXPECT_EQ(RowNames(), Names{L"delta.txt"}) << "gamma.doc is not in the base";
  Command(kRefineMode, 1);
  EXPECT_TRUE(WaitUntil([&] { return RedPixels(label) == 0; }, 5000));
  SetText(Item(kPattern), L"");
  EXPECT_EQ(Type(L'e'), L"-") << "refine off: a one-character pattern waits again";

  // Browse: the folder picker asks "Select Folder"; cancelled, the location is My Computer.
  PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kBrowse, BN_CLICKED), LPARAM(Item(kBrowse)));
  // Other owned windows (the list's tooltip) may show too: the picker is the one that asks.
  HWND picker = WaitForWindow(program_.Id(), L"#32770", [&](HWND h) {
    return GetWindow(h, GW_OWNER) == main_ && IsWindowVisible(h) &&
           ChildWhere(h, [](HWND c) { return WindowText(c) == L"Select Folder"; }) != nullptr;
  }, kWaitMs);
  ASSERT_NE(picker, nullptr);
  PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return WindowText(Item(kFolder)) == L"My Computer"; }, kWaitMs));

  // Typing searches from the second character of each alternative.
  SetText(Item(kFolder), kTree);
  SetText(Item(kPattern), L"");
  for (auto [c, rows] : {std::pair{L'b', 0}, {L'*', 1}, {L';', 1}, {L'g', 0}, {L'*', 2}}) {  // 0: no search
    const std::wstring outcome = Type(c);
    EXPECT_TRUE(rows ? IsFound(outcome, rows, L"\\d+") && Rows() == rows : outcome == L"-")
        << U8(WindowText(Item(kPattern))) << ": " << U8(outcome);
  }
  EXPECT_EQ(RowNames(true), (Names{L"beta.txt", L"gamma.doc"}));
  EXPECT_TRUE(SaveScreenshot(main_, "search_flow_results"));

  // One-character search ticked on the advanced page: "s" finds the folder sub.
  HWND allow = ChildWhere(main_, [](HWND h) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    return GetDlgCtrlID(h) == kAllowOneChar && lstrcmpiW(cls, L"Button") == 0;
  });
  ASSERT_NE(allow, nullptr);
  SendMessageW(allow, BM_CLICK, 0, 0);
  SetText(Item(kPattern), L"");
  EXPECT_TRUE(IsFound(Type(L's'), 1, L"5")) << "its size is the files below it";
  EXPECT_EQ(RowNames(), Names{L"sub"});

  // The orderly exit: the texts in the boxes go into the histories, the end is recorded, the session
  // file goes with its process.
  SetText(Item(kPattern), L"needle*.txt");
  ASSERT_EQ(program_.CloseAndWait(main_), 0);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE");
  EXPECT_EQ(ReadIni(settings, L"PATTERNHISTORY", L"PATTERN_0"), L"needle*.txt");
  EXPECT_TRUE(SessionFiles().empty());

  // A saved font of 40 pixels: the list's two-line rows grow.
  LOGFONTW font{};
  font.lfHeight = -40;
  const uint32_t faceLength = 6;
  std::ofstream fontFile(std::filesystem::path(UserDataFolder() + L"\\fontinfo.ini"), std::ios::binary);
  fontFile.write(reinterpret_cast<const char*>(&font), 92);
  fontFile.write(reinterpret_cast<const char*>(&faceLength), 4);
  fontFile.write(reinterpret_cast<const char*>(L"Tahoma"), 12);
  fontFile.close();
  // "/hide" with a further argument is no hidden start.
  Program again;
  ASSERT_TRUE(again.Start(L"/hide extra"));
  main_ = again.MainWindow();
  ASSERT_NE(main_, nullptr);
  EXPECT_EQ(again.DialogWindow(L"Welcome to Lumivex", false, 3000), nullptr) << "welcomed once";
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_LT(SendMessageW(Item(kList), LVM_GETCOUNTPERPAGE, 0, 0), rowsPerPage);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"FALSE");
  // The end of the Windows session records the end and takes the tray icon away (while the window
  // still exists: the shell drops a destroyed window's icons itself) without saving the histories.
  SetText(Item(kPattern), L"unsaved");
  EXPECT_EQ(SendMessageW(main_, WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(main_, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(ReadIni(StateFile(), L"STATEINFO", L"ProgramExit"), L"TRUE");
  EXPECT_FALSE(IsWindowVisible(main_));
  EXPECT_FALSE(TrayIconShown(main_, 0));
  EXPECT_EQ(ReadIni(settings, L"PATTERNHISTORY", L"PATTERN_0"), L"needle*.txt");
  // Windows ends the process; a later close request only ends the dialog.
  EXPECT_EQ(again.CloseAndWait(main_), 0);
}

}  // namespace
}  // namespace lvx::apptest
