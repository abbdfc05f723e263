// The filter pages and the quick-search toolbar, created hidden and driven by messages as a user
// would: clicks, typed text, combo selections, spin positions, date picks, the customise and add
// dialogs, with a hidden stand-in for the main window that records quick searches, a settings file
// of their own and the message box answered in place of the user. Checked: the page fields, the
// [TOOLBAR] section written and the questions asked; the pages and the customise dialog drawn into
// screenshots/.
// The rules without windows (filter codes, sizes, layout, icon paths, day bounds) are in
// options_logic_test.cpp.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "framework/common_controls.h"
#include "framework/message_box.h"
#include "framework/pickers.h"
#include "options_ui/add_button_dlg.h"
#include "options_ui/advanced_page.h"
#include "options_ui/edit_toolbar_dlg.h"
#include "options_ui/size_date_page.h"
#include "options_ui/toolbar_page.h"
#include "platform/local_time.h"
#include "resource.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace lvx::options {
namespace {

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
void Command(HWND dialog, int id, int code) {
  ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}
void Click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Type(HWND dialog, int id, const wchar_t* text) { ::SetDlgItemTextW(dialog, id, text); }
std::wstring Text(HWND dialog, int id) { return W(ItemText(dialog, id)); }
bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != 0; }
bool Shown(HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }
void PickDay(HWND dialog, int id, WORD year, WORD month, WORD day) {
  const SYSTEMTIME t = {year, month, 0, day, 13, 0, 0, 0};  // the time of day the picker holds does not matter
  HWND picker = ::GetDlgItem(dialog, id);
  ::SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  NMDATETIMECHANGE change = {{picker, UINT_PTR(id), UINT(DTN_DATETIMECHANGE)}, GDT_VALID, t};
  ::SendMessageW(dialog, WM_NOTIFY, WPARAM(id), reinterpret_cast<LPARAM>(&change));
}
int ListCount(HWND dialog) { return int(::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETCOUNT, 0, 0)); }
int ListSelection(HWND dialog) { return int(::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETCURSEL, 0, 0)); }
std::wstring ListRow(HWND dialog, int row) {
  std::wstring text(size_t(::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETTEXTLEN, WPARAM(row), 0)), L'\0');
  ::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETTEXT, WPARAM(row), LPARAM(text.data()));
  return text;
}
void SelectRow(HWND dialog, int row) {
  ::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_SETCURSEL, WPARAM(row), 0);
  Command(dialog, IDC_ETB_LIST, LBN_SELCHANGE);
}

// The main window's stand-in: records the quick searches it is sent.
class Host : public ui::CWindow {
 public:
  std::vector<WPARAM> quickSearches;

 protected:
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
    if (msg != WM_QUICK_SEARCH) return CWindow::WindowProc(msg, w, l, result);
    quickSearches.push_back(w);
    *result = 0;
    return true;
  }
};

class OptionsUiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(); }
  void SetUp() override {
    ASSERT_TRUE(host_.CreateFrame(0, L"host", WS_OVERLAPPEDWINDOW, RECT{0, 0, 700, 300}, nullptr));
    appDir_ = U16(LVX_APP_DIR);
    for (char16_t& c : appDir_) c = c == u'/' ? u'\\' : c;
    ui::SetMessageResponder([this](const ui::MessageRequest& r) { return asked_.push_back(r.text), IDOK; });
    // The program's default settings file with its five buttons; the second searches C:\Music.
    ASSERT_TRUE(shell::ReleaseResourceFile(settings_, shell::kResSettingsIni));
    shell::WriteIniString(u"TOOLBAR", u"SEARCHLOC_1", u"C:\\Music", settings_);
  }
  void TearDown() override {
    ui::SetMessageResponder(nullptr);
    ui::SetPickResponder(nullptr);
  }
  std::u16string Key(const std::u16string& key) { return shell::ReadIniString(u"TOOLBAR", key, settings_, u"(missing)"); }

  Host host_;
  test::TempDir dir_;
  std::u16string settings_ = dir_.Child("settings.ini"), appDir_;
  std::vector<std::wstring> asked_;
};

