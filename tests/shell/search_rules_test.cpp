// The main window's search rules: which keystrokes search, the request with refine mode, the status
// texts and the sort choice.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/text.h"
#include "shell/search_rules.h"

namespace lvx::shell {
namespace {

// The program's own test types "b", "b*", "b*;", "b*;g", "b*;g*" and "s"; these are the rest.
TEST(SearchRulesTest, TypingRuleEdges) {
  for (auto [pattern, allowOneChar, refineOn, searches] :
       {std::tuple{u"", false, false, false}, {u";;", false, false, false}, {u"a;", false, false, true},
        {u"ab;c", true, false, true}, {u"a", false, true, true}, {u"", true, false, true}})
    EXPECT_EQ(TypingStartsSearch(pattern, allowOneChar, refineOn), searches)
        << U8(pattern) << " one=" << allowOneChar << " refine=" << refineOn;
}

TEST(SearchRulesTest, RefineModeRefinesTheBaseSearchAndOtherwiseRunsTheBaseFirst) {
  options::AdvancedChoices advanced;
  advanced.searchFor = 1;
  options::SizeDateChoices sizeDate;
  std::u16string lastFull;
  SearchInputs inputs{u"*.doc", u"T:\\data", false, u"", 0x80000};

  search::SearchRequest full = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
  EXPECT_EQ(std::tuple(full.refine, full.pattern, full.location, full.driveMask), std::tuple(0, u"*.doc", u"T:\\data", 0x80000u));
  ASSERT_EQ(full.filterCount, 2);
  EXPECT_EQ(full.filterCodes[1], uint32_t(search::FilesOnly));
  EXPECT_EQ(lastFull, u"*.doc");

  // On with the last full search as base: every typed pattern refines it.
  inputs.refineOn = true;
  inputs.refineBase = u"*.doc";
  for (const char16_t* typed : {u"a*", u"b*"}) {
    inputs.pattern = typed;
    search::SearchRequest refine = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
    EXPECT_EQ(std::tuple(refine.refine, refine.pattern), std::tuple(1, typed));
    EXPECT_EQ(lastFull, u"*.doc") << "a refine is no full search";
  }
  // A base the last full search was not for (case counts) is searched in full first.
  inputs.refineBase = u"*.DOC";
  search::SearchRequest base = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
  EXPECT_EQ(std::tuple(base.refine, base.pattern), std::tuple(0, u"*.DOC"));
  EXPECT_EQ(lastFull, u"*.DOC");
  EXPECT_EQ(BuildSearchRequest(advanced, sizeDate, inputs, &lastFull).refine, 1);
}

TEST(SearchRulesTest, StatusCountsInThousandsTotalsPastFourTerabytesAndSortKeys) {
  EXPECT_EQ(FoundStatusText(1234567, 999, 1234), u"1,234,567 items found (999KB), in 1.23s");
  EXPECT_EQ(FoundStatusText(UINT32_MAX, UINT64_MAX, 0),
            u"4,294,967,295 items found (18,446,744,073,709,551,615KB), in 0.00s");
  EXPECT_EQ(SearchWarningText(search::NotifyElapsed), nullptr);
  for (auto code : {search::NotifyBadLocation, search::NotifyRefineNoMemory, search::NotifySearchNoMemory})
    EXPECT_NE(SearchWarningText(code), nullptr) << int(code);
  // The menu, the accelerators and the tabs are driven in the program's own test; here the keys and
  // the unsorted key it does not reach: it keeps the direction, and each key starts in its own.
  SortChoice choice = ChooseSort({search::SortName, false}, search::SortUnsorted);
  EXPECT_EQ(std::tuple(choice.key, choice.ascending), std::tuple(search::SortUnsorted, false));
  for (auto [key, first] : {std::pair{search::SortDate, false}, {search::SortType, true}, {search::SortLocation, true}}) {
    choice = ChooseSort(choice, key);
    EXPECT_EQ(choice.ascending, first) << int(key);
  }
  EXPECT_EQ(SortButtonText(search::SortType, true, false), u"{a}{f 3}T{u}y{/u}pe{/f}{/a}{f 4}{c #7C7C80}\u25BC{/c}{/f}");
  EXPECT_EQ(SortButtonText(search::SortUnsorted, true, true), u"{a}{f 3}Defa{u}u{/u}lt{/f}{/a}") << "no arrow";
}

}  // namespace
}  // namespace lvx::shell
