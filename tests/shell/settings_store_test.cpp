// The settings read and written through the profile functions and the registry: general options,
// histories, drive selection, skin style, the font file, the STATEINFO keys, the Run value and the
// shutdown timeouts, and the language files. Their text rules are tested natively.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include <windows.h>

#include "shell/history_store.h"
#include "shell/ini_values.h"
#include "shell/ini_store.h"
#include "shell/language_loader.h"
#include "shell/options.h"
#include "shell/registry_settings.h"
#include "shell/settings_files.h"
#include "shell/state_store.h"
#include "shell/window_settings.h"
#include "shell_test_files.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common")); }
  static std::u16string Setting(const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, Paths().settings, u"<missing>");
  }
  test::TempDir dir;
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
  EXPECT_TRUE(general->bAutoStart && general->bRealtimeUpdate && general->bCheckIntegrity && general->bShowWarnings);
  EXPECT_EQ(manager.GetOptions(7), nullptr);
  general->bAutoStart = general->bShowWarnings = false;
  general->nCheckUpdate = 3;
  manager.SaveAll();
  EXPECT_EQ(Setting(u"OPTIONS", u"AUTOSTART") + Setting(u"OPTIONS", u"REALTIME_UPDATE"), u"FALSETRUE");
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

TEST_F(SettingsStoreTest, HistoriesReachTheFileAndTheNextStart) {
  HistoryList patterns(HistoryKind::Pattern), folders(HistoryKind::Folder);
  LoadPatternHistory(patterns);
  LoadFolderHistory(folders);
  for (int i = 0; i < 11; ++i) AddPatternHistory(patterns, u"*.p" + IniNumber(i));
  AddFolderHistory(folders, u"C:\\Music\\");
  AddFolderHistory(folders, u" D:\\Video\\ ");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"hisnumber") + Setting(u"PATTERNHISTORY", u"PATTERN_0") +
                Setting(u"PATTERNHISTORY", u"PATTERN_10") + Setting(u"FOLDERHISTORY", u"PATTERN_0"),
            u"10*.p10<missing>D:\\Video\\");
  HistoryList nextPatterns(HistoryKind::Pattern), nextFolders(HistoryKind::Folder);
  LoadPatternHistory(nextPatterns);
  LoadFolderHistory(nextFolders);
  EXPECT_EQ(nextPatterns.Items(), patterns.Items());
  EXPECT_EQ(nextFolders.Items(), (std::vector<std::u16string>{kMyComputer, u"D:\\Video\\", u"C:\\Music\\"}));
  CleanPatternHistory(nextPatterns);
  CleanFolderHistory(nextFolders);
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"hisnumber") + Setting(u"FOLDERHISTORY", u"PATTERN_0"), u"0<missing>");
}

TEST_F(SettingsStoreTest, WindowSettingsAndState) {
  EXPECT_EQ(ReadStoredDriveMask(), 0xffffffffu);
  ASSERT_TRUE(WriteDriveMask(0x3FFFFFF) && WriteAutoSelRemovable(1) && WriteSkinStyle(SkinStyle::Vista));
  EXPECT_EQ(Setting(u"OPTIONS", u"SELECT_DRIVES"), u"0X3FFFFFF");
  EXPECT_EQ(ReadAutoSelRemovable(), 1);
  EXPECT_EQ(ReadIniString(u"SKIN_INFO", u"Style", Paths().skinInfo, u""), u"vista");
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Vista);

  LOGFONTW font{}, chosen{};
  EXPECT_FALSE(ReadFontFile(&font));  // none yet: the built-in font stays
  chosen.lfHeight = -15;
  wcscpy(chosen.lfFaceName, L"Tahoma");
  ASSERT_TRUE(WriteFontFile(chosen));
  ASSERT_TRUE(ReadFontFile(&font));
  EXPECT_EQ(std::memcmp(&font, &chosen, sizeof font), 0);
  std::string bytes = test::ReadBytes(Paths().fontInfo);
  test::WriteBytes(Paths().fontInfo, bytes.substr(0, bytes.size() - 1));  // shorter than it says
  font.lfHeight = 99;
  EXPECT_FALSE(ReadFontFile(&font));
  EXPECT_EQ(font.lfHeight, 99);

  SettingsStateStore state;
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"0");
  ASSERT_TRUE(state.WriteState(u"CacheFileVersion", u"1"));
  ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));  // the next start
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"1");
}

// A REG_SZ value of the current user's hive of the test's wine prefix; any other type reads as none.
std::optional<std::wstring> Query(const wchar_t* key, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

void Put(const wchar_t* key, const wchar_t* name, const std::optional<std::wstring>& text, DWORD number = 0) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
  if (number)
    RegSetValueExW(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  else if (text)
    RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()), DWORD((text->size() + 1) * 2));
  else
    RegDeleteValueW(h, name);
  RegCloseKey(h);
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
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  EXPECT_NE(value.find(program), std::wstring::npos);
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
  table.RegisterDefault(u"strTwoLines", u"one line");
  auto language = [&](const char16_t* file, const std::string& text) {
    test::WriteUnicodeIni(folder + file, "[INFO]\nLanguage=" + text);
  };
  language(u"en.ini", "English\n[STRING]\nstrGreeting=Hi there\nstrTwoLines=two\\nlines\n");
  language(u"de.ini", "Deutsch\n[STRING]\nstrGreeting=Hallo\n");
  test::WriteUnicodeIni(folder + u"nameless.ini", "[STRING]\nstrGreeting=Nobody\n");
  dir.MakeFolder("Language\\folder.ini");
  ASSERT_TRUE(LoadLanguageTable(table, folder));  // English by default, written back
  EXPECT_EQ(table.Lookup(u"strTwoLines"), u"two\nlines");
  EXPECT_EQ(table.LanguagePath(), folder + u"en.ini");
  EXPECT_EQ(Setting(u"SETTING_INFO", u"LANGUAGE"), u"English");
  EXPECT_EQ(table.LanguageNames(), (std::vector<std::u16string>{u"Deutsch", u"English"}));
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Deutsch", Paths().settings);
  ASSERT_TRUE(LoadLanguageTable(table, folder));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hallo");
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Klingon", Paths().settings);
  EXPECT_FALSE(LoadLanguageTable(table, folder));
  EXPECT_EQ(Setting(u"SETTING_INFO", u"LANGUAGE"), u"Klingon");  // not rewritten
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
