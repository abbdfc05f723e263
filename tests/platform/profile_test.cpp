// INI files key by key on every backend, as the settings store uses them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }

  // Writes a UTF-16LE file with a byte-order mark, as the program's default settings files are.
  void WriteUtf16(const std::string& name, const String& text) {
    std::ofstream out(dir_.HostPath() + "/" + name, std::ios::binary);
    out.write("\xFF\xFE", 2);
    for (char16_t c : text) {
      char bytes[2] = {char(c & 0xFF), char(c >> 8)};
      out.write(bytes, 2);
    }
  }
  // The lines of a UTF-16LE file with a byte-order mark.
  std::vector<String> ReadUtf16Lines(const std::string& name) {
    std::ifstream in(dir_.HostPath() + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    String text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8)));
    std::vector<String> lines;
    size_t start = 0;
    for (size_t eol; (eol = text.find(u"\r\n", start)) != String::npos; start = eol + 2)
      lines.push_back(text.substr(start, eol - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
  }

  test::TempDir dir_;
};

TEST_F(ProfileTest, WrittenValuesReadBackWithoutRegardToCase) {
  String file = dir_.Child("settings.ini");
  EXPECT_EQ(GetProfileString(u"OPTIONS", u"KEY", u"fallback", file), u"fallback");  // no file
  ASSERT_TRUE(WriteProfileString(u"OPTIONS", u"SELECT_DRIVES", u"0000000C", file));
  ASSERT_TRUE(WriteProfileString(u"OPTIONS", u"REALTIME_UPDATE", u"1", file));
  ASSERT_TRUE(WriteProfileString(u"STATEINFO", u"CacheFileVersion", u"1", file));
  EXPECT_EQ(GetProfileString(u"options", u"select_drives", u"", file), u"0000000C");
  EXPECT_EQ(GetProfileString(u"StateInfo", u"CACHEFILEVERSION", u"", file), u"1");
  // The same key in another section is another key.
  EXPECT_EQ(GetProfileString(u"STATEINFO", u"REALTIME_UPDATE", u"none", file), u"none");
  EXPECT_EQ(GetProfileString(u"MISSING", u"REALTIME_UPDATE", u"none  ", file), u"none");

  ASSERT_TRUE(WriteProfileString(u"options", u"realtime_update", u"0", file));  // replaces
  EXPECT_EQ(GetProfileString(u"OPTIONS", u"REALTIME_UPDATE", u"", file), u"0");
  EXPECT_EQ(GetProfileInt(u"OPTIONS", u"REALTIME_UPDATE", 9, file), 0);
  ASSERT_TRUE(WriteProfileString(u"OPTIONS", u"EMPTY", u"", file));
  EXPECT_EQ(GetProfileString(u"OPTIONS", u"EMPTY", u"d", file), u"");

  // A file in a folder that does not exist cannot be written.
  EXPECT_FALSE(WriteProfileString(u"A", u"B", u"C", dir_.Child("no/such/x.ini")));
}

TEST_F(ProfileTest, AnExistingFileKeepsItsOtherLinesAndAnyText) {
  WriteUtf16("state.ini",
             u"; kept comment\r\n[OPTIONS]\r\nA=1\r\n  Spaced Key  =  spaced value  \r\n\r\n"
             u"[OTHER]\r\nB=\"quoted\"\r\n");
  String file = dir_.Child("state.ini");
  EXPECT_EQ(GetProfileString(u"OPTIONS", u"spaced key", u"", file), u"spaced value");
  EXPECT_EQ(GetProfileString(u"OTHER", u"B", u"", file), u"quoted");

  const String text = u"\u65e5\u672c \u00e9 \U0001F600";  // survives in a UTF-16 file
  ASSERT_TRUE(WriteProfileString(u"OPTIONS", u"NEW", text, file));
  ASSERT_TRUE(WriteProfileString(u"OPTIONS", u"A", u"2", file));
  ASSERT_TRUE(WriteProfileString(u"THIRD", u"C", u"3", file));
  EXPECT_EQ(GetProfileString(u"OPTIONS", u"NEW", u"", file), text);
  EXPECT_EQ(GetProfileInt(u"OPTIONS", u"A", 0, file), 2);
  EXPECT_EQ(GetProfileString(u"OTHER", u"B", u"", file), u"quoted");
  EXPECT_EQ(GetProfileInt(u"THIRD", u"C", 0, file), 3);

  // Every other line is still there, in order, and the new key sits in its section.
  std::vector<String> lines = ReadUtf16Lines("state.ini");
  auto at = [&](const String& line) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i] == line) return int(i);
    return -1;
  };
  EXPECT_EQ(at(u"; kept comment"), 0);
  EXPECT_GT(at(u"[OPTIONS]"), at(u"; kept comment"));
  EXPECT_GT(at(u"B=\"quoted\""), at(u"[OTHER]"));
  EXPECT_GT(at(u"NEW=" + text), at(u"[OPTIONS]"));
  EXPECT_LT(at(u"NEW=" + text), at(u"[OTHER]"));
  EXPECT_GT(at(u"[THIRD]"), at(u"[OTHER]"));
  EXPECT_EQ(at(u"A=1"), -1);
}

TEST_F(ProfileTest, LongValuesAreCutToTheBuffer) {
  String file = dir_.Child("long.ini");
  String value(40000, u'v');
  value[kProfileBufferChars - 2] = u'x';
  ASSERT_TRUE(WriteProfileString(u"S", u"K", value, file));
  String back = GetProfileString(u"S", u"K", u"", file);
  ASSERT_EQ(back.size(), size_t(kProfileBufferChars - 1));
  EXPECT_EQ(back, value.substr(0, kProfileBufferChars - 1));
  // A short value after it is untouched.
  ASSERT_TRUE(WriteProfileString(u"S", u"L", u"short", file));
  EXPECT_EQ(GetProfileString(u"S", u"L", u"", file), u"short");
}

TEST_F(ProfileTest, IntegersAreTheLeadingDecimalNumber) {
  String file = dir_.Child("ints.ini");
  struct Case {
    const char16_t* value;
    int expected;
  } cases[] = {{u"42", 42}, {u"-17", -17}, {u"+5", 5}, {u"7 days", 7}, {u"12abc", 12},
               {u"abc", 0}, {u"2147483647", 2147483647}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(WriteProfileString(u"N", u"V", cases[i].value, file));
    EXPECT_EQ(GetProfileInt(u"N", u"V", -99, file), cases[i].expected) << "case " << i;
  }
  EXPECT_EQ(GetProfileInt(u"N", u"MISSING", -99, file), -99);
  ASSERT_TRUE(WriteProfileString(u"N", u"V", u"", file));
  EXPECT_EQ(GetProfileInt(u"N", u"V", -99, file), -99);  // an empty value reads as missing
}

TEST_F(ProfileTest, FaultSeamFailsTheWriteAndLeavesTheFile) {
  String file = dir_.Child("seam.ini");
  ASSERT_TRUE(WriteProfileString(u"S", u"K", u"old", file));
  fault::Reset();
  fault::FailNth(fault::Op::Write, 1, kErrorDiskFull);
  EXPECT_FALSE(WriteProfileString(u"S", u"K", u"new", file));
  EXPECT_EQ(LastError(), kErrorDiskFull);
  EXPECT_EQ(GetProfileString(u"S", u"K", u"", file), u"old");
  EXPECT_TRUE(WriteProfileString(u"S", u"K", u"new", file));
  EXPECT_EQ(GetProfileString(u"S", u"K", u"", file), u"new");
}

}  // namespace
}  // namespace lvx::os
