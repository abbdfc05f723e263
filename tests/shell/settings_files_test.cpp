// The release of the default settings files into throw-away data folders: a first start, the
// files kept or replaced at the next start, the install bookkeeping and the stops on failure.
#include <gtest/gtest.h>

#include <windows.h>

#include "ini_test_files.h"
#include "platform/text.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

using test::PathExists;
using test::ReadUnicodeText;

class ReleaseTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingMessages messages;
  std::u16string user = dir.Path() + u"Roaming\\deep\\Lumivex Data";
  std::u16string common = dir.Path() + u"ProgramData\\Lumivex Data";

  bool Release() { return ReleaseDefaultSettingsIn(user, common); }
  std::u16string Ini(const std::u16string& file, const char16_t* section, const char16_t* key,
                     const char16_t* def = u"<missing>") {
    return ReadIniString(section, key, file, def);
  }
};

TEST_F(ReleaseTest, FirstStartCreatesFoldersAndFiles) {
  ASSERT_TRUE(Release());
  EXPECT_EQ(messages.Count(), 0u);
  const SettingsPaths& p = Paths();
  EXPECT_EQ(p.settings, user + u"\\settings.ini");
  EXPECT_EQ(p.installData, common + u"\\installdata.ini");
  for (const auto& file : {p.settings, p.stateInfo, p.skinInfo, p.installInfo, p.installData}) {
    ASSERT_TRUE(PathExists(file)) << U8(file);
    EXPECT_TRUE(IsUnicodeFile(file)) << U8(file);
    EXPECT_EQ(Ini(file, u"FILEVER", u"VER"), u"16000") << U8(file);
  }
  EXPECT_FALSE(PathExists(p.update));
  EXPECT_FALSE(PathExists(p.fontInfo));
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"FALSE");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"InstallType"), u"NewInstall");
  EXPECT_EQ(Ini(p.installData, u"INSTALLINFO", u"InstallType"), u"Installed");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"1");
}

TEST_F(ReleaseTest, DefaultSettingsHoldTheToolbarCacheFileAndHistories) {
  ASSERT_TRUE(Release());
  const std::u16string& s = Paths().settings;
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"tbnumber"), u"5");
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"ICON_0"), u".\\icons\\music01.ico");
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"QUERYPATTER_1"), u"*.avi;*.rmvb");
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"ICONTEXT_3"), u"Pictures");
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"QUERYPATTER_4"), u";");
  EXPECT_EQ(Ini(s, u"TOOLBAR", u"SEARCHLOC_4"), u"DEFAULT");
  EXPECT_EQ(Ini(s, u"CACHEFILE", u"filepath"), u"default.db");
  EXPECT_EQ(Ini(s, u"PATTERNHISTORY", u"maxnumber"), u"10");
  EXPECT_EQ(Ini(s, u"FOLDERHISTORY", u"hisnumber"), u"0");
  // The sections in the order the program's own file lists them.
  std::string text = ReadUnicodeText(s);
  size_t a = text.find("[FILEVER]"), b = text.find("[TOOLBAR]"), c = text.find("[CACHEFILE]"),
         d = text.find("[PATTERNHISTORY]"), e = text.find("[FOLDERHISTORY]");
  ASSERT_NE(e, std::string::npos);
  EXPECT_TRUE(a < b && b < c && c < d && d < e);
}

TEST_F(ReleaseTest, SecondStartKeepsTheUsersSettingsAndSkipsTheBookkeeping) {
  ASSERT_TRUE(Release());
  const SettingsPaths p = Paths();
  WriteIniString(u"OPTIONS", u"AUTOSTART", u"FALSE", p.settings);
  WriteIniString(u"PATTERNHISTORY", u"PATTERN_0", u"*.kept", p.settings);
  WriteIniString(u"STATEINFO", u"FirstRun", u"TRUE", p.stateInfo);
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"3", p.settings);
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"AUTOSTART"), u"FALSE");
  EXPECT_EQ(Ini(p.settings, u"PATTERNHISTORY", u"PATTERN_0"), u"*.kept");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"3");
  EXPECT_EQ(Ini(p.stateInfo, u"STATEINFO", u"FirstRun"), u"TRUE");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
}

