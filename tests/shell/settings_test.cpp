// The settings files and stores under wine, in throw-away data folders: the release of the default
// files after what a user, an editor or an installer did to them, the stores read and written through
// the profile functions, the registry values and the language files. Text rules are tested natively.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include <windows.h>

#include "shell/history_store.h"
#include "shell/ini_store.h"
#include "shell/ini_values.h"
#include "shell/language_loader.h"
#include "shell/options.h"
#include "shell/registry_settings.h"
#include "shell/settings_files.h"
#include "shell/state_store.h"
#include "shell/win_text.h"
#include "shell/window_settings.h"
#include "shell_test_files.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

using test::PathExists;
using File = std::u16string SettingsPaths::*;

class ReleaseTest : public ::testing::Test {
 protected:
  static std::u16string Ini(File file, const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, Paths().*file, u"<missing>");
  }
  static void Set(File file, const char16_t* section, const char16_t* key, const char16_t* value) {
    WriteIniString(section, key, value, Paths().*file);
  }
  // Opens a file as another program holding it would.
  void Hold(File file, DWORD share) {
    held.push_back(CreateFileW(W(Paths().*file), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_NE(held.back(), INVALID_HANDLE_VALUE);
  }

  test::TempDir dir;
  test::RecordingMessages messages;
  std::u16string user = dir.Path() + u"Roaming\\deep\\Lumivex Data";
  std::u16string common = dir.Path() + u"ProgramData\\Lumivex Data";
  std::vector<HANDLE> held;
};

constexpr File kSettings = &SettingsPaths::settings, kState = &SettingsPaths::stateInfo,
               kSkin = &SettingsPaths::skinInfo, kInstallInfo = &SettingsPaths::installInfo,
               kInstallData = &SettingsPaths::installData;

TEST_F(ReleaseTest, StartsKeepOrReplaceTheFiles) {
  // An upgrade mark in installdata.ini that this user may only read (the installer ran as
  // administrator): a handle without write sharing refuses the writes alike.
  auto markedReadOnly = [&] {
    Set(kInstallData, u"INSTALLINFO", u"InstallType", u"Upgrade");
    Hold(kInstallData, FILE_SHARE_READ);
    EXPECT_FALSE(WriteIniString(u"INSTALLINFO", u"Probe", u"1", Paths().installData));
  };
  using Key = std::tuple<File, const char16_t*, const char16_t*, const char16_t*>;
  const std::vector<Key> kept = {{kSettings, u"OPTIONS", u"AUTOSTART", u"FALSE"},
                                 {kSettings, u"PATTERNHISTORY", u"PATTERN_0", u"*.kept"},
                                 {kSettings, u"OPTIONS", u"CHECKUPDATE", u"3"},
                                 {kState, u"STATEINFO", u"FirstRun", u"TRUE"},
                                 {kInstallInfo, u"Info", u"IsChecked", u"TRUE"}};
  auto userChoices = [&] {
    for (const auto& [file, section, key, value] : kept) Set(file, section, key, value);
  };
  // The bookkeeping ran, and the mark could not be cleared.
  const std::vector<Key> bookkept = {{kInstallInfo, u"Info", u"IsChecked", u"FALSE"},
                                     {kInstallInfo, u"Info", u"InstallType", u"Upgrade"},
                                     {kSettings, u"OPTIONS", u"CHECKUPDATE", u"1"},
                                     {kInstallData, u"INSTALLINFO", u"InstallType", u"Upgrade"}};
  const struct {
    const char* what;
    std::function<void()> before;
    std::vector<Key> after;
  } starts[] = {
      {"first start", [] {},
       {{kInstallInfo, u"Info", u"IsChecked", u"FALSE"}, {kInstallInfo, u"Info", u"InstallType", u"NewInstall"},
        {kInstallData, u"INSTALLINFO", u"InstallType", u"Installed"}, {kSettings, u"OPTIONS", u"CHECKUPDATE", u"1"},
        {kSettings, u"TOOLBAR", u"tbnumber", u"5"}}},
      {"the next start keeps the user's files", userChoices, kept},
      // A backup tool or an editor holds them without shared read: they cannot be checked, which is
      // not the same as being found stale.
      {"held, writes shared", [&] { Hold(kSettings, FILE_SHARE_WRITE); Hold(kState, FILE_SHARE_WRITE); }, kept},
      {"held, nothing shared", [&] { Hold(kSettings, 0); Hold(kState, 0); }, kept},
      {"stale files are replaced",
       [] {
         test::WriteBytes(Paths().stateInfo, "[FILEVER]\r\nVER=16000\r\n[STATEINFO]\r\nFirstRun=TRUE\r\n");  // ANSI
         test::WriteUnicodeIni(Paths().skinInfo, "[FILEVER]\nVER=15999\n[SKIN_INFO]\nStyle=vista\n");
         test::WriteUnicodeIni(Paths().settings, "[FILEVER]\nVER=15999\n[OPTIONS]\nAUTOSTART=FALSE\n");
       },
       {{kState, u"STATEINFO", u"FirstRun", u"<missing>"}, {kSkin, u"SKIN_INFO", u"Style", u"<missing>"},
        {kSettings, u"OPTIONS", u"AUTOSTART", u"<missing>"}, {kSettings, u"TOOLBAR", u"tbnumber", u"5"}}},
      {"current ones are kept",
       [] {
         test::WriteUnicodeIni(Paths().stateInfo, "[FILEVER]\nVER=16000\n[STATEINFO]\nFirstRun=TRUE\n");
         test::WriteUnicodeIni(Paths().skinInfo, "[FILEVER]\nVER=17000\n[SKIN_INFO]\nStyle=vista\n");
       },
       {{kState, u"STATEINFO", u"FirstRun", u"TRUE"}, {kSkin, u"SKIN_INFO", u"Style", u"vista"}}},
      {"an installer-marked upgrade repeats the bookkeeping",
       [&] { userChoices(); Set(kInstallData, u"INSTALLINFO", u"InstallType", u"upgrade"); },
       {{kInstallInfo, u"Info", u"IsChecked", u"FALSE"}, {kInstallInfo, u"Info", u"InstallType", u"Upgrade"},
        {kSettings, u"OPTIONS", u"CHECKUPDATE", u"1"}, {kInstallData, u"INSTALLINFO", u"InstallType", u"Installed"}}},
      {"once", userChoices, kept},
      {"a mark this user cannot clear", [&] { userChoices(); markedReadOnly(); }, bookkept},
      {"is followed once per user", [&] { userChoices(); markedReadOnly(); }, kept},
      {"and again for another version of the program",
       [&] { markedReadOnly(); Set(kInstallInfo, u"Info", u"InstallDoneFor", u"0.0.0.1"); }, bookkept},
  };
  for (const auto& start : starts) {
    if (&start != starts) start.before();
    ASSERT_TRUE(ReleaseDefaultSettingsIn(user, common)) << start.what;
    for (HANDLE h : held) CloseHandle(h);
    held.clear();
    EXPECT_EQ(messages.Count(), 0u) << start.what;
    for (const auto& [file, section, key, value] : start.after)
      EXPECT_EQ(Ini(file, section, key), value) << start.what << ": " << U8(key);
    for (File file : {kSettings, kState, kSkin, kInstallInfo, kInstallData})
      EXPECT_TRUE(IsUnicodeFile(Paths().*file)) << start.what;
  }
  EXPECT_FALSE(PathExists(Paths().update) || PathExists(Paths().fontInfo));
}

TEST_F(ReleaseTest, FailuresStopTheStart) {
  dir.MakeFile("blocker");
  user = dir.Path() + u"blocker\\Lumivex Data";
  EXPECT_FALSE(ReleaseDefaultSettingsIn(user, common));
  EXPECT_TRUE(messages.Contains(u"Can not create the application data directory"));
  user = dir.Path() + u"fine";
  common = dir.Path() + u"blocker\\common";
  EXPECT_FALSE(ReleaseDefaultSettingsIn(user, common));
  EXPECT_TRUE(messages.Contains(u"Can not create the application common data directory"));
  common = dir.Path() + u"common";
  ASSERT_TRUE(MakeDirectoryPath(user + u"\\settings.ini"));  // a folder where the file should be
  EXPECT_FALSE(ReleaseDefaultSettingsIn(user, common));
  EXPECT_TRUE(messages.Contains(u"Can not release the default settings"));
  EXPECT_FALSE(PathExists(user + u"\\stateinfo.ini"));  // the release stopped at the first failure
}

TEST(SettingsFileHelpers, ResourcesFoldersAndValues) {
  test::TempDir dir;
  const std::u16string path = dir.Child("out.ini");
  test::WriteBytes(path, std::string(5000, 'x'));  // replaced, not overwritten in place
  ASSERT_TRUE(ReleaseResourceFile(path, kResStateIni));
  EXPECT_EQ(test::ReadBytes(path), test::UnicodeText("[FILEVER]\nVER=16000\n"));
  EXPECT_FALSE(ReleaseResourceFile(dir.Child("none.ini"), 4242) || PathExists(dir.Child("none.ini")));

  const std::u16string deep = dir.Path() + u"a\\b\\c";
  const std::pair<std::u16string, bool> folders[] = {
      {deep, true}, {deep + u"\\", true}, {u"relative\\folder", false}, {u"C", false},
      {u"\\\\server", false}, {dir.Path() + std::u16string(260, u'x'), false}};
  for (const auto& [folder, made] : folders) EXPECT_EQ(MakeDirectoryPath(folder), made) << U8(folder);
  EXPECT_TRUE(PathExists(deep));

  // A number is read as far as it goes; a missing key reads as the default text.
  const std::u16string file = dir.Child("number.ini");
  test::WriteUnicodeIni(file, "[S]\nN= 12x\n");
  EXPECT_EQ(ReadIniInt(u"S", u"N", u"0", file) + ReadIniInt(u"S", u"Missing", u"7", file), 19);
}

class SettingsStoreTest : public ReleaseTest {
 protected:
  void SetUp() override { ASSERT_TRUE(ReleaseDefaultSettingsIn(user, common)); }
};

struct OtherOptions : COptionsEx {
  void Load() override {}
  void Save() const override {}
  void CopyFrom(const COptionsEx&) override {}
  COptionsEx* Clone() const override { return new OtherOptions(*this); }
};

TEST_F(SettingsStoreTest, GeneralOptions) {
  COptionsManager manager;
  manager.LoadAll();
  auto* general = dynamic_cast<CGeneralOptions*>(manager.GetOptions(OPTIONS_GENERAL));
  ASSERT_NE(general, nullptr);
  EXPECT_EQ(manager.GetOptions(7), nullptr);
  general->bAutoStart = general->bShowWarnings = false;
  general->nCheckUpdate = 3;
  manager.SaveAll();
  EXPECT_EQ(Ini(kSettings, u"OPTIONS", u"AUTOSTART") + Ini(kSettings, u"OPTIONS", u"REALTIME_UPDATE"),
            u"FALSETRUE");
  CGeneralOptions loaded;
  loaded.Load();
  EXPECT_TRUE(!loaded.bAutoStart && loaded.bRealtimeUpdate && loaded.bCheckIntegrity && !loaded.bShowWarnings);
  EXPECT_EQ(loaded.nCheckUpdate, 3);

  // A new id takes a clone (mode 1); an existing group takes the values, and with mode 0 the passed
  // group is deleted.
  COptionsManager other;
  CGeneralOptions caller;
  caller.nCheckUpdate = 2;
  other.SetOptions(OPTIONS_GENERAL, &caller, 1);
  auto* stored = dynamic_cast<CGeneralOptions*>(other.GetOptions(OPTIONS_GENERAL));
  ASSERT_TRUE(stored && stored != &caller && stored->nCheckUpdate == 2);
  auto* handedOver = new CGeneralOptions;
  handedOver->bRealtimeUpdate = false;
  other.SetOptions(OPTIONS_GENERAL, handedOver, 0);
  other.SetOptions(OPTIONS_GENERAL, new OtherOptions, 0);  // another class: ignored, deleted
  other.SetOptions(OPTIONS_GENERAL, nullptr, 0);
  other.SetOptions(OPTIONS_GENERAL, stored, 0);  // the stored group itself: nothing happens
  EXPECT_EQ(other.GetOptions(OPTIONS_GENERAL), stored);
  EXPECT_TRUE(!stored->bRealtimeUpdate && stored->nCheckUpdate == 1);
}

// Patterns reach the file and the next start in the app tests; here the folders, up to the released
// file's limit of ten below "My Computer".
TEST_F(SettingsStoreTest, FolderHistoryReachesTheNextStart) {
  HistoryList folders(HistoryKind::Folder), next(HistoryKind::Folder);
  LoadFolderHistory(folders);
  for (int i = 0; i < 11; ++i) AddFolderHistory(folders, u"C:\\F" + IniNumber(i) + u"\\");
  LoadFolderHistory(next);
  EXPECT_EQ(next.Items(), folders.Items());
  EXPECT_EQ(Ini(kSettings, u"FOLDERHISTORY", u"hisnumber"), u"10");
}

TEST_F(SettingsStoreTest, WindowSettingsAndState) {
  EXPECT_EQ(ReadStoredDriveMask(), 0xffffffffu);
  ASSERT_TRUE(WriteDriveMask(0x3FFFFFF) && WriteAutoSelRemovable(1) && WriteSkinStyle(SkinStyle::Vista));
  EXPECT_EQ(ReadStoredDriveMask(), 0x3FFFFFFu);
  EXPECT_EQ(ReadAutoSelRemovable(), 1);
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Vista);

  LOGFONTW font{}, chosen{};
  EXPECT_FALSE(ReadFontFile(&font));  // none yet: the built-in font stays
  chosen.lfHeight = -15;
  wcscpy(chosen.lfFaceName, L"Tahoma");
  ASSERT_TRUE(WriteFontFile(chosen));
  ASSERT_TRUE(ReadFontFile(&font));
  EXPECT_EQ(std::memcmp(&font, &chosen, sizeof font), 0);

  SettingsStateStore state;
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"0");
  ASSERT_TRUE(state.WriteState(u"CacheFileVersion", u"1"));
  ASSERT_TRUE(ReleaseDefaultSettingsIn(user, common));  // the next start
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"1");
}

