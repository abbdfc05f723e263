// The text rules of the settings store and the language table: value conversion, drive selection
// and volume events, skin style, the font file, the registry values, and the language file escapes
// and override.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "platform/text.h"
#include "shell/drive_selection.h"
#include "shell/ini_values.h"
#include "shell/language_table.h"
#include "shell/registry_rules.h"
#include "shell/volume_rules.h"
#include "shell/window_look.h"

namespace lvx::shell {
namespace {

TEST(IniValues, TrimConvertAndTest) {
  EXPECT_EQ(TrimIniValue(u" \t value with blanks \r\n"), u"value with blanks");
  EXPECT_EQ(TrimIniValue(u"   "), u"");
  const std::pair<const char16_t*, int32_t> numbers[] = {
      {u"  42abc", 42}, {u"-7", -7}, {u"abc", 0}, {u"", 0}, {u"99999999999999999999", INT32_MAX},
      {u"-99999999999999999999", INT32_MIN}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(IniDecimal(text), value) << U8(text);
  EXPECT_EQ(IniNumber(-12), u"-12");
  for (const char16_t* yes : {u"TRUE", u" true ", u"True"}) EXPECT_TRUE(IniIsTrue(yes)) << U8(yes);
  for (const char16_t* no : {u"1", u"yes", u"TRUE!", u""}) EXPECT_FALSE(IniIsTrue(no)) << U8(no);
}

TEST(DriveSelection, StoredMaskAndDriveTypes) {
  const std::pair<const char16_t*, uint32_t> masks[] = {
      {u"0X4", 4},  {u"0xffffffff", 0xffffffffu}, {u"  1f", 0x1f}, {u"0x1g", 1},
      {u"zz", 0},   {u"", 0},                     {u"0x123456789", 0xffffffffu}};
  for (const auto& [text, mask] : masks) EXPECT_EQ(ParseDriveMask(text), mask) << U8(text);
  EXPECT_EQ(FormatDriveMask(4), u"0X4");
  EXPECT_EQ(FormatDriveMask(0xffffffffu), u"0XFFFFFFFF");
  // A: removable, C: fixed, D: optical, E: network, F: fixed, G: removable, the rest absent.
  std::map<char16_t, uint32_t> types{{u'A', 2}, {u'C', 3}, {u'D', 5}, {u'E', 4}, {u'F', 3}, {u'G', 2}};
  auto typeOf = [&](const std::u16string& root) {
    EXPECT_EQ(root.substr(1), u":\\");
    auto it = types.find(root[0]);
    return it == types.end() ? 1u : it->second;
  };
  auto bit = [](char16_t letter) { return 1u << (letter - u'A'); };
  EXPECT_EQ(ActiveDriveMask(kFixedDrivesOnly, typeOf), bit(u'C') | bit(u'F'));
  EXPECT_EQ(ActiveDriveMask(bit(u'A') | bit(u'D') | bit(u'E') | bit(u'Z'), typeOf), bit(u'A') | bit(u'E'));
  EXPECT_EQ(ActiveDriveMask(0xfffffffe, typeOf), bit(u'C') | bit(u'E') | bit(u'F') | bit(u'G'));
  types[u'C'] = 5;  // C is an optical drive now: "0X4" selects nothing
  EXPECT_EQ(ActiveDriveMask(0x4, typeOf), 0u);
}

constexpr uint32_t Bit(char letter) { return 1u << (letter - 'A'); }

// D: removable, E: fixed, F: optical, G: network, H: nothing there; C: fixed.
uint32_t TypeOf(const std::u16string& root) {
  EXPECT_TRUE(root.size() == 3 && root.substr(1) == u":\\") << U8(root);
  switch (root[0]) {
    case u'C': case u'E': return 3;
    case u'D': return 2;
    case u'F': return 5;
    case u'G': return 4;
    default: return 1;
  }
}

TEST(VolumeRules, MaskAndJoinedDrives) {
  const auto A = VolumeEvent::Arrival;
  const auto R = VolumeEvent::Removal;
  const uint32_t c = Bit('C');
  const struct {
    const char* what;
    uint32_t active;
    VolumeEvent event;
    uint32_t unit;
    bool autoSelect;
    uint32_t mask, joined;
  } cases[] = {
      {"auto: a removable drive joins", c, A, Bit('D'), true, c | Bit('D'), Bit('D')},
      {"auto: a fixed drive joins", c, A, Bit('E'), true, c | Bit('E'), Bit('E')},
      {"auto: optical, network and empty letters stay out", c, A, Bit('F') | Bit('G') | Bit('H'), true, c, 0},
      {"auto: one volume of several letters, only the fitting join", c, A, Bit('D') | Bit('F') | Bit('E'), true,
       c | Bit('D') | Bit('E'), Bit('D') | Bit('E')},
      {"auto: an arriving drive already selected is refreshed again", c | Bit('D'), A, Bit('D'), true,
       c | Bit('D'), Bit('D')},
      {"auto: removal takes the letters out", c | Bit('D') | Bit('E'), R, Bit('D') | Bit('E'), true, c, 0},
      {"auto: removal of a letter not selected changes nothing", c, R, Bit('D'), true, c, 0},
      {"off: arrival only drops the letter", c | Bit('D'), A, Bit('D'), false, c, 0},
      {"off: arrival of an unselected fixed drive does not add it", c, A, Bit('E'), false, c, 0},
      {"off: removal drops the letter", c | Bit('E'), R, Bit('E'), false, c, 0},
      {"bits past Z are no drives", c, A, 0xFC000000u | Bit('D'), true, c | Bit('D'), Bit('D')},
      {"bits past Z are not cleared from the mask either", 0xFC000000u | c, R, 0xFFFFFFFFu, false, 0xFC000000u, 0},
      {"an empty unit mask changes nothing", c, A, 0, true, c, 0},
  };
  for (const auto& k : cases) {
    VolumeOutcome out = ApplyVolumeEvent(k.active, k.event, k.unit, k.autoSelect, TypeOf);
    EXPECT_EQ(std::pair(out.mask, out.joined), std::pair(k.mask, k.joined)) << k.what;
  }
  EXPECT_EQ(RootRefreshRequest(0) + RootRefreshRequest(25), u"@A:\\@Z:\\");
}

TEST(SkinStyleAndRegistryRules, FromTheStoredTexts) {
  // An empty style depends on the Windows version.
  for (auto [text, major, style] : {std::tuple{u"", 5, SkinStyle::Vista}, {u"", 6, SkinStyle::Default},
                                    {u"VISTA", 10, SkinStyle::Vista}, {u"xp", 5, SkinStyle::Default}})
    EXPECT_EQ(ChooseSkinStyle(text, major), style) << U8(text) << " " << major;
  EXPECT_EQ(RunValueText(u"C:\\Lumivex\\lumivex.exe"), u"C:\\Lumivex\\lumivex.exe /hide");
  EXPECT_EQ(RunValueText(u"C:\\Program Files\\Lumivex\\lumivex.exe"),
            u"\"C:\\Program Files\\Lumivex\\lumivex.exe\" /hide");
  EXPECT_TRUE(RunValueMatches(u"c:\\lumivex\\LUMIVEX.EXE /HIDE", u"C:\\Lumivex\\lumivex.exe /hide"));
  EXPECT_FALSE(RunValueMatches(u"C:\\Lumivex\\lumivex.exe", u"C:\\Lumivex\\lumivex.exe /hide"));
  for (auto [isString, text, rewrite] : {std::tuple{true, u"0", false}, {true, u"1", true}, {false, u"0", true}})
    EXPECT_EQ(AutoEndTasksNeedsRewrite(isString, text), rewrite) << U8(text);
  for (auto [isString, text, rewrite] : {std::tuple{true, u"5000", false}, {true, u"20000", false},
                                         {true, u"4999", true}, {true, u"", true}, {false, u"20000", true}})
    EXPECT_EQ(TimeoutNeedsRewrite(isString, text), rewrite) << U8(text);
}

std::vector<uint8_t> FontBytes(int32_t n, size_t faceUnits) {
  std::vector<uint8_t> bytes(kLogFontBytes, 0x11);
  for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(uint32_t(n) >> (8 * i)));
  for (size_t i = 0; i < faceUnits; ++i) bytes.insert(bytes.end(), {uint8_t('A' + i % 26), 0});
  return bytes;
}

TEST(FontFile, WholeFilesWithAShortFaceNameOnly) {
  FontRecord font;
  for (auto [n, units, ok] : {std::tuple{5, 5, true}, {0, 0, true}, {31, 31, true}, {40, 40, false},
                              {32, 32, false}, {-1, 0, false}, {5, 4, false}}) {
    std::vector<uint8_t> bytes = FontBytes(n, size_t(units));
    font.faceName = u"keep";
    EXPECT_EQ(ParseFontFile(bytes.data(), bytes.size(), &font), ok) << n << "/" << units;
    EXPECT_EQ(font.faceName.size(), ok ? size_t(units) : 4u);
  }
  EXPECT_FALSE(ParseFontFile(FontBytes(5, 5).data(), kLogFontBytes + 3, &font));
  for (size_t i = 0; i < kLogFontBytes; ++i) font.logFont[i] = uint8_t(i);
  FontRecord back;
  for (size_t units : {8, 40}) {  // a longer name is cut to 31 units
    font.faceName = std::u16string(units, u'x');
    std::vector<uint8_t> bytes = SerializeFontFile(font);
    ASSERT_TRUE(ParseFontFile(bytes.data(), bytes.size(), &back));
    EXPECT_EQ(back.faceName, font.faceName.substr(0, 31));
    EXPECT_EQ(back.logFont, font.logFont);
  }
}

// The escape rule in its plainest form, one step at a time: remove the first backslash that has a character
// after it, translate that character, start again from the beginning.
std::u16string ConvertEscapesSlowly(std::u16string value) {
  for (size_t pos; (pos = value.find(u'\\')) != std::u16string::npos && pos + 1 < value.size();) {
    value.erase(pos, 1);
    if (value[pos] == u'n' || value[pos] == u'r') value[pos] = value[pos] == u'n' ? u'\n' : u'\r';
  }
  return value;
}

TEST(LanguageEscapes, OnePassMatchesTheStepwiseRule) {
  EXPECT_EQ(ConvertEscapes(u"two\\nwords"), u"two\nwords");
  EXPECT_EQ(ConvertEscapes(u"ends in \\\\\\"), u"ends in \\");
  EXPECT_EQ(ConvertEscapes(u"\\\\n"), u"\n");  // the kept backslash escapes again
  std::mt19937 random(20240615);
  const char16_t alphabet[] = {u'\\', u'\\', u'\\', u'n', u'r', u'a', u' ', u'\r'};
  for (int round = 0; round < 20000; ++round) {
    std::u16string text(random() % 12, u' ');
    for (char16_t& c : text) c = alphabet[random() % 8];
    ASSERT_EQ(ConvertEscapes(text), ConvertEscapesSlowly(text)) << round;
  }
  std::u16string run(32767, u'\\');  // a run as long as a value can be
  EXPECT_EQ(ConvertEscapes(run), u"\\");
  run.back() = u'n';
  EXPECT_EQ(ConvertEscapes(run), u"\n");
}

TEST(LanguageTable, ChosenFileOverridesBuiltInTexts) {
  LanguageTable table;
  std::map<std::u16string, std::u16string> file{{u"strOK", u"Gut\\nso"}, {u"strUnknown", u"ignored"}};
  auto read = [&](const std::u16string& key) { return file.count(key) ? file[key] : std::u16string(); };
  table.RegisterDefault(u"strOK", u"OK");
  table.RegisterDefault(u"strCancel", u"Cancel");
  table.AddLanguage(u"Deutsch", u".\\Language\\a.ini");
  table.AddLanguage(u"Deutsch", u".\\Language\\de.ini");  // a later file naming the same language wins
  EXPECT_EQ(table.LanguageNames(), std::vector<std::u16string>{u"Deutsch"});
  EXPECT_FALSE(table.HasLanguage(u"deutsch"));  // names are compared with case
  EXPECT_EQ(table.LanguagePath(), u".\\language\\en.ini");
  ASSERT_TRUE(table.Select(u"Deutsch", read));
  EXPECT_EQ(table.Lookup(u"strOK"), u"Gut\nso");
  EXPECT_EQ(table.Lookup(u"strCancel"), u"Cancel");  // empty in the file: the built-in text stays
  EXPECT_EQ(table.Lookup(u"strUnknown"), u"");       // not a registered key
  EXPECT_EQ(table.LanguagePath(), table.PathOf(u"Deutsch"));
  EXPECT_EQ(table.PathOf(u"Deutsch"), u".\\Language\\de.ini");
  EXPECT_FALSE(table.Select(u"Klingon", read));
  EXPECT_EQ(table.Lookup(u"strOK"), u"");  // an unknown language leaves every lookup empty
}

}  // namespace
}  // namespace lvx::shell