TEST_F(ReleaseTest, StaleStateFilesAreReplacedAndGoodOnesKept) {
  ASSERT_TRUE(Release());
  const SettingsPaths p = Paths();
  // stateinfo.ini saved as ANSI by an editor: replaced.
  test::WriteBytes(p.stateInfo, "[FILEVER]\r\nVER=16000\r\n[STATEINFO]\r\nFirstRun=TRUE\r\n");
  // skininfo.ini from an older program: replaced.
  test::WriteUnicodeIni(p.skinInfo, "[FILEVER]\nVER=15999\n[SKIN_INFO]\nStyle=vista\n");
  // settings.ini of the old default (VER 15999): replaced too.
  test::WriteUnicodeIni(p.settings, "[FILEVER]\nVER=15999\n[OPTIONS]\nAUTOSTART=FALSE\n");
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.stateInfo, u"STATEINFO", u"FirstRun"), u"<missing>");
  EXPECT_TRUE(IsUnicodeFile(p.stateInfo));
  EXPECT_EQ(Ini(p.skinInfo, u"SKIN_INFO", u"Style"), u"<missing>");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"AUTOSTART"), u"<missing>");
  EXPECT_EQ(Ini(p.settings, u"TOOLBAR", u"tbnumber"), u"5");

  // Unicode with VER 16000 (or newer): kept.
  test::WriteUnicodeIni(p.stateInfo, "[FILEVER]\nVER=16000\n[STATEINFO]\nFirstRun=TRUE\n");
  test::WriteUnicodeIni(p.skinInfo, "[FILEVER]\nVER=17000\n[SKIN_INFO]\nStyle=vista\n");
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.stateInfo, u"STATEINFO", u"FirstRun"), u"TRUE");
  EXPECT_EQ(Ini(p.skinInfo, u"SKIN_INFO", u"Style"), u"vista");
}

TEST_F(ReleaseTest, FilesHeldOpenByAnotherProgramAtStartAreKept) {
  ASSERT_TRUE(Release());
  const SettingsPaths p = Paths();
  WriteIniString(u"OPTIONS", u"AUTOSTART", u"FALSE", p.settings);
  WriteIniString(u"PATTERNHISTORY", u"PATTERN_0", u"*.kept", p.settings);
  WriteIniString(u"STATEINFO", u"FirstRun", u"TRUE", p.stateInfo);
  // A backup tool or an editor has the files open without shared read: they cannot be checked,
  // which is not the same as being found stale. Allowing writes, or not.
  for (DWORD share : {DWORD(FILE_SHARE_WRITE), DWORD(0)}) {
    HANDLE settings = CreateFileW(W(p.settings), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE state = CreateFileW(W(p.stateInfo), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(settings, INVALID_HANDLE_VALUE);
    ASSERT_NE(state, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Release()) << "share " << share;
    CloseHandle(settings);
    CloseHandle(state);
    EXPECT_EQ(messages.Count(), 0u);
    EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"AUTOSTART"), u"FALSE") << "share " << share;
    EXPECT_EQ(Ini(p.settings, u"PATTERNHISTORY", u"PATTERN_0"), u"*.kept");
    EXPECT_EQ(Ini(p.stateInfo, u"STATEINFO", u"FirstRun"), u"TRUE");
  }
  // Once readable again, a stale file is still replaced.
  test::WriteUnicodeIni(p.stateInfo, "[FILEVER]\nVER=15999\n[STATEINFO]\nFirstRun=TRUE\n");
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.stateInfo, u"STATEINFO", u"FirstRun"), u"<missing>");
}

TEST_F(ReleaseTest, InstallerMarkedUpgradeRepeatsThePerUserBookkeeping) {
  ASSERT_TRUE(Release());
  const SettingsPaths p = Paths();
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"2", p.settings);
  WriteIniString(u"INSTALLINFO", u"InstallType", u"upgrade", p.installData);
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"FALSE");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"InstallType"), u"Upgrade");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"1");
  EXPECT_EQ(Ini(p.installData, u"INSTALLINFO", u"InstallType"), u"Installed");
  // Done once: the next start leaves the user's files alone.
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
}

TEST_F(ReleaseTest, AnUpgradeMarkThisUserCannotClearIsFollowedOncePerUser) {
  ASSERT_TRUE(Release());
  const SettingsPaths p = Paths();
  // The installer, run as administrator, marks an upgrade in a file this user may only read
  // (here: held open by the test without write sharing, which refuses writes alike).
  WriteIniString(u"INSTALLINFO", u"InstallType", u"Upgrade", p.installData);
  HANDLE readOnly = CreateFileW(W(p.installData), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  ASSERT_FALSE(WriteIniString(u"INSTALLINFO", u"Probe", u"1", p.installData));
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"2", p.settings);

  ASSERT_TRUE(Release());
  EXPECT_EQ(messages.Count(), 0u);
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"FALSE");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"InstallType"), u"Upgrade");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"1");
  EXPECT_EQ(Ini(p.installData, u"INSTALLINFO", u"InstallType"), u"Upgrade");  // could not be cleared

  // The user's choices after that survive the next starts, although the mark is still there.
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", u"2", p.settings);
  ASSERT_TRUE(Release());
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"2");

  // What this user did was for another version of the program: the upgrade to this one is new.
  WriteIniString(u"Info", u"InstallDoneFor", u"0.0.0.1", p.installInfo);
  ASSERT_TRUE(Release());
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"FALSE");
  EXPECT_EQ(Ini(p.settings, u"OPTIONS", u"CHECKUPDATE"), u"1");
  CloseHandle(readOnly);
}

