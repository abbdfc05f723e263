// Language files in a throw-away language folder: the list, the choice from settings.ini, the
// override of built-in texts and the escapes.
#include <gtest/gtest.h>

#include <windows.h>

#include "ini_test_files.h"
#include "platform/text.h"
#include "shell/ini_store.h"
#include "shell/language_loader.h"
#include "shell/settings_files.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

class LanguageLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
    dir.MakeFolder("Language");
    table.RegisterDefault(u"strGreeting", u"Hello");
    table.RegisterDefault(u"strTwoLines", u"one line");
    table.RegisterDefault(u"strPath", u"none");
  }
  std::u16string Folder() { return dir.Path() + u"Language\\"; }
  void Language(const char* file, const std::string& text) { test::WriteUnicodeIni(dir.Child(std::string("Language\\") + file), text); }
  std::u16string ChosenSetting() { return ReadIniString(u"SETTING_INFO", u"LANGUAGE", Paths().settings, u"<missing>"); }

  test::TempDir dir;
  LanguageTable table;
};

TEST_F(LanguageLoaderTest, EnglishIsChosenByDefaultAndWrittenBack) {
  Language("English.ini", "[INFO]\nLanguage=English\n[STRING]\nstrGreeting=Hi there\nstrTwoLines=two\\nlines\nstrPath=C:\\\\Temp\\\\\n");
  ASSERT_TRUE(LoadLanguageTable(table, Folder()));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hi there");
  EXPECT_EQ(table.Lookup(u"strTwoLines"), u"two\nlines");
  // A backslash run before a character leaves just that character; a final backslash stays.
  EXPECT_EQ(table.Lookup(u"strPath"), u"C:Temp\\");
  EXPECT_EQ(table.LanguagePath(), Folder() + u"English.ini");
  EXPECT_EQ(ChosenSetting(), u"English");
}

TEST_F(LanguageLoaderTest, TheChosenLanguageComesFromSettings) {
  Language("en.ini", "[INFO]\nLanguage=English\n[STRING]\nstrGreeting=Hi\n");
  Language("de.ini", "[INFO]\nLanguage=Deutsch\n[STRING]\nstrGreeting=Hallo\n");
  Language("nameless.ini", "[STRING]\nstrGreeting=Nobody\n");
  dir.MakeFolder("Language\\folder.ini");
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Deutsch", Paths().settings);
  ASSERT_TRUE(LoadLanguageTable(table, Folder()));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hallo");
  EXPECT_EQ(table.Lookup(u"strTwoLines"), u"one line");  // missing in the file: built-in text
  EXPECT_EQ(table.LanguageNames(), (std::vector<std::u16string>{u"Deutsch", u"English"}));
}

TEST_F(LanguageLoaderTest, TwoFilesNamingTheSameLanguage) {
  Language("a.ini", "[INFO]\nLanguage=English\n[STRING]\nstrGreeting=from a\n");
  Language("b.ini", "[INFO]\nLanguage=English\n[STRING]\nstrGreeting=from b\n");
  // Whichever the folder enumeration yields last is the one in force.
  std::u16string last;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(reinterpret_cast<const wchar_t*>((Folder() + u"*.ini").c_str()), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do last = reinterpret_cast<const char16_t*>(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  ASSERT_TRUE(LoadLanguageTable(table, Folder()));
  EXPECT_EQ(table.Lookup(u"strGreeting"), last == u"a.ini" ? u"from a" : u"from b");
  EXPECT_EQ(table.LanguagePath(), Folder() + last);
}

TEST_F(LanguageLoaderTest, UnknownLanguageOrMissingFolderLeavesLookupsEmpty) {
  Language("en.ini", "[INFO]\nLanguage=English\n");
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", u"Klingon", Paths().settings);
  EXPECT_FALSE(LoadLanguageTable(table, Folder()));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"");
  EXPECT_EQ(ChosenSetting(), u"Klingon");  // not rewritten

  LanguageTable empty;
  empty.RegisterDefault(u"strGreeting", u"Hello");
  EXPECT_FALSE(LoadLanguageTable(empty, dir.Path() + u"NoSuchFolder\\"));
  EXPECT_TRUE(empty.LanguageNames().empty());
  EXPECT_EQ(empty.Lookup(u"strGreeting"), u"");
}

TEST_F(LanguageLoaderTest, TheShippedEnglishFileIsALanguageFile) {
  // resources/Language/English.ini, as it is installed beside the program.
  std::u16string shipped = U16(LVX_SHIPPED_LANGUAGE_DIR) + u"\\English.ini";
  std::string text = test::ReadBytes(shipped);
  ASSERT_FALSE(text.empty());
  test::WriteBytes(dir.Child("Language\\English.ini"), text);
  ASSERT_TRUE(LoadLanguageTable(table, Folder()));
  EXPECT_TRUE(table.HasLanguage(u"English"));
  EXPECT_EQ(table.Lookup(u"strGreeting"), u"Hello");
}

}  // namespace
}  // namespace lvx::shell
