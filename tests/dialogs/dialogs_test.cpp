// The dialogs driven as a user drives them: clicks, typed text, list and tab selections, with the
// questions asked, the folders picked and the settings written checked.
#include "dialogs_test.h"

#include "options_ui/dialogs/info_dialogs.h"
#include "options_ui/dialogs/select_drives_dlg.h"
#include "options_ui/dialogs/settings_dialog.h"
#include "options_ui/dialogs/update_location_dlg.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "resource.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_checker.h"
#include "shell/update_rules.h"
#include "shell/update_settings.h"
#include "shell/version.h"
#include "version_info.h"

namespace lvx::dialogs::test {

void DialogTest::SetUp() {
  ASSERT_TRUE(shell::ReleaseDefaultSettingsIn(dir_.Path() + u"user", dir_.Path() + u"common"));
  ui::SetMessageResponder([this](const ui::MessageRequest& r) {
    asked_.push_back(r);
    int answer = answers_.empty() ? IDOK : answers_.front();
    if (!answers_.empty()) answers_.pop_front();
    return answer;
  });
  ui::SetPickResponder([this](const ui::PickRequest& r, ui::PickAnswer* a) {
    picks_.push_back(r);
    a->path = picked_.empty() ? L"" : picked_.front();
    if (!picked_.empty()) picked_.pop_front();
    return !a->path.empty();
  });
  SetWebOpener([this](const std::wstring& address) {
    opened_.push_back(address);
    return true;
  });
}

void DialogTest::TearDown() {
  ui::SetMessageResponder(nullptr);
  ui::SetPickResponder(nullptr);
  SetWebOpener(nullptr);
}

std::wstring DialogTest::Setting(const wchar_t* section, const wchar_t* key) const {
  std::u16string s(section, section + wcslen(section)), k(key, key + wcslen(key));
  std::u16string v = shell::ReadIniString(s, k, shell::Paths().settings, u"<none>");
  return std::wstring(v.begin(), v.end());
}

void DialogTest::WriteSetting(const wchar_t* section, const wchar_t* key, const std::wstring& value) const {
  std::u16string s(section, section + wcslen(section)), k(key, key + wcslen(key)), v(value.begin(), value.end());
  ASSERT_TRUE(shell::WriteIniString(s, k, v, shell::Paths().settings));
}

namespace {

void Click(const ui::CWindow& dialog, int id) { ::SendMessageW(dialog.Item(id), BM_CLICK, 0, 0); }
bool Checked(const ui::CWindow& dialog, int id) { return ::SendMessageW(dialog.Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::wstring CellText(HWND list, int row, int column) {
  wchar_t text[256] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  ::SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(&item));
  return text;
}

void SetRowCheck(HWND list, int row, bool on) {
  LVITEMW item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
  ::SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), LPARAM(&item));
}

bool RowChecked(HWND list, int row) {
  return (::SendMessageW(list, LVM_GETITEMSTATE, WPARAM(row), LVIS_STATEIMAGEMASK) >> 12) == 2;
}

}  // namespace

// ---- Drives ----