TEST_F(ReleaseTest, AFolderThatCannotBeCreatedStopsTheStart) {
  dir.MakeFile("blocker");
  user = dir.Path() + u"blocker\\Lumivex Data";
  EXPECT_FALSE(Release());
  EXPECT_TRUE(messages.Contains(u"Can not create the application data directory"));

  user = dir.Path() + u"fine";
  common = dir.Path() + u"blocker\\common";
  EXPECT_FALSE(Release());
  EXPECT_TRUE(messages.Contains(u"Can not create the application common data directory"));
}

TEST_F(ReleaseTest, ASettingsFileThatCannotBeWrittenStopsTheStart) {
  ASSERT_TRUE(MakeDirectoryPath(user + u"\\settings.ini"));  // a folder where the file should be
  EXPECT_FALSE(Release());
  EXPECT_TRUE(messages.Contains(u"Can not release the default settings"));
  EXPECT_FALSE(PathExists(user + u"\\stateinfo.ini"));  // the release stopped at the first failure
}

TEST(ReleaseResourceFile, WritesTheResourceBytesUnchanged) {
  test::TempDir dir;
  std::u16string path = dir.Child("out.ini");
  test::WriteBytes(path, std::string(5000, 'x'));  // replaced, not overwritten in place
  ASSERT_TRUE(ReleaseResourceFile(path, kResStateIni));
  EXPECT_EQ(ReadUnicodeText(path), "[FILEVER]\r\nVER=16000\r\n");
  EXPECT_FALSE(ReleaseResourceFile(dir.Child("none.ini"), 4242));
  EXPECT_FALSE(PathExists(dir.Child("none.ini")));
}

TEST(SettingsFileHelpers, FileExistsAndUnicodeTest) {
  test::TempDir dir;
  EXPECT_TRUE(FileExists(dir.Path()));  // a folder exists too
  EXPECT_FALSE(FileExists(dir.Child("missing.ini")));
  EXPECT_FALSE(FileExists(dir.Child("missing\\deeper.ini")));
  test::WriteBytes(dir.Child("one.ini"), "\xFF");
  EXPECT_TRUE(FileExists(dir.Child("one.ini")));
  EXPECT_FALSE(IsUnicodeFile(dir.Child("one.ini")));
  test::WriteBytes(dir.Child("two.ini"), "\xFF\xFE");
  EXPECT_TRUE(IsUnicodeFile(dir.Child("two.ini")));
  EXPECT_FALSE(IsUnicodeFile(dir.Child("missing.ini")));
  EXPECT_TRUE(IsOlderThan(dir.Child("two.ini"), 16000));  // no VER reads as 0
}

TEST(SettingsFileHelpers, MakeDirectoryPath) {
  test::TempDir dir;
  std::u16string deep = dir.Path() + u"a\\b\\c";
  ASSERT_TRUE(MakeDirectoryPath(deep));
  EXPECT_TRUE(PathExists(deep));
  EXPECT_TRUE(MakeDirectoryPath(deep + u"\\"));  // exists already; a trailing backslash is fine
  EXPECT_FALSE(MakeDirectoryPath(u"relative\\folder"));
  EXPECT_FALSE(MakeDirectoryPath(u"C"));
  EXPECT_FALSE(MakeDirectoryPath(dir.Path() + std::u16string(260, u'x')));
}

TEST(IniStore, LongValuesAreCutToTheBuffer) {
  test::TempDir dir;
  std::u16string file = dir.Child("long.ini");
  test::WriteUnicodeIni(file, "[S]\nK=" + std::string(40000, 'v') + "\n");
  std::u16string value = ReadIniString(u"S", u"K", file, u"");
  EXPECT_EQ(value.size(), size_t(kIniBufferChars - 1));
  EXPECT_EQ(value.find_first_not_of(u'v'), std::u16string::npos);
  test::WriteUnicodeIni(file, "[S]\nK=  padded value \t\nN= 12x\n");
  EXPECT_EQ(ReadIniString(u"S", u"K", file, u""), u"padded value");
  EXPECT_EQ(ReadIniInt(u"S", u"N", u"0", file), 12);
  EXPECT_EQ(ReadIniInt(u"S", u"Missing", u"7", file), 7);
}

}  // namespace
}  // namespace lvx::shell
