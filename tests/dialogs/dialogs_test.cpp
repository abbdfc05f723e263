// The dialogs created hidden and driven as a user drives them (clicks, typed text, list selections),
// with a temporary data folder; the questions asked, folders picked, addresses opened and settings
// written are checked. Each dialog is also drawn, plain and skinned, into build/<preset>/screenshots.
#include <deque>
#include <functional>
#include <map>
#include <tuple>
#include <memory>

#include <gtest/gtest.h>

#include "framework/common_controls.h"
#include "framework/message_box.h"
#include "framework/pickers.h"
#include "options_ui/dialogs/info_dialogs.h"
#include "options_ui/dialogs/select_drives_dlg.h"
#include "options_ui/dialogs/settings_dialog.h"
#include "options_ui/dialogs/update_location_dlg.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "resource.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_checker.h"
#include "shell/version.h"
#include "skin/skin.h"
#include "support/temp_dir.h"
#include "ui_base/ui_test_support.h"
#include "version_info.h"

namespace lvx::dialogs {
namespace {

std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
void Click(const ui::CWindow& window, int id) { ::SendMessageW(window.Item(id), BM_CLICK, 0, 0); }
bool Checked(const ui::CWindow& window, int id) { return ::SendMessageW(window.Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
std::wstring ItemText(const ui::CWindow& window, int id) {
  ui::CWindow item;
  item.Attach(window.Item(id));
  return item.Text();
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
  std::wstring Folder() const { return W(dir_.Path()); }

  lvx::test::TempDir dir_;
  std::vector<ui::MessageRequest> asked_;
  std::deque<int> answers_;  // IDOK when empty
  std::vector<ui::PickRequest> picks_;
  std::deque<std::wstring> picked_;  // an empty path cancels
  std::vector<std::wstring> opened_;  // addresses handed to the shell
};

// ---- Drives ----

TEST_F(DialogTest, DrivesListFixedAndRemovableWithTypeLabelAndTick) {
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
  for (int ending : {IDC_DRIVES_OK, IDC_DRIVES_CANCEL, 0}) {
    CSelectDrivesDlg dialog;
    dialog.SetDriveProbe(probe);
    dialog.driveMask = 0x4 | 0x8 | (1u << 13);  // C:, and D: and N:, which are not listed
    dialog.autoRefreshRemovable = 1;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    ui::CListView list;
    list.Attach(dialog.Item(IDC_DRIVES_LIST));
    ASSERT_EQ(list.Count(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(list.ItemText(i, 0), kRows[i].drive);
      EXPECT_EQ(list.ItemText(i, 1), kRows[i].description);
      EXPECT_EQ(list.IsCheckedItem(i), kRows[i].ticked) << i;
    }
    EXPECT_TRUE(Checked(dialog, IDC_DRIVES_AUTO_REMOVABLE));
    Click(dialog, IDC_DRIVES_AUTO_REMOVABLE);
    EXPECT_EQ(dialog.autoRefreshRemovable, 0);
    list.SetCheckedItem(2, true);
    if (ending == 0) {  // every drive unticked
      for (int i = 0; i < 3; ++i) list.SetCheckedItem(i, false);
      ending = IDC_DRIVES_OK;
    }
    bool none = !list.IsCheckedItem(0);
    Click(dialog, ending);
    EXPECT_EQ(dialog.Result(), ending == IDC_DRIVES_OK ? IDOK : IDCANCEL);
    EXPECT_EQ(dialog.driveMask, ending == IDC_DRIVES_CANCEL ? 0x4 | 0x8 | (1u << 13) : none ? 0 : 0x4u | (1u << 23));
  }
}

// The prefix has C: (drive_c), Z: (the root) and the tests' own T:, all fixed.
TEST_F(DialogTest, DrivesOfWineAreListedAsTheSystemReportsThem) {
  CSelectDrivesDlg dialog;
  dialog.driveMask = (1u << 2) | (1u << 19);  // C: and T:
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  ui::CListView list;
  list.Attach(dialog.Item(IDC_DRIVES_LIST));
  std::wstring seen;
  for (int i = 0; i < list.Count(); ++i) {
    wchar_t letter = list.ItemText(i, 0)[0];
    SCOPED_TRACE(list.ItemText(i, 0));
    seen += letter;
    EXPECT_TRUE(::GetLogicalDrives() & (1u << (letter - L'A')));
    wchar_t label[MAX_PATH + 1] = {};
    ::GetVolumeInformationW((std::wstring(1, letter) + L":\\").c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(list.ItemText(i, 1), L" " + std::wstring(label) + L"(" + letter + L":)");
    EXPECT_EQ(list.IsCheckedItem(i), letter == L'C' || letter == L'T');
    if (std::wstring(L"CTZ").find(letter) != std::wstring::npos) EXPECT_EQ(list.ItemText(i, 0), letter + std::wstring(L":    [Hard Disk]"));
  }
  for (wchar_t letter : {L'C', L'T', L'Z'}) EXPECT_NE(seen.find(letter), std::wstring::npos) << char(letter);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  Click(dialog, IDC_DRIVES_OK);
  EXPECT_EQ(dialog.driveMask, (1u << 2) | (1u << 19));
}

// ---- Update location ----

TEST_F(DialogTest, UpdateLocationTakesAPickedOrTypedPathThatExists) {
  const std::wstring folder = Folder() + L"user";
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
      {"picked then typed over", folder, Folder() + L"missing", false, L""},
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
      EXPECT_EQ(ItemText(dialog, IDC_UPDLOC_LOCATION), c.pick.empty() ? L"C:\\" : c.pick);
    }
    if (c.typed != L"-") ::SetDlgItemTextW(dialog.Handle(), IDC_UPDLOC_LOCATION, c.typed.c_str());
    if (c.noSubdirs) Click(dialog, IDC_UPDLOC_NO_SUBDIRS);
    Click(dialog, IDOK);
    EXPECT_EQ(dialog.Result(), c.request.empty() ? 0 : IDOK);
    ASSERT_EQ(asked_.size(), c.request.empty() ? 1u : 0u);
    if (c.request.empty())
      EXPECT_TRUE(asked_[0].text == kInvalidPathMessage && (asked_[0].type & MB_TYPEMASK) == MB_OK);
    else
      EXPECT_EQ(dialog.RefreshRequest(), c.request);
  }
}

// ---- Settings ----

TEST_F(DialogTest, SettingsPageShowsTheManagersValuesAndCancelStoresNothing) {
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
}

TEST_F(DialogTest, SettingsClicksAskWhereTheyMustAndOkStoresEverything) {
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
    if (s.question)
      EXPECT_TRUE(asked_[0].text == s.question && asked_[0].caption == L"Lumivex" &&
                  asked_[0].type == UINT(MB_YESNO | MB_ICONEXCLAMATION));
  }
  EXPECT_FALSE(page.bAutoStart);
  EXPECT_TRUE(page.bRealtimeUpdate);

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

  Click(dialog, IDOK);
  EXPECT_EQ(dialog.Result(), IDOK);
  const std::pair<const char16_t*, const wchar_t*> kStored[] = {{u"AUTOSTART", L"FALSE"}, {u"REALTIME_UPDATE", L"TRUE"},
      {u"CHECKINTEGRITY", L"FALSE"}, {u"SHOWWARNINGS", L"FALSE"}, {u"CHECKUPDATE", L"2"}};
  for (auto [key, value] : kStored) EXPECT_EQ(Setting(key), value);
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
TEST_F(DialogTest, OnlyWebAddressesAreOpened) {
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
    for (ui::CWindow* box : {static_cast<ui::CWindow*>(&welcome), static_cast<ui::CWindow*>(&about)}) {
      opened_.clear();
      EXPECT_EQ(ItemText(*box, IDC_WEB_LINK), expected);
      ::SendMessageW(box->Item(IDC_WEB_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      ::SendMessageW(box->Item(IDC_WEB_LINK), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
      EXPECT_EQ(opened_, std::vector<std::wstring>{expected});
    }
  }
}

TEST_F(DialogTest, LinkShowsTheHandOnlyStrictlyInsideAndAboutShowsTheVersion) {
  EXPECT_EQ(AboutVersionLine(u"1.6.0.7"), L"Lumivex Version 1.6.0 build 7");
  for (UINT id : {UINT(IDD_ABOUT), UINT(IDD_ABOUTBOX)}) {
    CMyAboutDlg about(id);
    ASSERT_TRUE(about.CreateModeless(nullptr));
    EXPECT_EQ(ItemText(about, IDC_ABOUT_VERSION), AboutVersionLine(shell::kRunningVersion));
    if (id == IDD_ABOUTBOX) continue;  // no link
    HWND link = about.Item(IDC_WEB_LINK);
    RECT r;
    ::GetWindowRect(link, &r);
    const struct { int x, y; bool hand; } kPoints[] = {{int(r.left + r.right) / 2, int(r.top + r.bottom) / 2, true},
        {int(r.left) + 1, int(r.top) + 1, true}, {int(r.left), int(r.top) + 2, false}, {int(r.right) - 1, int(r.top) + 2, false}};
    for (const auto& p : kPoints) {
      if (!::SetCursorPos(p.x, p.y)) GTEST_SKIP() << "no pointer to move";
      ::SendMessageW(link, WM_SETCURSOR, WPARAM(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, p.hand ? IDC_HAND : IDC_ARROW)) << p.x - r.left;
    }
  }
  CWelcomeDlg welcome;
  ASSERT_TRUE(welcome.CreateModeless(nullptr));
  Click(welcome, IDOK);
  EXPECT_EQ(welcome.Handle(), nullptr) << "a dismissed welcome is gone";
}

// ---- Pictures ----

TEST_F(DialogTest, EachDialogRendersPlainAndSkinned) {
  const struct {
    const char* name;
    bool gradient;  // the program's own look without the skin
    std::function<ui::CDialogBox*()> make;
  } kShots[] = {{"select_drives", true, [] { return new CSelectDrivesDlg; }},
                {"update_location", true, [] { return new CDlgUpdateLoc; }},
                {"settings", false, [] { return new CSettingsDialog; }},
                {"updater", false, [] { return new CDialogUpdater; }},
                {"welcome", true, [] { return new CWelcomeDlg; }},
                {"about", true, [] { return new CMyAboutDlg; }},
                {"about_box", true, [] { return new CMyAboutDlg(IDD_ABOUTBOX); }}};
  for (bool skinned : {false, true}) {
    if (skinned) ASSERT_TRUE(skin::SkinAttach());
    for (const auto& shot : kShots) {
      SCOPED_TRACE(std::string(shot.name) + (skinned ? " skinned" : " plain"));
      std::unique_ptr<ui::CDialogBox> dialog(shot.make());
      ASSERT_TRUE(dialog->CreateModeless(nullptr));
      for (int i = 0; i < 4; ++i) dialog->Send(WM_TIMER, kProgressTimer);  // the updater's bar at 40
      uitest::Image image = uitest::RenderClient(dialog->Handle());
      ASSERT_GT(image.height, 2);
      EXPECT_TRUE(uitest::SaveBmp(image, std::string("dialogs_") + shot.name + (skinned ? "_skinned" : "_plain")));
      if (shot.gradient || skinned) {  // white at the top, the gradient's end at the bottom
        EXPECT_TRUE(uitest::Near(image.At(1, 1), controls::kGradientTop, 6)) << uitest::Describe(image.At(1, 1));
        COLORREF bottom = image.At(1, image.height - 2);
        EXPECT_TRUE(uitest::Near(bottom, controls::kGradientBottom, 6)) << uitest::Describe(bottom);
      }
      int dark = 0;  // the texts' ink
      for (uint32_t p : image.pixels) dark += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200;
      EXPECT_GT(dark, 50);
    }
    if (skinned) skin::SkinDetach();
  }
}

}  // namespace
}  // namespace lvx::dialogs