TEST_F(OptionsUiTest, AdvancedPageChoicesFollowTheBoxesAndTheCombo) {
  CAdvancedPage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  EXPECT_EQ(::SendDlgItemMessageW(p, IDC_ADV_SEARCH_FOR, CB_GETCURSEL, 0, 0), 0);
  uitest::Shoot(p, "options_advanced_page");
  const struct {
    int id, item;  // a check box to click, or the combo with the item to select
    int searchFor, noSubdirs, allowOneChar;
  } steps[] = {
      {IDC_ADV_NO_SUBDIRS, 0, 0, 1, 0},      {IDC_ADV_SEARCH_FOR, 2, 2, 1, 0}, {IDC_ADV_ALLOW_ONE_CHAR, 0, 2, 1, 1},
      {IDC_ADV_SEARCH_FOR, 1, 1, 1, 1},      {IDC_ADV_NO_SUBDIRS, 0, 1, 0, 1}, {IDC_ADV_SEARCH_FOR, 0, 0, 0, 1},
  };
  for (const auto& s : steps) {
    if (s.id == IDC_ADV_SEARCH_FOR) {
      ::SendDlgItemMessageW(p, s.id, CB_SETCURSEL, WPARAM(s.item), 0);
      Command(p, s.id, CBN_SELCHANGE);
    } else {
      Click(p, s.id);
    }
    const AdvancedChoices& c = page.Choices();
    EXPECT_EQ(std::tuple(c.searchFor, c.noSubdirs, c.allowOneChar),
              std::tuple(s.searchFor, s.noSubdirs, s.allowOneChar)) << "step " << (&s - steps);
  }
}

TEST_F(OptionsUiTest, SizeAndDateBoundsFollowTheBoxesSpinsAndPickers) {
  CSizeDatePage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  const SizeDateChoices& c = page.Choices();
  Click(p, IDC_SD_USE_MIN);  // the box holds 0: every item passes
  EXPECT_TRUE(Enabled(p, IDC_SD_MIN) && Enabled(p, IDC_SD_MIN_SPIN));
  EXPECT_EQ(std::tuple(c.useMinSize, c.minSizeKB), std::tuple(1, 0));
  // By the spin, then emptied (typing is the maximum's below); the numbers' rules have their own tests.
  ::SendDlgItemMessageW(p, IDC_SD_MIN_SPIN, UDM_SETPOS32, 0, 250);
  EXPECT_EQ(c.minSizeKB, 250);
  Type(p, IDC_SD_MIN, L"");
  EXPECT_EQ(c.minSizeKB, 0) << "an empty box";
  Click(p, IDC_SD_USE_MAX);
  Type(p, IDC_SD_MAX, L"5000");
  uitest::Shoot(p, "options_sizedate_page_sizes");
  EXPECT_EQ(std::tuple(c.useMaxSize, c.maxSizeKB), std::tuple(1, 5000));
  Click(p, IDC_SD_USE_MIN);  // off: the bound leaves the request and -1 stays
  Type(p, IDC_SD_MIN, L"7");  // an edit while off changes nothing
  EXPECT_FALSE(Enabled(p, IDC_SD_MIN));
  EXPECT_EQ(std::tuple(c.useMinSize, c.minSizeKB), std::tuple(0, -1));

  // A picked day becomes that local day's bounds, by the offset of that day (whose rules have their
  // own tests): a summer and a winter day, one of them in the other season from today.
  Click(p, IDC_SD_USE_FROM);
  Click(p, IDC_SD_USE_TO);
  EXPECT_TRUE(Enabled(p, IDC_SD_FROM) && Enabled(p, IDC_SD_TO));
  uitest::Shoot(p, "options_sizedate_page_dates");
  for (WORD month : {7, 1}) {
    PickDay(p, IDC_SD_FROM, 2026, month, 15);
    PickDay(p, IDC_SD_TO, 2026, month, 15);
    os::FileTime first, last;
    ASSERT_TRUE(os::LocalDayToUtc(2026, month, 15, false, &first) && os::LocalDayToUtc(2026, month, 15, true, &last));
    EXPECT_EQ(std::tuple(c.modifiedFrom.Value(), c.modifiedTo.Value()), std::tuple(first.Value(), last.Value())) << month;
  }
  Click(p, IDC_SD_USE_FROM);  // off: a new pick does not change the bound
  EXPECT_FALSE(Enabled(p, IDC_SD_FROM));
  const uint64_t kept = c.modifiedFrom.Value();
  PickDay(p, IDC_SD_FROM, 2026, 7, 1);
  EXPECT_EQ(std::tuple(c.useFrom, c.modifiedFrom.Value()), std::tuple(0, kept));
}

