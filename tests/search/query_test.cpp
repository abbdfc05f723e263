// Query compilation, the five matchers (fast, sized and reference forms held to the same answers, on
// a table of cases and on random input) and the typing rule.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "search/query.h"

namespace lvx::search {
namespace {

Matcher ReferenceOf(MatcherKind kind) {
  switch (kind) {
    case MatcherKind::Substring: return reference::MatchSubstring;
    case MatcherKind::Star: return reference::MatchStar;
    case MatcherKind::StarList: return reference::MatchStarList;
    case MatcherKind::Wild: return reference::MatchWild;
    case MatcherKind::WildList: return reference::MatchWildList;
  }
  return nullptr;
}

TEST(CompileQuery, ChoosesTheMatcherAndBuildsAFoldedPatternList) {
  const std::pair<const char16_t*, MatcherKind> kinds[] = {
      {u"a;b?", MatcherKind::WildList}, {u"*.avi;*.rmvb", MatcherKind::StarList}, {u"a?c", MatcherKind::Wild},
      {u"*.mp3", MatcherKind::Star},    {u"report 2010.doc", MatcherKind::Substring}, {u";", MatcherKind::StarList}};
  for (const auto& [query, kind] : kinds) EXPECT_EQ(CompileQuery(query).Kind(), kind) << int(kind);
  CompiledQuery q = CompileQuery(u"*.AVI;Ä;x");
  const char16_t expected[] = {u'*', u'.', u'a', u'v', u'i', 0, u'Ä', 0, u'x', 0, 0};
  EXPECT_EQ(std::u16string(q.PatternList(), std::size(expected)), std::u16string(expected, std::size(expected)));
  CompiledQuery empty = CompileQuery(u"");
  ASSERT_TRUE(empty.Valid());
  EXPECT_EQ(empty.PatternList()[0] | empty.PatternList()[1], 0);
  EXPECT_EQ(FoldQuery(u"AbZ[@`{Ä"), u"abz[@`{Ä");
}

struct MatchCase {
  std::u16string query, name;
  bool found;
};

TEST(Matchers, TableOfCases) {
  const std::u16string clef = u"\U0001D11E";  // outside the basic plane: two code units
  std::u16string longName = std::u16string(4000, u'a') + u"Needle.TXT";
  const MatchCase cases[] = {
      // Substring, ASCII folding on both sides only; '@' '[' '`' '{' sit beside the letters.
      {u"REPORT", u"report.txt", true}, {u"REPORT", u"My Report.doc", true}, {u"REPORT", u"REPORTS", true},
      {u"report", u"Annual Report 2010.doc", true}, {u"report", u"repor", false}, {u"Ärger", u"Ärger.txt", true},
      {u"Ärger", u"ärger.txt", false}, {u"ärger", u"Ärger.txt", false}, {u"`", u"@", false}, {u"{", u"[", false},
      {u"a b", u"x A B y", true}, {u"aab", u"aaaaaaaaaaaaaaaaaaaaab", true}, {u"aab", u"aaaaaaaaaaaaaaaaaaaaaa", false},
      // Stars: whole-name patterns.
      {u"*.mp3", u"a.mp3", true}, {u"*.mp3", u"a.mp3.mp3", true}, {u"*.mp3", u"A.MP3", true},
      {u"*.mp3", u"a.mp3x", false}, {u"*.mp3", u"mp3", false}, {u"abc*", u"abc", true}, {u"abc*", u"abcdef", true},
      {u"abc*", u"xabc", false}, {u"*e", u"bee", true}, {u"a*b", u"ab", true}, {u"a*b*c", u"aXbYbZc", true},
      {u"a*b*c", u"aXcYb", false}, {u"*", u"anything at all", true}, {u"***", u"x", true}, {u"**a**", u"bab", true},
      {u"*aba*ba", u"xaba", false}, {u"*aba*ba", u"xababa", true},  // the segments must not share a letter
      // '?' is one code unit.
      {u"a?c", u"abc", true}, {u"a?c", u"ac", false}, {u"a?c", u"abbc", false}, {u"??", u"xy", true},
      {u"??", u"x", false}, {u"??", u"xyz", false}, {u"*?", u"x", true}, {u"?*", u"", false}, {u"??", clef, true},
      {u"?", clef, false}, {u"*" + clef + u"*", u"x" + clef + u".mid", true}, {clef, u"song " + clef, true},
      {u"*\xD834", u"a\xD834", true}, {u"*\xD834", u"a\xD835", false},
      // Lists: alternatives in order; an empty one after the first position ends the list.
      {u"report;invoice", u"report.doc", false}, {u"report;invoice", u"INVOICE", true},
      {u"report*;invoice*", u"report.doc", true}, {u"*.avi;*.rmvb", u"x.avi", true},
      {u"*.avi;*.rmvb", u"x.RMVB", true}, {u"ab;ac", u"ac", true}, {u"*;*", u"x", true}, {u";", u"x", false},
      {u";;", u";", false}, {u";abc", u"ABC", true}, {u";abc", u"abcd", false}, {u"abc;;def", u"abc", true},
      {u"abc;;def", u"def", false}, {u";;def", u"def", false}, {u"abc;", u"abc", true},
      {u"x?;*.doc", u"report.DOC", true}, {u"x?;*.doc", u"xy", true}, {u"x?;*.doc", u"xyz", false},
      {u"*;*;*", u"a", true},
      // Long names and patterns.
      {u"needle", longName, true}, {u"*needle.txt", longName, true}, {u"a*a*a*a*needle*", longName, true},
      {u"*needle", longName, false}, {u"a*b*", longName, false}, {std::u16string(300, u'*'), longName, true},
      {std::u16string(300, u'?') + u"*", longName, true}, {std::u16string(5000, u'?'), longName, false},
  };
  for (const MatchCase& c : cases) {
    CompiledQuery q = CompileQuery(c.query);
    ASSERT_TRUE(q.Valid());
    const std::string what = std::to_string(&c - cases);
    EXPECT_EQ(q.Matches(c.name.c_str()), c.found) << "case " << what;
    EXPECT_EQ(q.Matches(c.name.data(), uint32_t(c.name.size())), c.found) << "sized, case " << what;
    EXPECT_EQ(ReferenceOf(q.Kind())(c.name.c_str(), q.PatternList()), c.found) << "reference, case " << what;
  }
}

std::u16string Draw(std::mt19937& rng, const std::u16string& alphabet, int maxLength) {
  std::u16string s(size_t(rng() % (maxLength + 1)), u' ');
  for (char16_t& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

// The fast matchers against the reference ones on names and patterns from small alphabets, so that
// near-misses, repeated first characters, overlapping segments and the special characters are met
// often; names may hold upper case, the special characters, non-ASCII letters and a lone surrogate.
TEST(Matchers, FastAgreeWithReferenceOnRandomInput) {
  struct {
    Matcher fast;
    SizedMatcher sized;
    Matcher slow;
    std::u16string patternAlphabet;
    int patternMax, nameMax;
  } const kinds[] = {
      {MatchSubstring, MatchSubstringSized, reference::MatchSubstring, u"aAb.?*\u00C4", 3, 14},
      {MatchStar, MatchStarSized, reference::MatchStar, u"ab.?***", 8, 14},
      {MatchWild, MatchWildSized, reference::MatchWild, u"ab?**\u00E4", 8, 14},
      {MatchStarList, MatchStarListSized, reference::MatchStarList, u"ab.**;;", 10, 14},
      {MatchWildList, MatchWildListSized, reference::MatchWildList, u"ab??*;;", 10, 14},
      // Long names exercise the vector scans and their tails.
      {MatchSubstring, MatchSubstringSized, reference::MatchSubstring, u"abc", 3, 70},
      {MatchStar, MatchStarSized, reference::MatchStar, u"abc*", 6, 70},
  };
  std::mt19937 rng(1);
  const std::u16string nameAlphabet = u"aAbBc.?*;\u00C4\u00E4\xD834";
  for (const auto& k : kinds) {
    const int rounds = 100000;
    int matches = 0;
    for (int i = 0; i < rounds; ++i) {
      std::u16string name = Draw(rng, nameAlphabet, k.nameMax);
      std::u16string list = FoldQuery(Draw(rng, k.patternAlphabet, k.patternMax));
      for (char16_t& c : list)
        if (c == u';') c = 0;
      list.append(2, u'\0');
      bool slow = k.slow(name.c_str(), list.c_str());
      ASSERT_EQ(k.fast(name.c_str(), list.c_str()), slow) << "kind " << (&k - kinds) << " round " << i;
      ASSERT_EQ(k.sized(name.data(), uint32_t(name.size()), list.c_str()), slow) << "kind " << (&k - kinds);
      matches += slow;
    }
    // The draw must produce both answers in quantity, or the comparison proves little.
    EXPECT_GT(matches, rounds / 200) << "kind " << (&k - kinds);
    EXPECT_LT(matches, rounds - rounds / 200) << "kind " << (&k - kinds);
  }
}

// A name that holds none of a query's required characters never matches it, so the walk may skip
// the matcher for it; and the set is not empty where it need not be.
TEST(RequiredChars, NoMatchWithoutThem) {
  std::mt19937 rng(8);
  int skipped = 0;
  for (int i = 0; i < 200000; ++i) {
    std::u16string query = Draw(rng, u"abcX.?*;\u00C4", 7);
    if (query.empty()) continue;
    CompiledQuery q = CompileQuery(query);
    std::u16string name = Draw(rng, u"aAbBcxX.?*\u00C4", 10);
    const RequiredChars& required = q.Required();
    uint32_t seen = 0;
    for (char16_t c : name) seen |= required.BitOf(c);
    if (required.count == 0 || required.Satisfied(seen)) continue;
    ++skipped;
    ASSERT_FALSE(q.Matches(name.c_str())) << "round " << i;
  }
  EXPECT_GT(skipped, 10000);
  const std::tuple<const char16_t*, int, bool> sets[] = {
      {u"mp3", 1, true},   {u"*.MP3", 1, true}, {u"quartz", 1, true},  // the rarest one
      {u"*.jpg;*.bmp", 2, false}, {u"*", 0, false}, {u"a;??", 0, false},  // an alternative without literals
      {u"a;b;c;d;e", 0, false},  // more than four alternatives
      {u";x;;y", 1, false},      // "y" is never tried
  };
  for (const auto& [query, count, all] : sets) {
    EXPECT_EQ(CompileQuery(query).Required().count, count) << std::u16string(query).size();
    if (count > 0) {
      EXPECT_EQ(CompileQuery(query).Required().all, all);
    }
  }
}

TEST(TypingRule, StartsASearchOnlyWhenTheLastAlternativeHasTwoCharacters) {
  const std::tuple<bool, const char16_t*, bool, bool> cases[] = {
      {false, u"a", false, false},      {false, u"ab", false, true},  {false, u"*.mp3;a", false, false},
      {false, u"*.mp3;ab", false, true}, {false, u"", false, false},  {false, u"a;", false, true},
      {true, u"a", false, true},        {true, u"", false, true},     {false, u"a", true, true},
      {false, u"x;a", true, true}};
  for (const auto& [oneChar, query, refine, starts] : cases)
    EXPECT_EQ(TypingStartsSearch(oneChar, query, refine), starts) << oneChar << refine << std::u16string(query).size();
}

}  // namespace
}  // namespace lvx::search
