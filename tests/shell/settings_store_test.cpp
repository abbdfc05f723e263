// The settings kept in settings.ini and its neighbours, read and written through the profile
// functions: general options, histories, drive selection, skin style, the font file and the
// STATEINFO keys of the cache build.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "ini_test_files.h"
#include "platform/text.h"
#include "shell/history_store.h"
#include "shell/ini_store.h"
#include "shell/options.h"
#include "shell/settings_files.h"
#include "shell/state_store.h"
#include "shell/window_settings.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
  }
  std::u16string Setting(const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, Paths().settings, u"<missing>");
  }
  test::TempDir dir;
};

TEST_F(SettingsStoreTest, GeneralOptionsDefaultAndRoundTrip) {
  COptionsManager manager;
  manager.LoadAll();
  auto* general = dynamic_cast<CGeneralOptions*>(manager.GetOptions(OPTIONS_GENERAL));
  ASSERT_NE(general, nullptr);
  EXPECT_TRUE(general->bAutoStart && general->bRealtimeUpdate && general->bCheckIntegrity && general->bShowWarnings);
  EXPECT_EQ(general->nCheckUpdate, 1);
  EXPECT_EQ(manager.GetOptions(7), nullptr);

  general->bAutoStart = false;
  general->bShowWarnings = false;
  general->nCheckUpdate = 3;
  manager.SaveAll();
  EXPECT_EQ(Setting(u"OPTIONS", u"AUTOSTART"), u"FALSE");
  EXPECT_EQ(Setting(u"OPTIONS", u"REALTIME_UPDATE"), u"TRUE");
  EXPECT_EQ(Setting(u"OPTIONS", u"CHECKUPDATE"), u"3");

  COptionsManager again;
  again.LoadAll();
  auto* loaded = dynamic_cast<CGeneralOptions*>(again.GetOptions(OPTIONS_GENERAL));
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(loaded->bAutoStart);
  EXPECT_TRUE(loaded->bRealtimeUpdate);
  EXPECT_TRUE(loaded->bCheckIntegrity);
  EXPECT_FALSE(loaded->bShowWarnings);
  EXPECT_EQ(loaded->nCheckUpdate, 3);
}

TEST_F(SettingsStoreTest, BooleansReadTrueOnlyForTrueText) {
  WriteIniString(u"OPTIONS", u"REALTIME_UPDATE", u" true ", Paths().settings);
  WriteIniString(u"OPTIONS", u"CHECKINTEGRITY", u"1", Paths().settings);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"0 (daily)", Paths().settings);
  CGeneralOptions options;
  options.Load();
  EXPECT_TRUE(options.bRealtimeUpdate);
  EXPECT_FALSE(options.bCheckIntegrity);
  EXPECT_EQ(options.nCheckUpdate, 0);
}

class OtherOptions : public COptionsEx {
 public:
  void Load() override {}
  void Save() const override {}
  void CopyFrom(const COptionsEx&) override {}
  COptionsEx* Clone() const override { return new OtherOptions(*this); }
};