// A REG_SZ value of the current user's hive of the test's wine prefix; any other type reads as none.
std::optional<std::wstring> Query(const wchar_t* key, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
  return status == ERROR_SUCCESS ? std::optional<std::wstring>(buffer) : std::nullopt;
}

void Put(const wchar_t* key, const wchar_t* name, const std::optional<std::wstring>& text, DWORD number = 0) {
  if (number)
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &number, sizeof number);
  else if (text)
    RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, text->c_str(), DWORD((text->size() + 1) * 2));
  else
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
}

// Puts back the values a test found (the prefix holds them as REG_SZ).
struct Restored {
  Restored(const wchar_t* key, std::initializer_list<const wchar_t*> names) : key(key) {
    for (const wchar_t* name : names) saved.push_back({name, Query(key, name)});
  }
  ~Restored() {
    for (const auto& [name, value] : saved) Put(key, name, value);
  }
  const wchar_t* key;
  std::vector<std::pair<const wchar_t*, std::optional<std::wstring>>> saved;
};

TEST(Registry, RunValueWrittenOnlyWhenItDiffers) {
  Restored restore(kRunKey, {kRunValueName});
  test::RecordingMessages messages;
  Put(kRunKey, kRunValueName, std::nullopt);
  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Unchanged);  // nothing to remove
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  std::wstring value = Query(kRunKey, kRunValueName).value_or(L"");
  EXPECT_EQ(value.substr(value.size() - 6), L" /hide");
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Unchanged);
  Put(kRunKey, kRunValueName, L"C:\\old\\lumivex.exe /hide");  // a stale one is replaced
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  EXPECT_EQ(Query(kRunKey, kRunValueName), value);
  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Removed);
  EXPECT_FALSE(Query(kRunKey, kRunValueName));

  // A profile that never had a Run key (a new user): off creates nothing, on creates it.
  HKEY key = nullptr;
  DWORD values = 0;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  ASSERT_EQ(values, 0u) << "the Run key of the test's prefix holds other entries";
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kRunKey), ERROR_SUCCESS);
  EXPECT_EQ(SetAutoStart(false), AutoStartResult::Unchanged);
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(SetAutoStart(true), AutoStartResult::Written);
  EXPECT_EQ(Query(kRunKey, kRunValueName), value);
  EXPECT_EQ(messages.Count(), 0u);
}

