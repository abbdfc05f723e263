// The language table: escape conversion (against the rule's literal step-by-step form), the choice
// of a language and the override of built-in texts.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "shell/language_table.h"

namespace lvx::shell {
namespace {

// The rule as stated, one step at a time: remove the first backslash that has a character after it,
// translate that character, start again from the beginning.
std::u16string ConvertEscapesSlowly(std::u16string value) {
  for (;;) {
    size_t pos = value.find(u'\\');
    while (pos != std::u16string::npos && pos + 1 >= value.size()) pos = std::u16string::npos;
    if (pos == std::u16string::npos) return value;
    value.erase(pos, 1);
    if (value[pos] == u'n')
      value[pos] = u'\n';
    else if (value[pos] == u'r')
      value[pos] = u'\r';
  }
}

TEST(LanguageEscapes, Examples) {
  EXPECT_EQ(ConvertEscapes(u"two\\nwords"), u"two\nwords");
  EXPECT_EQ(ConvertEscapes(u"a\\r\\nb"), u"a\r\nb");
  EXPECT_EQ(ConvertEscapes(u"ends in \\"), u"ends in \\");
  EXPECT_EQ(ConvertEscapes(u"ends in \\\\\\"), u"ends in \\");
  EXPECT_EQ(ConvertEscapes(u"\\q\\t"), u"qt");
  EXPECT_EQ(ConvertEscapes(u"\\\\n"), u"\n");  // the kept backslash escapes again
  EXPECT_EQ(ConvertEscapes(u""), u"");
  EXPECT_EQ(ConvertEscapes(u"\\"), u"\\");
}

TEST(LanguageEscapes, OnePassMatchesTheStepwiseRuleOnRandomText) {
  std::mt19937 random(20240615);
  const char16_t alphabet[] = {u'\\', u'\\', u'\\', u'n', u'r', u'a', u' ', u'\r'};
  for (int round = 0; round < 20000; ++round) {
    std::u16string text;
    size_t length = random() % 12;
    for (size_t i = 0; i < length; ++i) text.push_back(alphabet[random() % 8]);
    ASSERT_EQ(ConvertEscapes(text), ConvertEscapesSlowly(text)) << round;
  }
}

TEST(LanguageEscapes, LongRunsOfBackslashesStayCheap) {
  std::u16string text(32767, u'\\');
  EXPECT_EQ(ConvertEscapes(text), u"\\");
  text.back() = u'n';
  EXPECT_EQ(ConvertEscapes(text), u"\n");
}

class LanguageTableTest : public ::testing::Test {
 protected:
  LanguageTable table;
  std::map<std::u16string, std::u16string> file;
  LanguageTable::StringReader Reader() {
    return [this](const std::u16string& key) {
      auto it = file.find(key);
      return it == file.end() ? std::u16string() : it->second;
    };
  }
};

TEST_F(LanguageTableTest, ChosenFileOverridesBuiltInTexts) {
  table.RegisterDefault(u"strOK", u"OK");
  table.RegisterDefault(u"strCancel", u"Cancel");
  table.AddLanguage(u"Deutsch", u".\\Language\\de.ini");
  file[u"strOK"] = u"Gut\\nso";
  file[u"strUnknown"] = u"ignored";
  EXPECT_EQ(table.LanguagePath(), u".\\language\\en.ini");
  ASSERT_TRUE(table.Select(u"Deutsch", Reader()));
  EXPECT_EQ(table.Lookup(u"strOK"), u"Gut\nso");
  EXPECT_EQ(table.Lookup(u"strCancel"), u"Cancel");  // empty in the file: the built-in text stays
  EXPECT_EQ(table.Lookup(u"strUnknown"), u"");       // not a registered key
  EXPECT_EQ(table.LanguagePath(), u".\\Language\\de.ini");
}

TEST_F(LanguageTableTest, UnknownLanguageLeavesEveryLookupEmpty) {
  table.RegisterDefault(u"strOK", u"OK");
  table.AddLanguage(u"English", u".\\Language\\English.ini");
  ASSERT_TRUE(table.Select(u"English", Reader()));
  EXPECT_EQ(table.Lookup(u"strOK"), u"OK");
  EXPECT_FALSE(table.Select(u"Klingon", Reader()));
  EXPECT_EQ(table.Lookup(u"strOK"), u"");
}

TEST_F(LanguageTableTest, LaterFileNamingTheSameLanguageWins) {
  table.AddLanguage(u"English", u".\\Language\\a.ini");
  table.AddLanguage(u"English", u".\\Language\\b.ini");
  EXPECT_EQ(table.LanguageNames(), std::vector<std::u16string>{u"English"});
  EXPECT_EQ(table.PathOf(u"English"), u".\\Language\\b.ini");
  EXPECT_TRUE(table.HasLanguage(u"English"));
  EXPECT_FALSE(table.HasLanguage(u"english"));  // names are compared with case
}

}  // namespace
}  // namespace lvx::shell