TEST_F(SettingsStoreTest, SetOptionsModes) {
  COptionsManager manager;
  CGeneralOptions caller;
  caller.nCheckUpdate = 2;
  manager.SetOptions(OPTIONS_GENERAL, &caller, 1);  // new id, mode 1: a clone is stored
  auto* stored = dynamic_cast<CGeneralOptions*>(manager.GetOptions(OPTIONS_GENERAL));
  ASSERT_NE(stored, nullptr);
  EXPECT_NE(stored, &caller);
  EXPECT_EQ(stored->nCheckUpdate, 2);

  caller.nCheckUpdate = 0;
  manager.SetOptions(OPTIONS_GENERAL, &caller, 1);  // existing id: values copied, same object kept
  EXPECT_EQ(manager.GetOptions(OPTIONS_GENERAL), stored);
  EXPECT_EQ(stored->nCheckUpdate, 0);

  auto* handedOver = new CGeneralOptions;
  handedOver->bRealtimeUpdate = false;
  handedOver->nCheckUpdate = 2;
  manager.SetOptions(OPTIONS_GENERAL, handedOver, 0);  // copied, then deleted by the manager
  EXPECT_FALSE(stored->bRealtimeUpdate);
  EXPECT_EQ(stored->nCheckUpdate, 2);

  manager.SetOptions(OPTIONS_GENERAL, new OtherOptions, 0);  // another class: ignored, deleted
  EXPECT_EQ(stored->nCheckUpdate, 2);
  EXPECT_FALSE(stored->bRealtimeUpdate);
  manager.SetOptions(OPTIONS_GENERAL, nullptr, 0);
  manager.SetOptions(OPTIONS_GENERAL, stored, 0);  // the stored group itself: nothing happens
  EXPECT_EQ(manager.GetOptions(OPTIONS_GENERAL), stored);

  CGeneralOptions copy;
  copy.CopyFrom(OtherOptions());
  EXPECT_EQ(copy.nCheckUpdate, 1);
  manager.RemoveAll();
  EXPECT_EQ(manager.GetOptions(OPTIONS_GENERAL), nullptr);
}

TEST_F(SettingsStoreTest, PatternHistoryKeepsTenAndMovesRepeatsToTheTop) {
  HistoryList list(HistoryKind::Pattern);
  LoadPatternHistory(list);
  EXPECT_TRUE(list.Items().empty());
  // Each pattern is typed, which leaves the closed combo box without a selection.
  auto typed = [&](const std::u16string& text) {
    list.Select(-1);
    AddPatternHistory(list, text);
  };
  for (int i = 0; i < 11; ++i) typed(U16("*.p" + std::to_string(i)));
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"hisnumber"), u"10");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_0"), u"*.p10");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_9"), u"*.p1");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_10"), u"<missing>");

  typed(u"*.p5");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"hisnumber"), u"10");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_0"), u"*.p5");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_1"), u"*.p10");

  HistoryList reloaded(HistoryKind::Pattern);  // the next start sees the same list
  LoadPatternHistory(reloaded);
  EXPECT_EQ(reloaded.Items(), list.Items());

  CleanPatternHistory(list);
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"hisnumber"), u"0");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"PATTERN_0"), u"<missing>");
  EXPECT_EQ(Setting(u"PATTERNHISTORY", u"maxnumber"), u"10");
}

TEST_F(SettingsStoreTest, FolderHistoryStoresFoldersBelowMyComputer) {
  HistoryList list(HistoryKind::Folder);
  LoadFolderHistory(list);
  EXPECT_EQ(list.Items(), std::vector<std::u16string>{kMyComputer});
  AddFolderHistory(list, u"C:\\Music\\");
  AddFolderHistory(list, u" D:\\Video\\ ");
  AddFolderHistory(list, u"My Computer");
  EXPECT_EQ(Setting(u"FOLDERHISTORY", u"hisnumber"), u"2");
  EXPECT_EQ(Setting(u"FOLDERHISTORY", u"PATTERN_0"), u"D:\\Video\\");
  EXPECT_EQ(Setting(u"FOLDERHISTORY", u"PATTERN_1"), u"C:\\Music\\");

  HistoryList reloaded(HistoryKind::Folder);
  LoadFolderHistory(reloaded);
  EXPECT_EQ(reloaded.Items(), (std::vector<std::u16string>{kMyComputer, u"D:\\Video\\", u"C:\\Music\\"}));
  CleanFolderHistory(reloaded);
  EXPECT_EQ(reloaded.Items(), std::vector<std::u16string>{kMyComputer});
  EXPECT_EQ(Setting(u"FOLDERHISTORY", u"hisnumber"), u"0");
}