TEST_F(DialogTest, DrivesListFixedAndRemovableWithTypeLabelAndTick) {
  struct Drive {
    wchar_t letter;
    uint32_t type;
    const wchar_t* label;
  };
  static const Drive kDrives[] = {{L'C', DRIVE_FIXED, L"System"}, {L'D', DRIVE_CDROM, L"Disc"},
                                  {L'E', DRIVE_REMOVABLE, L""},   {L'N', DRIVE_REMOTE, L"Share"},
                                  {L'R', DRIVE_RAMDISK, L""},     {L'X', DRIVE_FIXED, L"Data"}};
  DriveProbe probe;
  probe.type = [](const std::wstring& root) {
    for (const Drive& d : kDrives)
      if (d.letter == root[0]) return d.type;
    return uint32_t(DRIVE_NO_ROOT_DIR);
  };
  probe.label = [](const std::wstring& root) {
    for (const Drive& d : kDrives)
      if (d.letter == root[0]) return std::wstring(d.label);
    return std::wstring();
  };
  CSelectDrivesDlg dialog;
  dialog.SetDriveProbe(probe);
  dialog.driveMask = 0x4 | 0x8 | (1u << 13);  // C:, and D: and N:, which cannot be listed
  dialog.autoRefreshRemovable = 1;
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  HWND list = dialog.Item(IDC_DRIVES_LIST);
  struct Row {
    const wchar_t* drive;
    const wchar_t* description;
    bool ticked;
  };
  static const Row kRows[] = {{L"C:    [Hard Disk]", L" System(C:)", true},
                              {L"E:    [Removable Disk]", L" (E:)", false},
                              {L"X:    [Hard Disk]", L" Data(X:)", false}};
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(CellText(list, i, 0), kRows[i].drive);
    EXPECT_EQ(CellText(list, i, 1), kRows[i].description);
    EXPECT_EQ(RowChecked(list, i), kRows[i].ticked) << i;
  }
  EXPECT_TRUE(Checked(dialog, IDC_DRIVES_AUTO_REMOVABLE));

  Click(dialog, IDC_DRIVES_AUTO_REMOVABLE);
  EXPECT_EQ(dialog.autoRefreshRemovable, 0);
  SetRowCheck(list, 2, true);
  Click(dialog, IDC_DRIVES_OK);
  EXPECT_EQ(dialog.Result(), IDOK);
  EXPECT_EQ(dialog.driveMask, 0x4u | (1u << 23)) << "unlisted drives end clear";
}

TEST_F(DialogTest, DrivesUntickedAllGiveAnEmptyMaskAndCancelKeepsTheFields) {
  for (bool ok : {true, false}) {
    CSelectDrivesDlg dialog;
    dialog.driveMask = 0xFFFFFFFFu;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND list = dialog.Item(IDC_DRIVES_LIST);
    for (int i = 0; i < ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++i) SetRowCheck(list, i, false);
    Click(dialog, ok ? IDC_DRIVES_OK : IDC_DRIVES_CANCEL);
    EXPECT_EQ(dialog.Result(), ok ? IDOK : IDCANCEL);
    EXPECT_EQ(dialog.driveMask, ok ? 0u : 0xFFFFFFFFu);
  }
}

