// The main window's search rules: which keystrokes search, the request with refine mode, the status
// texts and the sort choice.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "shell/search_rules.h"

namespace lvx::shell {
namespace {

// The program's own test types "b", "b*", "b*;", "b*;g", "b*;g*" and "s"; these are the rest.
TEST(SearchRulesTest, TypingRuleEdges) {
  struct Case {
    const char16_t* pattern;
    bool allowOneChar, refineOn, searches;
  } cases[] = {
      {u"", false, false, false}, {u";;", false, false, false}, {u"a;", false, false, true},
      {u"ab;c", true, false, true}, {u"a", false, true, true},  {u"", true, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypingStartsSearch(c.pattern, c.allowOneChar, c.refineOn), c.searches)
        << U8(c.pattern) << " one=" << c.allowOneChar << " refine=" << c.refineOn;
  }
}

TEST(SearchRulesTest, RefineModeRefinesTheBaseSearchAndOtherwiseRunsTheBaseFirst) {
  options::AdvancedChoices advanced;
  advanced.searchFor = 1;
  options::SizeDateChoices sizeDate;
  std::u16string lastFull;
  SearchInputs inputs{u"*.doc", u"T:\\data", false, u"", 0x80000};

  search::SearchRequest full = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
  EXPECT_EQ(full.refine, 0);
  EXPECT_EQ(full.pattern, u"*.doc");
  EXPECT_EQ(full.location, u"T:\\data");
  EXPECT_EQ(full.driveMask, 0x80000u);
  ASSERT_EQ(full.filterCount, 2);
  EXPECT_EQ(full.filterCodes[1], uint32_t(search::FilesOnly));
  EXPECT_EQ(lastFull, u"*.doc");

  // On with the last full search as base: every typed pattern refines it.
  inputs.refineOn = true;
  inputs.refineBase = u"*.doc";
  for (const char16_t* typed : {u"a*", u"b*"}) {
    inputs.pattern = typed;
    search::SearchRequest refine = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
    EXPECT_EQ(refine.refine, 1);
    EXPECT_EQ(refine.pattern, typed);
    EXPECT_EQ(lastFull, u"*.doc") << "a refine is no full search";
  }
  // A base the last full search was not for (case counts) is searched in full first.
  inputs.refineBase = u"*.DOC";
  search::SearchRequest base = BuildSearchRequest(advanced, sizeDate, inputs, &lastFull);
  EXPECT_EQ(base.refine, 0);
  EXPECT_EQ(base.pattern, u"*.DOC");
  EXPECT_EQ(lastFull, u"*.DOC");
  EXPECT_EQ(BuildSearchRequest(advanced, sizeDate, inputs, &lastFull).refine, 1);
}

TEST(SearchRulesTest, StatusTextsCountInThousandsAndTotalsPastFourTerabytes) {
  EXPECT_EQ(FoundStatusText(0, 0, 0), u"0 items found (0KB), in 0.00s");
  EXPECT_EQ(FoundStatusText(1234567, 999, 1234), u"1,234,567 items found (999KB), in 1.23s");
  // 5 TB of files in KB passes 32 bits.
  EXPECT_EQ(FoundStatusText(3, 5368709120ull, 20), u"3 items found (5,368,709,120KB), in 0.02s");
  EXPECT_EQ(FoundStatusText(UINT32_MAX, UINT64_MAX, 0),
            u"4,294,967,295 items found (18,446,744,073,709,551,615KB), in 0.00s");
  EXPECT_EQ(std::u16string(SearchWarningText(search::NotifyBadLocation)),
            u" [WARNING] : The search location is invalid!! Default to be My Computer! ");
  EXPECT_NE(SearchWarningText(search::NotifyRefineNoMemory), nullptr);
  EXPECT_NE(SearchWarningText(search::NotifySearchNoMemory), nullptr);
  EXPECT_EQ(SearchWarningText(search::NotifyElapsed), nullptr);
}

// The menu, the accelerators and the tabs are driven in the program's own test; here the keys and
// the unsorted key it does not reach.
TEST(SearchRulesTest, UnsortedKeepsTheDirectionAndEachKeyStartsInItsOwn) {
  SortChoice choice{search::SortName, false};
  choice = ChooseSort(choice, search::SortUnsorted);
  EXPECT_EQ(choice.key, search::SortUnsorted);
  EXPECT_FALSE(choice.ascending);
  for (auto [key, first] : {std::pair{search::SortDate, false}, {search::SortType, true}, {search::SortLocation, true}}) {
    choice = ChooseSort(choice, key);
    EXPECT_EQ(choice.ascending, first) << int(key);
  }
  EXPECT_EQ(SortButtonText(search::SortType, true, false), u"{a}{f 3}T{u}y{/u}pe{/f}{/a}{f 4}{c #7C7C80}\u25BC{/c}{/f}");
  EXPECT_EQ(SortButtonText(search::SortUnsorted, true, true), u"{a}{f 3}Defa{u}u{/u}lt{/f}{/a}") << "no arrow";
}

}  // namespace
}  // namespace lvx::shell
