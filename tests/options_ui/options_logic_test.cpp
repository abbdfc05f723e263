// The rules of the filter pages and the toolbar that need no window: the toolbar's layout, the
// request's filter codes, the size boxes' numbers, the typing rule and the stored icon paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "options_ui/filter_choices.h"
#include "options_ui/icon_paths.h"
#include "options_ui/toolbar_layout.h"
#include "platform/local_time.h"

namespace lvx::options {
namespace {

using namespace lvx::search;

TEST(ToolbarLayoutTest, ButtonsFitWithReserveExceptTheLast) {
  struct Case {
    int right, count;
    std::vector<int> shownXs;  // x of each shown button; the rest are hidden
    bool more;
    int moreX;
  } cases[] = {
      {300, 5, {5, 65, 125, 185}, true, 282},  // 245 + 85 and 245 + 60 both reach past 300
      {300, 4, {5, 65, 125, 185}, false, 275},  // 185 + 85 = 270 < 300
      {306, 5, {5, 65, 125, 185, 245}, false, 281},  // the last fits only without the reserve
      {305, 5, {5, 65, 125, 185}, true, 287},  // 245 + 60 = 305 is not left of the edge
      {331, 5, {5, 65, 125, 185, 245}, false, 306},  // 245 + 85 = 330 < 331: fits with the reserve
      {330, 6, {5, 65, 125, 185}, true, 312},  // 245 + 85 = 330 fails; the last at 305 cannot follow
      {90, 1, {5}, false, 65},  // alone, it is the last button
      {65, 1, {}, true, 47},
      {200, 0, {}, false, 175},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "right " << c.right << ", " << c.count << " buttons");
    ToolbarLayout layout = LayoutToolbar(0, c.right, c.count);
    ASSERT_EQ(int(layout.buttons.size()), c.count);
    for (int n = 0; n < c.count; ++n) {
      EXPECT_EQ(layout.buttons[n].x, 5 + 60 * n);
      EXPECT_EQ(layout.buttons[n].shown, n < int(c.shownXs.size())) << "button " << n;
    }
    EXPECT_EQ(layout.moreShown, c.more);
    EXPECT_EQ(layout.moreX, c.moreX);
  }
}

TEST(FilterChoicesTest, RequestTakesCodesInOrderWithBoundsInForce) {
  os::FileTime from = os::FileTime::From(111), to = os::FileTime::From(222);
  struct Case {
    AdvancedChoices advanced;
    SizeDateChoices sizeDate;
    std::vector<uint32_t> codes;
  } cases[] = {
      {{}, {}, {NameMatches}},
      {{0, 1, 1}, {}, {NameMatches, TopLevelOnly}},
      {{1, 0, 0}, {}, {NameMatches, FilesOnly}},
      {{2, 1, 0}, {}, {NameMatches, TopLevelOnly, FoldersOnly}},
      {{7, 0, 0}, {}, {NameMatches}},  // an unknown kind searches both
      {{0, 0, 0}, {100, -1, 1, 0, from, to, 0, 1}, {NameMatches, MinSize, ModifiedTo}},
      {{2, 1, 0}, {0, 50, 1, 1, from, to, 1, 1}, {NameMatches, TopLevelOnly, FoldersOnly, MinSize, MaxSize, ModifiedFrom, ModifiedTo}},
      {{0, 0, 0}, {5, 6, 0, 0, from, to, 0, 0}, {NameMatches}},  // values without their flags are not used
  };
  for (const Case& c : cases) {
    SearchRequest request;
    request.filterCount = 9;  // left from an earlier request
    ApplyFilters(c.advanced, c.sizeDate, &request);
    ASSERT_EQ(request.filterCount, int(c.codes.size()));
    for (size_t i = 0; i < c.codes.size(); ++i) EXPECT_EQ(request.filterCodes[i], c.codes[i]) << i;
    if (c.sizeDate.useMinSize) {
      EXPECT_EQ(request.minSizeKB, uint32_t(c.sizeDate.minSizeKB));
    }
    if (c.sizeDate.useMaxSize) {
      EXPECT_EQ(request.maxSizeKB, uint32_t(c.sizeDate.maxSizeKB));
    }
    if (c.sizeDate.useFrom) {
      EXPECT_EQ(request.modifiedFrom.Value(), 111u);
    }
    if (c.sizeDate.useTo) {
      EXPECT_EQ(request.modifiedTo.Value(), 222u);
    }
  }
}

TEST(FilterChoicesTest, SizeTextAndTypingRule) {
  const std::pair<std::u16string, int32_t> sizes[] = {
      {u"", -1},       {u"abc", -1},          {u"0", 0},          {u"100", 100},        {u" 42", 42},
      {u"12ab", 12},   {u"2147483647", 2147483647}, {u"2147483648", 2147483647}, {u"99999999999999", 2147483647},
  };
  for (const auto& [text, size] : sizes) EXPECT_EQ(SizeFromText(text), size) << std::string(text.begin(), text.end());

  struct Typing {
    std::u16string pattern;
    bool allowOne, refine, starts;
  } typing[] = {
      {u"a", false, false, false}, {u"ab", false, false, true}, {u"*.a;b", false, false, false},
      {u"*.a;bc", false, false, true}, {u"a", true, false, true}, {u"a", false, true, true}, {u"", false, false, false},
  };
  for (const Typing& t : typing)
    EXPECT_EQ(TypingStartsSearch(t.pattern, t.allowOne, t.refine), t.starts) << std::string(t.pattern.begin(), t.pattern.end());
}

TEST(IconPathsTest, StoredLowerCaseAndRelativeInsideTheProgramFolder) {
  const std::u16string folder = u"C:\\Program Files\\Lumivex";
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Program Files\\Lumivex\\icons\\My.ICO", u".\\icons\\my.ico"},
      {u"c:\\program files\\lumivex\\Top.ico", u".\\top.ico"},
      {u"D:\\Art\\Song.ico", u"d:\\art\\song.ico"},
      {u"C:\\Program Files\\LumivexOld\\a.ico", u"c:\\program files\\lumivexold\\a.ico"},  // a sibling folder
      {u".\\icons\\Music01.ico", u".\\icons\\music01.ico"},
      {u"", u""},
  };
  for (const auto& [path, stored] : cases) {
    EXPECT_EQ(StoredIconPath(path, folder), stored);
    EXPECT_EQ(StoredIconPath(path, folder + u"\\"), stored);
  }
  EXPECT_EQ(IconFilePath(u".\\icons\\a.ico", u"C:\\App\\"), u"C:\\App\\icons\\a.ico");
  EXPECT_EQ(IconFilePath(u"D:\\b.ico", u"C:\\App"), u"D:\\b.ico");
}

