// The filter pages, created hidden and driven by messages as a user would: clicks, typed text,
// combo selections, spin positions and date picks. Checked: the page fields and the request made
// of them; each page drawn into screenshots/.
#include <gtest/gtest.h>

#include "options_test_support.h"
#include "options_ui/advanced_page.h"
#include "options_ui/size_date_page.h"
#include "platform/local_time.h"
#include "resource.h"

namespace lvx::options {
namespace {

using namespace lvx::search;

TEST_F(OptionsUiTest, AdvancedPageChoicesBecomeFilterCodes) {
  CAdvancedPage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  ui::CComboBox combo;
  combo.Attach(::GetDlgItem(p, IDC_ADV_SEARCH_FOR));
  ASSERT_EQ(combo.Count(), 3);
  EXPECT_EQ(combo.ItemText(2), L"Search For : Folders Only");
  EXPECT_EQ(combo.Selection(), 0);
  EXPECT_EQ(combo.Text(), L"Search For : Files and Folders");
  Shoot(p, "options_advanced_page");

  struct Step {
    int id;  // a check box to click, or the combo with the item to select
    int item;
    int searchFor, noSubdirs, allowOneChar;
  } steps[] = {
      {IDC_ADV_NO_SUBDIRS, 0, 0, 1, 0},      {IDC_ADV_SEARCH_FOR, 2, 2, 1, 0}, {IDC_ADV_ALLOW_ONE_CHAR, 0, 2, 1, 1},
      {IDC_ADV_SEARCH_FOR, 1, 1, 1, 1},      {IDC_ADV_NO_SUBDIRS, 0, 1, 0, 1}, {IDC_ADV_SEARCH_FOR, 0, 0, 0, 1},
  };
  for (const Step& s : steps) {
    if (s.id == IDC_ADV_SEARCH_FOR) {
      combo.Select(s.item);
      Command(p, s.id, CBN_SELCHANGE);
    } else {
      Click(p, s.id);
    }
    const AdvancedChoices& c = page.Choices();
    EXPECT_EQ(c.searchFor, s.searchFor);
    EXPECT_EQ(c.noSubdirs, s.noSubdirs);
    EXPECT_EQ(c.allowOneChar, s.allowOneChar);
  }
  // Folders only, one level: the request's codes.
  combo.Select(2);
  Command(p, IDC_ADV_SEARCH_FOR, CBN_SELCHANGE);
  Click(p, IDC_ADV_NO_SUBDIRS);
  SearchRequest request;
  ApplyFilters(page.Choices(), SizeDateChoices{}, &request);
  ASSERT_EQ(request.filterCount, 3);
  EXPECT_EQ(request.filterCodes[1], TopLevelOnly);
  EXPECT_EQ(request.filterCodes[2], FoldersOnly);
}

TEST_F(OptionsUiTest, SizeBoundsFollowTheBoxesAndSpins) {
  CSizeDatePage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  EXPECT_FALSE(Enabled(p, IDC_SD_MIN));
  int low = -1, high = -1;
  ::SendDlgItemMessageW(p, IDC_SD_MIN_SPIN, UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 0x7FFFFFFF);

  Click(p, IDC_SD_USE_MIN);  // the box holds 0: every item passes
  EXPECT_TRUE(Enabled(p, IDC_SD_MIN));
  EXPECT_TRUE(Enabled(p, IDC_SD_MIN_SPIN));
  EXPECT_EQ(page.Choices().useMinSize, 1);
  EXPECT_EQ(page.Choices().minSizeKB, 0);

  struct Edit {
    const wchar_t* text;  // typed, or null for the spin position below
    int spin;
    int32_t minSize;
  } edits[] = {{L"100", 0, 100}, {nullptr, 250, 250}, {L"2147483647", 0, 2147483647}, {L"9999999999", 0, 2147483647}, {L"", 0, 0}};
  for (const Edit& e : edits) {
    if (e.text)
      Type(p, IDC_SD_MIN, e.text);
    else
      ::SendDlgItemMessageW(p, IDC_SD_MIN_SPIN, UDM_SETPOS32, 0, e.spin);
    EXPECT_EQ(page.Choices().minSizeKB, e.minSize) << (e.text ? std::string(e.text, e.text + wcslen(e.text)) : "spin");
  }
  Type(p, IDC_SD_MIN, L"100");
  Click(p, IDC_SD_USE_MAX);
  Type(p, IDC_SD_MAX, L"5000");
  Shoot(p, "options_sizedate_page_sizes");
  SearchRequest request;
  ApplyFilters(AdvancedChoices{}, page.Choices(), &request);
  ASSERT_EQ(request.filterCount, 3);
  EXPECT_EQ(request.filterCodes[1], MinSize);
  EXPECT_EQ(request.minSizeKB, 100u);
  EXPECT_EQ(request.filterCodes[2], MaxSize);
  EXPECT_EQ(request.maxSizeKB, 5000u);

  Click(p, IDC_SD_USE_MIN);  // off: the bound leaves the request and -1 stays
  EXPECT_FALSE(Enabled(p, IDC_SD_MIN));
  EXPECT_EQ(page.Choices().useMinSize, 0);
  EXPECT_EQ(page.Choices().minSizeKB, -1);
  Type(p, IDC_SD_MIN, L"7");  // an edit while off changes nothing
  EXPECT_EQ(page.Choices().minSizeKB, -1);
  ApplyFilters(AdvancedChoices{}, page.Choices(), &request);
  ASSERT_EQ(request.filterCount, 2);
  EXPECT_EQ(request.filterCodes[1], MaxSize);
}

// A file written on a day is inside that day's From/To range, whether the day is in the summer
// or the winter half of the year. Run with TZ=Europe/Berlin (and Australia/Sydney, the other way
// round): the current offset of today is wrong for half of these days.
TEST_F(OptionsUiTest, DateRangeKeepsExactlyTheFilesOfTheLocalDay) {
  CSizeDatePage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  Click(p, IDC_SD_USE_FROM);
  Click(p, IDC_SD_USE_TO);
  EXPECT_TRUE(Enabled(p, IDC_SD_FROM));
  EXPECT_TRUE(Enabled(p, IDC_SD_TO));
  Shoot(p, "options_sizedate_page_dates");

  // Local times of the day as file times in UTC, by the system's own rule for that date.
  auto localToUtc = [](WORD y, WORD m, WORD d, WORD h, WORD mi) {
    SYSTEMTIME local = {y, m, 0, d, h, mi, 0, 0}, utc;
    FILETIME ft;
    ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    ::SystemTimeToFileTime(&utc, &ft);
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  };
  const uint64_t minute = 600000000ull;
  struct Day {
    WORD y, m, d;
  } days[] = {{2026, 7, 15}, {2026, 1, 15}, {2026, 3, 29}, {2026, 10, 25}};
  for (const Day& day : days) {
    SCOPED_TRACE(testing::Message() << day.y << "-" << day.m << "-" << day.d);
    PickDay(p, IDC_SD_FROM, day.y, day.m, day.d);
    PickDay(p, IDC_SD_TO, day.y, day.m, day.d);
    const uint64_t from = page.Choices().modifiedFrom.Value(), to = page.Choices().modifiedTo.Value();
    const uint64_t firstMinute = localToUtc(day.y, day.m, day.d, 0, 0), lastMinute = localToUtc(day.y, day.m, day.d, 23, 59);
    EXPECT_EQ(from, firstMinute);
    EXPECT_EQ(to, lastMinute + minute - 10000);  // 23:59:59.999
    // In: 00:30 and 23:30 of the day. Out: a minute before and after it.
    EXPECT_LE(from, firstMinute + 30 * minute);
    EXPECT_GE(to, lastMinute - 29 * minute);
    EXPECT_GT(from, firstMinute - minute);
    EXPECT_LT(to, lastMinute + minute);
  }
  // Against a fixed table: the summer day keeps its summer offset while it is winter now.
  PickDay(p, IDC_SD_FROM, 2026, 7, 15);
  os::FileTime expected;
  ASSERT_TRUE(os::LocalDayToUtc(2026, 7, 15, false, &expected));
  EXPECT_EQ(page.Choices().modifiedFrom.Value(), expected.Value());

  // A To day before the From day is kept as given and matches nothing.
  PickDay(p, IDC_SD_TO, 2026, 7, 14);
  SearchRequest request;
  ApplyFilters(AdvancedChoices{}, page.Choices(), &request);
  ASSERT_EQ(request.filterCount, 3);
  EXPECT_EQ(request.filterCodes[1], ModifiedFrom);
  EXPECT_EQ(request.filterCodes[2], ModifiedTo);
  EXPECT_LT(request.modifiedTo.Value(), request.modifiedFrom.Value());

  Click(p, IDC_SD_USE_FROM);  // off: a new pick does not change the bound
  EXPECT_FALSE(Enabled(p, IDC_SD_FROM));
  const uint64_t kept = page.Choices().modifiedFrom.Value();
  PickDay(p, IDC_SD_FROM, 2026, 1, 1);
  EXPECT_EQ(page.Choices().modifiedFrom.Value(), kept);
  EXPECT_EQ(page.Choices().useFrom, 0);
}

}  // namespace
}  // namespace lvx::options