TEST_F(OptionsUiTest, ToolbarPageLaysOutButtonsAndSendsQuickSearches) {
  shell::WriteIniString(u"TOOLBAR", u"ICON_3", u".\\icons\\missing.ico", settings_);
  CToolbarPage page;
  page.SetFiles(settings_, appDir_);
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  const auto& buttons = page.Buttons();
  ASSERT_EQ(buttons.size(), 5u);
  EXPECT_TRUE(buttons[0].button->SmallIcon() && buttons[0].button->LargeIcon());
  EXPECT_EQ(buttons[3].button->SmallIcon(), nullptr) << "a missing file gives no icon";
  EXPECT_EQ(buttons[3].button->Text(), L"Pictures");

  // At 300 pixels four buttons show, the fifth is in the menu and "more" sits where the layout
  // (whose arithmetic has its own tests) puts it.
  ::MoveWindow(page.Handle(), 0, 0, 300, 70, FALSE);
  for (int n = 0; n < 5; ++n) EXPECT_EQ(Shown(buttons[size_t(n)].button->Handle()), n < 4) << n;
  EXPECT_EQ(buttons[4].button->RectInParent().left, 245);  // the layout rule for 300 pixels
  ui::CMenu menu(page.OverflowMenu(), false);
  EXPECT_EQ(std::tuple(menu.Count(), menu.Text(ID_TOOLBAR_OVERFLOW_FIRST + 4)), std::tuple(1, L"Clear"));
  menu.Detach();
  ASSERT_TRUE(Shown(page.MoreButton()));
  EXPECT_EQ(ui::CWindow::FromHandle(page.MoreButton())->RectInParent().left, 282);
  ::SendMessageW(buttons[0].button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // hover: the large icon
  uitest::Shoot(page.Handle(), "options_toolbar_page_300");

  // A click, an overflow item, a stale overflow item.
  ::SendMessageW(buttons[2].button->Handle(), BM_CLICK, 0, 0);
  ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(ID_TOOLBAR_OVERFLOW_FIRST + 4, 0), 0);
  ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(ID_TOOLBAR_OVERFLOW_FIRST + 9, 0), 0);
  EXPECT_EQ(host_.quickSearches, (std::vector<WPARAM>{2, 4}));
  EXPECT_TRUE(page.Record(5) == nullptr && page.Record(kNoButtonIndex) == nullptr);

  // Where the main window searches for a button (the program's own test runs both kinds).
  for (const char16_t* location : {u"  DEFAULT\t", u""}) EXPECT_EQ(QuickSearchLocation(location, u"D:\\Box"), u"D:\\Box");
  EXPECT_EQ(QuickSearchLocation(u"default", u"D:\\Box"), u"default");

  // No buttons at all: nothing shows, not even "more".
  shell::WriteIniString(u"TOOLBAR", u"tbnumber", u"0", settings_);
  page.LoadButtons();
  EXPECT_FALSE(Shown(page.MoreButton()));
}

// The add dialog, run modally from "Add" as a user would: a timer fills it in and presses "Add".
void CALLBACK FillAddDialog(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  HWND add = ::FindWindowW(nullptr, L"Add Toolbar Button");
  if (!add) return;
  EXPECT_EQ(std::tuple(Text(add, IDC_ATB_TEXT), Text(add, IDC_ATB_ACTION), Text(add, IDC_ATB_LOCATION)),
            std::tuple(L"NewBtn", L"*.mp3", L"DEFAULT"));
  Type(add, IDC_ATB_TEXT, L"Books");
  Type(add, IDC_ATB_ACTION, L"*.epub");
  Click(add, IDC_ATB_LOCATION_BROWSE);
  EXPECT_EQ(Text(add, IDC_ATB_PREVIEW), L"Books");
  Click(add, IDC_ATB_ADD);
}

