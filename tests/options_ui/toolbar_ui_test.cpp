// The quick-search toolbar: the page's layout at the widths that matter, its messages to the main
// window, the customise and add dialogs driven as a user would, and the [TOOLBAR] section they write.
#include <gtest/gtest.h>

#include <tuple>

#include "options_test_support.h"
#include "options_ui/add_button_dlg.h"
#include "options_ui/edit_toolbar_dlg.h"
#include "resource.h"
#include "skin/skin.h"

namespace lvx::options {
namespace {

bool Shown(HWND window) { return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

std::wstring ListRow(HWND dialog, int row) {
  ui::CListBox list;
  list.Attach(::GetDlgItem(dialog, IDC_ETB_LIST));
  std::wstring text = list.ItemText(row);
  list.Detach();
  return text;
}
int ListCount(HWND dialog) { return int(::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETCOUNT, 0, 0)); }
int ListSelection(HWND dialog) { return int(::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_GETCURSEL, 0, 0)); }
void SelectRow(HWND dialog, int row) {
  ::SendDlgItemMessageW(dialog, IDC_ETB_LIST, LB_SETCURSEL, WPARAM(row), 0);
  Command(dialog, IDC_ETB_LIST, LBN_SELCHANGE);
}
std::wstring Text(HWND dialog, int id) { return W(ItemText(dialog, id)); }

TEST_F(OptionsUiTest, ToolbarPageLaysOutButtonsAndSendsQuickSearches) {
  WriteDefaultToolbar();
  shell::WriteIniString(u"TOOLBAR", u"ICON_3", u".\\icons\\missing.ico", settings_);
  CToolbarPage page;
  page.SetFiles(settings_, appDir_);
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  const auto& buttons = page.Buttons();
  ASSERT_EQ(buttons.size(), 5u);
  EXPECT_NE(buttons[0].button->SmallIcon(), nullptr);
  EXPECT_NE(buttons[0].button->LargeIcon(), nullptr);
  EXPECT_EQ(buttons[3].button->SmallIcon(), nullptr) << "a missing file gives no icon";
  EXPECT_EQ(buttons[3].button->Text(), L"Pictures");

  // At 300 pixels (the arithmetic has its own tests) four buttons show, the fifth is in the menu
  // and "more" sits at the right edge.
  ::MoveWindow(page.Handle(), 0, 0, 300, 70, FALSE);
  for (int n = 0; n < 5; ++n) {
    RECT r = buttons[size_t(n)].button->RectInParent();
    EXPECT_EQ(Shown(buttons[size_t(n)].button->Handle()), n < 4) << n;
    EXPECT_EQ(std::make_tuple(r.left, r.top, r.right - r.left), std::make_tuple(5 + 60 * n, 5, 60)) << n;
  }
  ui::CMenu menu(page.OverflowMenu(), false);
  EXPECT_EQ(menu.Count(), 1);
  EXPECT_EQ(menu.Text(ID_TOOLBAR_OVERFLOW_FIRST + 4), L"Clear");
  menu.Detach();
  ASSERT_TRUE(Shown(page.MoreButton()));
  RECT m = ui::CWindow::FromHandle(page.MoreButton())->RectInParent();
  EXPECT_EQ(std::make_tuple(m.left, m.right - m.left, m.bottom - m.top), std::make_tuple(282, 18, 20));
  ::SendMessageW(buttons[0].button->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // hover: the large icon
  Shoot(page.Handle(), "options_toolbar_page_300");

  // A click, an overflow item, a stale overflow item.
  ::SendMessageW(buttons[2].button->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(LastClickedButton(), 2);
  ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(ID_TOOLBAR_OVERFLOW_FIRST + 4, 0), 0);
  ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(ID_TOOLBAR_OVERFLOW_FIRST + 9, 0), 0);
  EXPECT_EQ(host_.quickSearches, (std::vector<WPARAM>{2, 4}));
  EXPECT_EQ(page.Record(4)->pattern, u";");
  EXPECT_EQ(page.Record(5), nullptr);
  EXPECT_EQ(page.Record(kNoButtonIndex), nullptr);

  // Where the main window searches for a button.
  EXPECT_EQ(QuickSearchLocation(buttons[1].location, u"D:\\Box"), u"C:\\Music");
  for (const char16_t* location : {u"DEFAULT", u"  DEFAULT\t", u""}) EXPECT_EQ(QuickSearchLocation(location, u"D:\\Box"), u"D:\\Box");
  EXPECT_EQ(QuickSearchLocation(u"default", u"D:\\Box"), u"default");

  // No buttons at all: nothing shows, not even "more".
  shell::WriteIniString(u"TOOLBAR", u"tbnumber", u"0", settings_);
  page.LoadButtons();
  EXPECT_TRUE(page.Buttons().empty());
  EXPECT_FALSE(Shown(page.MoreButton()));
}

TEST_F(OptionsUiTest, CustomiseEditsMovesAndSavesButtons) {
  WriteDefaultToolbar();
  CEditToolbarDlg dialog(settings_, appDir_);
  ASSERT_TRUE(dialog.CreateModeless(host_.Handle()));
  HWND d = dialog.Handle();
  ASSERT_EQ(ListCount(d), 5);
  EXPECT_EQ(ListSelection(d), 0);
  EXPECT_EQ(Text(d, IDC_ETB_TEXT), L"Music");
  EXPECT_EQ(Text(d, IDC_ETB_PREVIEW), L"Music");

  SelectRow(d, 1);
  EXPECT_EQ(std::tuple(Text(d, IDC_ETB_TEXT), Text(d, IDC_ETB_ACTION), Text(d, IDC_ETB_LOCATION)),
            std::tuple(L"Video", L"*.avi;*.rmvb", L"C:\\Music"));
  Type(d, IDC_ETB_TEXT, L"Films");
  Type(d, IDC_ETB_ACTION, L"*.mkv");
  EXPECT_EQ(ListRow(d, 1), L"Films");
  EXPECT_EQ(ListSelection(d), 1);
  EXPECT_EQ(Text(d, IDC_ETB_PREVIEW), L"Films");

  // Icon inside the program folder, chosen in mixed case; the location picker cancelled.
  std::vector<ui::PickRequest> picks;
  std::wstring iconChoice = W(appDir_) + L"\\Icons\\PIC01.ico";
  ui::SetPickResponder([&](const ui::PickRequest& r, ui::PickAnswer* a) {
    picks.push_back(r);
    if (r.kind != ui::PickKind::OpenFile) return false;
    a->path = iconChoice;
    return true;
  });
  Click(d, IDC_ETB_ICON_BROWSE);
  Click(d, IDC_ETB_LOCATION_BROWSE);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[0].filter + picks[0].defaultExt, L"Icon Files(*.ico)|*.ico|All Files (*.*)|*.*||*.ico");
  EXPECT_EQ(picks[1].title, L"Select Folder");
  EXPECT_EQ(Text(d, IDC_ETB_LOCATION), L"My Computer");
  EXPECT_NE(dialog.Buttons()[1].button->SmallIcon(), nullptr);

