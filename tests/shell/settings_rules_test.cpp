// The text rules of the settings store: value conversion, drive selection, skin style, the font
// file and the registry values.
#include <gtest/gtest.h>

#include <map>

#include "shell/drive_selection.h"
#include "shell/ini_values.h"
#include "shell/registry_rules.h"
#include "shell/window_look.h"

namespace lvx::shell {
namespace {

TEST(IniValues, TrimAndConvert) {
  EXPECT_EQ(TrimIniValue(u" \t value with blanks \r\n"), u"value with blanks");
  EXPECT_EQ(TrimIniValue(u"   "), u"");
  EXPECT_EQ(IniDecimal(u"  42abc"), 42);
  EXPECT_EQ(IniDecimal(u"-7"), -7);
  EXPECT_EQ(IniDecimal(u"abc"), 0);
  EXPECT_EQ(IniDecimal(u""), 0);
  EXPECT_EQ(IniDecimal(u"99999999999999999999"), INT32_MAX);
  EXPECT_EQ(IniDecimal(u"-99999999999999999999"), INT32_MIN);
  EXPECT_EQ(IniNumber(-12), u"-12");
}

TEST(IniValues, BooleansAreTrueOnlyForTrue) {
  EXPECT_TRUE(IniIsTrue(u"TRUE"));
  EXPECT_TRUE(IniIsTrue(u" true "));
  EXPECT_TRUE(IniIsTrue(u"True"));
  EXPECT_FALSE(IniIsTrue(u"1"));
  EXPECT_FALSE(IniIsTrue(u"yes"));
  EXPECT_FALSE(IniIsTrue(u"TRUE!"));
  EXPECT_FALSE(IniIsTrue(u""));
}

TEST(DriveSelection, ParsesHexWithOrWithoutPrefix) {
  EXPECT_EQ(ParseDriveMask(u"0X4"), 4u);
  EXPECT_EQ(ParseDriveMask(u"0xffffffff"), 0xffffffffu);
  EXPECT_EQ(ParseDriveMask(u"  1f"), 0x1fu);
  EXPECT_EQ(ParseDriveMask(u"0x1g"), 1u);
  EXPECT_EQ(ParseDriveMask(u"zz"), 0u);
  EXPECT_EQ(ParseDriveMask(u""), 0u);
  EXPECT_EQ(ParseDriveMask(u"0x123456789"), 0xffffffffu);
  EXPECT_EQ(FormatDriveMask(4), u"0X4");
  EXPECT_EQ(FormatDriveMask(0), u"0X0");
  EXPECT_EQ(FormatDriveMask(0xffffffffu), u"0XFFFFFFFF");
  EXPECT_EQ(ParseDriveMask(FormatDriveMask(0x3ffffff)), 0x3ffffffu);
}

TEST(DriveSelection, StoredMaskAppliesToDriveTypes) {
  // A: removable, C: fixed, D: optical, E: network, F: fixed, G: removable, the rest absent.
  std::map<char16_t, uint32_t> types{{u'A', 2}, {u'C', 3}, {u'D', 5}, {u'E', 4}, {u'F', 3}, {u'G', 2}};
  auto typeOf = [&](const std::u16string& root) {
    EXPECT_EQ(root.substr(1), u":\\");
    auto it = types.find(root[0]);
    return it == types.end() ? 1u : it->second;
  };
  auto bit = [](char16_t letter) { return 1u << (letter - u'A'); };
  EXPECT_EQ(ActiveDriveMask(kFixedDrivesOnly, typeOf), bit(u'C') | bit(u'F'));
  EXPECT_EQ(ActiveDriveMask(0x4, typeOf), bit(u'C'));
  EXPECT_EQ(ActiveDriveMask(bit(u'A') | bit(u'D') | bit(u'E') | bit(u'Z'), typeOf), bit(u'A') | bit(u'E'));
  EXPECT_EQ(ActiveDriveMask(0xfffffffe, typeOf), bit(u'C') | bit(u'E') | bit(u'F') | bit(u'G'));
  types[u'C'] = 5;  // C is an optical drive now: "0X4" selects nothing
  EXPECT_EQ(ActiveDriveMask(0x4, typeOf), 0u);
}

TEST(SkinStyle, EmptyDependsOnTheWindowsVersion) {
  EXPECT_EQ(ChooseSkinStyle(u"", 5), SkinStyle::Vista);
  EXPECT_EQ(ChooseSkinStyle(u"", 6), SkinStyle::Default);
  EXPECT_EQ(ChooseSkinStyle(u"VISTA", 10), SkinStyle::Vista);
  EXPECT_EQ(ChooseSkinStyle(u"default", 5), SkinStyle::Default);
  EXPECT_EQ(ChooseSkinStyle(u"xp", 5), SkinStyle::Default);
}

std::vector<uint8_t> FontBytes(int32_t n, size_t faceUnits) {
  std::vector<uint8_t> bytes(kLogFontBytes, 0x11);
  for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(n) >> (8 * i)));
  for (size_t i = 0; i < faceUnits; ++i) {
    bytes.push_back(uint8_t('A' + i % 26));
    bytes.push_back(0);
  }
  return bytes;
}