// The customise dialog as a user drives it: edits, pickers, moves, "Add", then Save; reopened,
// deleting every button saves none; a save that cannot write tells and the dialog stays open.
TEST_F(OptionsUiTest, CustomiseEditsMovesAddsDeletesAndSavesButtons) {
  CEditToolbarDlg dialog(settings_, appDir_);
  ASSERT_TRUE(dialog.CreateModeless(host_.Handle()));
  HWND d = dialog.Handle();
  EXPECT_EQ(std::tuple(ListSelection(d), Text(d, IDC_ETB_TEXT), Text(d, IDC_ETB_PREVIEW)), std::tuple(0, L"Music", L"Music"));
  SelectRow(d, 1);
  EXPECT_EQ(std::tuple(Text(d, IDC_ETB_TEXT), Text(d, IDC_ETB_ACTION), Text(d, IDC_ETB_LOCATION)),
            std::tuple(L"Video", L"*.avi;*.rmvb", L"C:\\Music"));
  Type(d, IDC_ETB_TEXT, L"Films");
  Type(d, IDC_ETB_ACTION, L"*.mkv");
  EXPECT_EQ(std::tuple(ListRow(d, 1), ListSelection(d), Text(d, IDC_ETB_PREVIEW)), std::tuple(L"Films", 1, L"Films"));

  // Icon inside the program folder, chosen in mixed case; the location picker cancelled; in the add
  // dialog, a folder picked.
  std::vector<ui::PickRequest> picks;
  const std::wstring answers[] = {W(appDir_) + L"\\Icons\\PIC01.ico", L"", L"C:\\Books"};
  ui::SetPickResponder([&](const ui::PickRequest& r, ui::PickAnswer* a) {
    a->path = answers[picks.size() % 3];
    picks.push_back(r);
    return !a->path.empty();
  });
  Click(d, IDC_ETB_ICON_BROWSE);
  Click(d, IDC_ETB_LOCATION_BROWSE);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[0].filter + picks[0].defaultExt, L"Icon Files(*.ico)|*.ico|All Files (*.*)|*.*||*.ico");
  EXPECT_EQ(picks[1].title, L"Select Folder");
  EXPECT_NE(dialog.Buttons()[1].button->SmallIcon(), nullptr);
  uitest::Shoot(d, "options_customize_toolbar");

  // Up twice (the second does nothing at the top), down once: the order saved below.
  Click(d, IDC_ETB_UP);
  Click(d, IDC_ETB_UP);
  EXPECT_EQ(std::tuple(ListRow(d, 0), ListSelection(d)), std::tuple(L"Films", 0));
  Click(d, IDC_ETB_DOWN);

  ::SetTimer(nullptr, 0, 10, FillAddDialog);
  Click(d, IDC_ETB_ADD);
  ASSERT_EQ(ListCount(d), 6);
  EXPECT_EQ(std::tuple(ListRow(d, 5), ListSelection(d), Text(d, IDC_ETB_ACTION)),
            std::tuple(L"Books", 5, L"*.epub"));
  EXPECT_NE(dialog.Buttons().back().button->SmallIcon(), nullptr);

  Click(d, IDC_ETB_SAVE);
  EXPECT_EQ(dialog.Result(), IDOK);
  const char16_t* rows[] = {u".\\icons\\music01.ico|Music|*.mp3|DEFAULT", u".\\icons\\pic01.ico|Films|*.mkv|My Computer",
                            u".\\icons\\doc01.ico|Document|*.doc;*.xls;*.pdf|DEFAULT",
                            u".\\icons\\pic01.ico|Pictures|*.jpg;*.bmp|DEFAULT",
                            u".\\icons\\home01.ico|Clear|;|DEFAULT",
                            u".\\icons\\default.ico|Books|*.epub|C:\\Books"};
  EXPECT_EQ(Key(u"tbnumber"), u"6");
  for (int n = 0; n < 6; ++n) {
    std::u16string k = U16(std::to_wstring(n));
    EXPECT_EQ(Key(u"ICON_" + k) + u"|" + Key(u"ICONTEXT_" + k) + u"|" + Key(u"QUERYPATTER_" + k) + u"|" + Key(u"SEARCHLOC_" + k), rows[n]);
  }

  CEditToolbarDlg reopened(settings_, appDir_);
  ASSERT_TRUE(reopened.CreateModeless(host_.Handle()));
  d = reopened.Handle();
  SelectRow(d, 5);
  Click(d, IDC_ETB_DEL);  // the last row: the new last row is selected
  EXPECT_EQ(ListSelection(d), 4);
  SelectRow(d, 1);
  Click(d, IDC_ETB_DEL);  // a middle row: the row now in its place
  EXPECT_EQ(std::tuple(ListSelection(d), Text(d, IDC_ETB_TEXT)), std::tuple(1, L"Document"));
  while (ListCount(d) > 0) Click(d, IDC_ETB_DEL);
  EXPECT_EQ(std::tuple(Text(d, IDC_ETB_PREVIEW), Text(d, IDC_ETB_TEXT), Text(d, IDC_ETB_ACTION), Text(d, IDC_ETB_LOCATION)),
            std::tuple(L"TestBtn", L"TestBtn", L"*", L"DEFAULT"));
  Click(d, IDC_ETB_UP);  // nothing selected: nothing moves, nothing breaks
  Click(d, IDC_ETB_DEL);
  Click(d, IDC_ETB_SAVE);
  EXPECT_EQ(Key(u"tbnumber"), u"0");
  for (const char16_t* key : {u"ICON_0", u"ICONTEXT_0", u"QUERYPATTER_4", u"SEARCHLOC_4"}) EXPECT_EQ(Key(key), u"(missing)");

  CEditToolbarDlg unwritable(dir_.Child("missing\\settings.ini"), appDir_);
  ASSERT_TRUE(unwritable.CreateModeless(host_.Handle()));
  Click(unwritable.Handle(), IDC_ETB_SAVE);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_NE(asked_[0].find(L"could not be saved"), std::wstring::npos);
  EXPECT_NE(unwritable.Result(), IDOK);
}

}  // namespace
}  // namespace lvx::options