  // Up twice (the second does nothing at the top), down once.
  Click(d, IDC_ETB_UP);
  Click(d, IDC_ETB_UP);
  EXPECT_EQ(ListRow(d, 0), L"Films");
  EXPECT_EQ(ListSelection(d), 0);
  Click(d, IDC_ETB_DOWN);
  EXPECT_EQ(ListRow(d, 1), L"Films");
  EXPECT_EQ(ListRow(d, 0), L"Music");

  Click(d, IDC_ETB_SAVE);
  EXPECT_EQ(dialog.Result(), IDOK);
  EXPECT_TRUE(asked_.empty());
  struct Row {
    const char16_t *icon, *text, *pattern, *location;
  } rows[] = {{u".\\icons\\music01.ico", u"Music", u"*.mp3", u"DEFAULT"},
              {u".\\icons\\pic01.ico", u"Films", u"*.mkv", u"My Computer"},
              {u".\\icons\\doc01.ico", u"Document", u"*.doc;*.xls;*.pdf", u"DEFAULT"},
              {u".\\icons\\pic01.ico", u"Pictures", u"*.jpg;*.bmp", u"DEFAULT"},
              {u".\\icons\\home01.ico", u"Clear", u";", u"DEFAULT"}};
  EXPECT_EQ(Key(u"tbnumber"), u"5");
  for (int n = 0; n < 5; ++n) {
    std::u16string k = U16(std::to_wstring(n)), r = rows[n].icon + (u"|" + std::u16string(rows[n].text)) + u"|" + rows[n].pattern + u"|" + rows[n].location;
    EXPECT_EQ(Key(u"ICON_" + k) + u"|" + Key(u"ICONTEXT_" + k) + u"|" + Key(u"QUERYPATTER_" + k) + u"|" + Key(u"SEARCHLOC_" + k), r) << n;
  }
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

// "Add" appends a button; deleting every button saves none; a save that cannot write tells and the
// dialog stays open.
TEST_F(OptionsUiTest, AddAppendsDeleteEmptiesAndAFailedSaveTells) {
  WriteDefaultToolbar();
  CEditToolbarDlg dialog(settings_, appDir_);
  ASSERT_TRUE(dialog.CreateModeless(host_.Handle()));
  HWND d = dialog.Handle();
  ui::SetPickResponder([](const ui::PickRequest& r, ui::PickAnswer* a) {
    a->path = L"C:\\Books";
    return r.kind == ui::PickKind::Folder;
  });
  ::SetTimer(nullptr, 0, 10, FillAddDialog);
  Click(d, IDC_ETB_ADD);
  ASSERT_EQ(ListCount(d), 6);
  EXPECT_EQ(ListRow(d, 5), L"Books");
  EXPECT_EQ(ListSelection(d), 5);
  const _TBBTN& added = dialog.Buttons().back();
  EXPECT_EQ(std::tuple(added.pattern, added.location, added.iconPath),
            std::tuple(u"*.epub", u"C:\\Books", u".\\icons\\default.ico"));
  EXPECT_NE(added.button->SmallIcon(), nullptr);
  EXPECT_EQ(Text(d, IDC_ETB_ACTION), L"*.epub");

  SelectRow(d, 5);
  Click(d, IDC_ETB_DEL);  // the last row: the new last row is selected
  EXPECT_EQ(ListSelection(d), 4);
  SelectRow(d, 1);
  Click(d, IDC_ETB_DEL);  // a middle row: the row now in its place
  EXPECT_EQ(ListSelection(d), 1);
  EXPECT_EQ(Text(d, IDC_ETB_TEXT), L"Document");
  while (ListCount(d) > 0) Click(d, IDC_ETB_DEL);
  EXPECT_TRUE(dialog.Buttons().empty());
  EXPECT_EQ(std::tuple(Text(d, IDC_ETB_PREVIEW), Text(d, IDC_ETB_TEXT), Text(d, IDC_ETB_ACTION),
                       Text(d, IDC_ETB_LOCATION)), std::tuple(L"TestBtn", L"TestBtn", L"*", L"DEFAULT"));
  Click(d, IDC_ETB_UP);  // nothing selected: nothing moves, nothing breaks
  Click(d, IDC_ETB_DEL);
  Click(d, IDC_ETB_SAVE);
  EXPECT_EQ(Key(u"tbnumber"), u"0");
  for (const char16_t* key : {u"ICON_0", u"ICONTEXT_0", u"QUERYPATTER_4", u"SEARCHLOC_4"}) EXPECT_EQ(Key(key), u"(missing)");

  CEditToolbarDlg unwritable((dir_ / "missing" / "settings.ini").u16string(), appDir_);
  ASSERT_TRUE(unwritable.CreateModeless(host_.Handle()));
  Click(unwritable.Handle(), IDC_ETB_SAVE);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_NE(asked_[0].find(L"could not be saved"), std::wstring::npos);
  EXPECT_NE(unwritable.Result(), IDOK);
}

TEST_F(OptionsUiTest, DialogsDrawnPlainAndSkinned) {
  WriteDefaultToolbar();
  for (bool skinned : {false, true}) {
    if (skinned) ASSERT_TRUE(skin::SkinAttach());
    const std::string look = skinned ? "_skinned" : "_plain";
    CAddTBButtonDlg add(appDir_);
    ASSERT_TRUE(add.CreateModeless(host_.Handle()));
    Type(add.Handle(), IDC_ATB_TEXT, L"Songs");
    Shoot(add.Handle(), "options_add_button" + look);
    CEditToolbarDlg edit(settings_, appDir_);
    ASSERT_TRUE(edit.CreateModeless(host_.Handle()));
    Shoot(edit.Handle(), "options_customize_toolbar" + look);
  }
  skin::SkinDetach();
}

}  // namespace
}  // namespace lvx::options
