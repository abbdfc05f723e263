// The dialogs created hidden and driven as a user drives them (clicks, typed text, list selections),
// with a temporary data folder; the questions asked, folders picked, addresses opened and settings
// written are checked. The dialogs' templates are drawn by the resource test into previews/dialogs.
#include <deque>
#include <map>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>

#include "framework/common_controls.h"
#include "framework/message_box.h"
#include "framework/pickers.h"
#include "options_ui/dialogs/info_dialogs.h"
#include "options_ui/dialogs/select_drives_dlg.h"
#include "options_ui/dialogs/settings_dialog.h"
#include "options_ui/dialogs/update_location_dlg.h"
#include "options_ui/dialogs/web_link.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "resource.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_checker.h"
#include "shell/version.h"
#include "support/temp_dir.h"
#include "version_info.h"

namespace lvx::dialogs {
namespace {

std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
void Click(const ui::CWindow& window, int id) { ::SendMessageW(window.Item(id), BM_CLICK, 0, 0); }
bool Checked(const ui::CWindow& window, int id) { return ::SendMessageW(window.Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
std::wstring ItemText(const ui::CWindow& window, int id) {
  wchar_t text[512] = {};
  ::GetDlgItemTextW(window.Handle(), id, text, 512);
  return text;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(shell::ReleaseDefaultSettingsIn(dir_.Path() + u"user", dir_.Path() + u"common"));
    ui::SetMessageResponder([this](const ui::MessageRequest& r) {
      asked_.push_back(r);
      return Take(answers_, IDOK);
    });
    ui::SetPickResponder([this](const ui::PickRequest& r, ui::PickAnswer* a) {
      picks_.push_back(r);
      a->path = Take(picked_, std::wstring());
      return !a->path.empty();
    });
    SetWebOpener([this](const std::wstring& address) { return opened_.push_back(address), true; });
  }
  void TearDown() override {
    ui::SetMessageResponder(nullptr);
    ui::SetPickResponder(nullptr);
    SetWebOpener(nullptr);
  }
  template <class T>
  static T Take(std::deque<T>& queue, T otherwise) {
    if (!queue.empty()) otherwise = queue.front(), queue.pop_front();
    return otherwise;
  }
  std::wstring Setting(const std::u16string& key) const {
    return W(shell::ReadIniString(u"OPTIONS", key, shell::Paths().settings, u"<none>"));
  }

  lvx::test::TempDir dir_;
  std::vector<ui::MessageRequest> asked_;
  std::deque<int> answers_;  // IDOK when empty
  std::vector<ui::PickRequest> picks_;
  std::deque<std::wstring> picked_;  // an empty path cancels
  std::vector<std::wstring> opened_;  // addresses handed to the shell
};

// ---- Drives ----

TEST_F(DialogTest, DrivesListFixedAndRemovableWithTypeLabelAndTickAsTheSystemReportsThem) {
  const std::map<wchar_t, std::pair<uint32_t, const wchar_t*>> kDrives = {{L'C', {DRIVE_FIXED, L"System"}},
      {L'D', {DRIVE_CDROM, L"Disc"}}, {L'E', {DRIVE_REMOVABLE, L""}}, {L'N', {DRIVE_REMOTE, L"Share"}},
      {L'R', {DRIVE_RAMDISK, L""}}, {L'X', {DRIVE_FIXED, L"Data"}}};
  auto find = [&](const std::wstring& root) { auto it = kDrives.find(root[0]); return it == kDrives.end() ? nullptr : &it->second; };
  DriveProbe probe{[&](const std::wstring& root) { return find(root) ? find(root)->first : uint32_t(DRIVE_NO_ROOT_DIR); },
                   [&](const std::wstring& root) { return std::wstring(find(root) ? find(root)->second : L""); }};
  const struct {
    const wchar_t *drive, *description;
    bool ticked;
  } kRows[] = {{L"C:    [Hard Disk]", L" System(C:)", true}, {L"E:    [Removable Disk]", L" (E:)", false},
               {L"X:    [Hard Disk]", L" Data(X:)", false}};
  // The caller reads the fields only after OK; Cancel is the program test's. The system's probe is
  // the program test's too: its drive dialog lists the tests' own drive T: ticked.
  CSelectDrivesDlg dialog;
  dialog.SetDriveProbe(probe);
  dialog.driveMask = 0x4 | 0x8 | (1u << 13);  // C:, and D: and N:, which are not listed
  dialog.autoRefreshRemovable = 1;
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  ui::CListView list;
  list.Attach(dialog.Item(IDC_DRIVES_LIST));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::tuple(list.ItemText(i, 0), list.ItemText(i, 1), list.IsCheckedItem(i)),
              std::tuple(kRows[i].drive, kRows[i].description, kRows[i].ticked));
  Click(dialog, IDC_DRIVES_AUTO_REMOVABLE);  // shown ticked, so the click clears it
  EXPECT_EQ(dialog.autoRefreshRemovable, 0);
  list.SetCheckedItem(0, false);
  list.SetCheckedItem(2, true);
  Click(dialog, IDC_DRIVES_OK);
  EXPECT_EQ(dialog.driveMask, 1u << 23);
}

// ---- Update location ----

TEST_F(DialogTest, UpdateLocationTakesAPickedOrTypedPathThatExists) {
  const std::wstring folder = W(dir_.Path()) + L"user";
  const struct {
    const char* name;
    std::wstring pick;     // "-": the picker is not used; empty: it is cancelled
    std::wstring typed;    // "-": nothing typed after the pick
    bool noSubdirs;
    std::wstring request;  // empty: "Invalid file path!" and the dialog stays
  } kCases[] = {
      {"picked", folder, L"-", false, L"#" + folder},
      {"typed", L"-", folder, true, L"@" + folder},
      {"typed with blanks", L"-", L"  " + folder + L"\t", false, L"#" + folder},
      {"typed file", L"-", folder + L"\\settings.ini", false, L"#" + folder + L"\\settings.ini"},
      {"picker cancelled", L"", L"-", false, L"#C:\\"},
      {"picked then typed over", folder, W(dir_.Path()) + L"missing", false, L""},
      {"relative", L"-", L"user", false, L""},
      {"drive-relative", L"-", L"C:windows", false, L""},
      {"empty", L"-", L"", false, L""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    asked_.clear();
    picks_.clear();
    CDlgUpdateLoc dialog;
    dialog.location = L"C:\\";
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    if (c.pick != L"-") {
      if (!c.pick.empty()) picked_ = {c.pick};
      Click(dialog, IDC_UPDLOC_BROWSE);
      ASSERT_EQ(picks_.size(), 1u);
      EXPECT_TRUE(picks_[0].kind == ui::PickKind::Folder && picks_[0].title == kPickFolderTitle);
    }
    if (c.typed != L"-") ::SetDlgItemTextW(dialog.Handle(), IDC_UPDLOC_LOCATION, c.typed.c_str());
    if (c.noSubdirs) Click(dialog, IDC_UPDLOC_NO_SUBDIRS);
    Click(dialog, IDOK);
    EXPECT_EQ(dialog.Result(), c.request.empty() ? 0 : IDOK);
    ASSERT_EQ(asked_.size(), c.request.empty() ? 1u : 0u);
    if (c.request.empty()) {
      EXPECT_TRUE(asked_[0].text == kInvalidPathMessage && (asked_[0].type & MB_TYPEMASK) == MB_OK);
    } else {
      EXPECT_EQ(dialog.RefreshRequest(), c.request);
    }
  }
}

// ---- Settings ----

TEST_F(DialogTest, SettingsPageShowsTheValuesCancelStoresNothingClicksAskAndOkStoresEverything) {
  const struct {
    bool autoStart, realtime, integrity, warnings;
    int checkUpdate, shown;  // the list's selection; 3 ("Never") clears the box and disables the list
  } kCases[] = {{true, true, true, true, 1, 1}, {false, true, false, true, 0, 0}, {true, false, true, false, 2, 2},
                {false, false, false, false, 3, 3}, {true, true, true, true, 7, 3}};
  for (const auto& v : kCases) {
    shell::COptionsManager manager;
    auto* group = new shell::CGeneralOptions;
    group->bAutoStart = v.autoStart, group->bRealtimeUpdate = v.realtime, group->bCheckIntegrity = v.integrity;
    group->bShowWarnings = v.warnings, group->nCheckUpdate = v.checkUpdate;
    manager.SetOptions(shell::OPTIONS_GENERAL, group, 0);
    CSettingsDialog dialog;
    dialog.SetOptionsManager(&manager);
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    CPageGeneral& page = dialog.General();
    EXPECT_TRUE(page.Style() & WS_VISIBLE) << "the page is shown in its tab";
    HWND interval = page.Item(IDC_GEN_UPDATE_INTERVAL);
    auto shown = std::tuple{Checked(page, IDC_GEN_AUTOSTART), Checked(page, IDC_GEN_REALTIME),
                            Checked(page, IDC_GEN_CHECK_INTEGRITY), Checked(page, IDC_GEN_SHOW_WARNINGS),
                            Checked(page, IDC_GEN_CHECK_UPDATES), int(::SendMessageW(interval, CB_GETCURSEL, 0, 0)),
                            ::IsWindowEnabled(interval) != 0};
    EXPECT_EQ(shown, std::tuple(v.autoStart, v.realtime, v.integrity, v.warnings, v.shown != 3, v.shown, v.shown != 3));
    Click(page, IDC_GEN_CHECK_INTEGRITY);
    Click(dialog, IDCANCEL);
    EXPECT_EQ(Setting(u"CHECKINTEGRITY"), L"<none>");
    EXPECT_EQ(static_cast<shell::CGeneralOptions*>(manager.GetOptions(shell::OPTIONS_GENERAL))->bCheckIntegrity, v.integrity);
  }
  // Over the stored settings: the clicks ask where they must, and OK stores everything.
  const struct {
    int control, answer;  // answer 0: no question
    bool boxAfter;
    const wchar_t* question;
  } kSteps[] = {
      {IDC_GEN_AUTOSTART, IDNO, true, kNoAutoStartQuestion},  // No undoes the click
      {IDC_GEN_REALTIME, IDNO, true, kStopRealtimeQuestion},
      {IDC_GEN_REALTIME, IDYES, false, kStopRealtimeQuestion},
      {IDC_GEN_REALTIME, 0, true, nullptr},  // ticking again asks nothing
      {IDC_GEN_CHECK_INTEGRITY, 0, false, nullptr},
      {IDC_GEN_SHOW_WARNINGS, 0, false, nullptr},
      {IDC_GEN_AUTOSTART, IDYES, false, kNoAutoStartQuestion},
  };
  shell::COptionsManager manager;
  manager.LoadAll();
  CSettingsDialog dialog;
  dialog.SetOptionsManager(&manager);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  CPageGeneral& page = dialog.General();
  for (const auto& s : kSteps) {
    asked_.clear();
    if (s.answer) answers_ = {s.answer};
    Click(page, s.control);
    EXPECT_EQ(Checked(page, s.control), s.boxAfter) << s.control;
    ASSERT_EQ(asked_.size(), s.question ? 1u : 0u) << s.control;
    if (s.question) {
      EXPECT_TRUE(asked_[0].text == s.question && asked_[0].caption == L"Lumivex" &&
                  asked_[0].type == UINT(MB_YESNO | MB_ICONEXCLAMATION));
    }
  }
  EXPECT_TRUE(!page.bAutoStart && page.bRealtimeUpdate);

  // "Never" clears the box and disables the list; ticking the box again picks "Every Week".
  HWND interval = page.Item(IDC_GEN_UPDATE_INTERVAL);
  auto choose = [&](int index) {
    ::SendMessageW(interval, CB_SETCURSEL, WPARAM(index), 0);
    ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(IDC_GEN_UPDATE_INTERVAL, CBN_SELCHANGE), LPARAM(interval));
  };
  choose(3);
  EXPECT_FALSE(Checked(page, IDC_GEN_CHECK_UPDATES) || ::IsWindowEnabled(interval));
  Click(page, IDC_GEN_CHECK_UPDATES);
  EXPECT_TRUE(::SendMessageW(interval, CB_GETCURSEL, 0, 0) == 1 && ::IsWindowEnabled(interval));
  choose(2);

  // Enter and Escape inside the page stay there: nothing is stored by them.
  for (auto [message, key] : {std::pair{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, VK_RETURN}, {WM_KEYDOWN, VK_ESCAPE}}) {
    MSG msg = {page.Item(IDC_GEN_SHOW_WARNINGS), UINT(message), WPARAM(key), 0, 0, {}};
    EXPECT_TRUE(ui::RoutePreTranslate(&msg));
  }
  EXPECT_EQ(Setting(u"AUTOSTART"), L"<none>");

  Click(dialog, IDOK);  // the group's own file format is the settings store's test
  EXPECT_EQ(std::tuple(dialog.Result(), Setting(u"AUTOSTART"), Setting(u"CHECKUPDATE")), std::tuple(IDOK, L"FALSE", L"2"));
  auto* stored = static_cast<shell::CGeneralOptions*>(manager.GetOptions(shell::OPTIONS_GENERAL));
  EXPECT_TRUE(!stored->bAutoStart && !stored->bCheckIntegrity && !stored->bShowWarnings && stored->nCheckUpdate == 2);
}

// ---- Update progress ----

TEST_F(DialogTest, UpdaterMovesTenATickUpToNinetyAndCancelForgetsTheCheck) {
  struct NoSink : shell::IUpdateResultSink {
    void PostUpdateResult(uint32_t) override {}
  };
  shell::CUpdateChecker checker;
  checker.SetFiles({dir_.Path() + u"tmpupdate.ini", dir_.Path() + u"update.ini", dir_.Path() + u"installinfo.ini"});
  ASSERT_TRUE(checker.StartUpdateThread(std::make_shared<NoSink>(), u"http://127.0.0.1:9/check"));
  CDialogUpdater dialog;
  dialog.SetChecker(&checker);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  EXPECT_TRUE(checker.IsManual()) << "the check is marked as shown";
  for (int tick = 0; tick <= 12; ++tick) {
    EXPECT_EQ(dialog.Position(), std::min(tick * 10, 90));
    dialog.Send(WM_TIMER, kProgressTimer);
  }
  EXPECT_FALSE(::KillTimer(dialog.Handle(), kProgressTimer)) << "the timer stopped at 90";
  dialog.Begin();
  EXPECT_EQ(dialog.Position(), 0);
  Click(dialog, IDCANCEL);
  EXPECT_FALSE(checker.IsManual());
  EXPECT_FALSE(::KillTimer(dialog.Handle(), kProgressTimer)) << "Cancel stopped the timer";
  EXPECT_TRUE(checker.StopUpdateThread());
}

// ---- Welcome, about, and the addresses handed to the shell ----

// Which addresses count as web pages is the update rules' (tested natively); here, that the opener,
// the welcome and the about links apply it.
TEST_F(DialogTest, OnlyWebAddressesAreOpenedAndTheAboutBoxesShowTheVersion) {
  for (auto [address, web] : {std::pair{L"HTTPS://example.org/", true}, {L"file:///C:/Windows/notepad.exe", false}}) {
    SCOPED_TRACE(web);
    opened_.clear();
    EXPECT_EQ(OpenWebAddress(nullptr, address), web);
    EXPECT_EQ(opened_.size(), web ? 1u : 0u);
    // An address from settings.ini that is not a web page is ignored.
    ASSERT_TRUE(shell::WriteIniString(u"OPTIONS", u"HOMEPAGE_URL", U(address), shell::Paths().settings));
    const std::wstring expected = web ? address : L"" LVX_HOMEPAGE_URL;
    CWelcomeDlg welcome;
    CMyAboutDlg about;
    ASSERT_TRUE(welcome.CreateModeless(nullptr) && about.CreateModeless(nullptr));
    EXPECT_EQ(ItemText(about, IDC_ABOUT_VERSION), std::wstring(L"" LVX_ABOUT_VERSION_TEXT));
    for (ui::CWindow* box : {static_cast<ui::CWindow*>(&welcome), static_cast<ui::CWindow*>(&about)}) {
      opened_.clear();
      EXPECT_EQ(ItemText(*box, IDC_WEB_LINK), expected);
      ::SendMessageW(box->Item(IDC_WEB_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      ::SendMessageW(box->Item(IDC_WEB_LINK), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
      EXPECT_EQ(opened_, std::vector<std::wstring>{expected});
    }
  }
  // Where the link shows the hand: strictly inside. Both about boxes show the version.
  EXPECT_EQ(AboutVersionLine(u"1.6.0.7"), L"Lumivex Version 1.6.0 build 7");
  const RECT r = {10, 20, 50, 30};
  for (auto [x, y, inside] : {std::tuple{30, 25, true}, {11, 21, true}, {10, 25, false}, {49, 22, false}, {30, 30, false}})
    EXPECT_EQ(IsStrictlyInside(r, POINT{x, y}), inside) << x << "," << y;
  CMyAboutDlg box(IDD_ABOUTBOX);  // the system menu's, without a link
  ASSERT_TRUE(box.CreateModeless(nullptr));
  EXPECT_EQ(ItemText(box, IDC_ABOUT_VERSION), std::wstring(L"" LVX_ABOUT_VERSION_TEXT));
}

}  // namespace
}  // namespace lvx::dialogs