// The prefix has C: (drive_c) and Z: (the root), and the tests' own drive T:, all fixed; each row
// carries the label wine reports for its drive.
TEST_F(DialogTest, DrivesOfWineAreListedAsTheSystemReportsThem) {
  CSelectDrivesDlg dialog;
  dialog.driveMask = (1u << 2) | (1u << 19);  // C: and T:
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  HWND list = dialog.Item(IDC_DRIVES_LIST);
  int rows = int(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  DWORD present = ::GetLogicalDrives();
  std::wstring seen;
  for (int i = 0; i < rows; ++i) {
    std::wstring drive = CellText(list, i, 0);
    wchar_t letter = drive[0];
    SCOPED_TRACE(drive);
    seen += letter;
    EXPECT_TRUE(present & (1u << (letter - L'A'))) << "a listed drive exists";
    std::wstring root = {letter, L':', L'\\'};
    wchar_t label[MAX_PATH + 1] = {};
    ::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(CellText(list, i, 1), L" " + std::wstring(label) + L"(" + letter + L":)");
    EXPECT_EQ(RowChecked(list, i), letter == L'C' || letter == L'T');
    if (letter == L'C' || letter == L'T' || letter == L'Z') EXPECT_EQ(drive, letter + std::wstring(L":    [Hard Disk]"));
  }
  for (wchar_t letter : {L'C', L'T', L'Z'}) EXPECT_NE(seen.find(letter), std::wstring::npos) << char(letter);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  Click(dialog, IDC_DRIVES_OK);
  EXPECT_EQ(dialog.driveMask, (1u << 2) | (1u << 19));
}

// ---- Update location ----

TEST_F(DialogTest, UpdateLocationTakesAPickedOrTypedFolderThatExists) {
  std::wstring folder = Folder() + L"user";
  struct Case {
    const char* name;
    std::wstring pick;   // empty: the picker is not used
    std::wstring typed;  // typed after the pick; "-" types nothing
    bool noSubdirs;
    std::wstring request;  // empty: "Invalid file path!" and the dialog stays
  };
  const Case kCases[] = {
      {"picked", folder, L"-", false, L"#" + folder},
      {"typed", L"", folder, true, L"@" + folder},
      {"typed with blanks", L"", L"  " + folder + L"\t", false, L"#" + folder},
      {"typed file", L"", folder + L"\\settings.ini", false, L"#" + folder + L"\\settings.ini"},
      {"picked then typed over", folder, Folder() + L"missing", false, L""},
      {"missing", L"", Folder() + L"missing\\deeper", false, L""},
      {"relative", L"", L"user", false, L""},
      {"drive-relative", L"", L"C:windows", false, L""},
      {"empty", L"", L"", false, L""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    asked_.clear();
    CDlgUpdateLoc dialog;
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    if (!c.pick.empty()) {
      picked_ = {c.pick};
      Click(dialog, IDC_UPDLOC_BROWSE);
      ASSERT_FALSE(picks_.empty());
      EXPECT_EQ(picks_.back().kind, ui::PickKind::Folder);
      EXPECT_EQ(picks_.back().title, kPickFolderTitle);
      EXPECT_EQ(dialog.location, c.pick);
    }
    if (c.typed != L"-") ::SetDlgItemTextW(dialog.Handle(), IDC_UPDLOC_LOCATION, c.typed.c_str());
    if (c.noSubdirs) Click(dialog, IDC_UPDLOC_NO_SUBDIRS);
    Click(dialog, IDOK);
    if (c.request.empty()) {
      ASSERT_EQ(asked_.size(), 1u);
      EXPECT_EQ(asked_[0].text, kInvalidPathMessage);
      EXPECT_EQ(asked_[0].type & MB_TYPEMASK, UINT(MB_OK));
      EXPECT_TRUE(::IsWindow(dialog.Handle()) && dialog.Result() != IDOK) << "stays open";
    } else {
      EXPECT_TRUE(asked_.empty());
      EXPECT_EQ(dialog.Result(), IDOK);
      EXPECT_EQ(dialog.RefreshRequest(), c.request);
    }
  }
}

TEST_F(DialogTest, UpdateLocationCancelledPickerKeepsTheBox) {
  CDlgUpdateLoc dialog;
  dialog.location = L"C:\\";
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  Click(dialog, IDC_UPDLOC_BROWSE);  // no answer queued: cancelled
  wchar_t text[64] = {};
  ::GetDlgItemTextW(dialog.Handle(), IDC_UPDLOC_LOCATION, text, 64);
  EXPECT_STREQ(text, L"C:\\");
  EXPECT_EQ(dialog.location, L"C:\\");
}

// ---- Settings ----

struct GeneralValues {
  bool autoStart, realtime, integrity, warnings;
  int checkUpdate;
};

TEST_F(DialogTest, SettingsPageShowsTheManagersValues) {
  const GeneralValues kCases[] = {{true, true, true, true, 1}, {false, true, false, true, 0},
                                  {true, false, true, false, 2}, {false, false, false, false, 3},
                                  {true, true, true, true, 7}};
  for (const GeneralValues& v : kCases) {
    shell::COptionsManager manager;
    auto* group = new shell::CGeneralOptions;
    *group = shell::CGeneralOptions();
    group->bAutoStart = v.autoStart, group->bRealtimeUpdate = v.realtime, group->bCheckIntegrity = v.integrity;
    group->bShowWarnings = v.warnings, group->nCheckUpdate = v.checkUpdate;
    manager.SetOptions(shell::OPTIONS_GENERAL, group, 0);
    CSettingsDialog dialog;
    dialog.SetOptionsManager(&manager);
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    CPageGeneral& page = dialog.General();
    bool never = v.checkUpdate < 0 || v.checkUpdate > 2;
    EXPECT_EQ(Checked(page, IDC_GEN_AUTOSTART), v.autoStart);
    EXPECT_EQ(Checked(page, IDC_GEN_REALTIME), v.realtime);
    EXPECT_EQ(Checked(page, IDC_GEN_CHECK_INTEGRITY), v.integrity);
    EXPECT_EQ(Checked(page, IDC_GEN_SHOW_WARNINGS), v.warnings);
    EXPECT_EQ(Checked(page, IDC_GEN_CHECK_UPDATES), !never);
    EXPECT_EQ(::SendMessageW(page.Item(IDC_GEN_UPDATE_INTERVAL), CB_GETCURSEL, 0, 0), never ? 3 : v.checkUpdate);
    EXPECT_EQ(::IsWindowEnabled(page.Item(IDC_GEN_UPDATE_INTERVAL)) != 0, !never);
    EXPECT_TRUE(page.Style() & WS_VISIBLE) << "the page is shown in its tab";
  }
}

TEST_F(DialogTest, SettingsClicksAskWhereTheyMustAndOkStoresEverything) {
  struct Step {
    int control;
    int answer;           // 0: no question
    bool boxAfter;
    const wchar_t* question;
  };
  const Step kSteps[] = {
      {IDC_GEN_AUTOSTART, IDNO, true, kNoAutoStartQuestion},   // No undoes the click
      {IDC_GEN_REALTIME, IDNO, true, kStopRealtimeQuestion},
      {IDC_GEN_REALTIME, IDYES, false, kStopRealtimeQuestion},
      {IDC_GEN_REALTIME, 0, true, nullptr},                    // ticking again asks nothing
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
  for (const Step& s : kSteps) {
    asked_.clear();
    if (s.answer) answers_ = {s.answer};
    Click(page, s.control);
    EXPECT_EQ(Checked(page, s.control), s.boxAfter) << s.control;
    ASSERT_EQ(asked_.size(), s.question ? 1u : 0u) << s.control;
    if (s.question) {
      EXPECT_EQ(asked_[0].text, s.question);
      EXPECT_EQ(asked_[0].caption, L"Lumivex");
      EXPECT_EQ(asked_[0].type, UINT(MB_YESNO | MB_ICONEXCLAMATION));
    }
  }
  EXPECT_EQ(page.bAutoStart, false);
  EXPECT_EQ(page.bRealtimeUpdate, true);

  // The interval: "Never" clears and disables, ticking again picks "Every Week", a pick is kept.
  HWND interval = page.Item(IDC_GEN_UPDATE_INTERVAL);
  auto choose = [&](int index) {
    ::SendMessageW(interval, CB_SETCURSEL, WPARAM(index), 0);
    ::SendMessageW(page.Handle(), WM_COMMAND, MAKEWPARAM(IDC_GEN_UPDATE_INTERVAL, CBN_SELCHANGE), LPARAM(interval));
  };
  choose(3);
  EXPECT_FALSE(Checked(page, IDC_GEN_CHECK_UPDATES));
  EXPECT_FALSE(::IsWindowEnabled(interval));
  Click(page, IDC_GEN_CHECK_UPDATES);
  EXPECT_EQ(::SendMessageW(interval, CB_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(::IsWindowEnabled(interval));
  choose(2);
  EXPECT_EQ(page.nCheckUpdate, 2);

  // Enter and Escape from inside the page do not end the dialog.
  for (auto [message, key] : {std::pair{WM_KEYDOWN, VK_RETURN}, std::pair{WM_CHAR, VK_RETURN}, std::pair{WM_KEYDOWN, VK_ESCAPE}}) {
    MSG msg = {page.Item(IDC_GEN_SHOW_WARNINGS), UINT(message), WPARAM(key), 0, 0, {}};
    EXPECT_TRUE(ui::RoutePreTranslate(&msg));
  }
  EXPECT_EQ(Setting(L"OPTIONS", L"AUTOSTART"), L"<none>") << "nothing stored before OK";

  Click(dialog, IDOK);
  EXPECT_EQ(dialog.Result(), IDOK);
  const std::pair<const wchar_t*, const wchar_t*> kStored[] = {{L"AUTOSTART", L"FALSE"}, {L"REALTIME_UPDATE", L"TRUE"},
      {L"CHECKINTEGRITY", L"FALSE"}, {L"SHOWWARNINGS", L"FALSE"}, {L"CHECKUPDATE", L"2"}};
  for (auto [key, value] : kStored) EXPECT_EQ(Setting(L"OPTIONS", key), value) << key;
  auto* stored = dynamic_cast<shell::CGeneralOptions*>(manager.GetOptions(shell::OPTIONS_GENERAL));
  ASSERT_NE(stored, nullptr);
  EXPECT_FALSE(stored->bAutoStart || stored->bCheckIntegrity || stored->bShowWarnings);
  EXPECT_EQ(stored->nCheckUpdate, 2);
}

TEST_F(DialogTest, SettingsCancelStoresNothing) {
  shell::COptionsManager manager;
  manager.LoadAll();
  CSettingsDialog dialog;
  dialog.SetOptionsManager(&manager);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  Click(dialog.General(), IDC_GEN_CHECK_INTEGRITY);
  Click(dialog, IDCANCEL);
  EXPECT_EQ(dialog.Result(), IDCANCEL);
  EXPECT_EQ(Setting(L"OPTIONS", L"CHECKINTEGRITY"), L"<none>");
  EXPECT_TRUE(dynamic_cast<shell::CGeneralOptions*>(manager.GetOptions(shell::OPTIONS_GENERAL))->bCheckIntegrity);
}

// ---- Update progress ----

TEST_F(DialogTest, UpdaterMovesTenATickUpToNinetyAndCancelForgetsTheCheck) {
  class NoSink : public shell::IUpdateResultSink {
    void PostUpdateResult(uint32_t) override {}
  };
  shell::CUpdateChecker checker;
  checker.SetFiles({dir_.Path() + u"tmpupdate.ini", dir_.Path() + u"update.ini", dir_.Path() + u"installinfo.ini"});
  ASSERT_TRUE(checker.StartUpdateThread(std::make_shared<NoSink>(), u"http://127.0.0.1:9/check"));
  CDialogUpdater dialog;
  dialog.SetChecker(&checker);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  EXPECT_TRUE(checker.IsManual()) << "the check is marked as shown";
  EXPECT_EQ(dialog.Position(), 0);
  for (int tick = 1; tick <= 12; ++tick) {
    dialog.Send(WM_TIMER, kProgressTimer);
    EXPECT_EQ(dialog.Position(), std::min(tick * 10, 90));
  }
  EXPECT_FALSE(::KillTimer(dialog.Handle(), kProgressTimer)) << "the timer stopped at 90";
  dialog.Begin();
  EXPECT_EQ(dialog.Position(), 0);
  EXPECT_TRUE(::KillTimer(dialog.Handle(), kProgressTimer) && ::SetTimer(dialog.Handle(), kProgressTimer, 1000, nullptr));
  Click(dialog, IDCANCEL);
  EXPECT_FALSE(checker.IsManual());
  EXPECT_FALSE(::KillTimer(dialog.Handle(), kProgressTimer));
  EXPECT_TRUE(checker.StopUpdateThread());
}

// ---- Welcome, about, and the addresses handed to the shell ----

TEST_F(DialogTest, OnlyWebAddressesAreOpened) {
  const std::wstring kBuiltIn = L"" LVX_HOMEPAGE_URL;
  struct Case {
    const wchar_t* address;
    bool web;
  };
  const Case kCases[] = {{L"http://example.org/lvx", true}, {L"HTTPS://example.org/", true},
                         {L"file:///C:/Windows/notepad.exe", false}, {L"javascript:alert(1)", false},
                         {L"mailto:someone@example.org", false}, {L"", false}, {L"download.htm", false},
                         {L"C:\\Windows\\notepad.exe", false}, {L"http://", false}, {L"http://a b", false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << std::string(c.address, c.address + wcslen(c.address)));
    opened_.clear();
    EXPECT_EQ(OpenWebAddress(nullptr, c.address), c.web);
    EXPECT_EQ(opened_.size(), c.web ? 1u : 0u);

    // The links of the welcome and about boxes: a settings address that is not a web page is ignored.
    WriteSetting(L"OPTIONS", L"HOMEPAGE_URL", c.address);
    std::wstring expected = c.web ? c.address : kBuiltIn;
    CWelcomeDlg welcome;
    CMyAboutDlg about;
    ASSERT_TRUE(welcome.CreateModeless(nullptr) && about.CreateModeless(nullptr));
    for (ui::CDialogBox* box : {static_cast<ui::CDialogBox*>(&welcome), static_cast<ui::CDialogBox*>(&about)}) {
      opened_.clear();
      HWND link = box->Item(IDC_WEB_LINK);
      wchar_t text[256] = {};
      ::GetWindowTextW(link, text, 256);
      EXPECT_EQ(text, expected);
      ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
      EXPECT_EQ(opened_, std::vector<std::wstring>{expected});
    }

    // The update address: a reply's download page that is not a web page falls back to the server's.
    std::u16string a(c.address, c.address + wcslen(c.address));
    ASSERT_TRUE(shell::WriteIniString(u"Version", u"FreeUrl", a, shell::Paths().update));
    std::u16string page = shell::ReadUpdateOffer(u"https://updates.example").freeUrl;
    opened_.clear();
    EXPECT_TRUE(OpenWebAddress(nullptr, std::wstring(page.begin(), page.end())));
    EXPECT_EQ(opened_[0], c.web ? std::wstring(c.address) : L"https://updates.example/download.htm");
  }
}

TEST_F(DialogTest, LinkShowsTheHandOnlyStrictlyInside) {
  const struct {
    POINT at;
    bool inside;
  } kPoints[] = {{{5, 5}, true}, {{1, 1}, true}, {{0, 5}, false}, {{5, 0}, false}, {{98, 5}, true},
                 {{99, 5}, false}, {{5, 18}, true}, {{5, 19}, false}, {{-1, -1}, false}};
  for (const auto& p : kPoints)
    EXPECT_EQ(IsStrictlyInside(RECT{0, 0, 100, 20}, p.at), p.inside) << p.at.x << "," << p.at.y;

  CMyAboutDlg about;
  ASSERT_TRUE(about.CreateModeless(nullptr));
  HWND link = about.Item(IDC_WEB_LINK);
  RECT r;
  ::GetWindowRect(link, &r);
  for (auto [x, y, hand] : {std::tuple{int(r.left + r.right) / 2, int(r.top + r.bottom) / 2, true},
                            std::tuple{int(r.left), int(r.top), false}}) {
    if (!::SetCursorPos(x, y)) GTEST_SKIP() << "no pointer to move";
    ::SendMessageW(link, WM_SETCURSOR, WPARAM(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
  }
}

TEST_F(DialogTest, AboutBoxesShowTheRunningVersionAndWelcomeGoesWhenDismissed) {
  EXPECT_EQ(AboutVersionLine(u"1.6.0.7"), L"Lumivex Version 1.6.0 build 7");
  EXPECT_EQ(AboutVersionLine(u"2.10"), L"Lumivex Version 2.10.0 build 0");
  for (UINT id : {UINT(IDD_ABOUT), UINT(IDD_ABOUTBOX)}) {
    CMyAboutDlg about(id);
    ASSERT_TRUE(about.CreateModeless(nullptr));
    wchar_t text[128] = {};
    ::GetDlgItemTextW(about.Handle(), IDC_ABOUT_VERSION, text, 128);
    EXPECT_EQ(text, AboutVersionLine(shell::kRunningVersion));
    EXPECT_EQ(about.Item(IDC_WEB_LINK) != nullptr, id == IDD_ABOUT);
    Click(about, IDOK);
    EXPECT_EQ(about.Result(), IDOK);
  }
  CWelcomeDlg welcome;
  ASSERT_TRUE(welcome.CreateModeless(nullptr));
  Click(welcome, IDOK);
  EXPECT_EQ(welcome.Handle(), nullptr);
}

}  // namespace lvx::dialogs::test
