// The filter pages, created hidden and driven by messages as a user would: clicks, typed text,
// combo selections, spin positions and date picks. Checked: the page fields and the request made
// of them; each page drawn into screenshots/.
#include <gtest/gtest.h>

#include <tuple>

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
    EXPECT_EQ(std::tuple(c.searchFor, c.noSubdirs, c.allowOneChar),
              std::tuple(s.searchFor, s.noSubdirs, s.allowOneChar)) << "step " << (&s - steps);
  }
}

TEST_F(OptionsUiTest, SizeAndDateBoundsFollowTheBoxesSpinsAndPickers) {
  CSizeDatePage page;
  ASSERT_TRUE(page.CreatePage(host_.Handle()));
  HWND p = page.Handle();
  EXPECT_FALSE(Enabled(p, IDC_SD_MIN));
  int low = -1, high = -1;
  ::SendDlgItemMessageW(p, IDC_SD_MIN_SPIN, UDM_GETRANGE32, WPARAM(&low), LPARAM(&high));
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 0x7FFFFFFF);

  Click(p, IDC_SD_USE_MIN);  // the box holds 0: every item passes
  EXPECT_TRUE(Enabled(p, IDC_SD_MIN) && Enabled(p, IDC_SD_MIN_SPIN));
  EXPECT_EQ(std::tuple(page.Choices().useMinSize, page.Choices().minSizeKB), std::tuple(1, 0));

  // Typed, by the spin (a null text), emptied; the numbers' rules have their own tests.
  for (auto [text, minSize] : {std::pair<const wchar_t*, int32_t>{L"100", 100}, {nullptr, 250}, {L"", 0}}) {
    if (text)
      Type(p, IDC_SD_MIN, text);
    else
      ::SendDlgItemMessageW(p, IDC_SD_MIN_SPIN, UDM_SETPOS32, 0, 250);
    EXPECT_EQ(page.Choices().minSizeKB, minSize) << (text ? "typed" : "spin");
  }
  Type(p, IDC_SD_MIN, L"100");
  Click(p, IDC_SD_USE_MAX);
  Type(p, IDC_SD_MAX, L"5000");
  Shoot(p, "options_sizedate_page_sizes");
  EXPECT_EQ(std::tuple(page.Choices().minSizeKB, page.Choices().maxSizeKB), std::tuple(100, 5000));

  Click(p, IDC_SD_USE_MIN);  // off: the bound leaves the request and -1 stays
  EXPECT_FALSE(Enabled(p, IDC_SD_MIN));
  EXPECT_EQ(std::tuple(page.Choices().useMinSize, page.Choices().minSizeKB), std::tuple(0, -1));
  Type(p, IDC_SD_MIN, L"7");  // an edit while off changes nothing
  EXPECT_EQ(page.Choices().minSizeKB, -1);

  // A picked day becomes that local day's bounds, by the offset of that day (whose rules have their
  // own tests): a summer and a winter day, one of them in the other season from today.
  Click(p, IDC_SD_USE_FROM);
  Click(p, IDC_SD_USE_TO);
  EXPECT_TRUE(Enabled(p, IDC_SD_FROM) && Enabled(p, IDC_SD_TO));
  Shoot(p, "options_sizedate_page_dates");
  for (WORD month : {7, 1}) {
    PickDay(p, IDC_SD_FROM, 2026, month, 15);
    PickDay(p, IDC_SD_TO, 2026, month, 15);
    os::FileTime first, last;
    ASSERT_TRUE(os::LocalDayToUtc(2026, month, 15, false, &first));
    ASSERT_TRUE(os::LocalDayToUtc(2026, month, 15, true, &last));
    EXPECT_EQ(std::tuple(page.Choices().modifiedFrom.Value(), page.Choices().modifiedTo.Value()),
              std::tuple(first.Value(), last.Value())) << month;
  }
  // A To day before the From day is kept as given (and matches nothing).
  PickDay(p, IDC_SD_FROM, 2026, 7, 15);
  PickDay(p, IDC_SD_TO, 2026, 7, 14);
  EXPECT_LT(page.Choices().modifiedTo.Value(), page.Choices().modifiedFrom.Value());

  Click(p, IDC_SD_USE_FROM);  // off: a new pick does not change the bound
  EXPECT_FALSE(Enabled(p, IDC_SD_FROM));
  const uint64_t kept = page.Choices().modifiedFrom.Value();
  PickDay(p, IDC_SD_FROM, 2026, 1, 1);
  EXPECT_EQ(page.Choices().modifiedFrom.Value(), kept);
  EXPECT_EQ(page.Choices().useFrom, 0);
}

}  // namespace
}  // namespace lvx::options