TEST(FontFile, AcceptsOnlyWholeFilesWithAShortFaceName) {
  FontRecord font;
  std::vector<uint8_t> good = FontBytes(5, 5);
  ASSERT_TRUE(ParseFontFile(good.data(), good.size(), &font));
  EXPECT_EQ(font.faceName, u"ABCDE");
  EXPECT_EQ(font.logFont[91], 0x11);

  std::vector<uint8_t> empty = FontBytes(0, 0);
  ASSERT_TRUE(ParseFontFile(empty.data(), empty.size(), &font));
  EXPECT_EQ(font.faceName, u"");
  std::vector<uint8_t> longest = FontBytes(31, 31);
  EXPECT_TRUE(ParseFontFile(longest.data(), longest.size(), &font));

  FontRecord untouched;
  untouched.faceName = u"keep";
  for (auto bad : {FontBytes(40, 40), FontBytes(32, 32), FontBytes(-1, 0), FontBytes(5, 4)}) {
    FontRecord out = untouched;
    EXPECT_FALSE(ParseFontFile(bad.data(), bad.size(), &out));
    EXPECT_EQ(out.faceName, u"keep");
  }
  EXPECT_FALSE(ParseFontFile(good.data(), kLogFontBytes + 3, &font));
  EXPECT_FALSE(ParseFontFile(good.data(), 0, &font));
}

TEST(FontFile, SerializeRoundTripsAndCutsLongNames) {
  FontRecord font;
  for (size_t i = 0; i < kLogFontBytes; ++i) font.logFont[i] = uint8_t(i);
  font.faceName = u"Segoe UI";
  std::vector<uint8_t> bytes = SerializeFontFile(font);
  EXPECT_EQ(bytes.size(), kLogFontBytes + 4 + 16);
  FontRecord back;
  ASSERT_TRUE(ParseFontFile(bytes.data(), bytes.size(), &back));
  EXPECT_EQ(back.faceName, font.faceName);
  EXPECT_EQ(back.logFont, font.logFont);

  font.faceName = std::u16string(40, u'x');
  bytes = SerializeFontFile(font);
  ASSERT_TRUE(ParseFontFile(bytes.data(), bytes.size(), &back));
  EXPECT_EQ(back.faceName.size(), 31u);
}

TEST(RegistryRules, RunValue) {
  EXPECT_EQ(RunValueText(u"C:\\Lumivex\\lumivex.exe"), u"C:\\Lumivex\\lumivex.exe /hide");
  EXPECT_EQ(RunValueText(u"C:\\Program Files\\Lumivex\\lumivex.exe"),
            u"\"C:\\Program Files\\Lumivex\\lumivex.exe\" /hide");
  EXPECT_TRUE(RunValueMatches(u"c:\\lumivex\\LUMIVEX.EXE /HIDE", u"C:\\Lumivex\\lumivex.exe /hide"));
  EXPECT_FALSE(RunValueMatches(u"C:\\Lumivex\\lumivex.exe", u"C:\\Lumivex\\lumivex.exe /hide"));
}

TEST(RegistryRules, ShutdownTimeouts) {
  EXPECT_FALSE(AutoEndTasksNeedsRewrite(true, u"0"));
  EXPECT_TRUE(AutoEndTasksNeedsRewrite(true, u"1"));
  EXPECT_TRUE(AutoEndTasksNeedsRewrite(false, u"0"));
  EXPECT_FALSE(TimeoutNeedsRewrite(true, u"5000"));
  EXPECT_FALSE(TimeoutNeedsRewrite(true, u"20000"));
  EXPECT_TRUE(TimeoutNeedsRewrite(true, u"4999"));
  EXPECT_TRUE(TimeoutNeedsRewrite(true, u""));
  EXPECT_TRUE(TimeoutNeedsRewrite(false, u"20000"));
}

}  // namespace
}  // namespace lvx::shell
