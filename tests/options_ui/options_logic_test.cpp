// The rules of the filter pages and the toolbar that need no window: the toolbar's layout, the
// request's filter codes, the size boxes' numbers, the stored icon paths and the day bounds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "options_ui/filter_choices.h"
#include "options_ui/icon_paths.h"
#include "options_ui/toolbar_layout.h"
#include "platform/local_time.h"

namespace lvx::options {
namespace {

using namespace lvx::search;

TEST(ToolbarLayoutTest, ButtonsFitWithReserveExceptTheLast) {
  struct Case {
    int right, count, shown;  // the first `shown` buttons show, the rest go to the menu
    bool more;
    int moreX;
  } cases[] = {
      {300, 5, 4, true, 282},   // 245 + 85 and 245 + 60 both reach past 300
      {300, 4, 4, false, 275},  // 185 + 85 = 270 < 300
      {306, 5, 5, false, 281},  // the last fits only without the reserve
      {305, 5, 4, true, 287},   // 245 + 60 = 305 is not left of the edge
      {330, 6, 4, true, 312},   // 245 + 85 fails; the last, further right, cannot follow
      {90, 1, 1, false, 65},    // alone, it is the last button
      {65, 1, 0, true, 47},     {200, 0, 0, false, 175},
  };
  for (const Case& c : cases) {
    ToolbarLayout layout = LayoutToolbar(0, c.right, c.count);
    ASSERT_EQ(int(layout.buttons.size()), c.count);
    for (int n = 0; n < c.count; ++n) {
      EXPECT_EQ(layout.buttons[n].x, 5 + 60 * n);
      EXPECT_EQ(layout.buttons[n].shown, n < c.shown) << "right " << c.right << ", button " << n;
    }
    EXPECT_EQ(std::tuple(layout.moreShown, layout.moreX), std::tuple(c.more, c.moreX)) << "right " << c.right;
  }
}

TEST(FilterChoicesTest, RequestTakesCodesInOrderWithBoundsInForce) {
  const os::FileTime from = os::FileTime::From(111), to = os::FileTime::From(222);
  struct Case {
    AdvancedChoices advanced;
    SizeDateChoices sizeDate;
    std::vector<uint32_t> codes;
  } cases[] = {
      {{}, {}, {NameMatches}},
      {{1, 0, 0}, {}, {NameMatches, FilesOnly}},
      {{7, 0, 1}, {}, {NameMatches}},  // an unknown kind searches both
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
    const SizeDateChoices& b = c.sizeDate;
    EXPECT_EQ(std::tuple(request.minSizeKB, request.maxSizeKB, request.modifiedFrom.Value(), request.modifiedTo.Value()),
              std::tuple(b.useMinSize ? uint32_t(b.minSizeKB) : 0u, b.useMaxSize ? uint32_t(b.maxSizeKB) : 0u,
                         b.useFrom ? 111u : 0u, b.useTo ? 222u : 0u)) << (&c - cases);
  }
}

TEST(FilterChoicesTest, SizeTextIsHeldToTheSpinRange) {
  const std::pair<std::u16string, int32_t> sizes[] = {
      {u"", -1},     {u"abc", -1}, {u"0", 0}, {u"100", 100}, {u" 42", 42}, {u"12ab", 12}, {u"2147483647", 2147483647},
      {u"2147483648", 2147483647}, {u"99999999999999", 2147483647},
  };
  for (const auto& [text, size] : sizes) EXPECT_EQ(SizeFromText(text), size) << std::string(text.begin(), text.end());
}

TEST(IconPathsTest, StoredLowerCaseAndRelativeInsideTheProgramFolder) {
  const std::u16string folder = u"C:\\Program Files\\Lumivex";
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Program Files\\Lumivex\\icons\\My.ICO", u".\\icons\\my.ico"},
      {u"c:\\program files\\lumivex\\Top.ico", u".\\top.ico"},
      {u"D:\\Art\\Song.ico", u"d:\\art\\song.ico"},
      {u"C:\\Program Files\\LumivexOld\\a.ico", u"c:\\program files\\lumivexold\\a.ico"},  // a sibling folder
      {u".\\icons\\Music01.ico", u".\\icons\\music01.ico"},
  };
  for (const auto& [path, stored] : cases) {
    EXPECT_EQ(StoredIconPath(path, folder), stored);
    EXPECT_EQ(StoredIconPath(path, folder + u"\\"), stored);
  }
  EXPECT_EQ(IconFilePath(u".\\icons\\a.ico", u"C:\\App\\"), u"C:\\App\\icons\\a.ico");
  EXPECT_EQ(IconFilePath(u"D:\\b.ico", u"C:\\App"), u"D:\\b.ico");
}

uint64_t Utc(int year, int month, int day, int hour, int minute, int second, int ms) {
  static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int64_t years = year - 1601;
  const int64_t days = years * 365 + years / 4 - years / 100 + years / 400 + kBefore[month - 1] + (month > 2 && leap) + day - 1;
  return uint64_t(((days * 24 + hour) * 60 + minute) * 60 + second) * 10000000u + uint64_t(ms) * 10000u;
}

// Each day's bounds take the offset in force on that day, whatever the season of today. In the
// zone of TZ (under wine: set by the test's environment); natively Berlin when none is given.
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
  // Each row: a day, and the offsets in force at its first and at its last millisecond.
  const struct {
    const char* zone;
    int y, m, d, startOffset, endOffset;
  } cases[] = {
      {"Europe/Berlin", 2026, 7, 15, 2, 2},       {"Europe/Berlin", 2026, 1, 15, 1, 1},
      {"Europe/Berlin", 2026, 3, 29, 1, 2},       {"Europe/Berlin", 2026, 10, 25, 2, 1},  // the clocks go on, and back
      {"Australia/Sydney", 2026, 7, 15, 10, 10},  {"Australia/Sydney", 2026, 1, 15, 11, 11},
      {"Australia/Sydney", 2026, 4, 5, 11, 10},   {"Australia/Sydney", 2026, 10, 4, 10, 11},
  };
  int checked = 0;
  for (const auto& c : cases) {
    if (std::string(c.zone) != zone) continue;
    for (bool end : {false, true}) {
      const uint64_t hour = 36000000000ull;
      const uint64_t want = end ? Utc(c.y, c.m, c.d, 23, 59, 59, 999) - c.endOffset * hour
                                : Utc(c.y, c.m, c.d, 0, 0, 0, 0) - c.startOffset * hour;
      os::FileTime got;
      ASSERT_TRUE(os::LocalDayToUtc(c.y, c.m, c.d, end, &got));
      EXPECT_EQ(got.Value(), want) << c.y << "-" << c.m << "-" << c.d << (end ? " end" : " start") << " in " << zone;
      // Shown back as the same wall-clock time, as the results list shows a file's date.
      os::LocalTime shown;
      ASSERT_TRUE(os::UtcToLocal(got, &shown));
      EXPECT_EQ((std::vector<int>{shown.year, shown.month, shown.day, shown.hour, shown.minute, shown.second, shown.millisecond}),
                (std::vector<int>{c.y, c.m, c.d, end ? 23 : 0, end ? 59 : 0, end ? 59 : 0, end ? 999 : 0}));
      ++checked;
    }
  }
  EXPECT_GT(checked, 0) << "no cases for the zone " << zone;
  os::FileTime unused;
  for (auto [y, m, d] : {std::tuple{2026, 2, 29}, {2026, 13, 1}, {1600, 12, 31}, {2026, 4, 31}, {2026, 1, 0}})
    EXPECT_FALSE(os::LocalDayToUtc(y, m, d, false, &unused)) << y << "-" << m << "-" << d;
  EXPECT_TRUE(os::LocalDayToUtc(2024, 2, 29, true, &unused));
}

}  // namespace
}  // namespace lvx::options
