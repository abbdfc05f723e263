// The release of the default settings files into throw-away data folders: a table of starts, each
// after what a user, an editor or an installer did to the files, and the stops on failure.
#include <gtest/gtest.h>

#include <functional>

#include <windows.h>

#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"
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
  HANDLE Hold(File file, DWORD share) {
    HANDLE h = CreateFileW(W(Paths().*file), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    held.push_back(h);
    return h;
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
  EXPECT_EQ(Paths().settings, user + u"\\settings.ini");
  EXPECT_EQ(Paths().installData, common + u"\\installdata.ini");
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
  EXPECT_FALSE(ReleaseResourceFile(dir.Child("none.ini"), 4242));
  EXPECT_FALSE(PathExists(dir.Child("none.ini")));
  EXPECT_TRUE(FileExists(dir.Path()));  // a folder exists too
  EXPECT_FALSE(FileExists(dir.Child("missing\\deeper.ini")));

  const std::u16string deep = dir.Path() + u"a\\b\\c";
  const std::pair<std::u16string, bool> folders[] = {
      {deep, true}, {deep + u"\\", true}, {u"relative\\folder", false}, {u"C", false},
      {u"\\\\server", false}, {dir.Path() + std::u16string(260, u'x'), false}};
  for (const auto& [folder, made] : folders) EXPECT_EQ(MakeDirectoryPath(folder), made) << U8(folder);
  EXPECT_TRUE(PathExists(deep));

  // Values longer than the buffer are cut, never overrun; values are trimmed.
  const std::u16string file = dir.Child("long.ini");
  test::WriteUnicodeIni(file, "[S]\nK=" + std::string(40000, 'v') + "\nP=  padded value \t\nN= 12x\n");
  EXPECT_EQ(ReadIniString(u"S", u"K", file, u""), std::u16string(kIniBufferChars - 1, u'v'));
  EXPECT_EQ(ReadIniString(u"S", u"P", file, u""), u"padded value");
  EXPECT_EQ(ReadIniInt(u"S", u"N", u"0", file) + ReadIniInt(u"S", u"Missing", u"7", file), 19);
}

}  // namespace
}  // namespace lvx::shell