// A UTC time as a file time.
uint64_t Utc(int year, int month, int day, int hour, int minute, int second, int ms) {
  static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int64_t years = year - 1601;
  const int64_t days = years * 365 + years / 4 - years / 100 + years / 400 + kBefore[month - 1] + (month > 2 && leap) + day - 1;
  return uint64_t(((days * 24 + hour) * 60 + minute) * 60 + second) * 10000000u + uint64_t(ms) * 10000u;
}

// Each day's bounds take the offset in force on that day, whatever the season of today. Runs in
// the zone of TZ (the Windows build under wine: set by the test's environment); natively Berlin
// when none is given.
TEST(LocalDayTest, BoundsTakeTheOffsetOfThatDay) {
  const char* zone = std::getenv("TZ");
#ifndef _WIN32
  if (!zone || !*zone) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    zone = "Europe/Berlin";
  }
#endif
  if (!zone || !*zone) GTEST_SKIP() << "no TZ given";
  struct Case {
    const char* zone;
    int y, m, d;
    bool end;
    uint64_t utc;
  } cases[] = {
      {"Europe/Berlin", 2026, 7, 15, false, Utc(2026, 7, 14, 22, 0, 0, 0)},  // summer, +2
      {"Europe/Berlin", 2026, 7, 15, true, Utc(2026, 7, 15, 21, 59, 59, 999)},
      {"Europe/Berlin", 2026, 1, 15, false, Utc(2026, 1, 14, 23, 0, 0, 0)},  // winter, +1
      {"Europe/Berlin", 2026, 1, 15, true, Utc(2026, 1, 15, 22, 59, 59, 999)},
      {"Europe/Berlin", 2026, 3, 29, false, Utc(2026, 3, 28, 23, 0, 0, 0)},  // the day the clocks go on
      {"Europe/Berlin", 2026, 3, 29, true, Utc(2026, 3, 29, 21, 59, 59, 999)},
      {"Europe/Berlin", 2026, 10, 25, false, Utc(2026, 10, 24, 22, 0, 0, 0)},  // and back
      {"Europe/Berlin", 2026, 10, 25, true, Utc(2026, 10, 25, 22, 59, 59, 999)},
      {"Australia/Sydney", 2026, 7, 15, false, Utc(2026, 7, 14, 14, 0, 0, 0)},  // winter there, +10
      {"Australia/Sydney", 2026, 1, 15, false, Utc(2026, 1, 14, 13, 0, 0, 0)},  // summer, +11
      {"Australia/Sydney", 2026, 1, 15, true, Utc(2026, 1, 15, 12, 59, 59, 999)},
  };
  int checked = 0;
  for (const Case& c : cases) {
    if (std::string(c.zone) != zone) continue;
    os::FileTime got;
    ASSERT_TRUE(os::LocalDayToUtc(c.y, c.m, c.d, c.end, &got)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(got.Value(), c.utc) << c.y << "-" << c.m << "-" << c.d << (c.end ? " end" : " start") << " in " << zone;
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no cases for the zone " << zone;
  os::FileTime unused;
  for (auto [y, m, d] : {std::tuple{2026, 2, 29}, {2026, 13, 1}, {1600, 12, 31}, {2026, 4, 31}, {2026, 1, 0}})
    EXPECT_FALSE(os::LocalDayToUtc(y, m, d, false, &unused)) << y << "-" << m << "-" << d;
  EXPECT_TRUE(os::LocalDayToUtc(2024, 2, 29, true, &unused));
}

}  // namespace
}  // namespace lvx::options