TEST(Registry, ShutdownTimeoutsRaisedToTheMinimum) {
  Restored restore(kDesktopKey, {L"AutoEndTasks", L"HungAppTimeout", L"WaitToKillAppTimeout"});
  Put(kDesktopKey, L"AutoEndTasks", L"1");
  Put(kDesktopKey, L"HungAppTimeout", L"1000");
  Put(kDesktopKey, L"WaitToKillAppTimeout", std::nullopt, 20000);  // right number, wrong type
  EnsureShutdownTimeouts();
  for (auto [name, want] : {std::pair{L"AutoEndTasks", L"0"}, {L"HungAppTimeout", L"5000"}, {L"WaitToKillAppTimeout", L"5000"}})
    EXPECT_EQ(Query(kDesktopKey, name), want) << "a REG_SZ value";
  Put(kDesktopKey, L"HungAppTimeout", L"8000");  // right already: left alone
  Put(kDesktopKey, L"WaitToKillAppTimeout", std::nullopt);
  EnsureShutdownTimeouts();
  EXPECT_EQ(Query(kDesktopKey, L"HungAppTimeout"), L"8000");
  EXPECT_EQ(Query(kDesktopKey, L"WaitToKillAppTimeout"), L"5000");
}

TEST_F(SettingsStoreTest, TheChosenLanguageFileOverridesBuiltInTexts) {
  const std::u16string folder = dir.Path() + u"Language\\";
  dir.MakeFolder("Language");
  LanguageTable table;
  table.RegisterDefault(u"strGreeting", u"Hello");
  auto language = [&](const char16_t* file, const std::string& text) {
    test::WriteUnicodeIni(folder + file, "[INFO]\nLanguage=" + text);
  };
  language(u"en.ini", "English\n[STRING]\nstrGreeting=Hi there\n");
  language(u"de.ini", "Deutsch\n[STRING]\nstrGreeting=Hallo\n");
  test::WriteUnicodeIni(folder + u"nameless.ini", "[STRING]\nstrGreeting=Nobody\n");
  ASSERT_TRUE(LoadLanguageTable(table, folder));  // English by default, written back
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hi there");
  EXPECT_EQ(Ini(kSettings, u"SETTING_INFO", u"LANGUAGE"), u"English");
  EXPECT_EQ(table.LanguageNames(), (std::vector<std::u16string>{u"Deutsch", u"English"}));
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Deutsch", Paths().settings);
  ASSERT_TRUE(LoadLanguageTable(table, folder));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hallo");
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Klingon", Paths().settings);
  EXPECT_FALSE(LoadLanguageTable(table, folder));
  EXPECT_EQ(Ini(kSettings, u"SETTING_INFO", u"LANGUAGE"), u"Klingon");  // not rewritten
  LanguageTable none;
  EXPECT_FALSE(LoadLanguageTable(none, dir.Path() + u"NoSuchFolder\\"));
  EXPECT_TRUE(none.LanguageNames().empty());

  // resources/Language/English.ini, as it is installed beside the program.
  std::string text = test::ReadBytes(U16(LVX_SHIPPED_LANGUAGE_DIR) + u"\\English.ini");
  ASSERT_FALSE(text.empty());
  test::WriteBytes(folder + u"en.ini", text);
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"English", Paths().settings);
  ASSERT_TRUE(LoadLanguageTable(table, folder));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hello");
}

}  // namespace
}  // namespace lvx::shell