TEST_F(SettingsStoreTest, DriveSelection) {
  uint32_t fixed = 0, any = 0;
  for (int i = 0; i < 26; ++i) {
    wchar_t root[] = {wchar_t(L'A' + i), L':', L'\\', 0};
    UINT type = GetDriveTypeW(root);
    if (type == DRIVE_FIXED) fixed |= 1u << i;
    if (type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_REMOTE) any |= 1u << i;
  }
  ASSERT_NE(fixed & 4u, 0u) << "the test expects C: to be a fixed drive";
  EXPECT_EQ(ReadStoredDriveMask(), 0xffffffffu);  // the default
  EXPECT_EQ(ReadActiveDriveMask(), fixed);
  ASSERT_TRUE(WriteDriveMask(4));
  EXPECT_EQ(Setting(u"OPTIONS", u"SELECT_DRIVES"), u"0X4");
  EXPECT_EQ(ReadActiveDriveMask(), 4u);
  WriteIniString(u"OPTIONS", u"SELECT_DRIVES", u"0x3FFFFFF", Paths().settings);
  EXPECT_EQ(ReadActiveDriveMask(), any);

  EXPECT_EQ(ReadAutoSelRemovable(), 0);
  ASSERT_TRUE(WriteAutoSelRemovable(1));
  EXPECT_EQ(Setting(u"OPTIONS", u"AutoSelRemovable"), u"1");
  EXPECT_EQ(ReadAutoSelRemovable(), 1);
}

TEST_F(SettingsStoreTest, SkinStyle) {
  // wine reports a Windows version above 5, where an empty style means the plain theme.
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Default);
  ASSERT_TRUE(WriteSkinStyle(SkinStyle::Vista));
  EXPECT_EQ(ReadIniString(u"SKIN_INFO", u"Style", Paths().skinInfo, u""), u"vista");
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Vista);
  WriteIniString(u"SKIN_INFO", u"Style", u"VISTA", Paths().skinInfo);
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Vista);
  WriteIniString(u"SKIN_INFO", u"Style", u"classic", Paths().skinInfo);
  EXPECT_EQ(ReadSkinStyle(), SkinStyle::Default);
}

TEST_F(SettingsStoreTest, FontFile) {
  LOGFONTW font{};
  EXPECT_FALSE(ReadFontFile(&font));  // none yet: the built-in font stays

  LOGFONTW chosen{};
  chosen.lfHeight = -15;
  chosen.lfWeight = FW_BOLD;
  wcscpy(chosen.lfFaceName, L"Tahoma");
  ASSERT_TRUE(WriteFontFile(chosen));
  EXPECT_EQ(test::ReadBytes(Paths().fontInfo).size(), 92u + 4u + 12u);
  ASSERT_TRUE(ReadFontFile(&font));
  EXPECT_EQ(font.lfHeight, -15);
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");

  // A length field of 40 is ignored, and so is a file shorter than its length says.
  std::string bytes = test::ReadBytes(Paths().fontInfo);
  std::string forty = bytes;
  forty[92] = 40;
  forty += std::string(80, 'A');
  test::WriteBytes(Paths().fontInfo, forty);
  LOGFONTW untouched{};
  untouched.lfHeight = 99;
  EXPECT_FALSE(ReadFontFile(&untouched));
  EXPECT_EQ(untouched.lfHeight, 99);
  test::WriteBytes(Paths().fontInfo, bytes.substr(0, bytes.size() - 1));
  EXPECT_FALSE(ReadFontFile(&untouched));
  EXPECT_EQ(untouched.lfHeight, 99);
}

TEST_F(SettingsStoreTest, StateStoreWritesStateInfo) {
  SettingsStateStore state;
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"0");
  ASSERT_TRUE(state.WriteState(u"CacheFileVersion", u"1"));
  ASSERT_TRUE(state.WriteState(u"CacheFileSize", u"12"));
  EXPECT_EQ(state.ReadState(u"CacheFileVersion", u"0"), u"1");
  EXPECT_EQ(ReadIniString(u"STATEINFO", u"CacheFileSize", Paths().stateInfo, u""), u"12");
  EXPECT_TRUE(IsUnicodeFile(Paths().stateInfo));
  // The written keys survive the next start's release step.
  ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
  EXPECT_EQ(SettingsStateStore().ReadState(u"CacheFileVersion", u"0"), u"1");
}

}  // namespace
}  // namespace lvx::shell
