// Query compilation, the five matchers (fast and reference, on the same cases) and the typing rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/query.h"

namespace lvx::search {
namespace {

// Runs one query through the compiled matcher, the sized form and the reference matcher of the same
// kind, and insists that all three agree before returning the answer.
bool Finds(const std::u16string& query, const std::u16string& name) {
  CompiledQuery q = CompileQuery(query);
  EXPECT_TRUE(q.Valid());
  bool fast = q.Matches(name.c_str());
  bool sized = q.Matches(name.data(), uint32_t(name.size()));
  Matcher ref = nullptr;
  switch (q.Kind()) {
    case MatcherKind::Substring: ref = reference::MatchSubstring; break;
    case MatcherKind::Star: ref = reference::MatchStar; break;
    case MatcherKind::StarList: ref = reference::MatchStarList; break;
    case MatcherKind::Wild: ref = reference::MatchWild; break;
    case MatcherKind::WildList: ref = reference::MatchWildList; break;
  }
  bool slow = ref(name.c_str(), q.PatternList());
  EXPECT_EQ(fast, slow) << "query and name disagree between fast and reference";
  EXPECT_EQ(fast, sized);
  return fast;
}

TEST(CompileQuery, ChoosesTheMatcherByTheSpecialCharacters) {
  EXPECT_EQ(CompileQuery(u"a;b?").Kind(), MatcherKind::WildList);
  EXPECT_EQ(CompileQuery(u"*.avi;*.rmvb").Kind(), MatcherKind::StarList);
  EXPECT_EQ(CompileQuery(u"a?c").Kind(), MatcherKind::Wild);
  EXPECT_EQ(CompileQuery(u"*.mp3").Kind(), MatcherKind::Star);
  EXPECT_EQ(CompileQuery(u"report 2010.doc").Kind(), MatcherKind::Substring);
  EXPECT_EQ(CompileQuery(u";").Kind(), MatcherKind::StarList);
}

TEST(CompileQuery, BuildsAFoldedPatternListWithTwoTerminators) {
  CompiledQuery q = CompileQuery(u"*.AVI;Ä;x");
  const char16_t expected[] = {u'*', u'.', u'a', u'v', u'i', 0, u'Ä', 0, u'x', 0, 0};
  for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i)
    EXPECT_EQ(q.PatternList()[i], expected[i]) << "at " << i;
  CompiledQuery empty = CompileQuery(u"");
  ASSERT_TRUE(empty.Valid());
  EXPECT_EQ(empty.PatternList()[0], 0);
  EXPECT_EQ(empty.PatternList()[1], 0);
  EXPECT_EQ(FoldQuery(u"AbZ[@`{Ä"), u"abz[@`{Ä");
}

TEST(Matchers, SubstringFoldsOnlyAscii) {
  EXPECT_TRUE(Finds(u"REPORT", u"report.txt"));
  EXPECT_TRUE(Finds(u"REPORT", u"My Report.doc"));
  EXPECT_TRUE(Finds(u"REPORT", u"REPORTS"));
  EXPECT_TRUE(Finds(u"report", u"Annual Report 2010.doc"));
  EXPECT_FALSE(Finds(u"report", u"repor"));
  EXPECT_TRUE(Finds(u"Ärger", u"Ärger.txt"));
  EXPECT_FALSE(Finds(u"Ärger", u"ärger.txt"));
  EXPECT_FALSE(Finds(u"ärger", u"Ärger.txt"));
  // '@' and '[' sit next to A and Z; folding must not touch them.
  EXPECT_FALSE(Finds(u"`", u"@"));
  EXPECT_FALSE(Finds(u"{", u"["));
  EXPECT_TRUE(Finds(u"a b", u"x A B y"));
  // The match at the very end, and a first character that keeps recurring.
  EXPECT_TRUE(Finds(u"aab", u"aaaaaaaaaaaaaaaaaaaaab"));
  EXPECT_FALSE(Finds(u"aab", u"aaaaaaaaaaaaaaaaaaaaaa"));
}

TEST(Matchers, StarPatternsMatchTheWholeName) {
  EXPECT_TRUE(Finds(u"*.mp3", u"a.mp3"));
  EXPECT_TRUE(Finds(u"*.mp3", u"a.mp3.mp3"));
  EXPECT_TRUE(Finds(u"*.mp3", u"A.MP3"));
  EXPECT_FALSE(Finds(u"*.mp3", u"a.mp3x"));
  EXPECT_FALSE(Finds(u"*.mp3", u"mp3"));
  EXPECT_TRUE(Finds(u"abc*", u"abc"));
  EXPECT_TRUE(Finds(u"abc*", u"abcdef"));
  EXPECT_FALSE(Finds(u"abc*", u"xabc"));
  EXPECT_TRUE(Finds(u"*e", u"bee"));
  EXPECT_TRUE(Finds(u"a*b", u"ab"));
  EXPECT_TRUE(Finds(u"a*b*c", u"aXbYbZc"));
  EXPECT_FALSE(Finds(u"a*b*c", u"aXcYb"));
  EXPECT_TRUE(Finds(u"*", u"anything at all"));
  EXPECT_TRUE(Finds(u"***", u"x"));
  EXPECT_TRUE(Finds(u"**a**", u"bab"));
  // Overlap between the middle segment and the anchored end: 'aba' must not share its 'a'.
  EXPECT_FALSE(Finds(u"*aba*ba", u"xaba"));
  EXPECT_TRUE(Finds(u"*aba*ba", u"xababa"));
}

TEST(Matchers, QuestionMarkIsOneCodeUnit) {
  EXPECT_TRUE(Finds(u"a?c", u"abc"));
  EXPECT_FALSE(Finds(u"a?c", u"ac"));
  EXPECT_FALSE(Finds(u"a?c", u"abbc"));
  EXPECT_TRUE(Finds(u"??", u"xy"));
  EXPECT_FALSE(Finds(u"??", u"x"));
  EXPECT_FALSE(Finds(u"??", u"xyz"));
  EXPECT_TRUE(Finds(u"*?", u"x"));
  EXPECT_FALSE(Finds(u"?*", u""));
  // A character outside the basic plane is a surrogate pair: two code units, two '?'s.
  const std::u16string clef = u"\U0001D11E";
  ASSERT_EQ(clef.size(), 2u);
  EXPECT_TRUE(Finds(u"??", clef));
  EXPECT_FALSE(Finds(u"?", clef));
  EXPECT_TRUE(Finds(u"*" + clef + u"*", u"x" + clef + u".mid"));
  EXPECT_TRUE(Finds(clef, u"song " + clef));
  // A lone surrogate is compared as itself.
  EXPECT_TRUE(Finds(u"*\xD834", u"a\xD834"));
  EXPECT_FALSE(Finds(u"*\xD834", u"a\xD835"));
}

TEST(Matchers, ListsTryEachAlternativeInOrder) {
  EXPECT_FALSE(Finds(u"report;invoice", u"report.doc"));
  EXPECT_TRUE(Finds(u"report;invoice", u"INVOICE"));
  EXPECT_TRUE(Finds(u"report*;invoice*", u"report.doc"));
  EXPECT_TRUE(Finds(u"*.avi;*.rmvb", u"x.avi"));
  EXPECT_TRUE(Finds(u"*.avi;*.rmvb", u"x.RMVB"));
  EXPECT_TRUE(Finds(u"ab;ac", u"ac"));
  EXPECT_TRUE(Finds(u"*;*", u"x"));
  EXPECT_FALSE(Finds(u";", u"x"));
  EXPECT_FALSE(Finds(u";;", u";"));
  EXPECT_TRUE(Finds(u";abc", u"ABC"));
  EXPECT_FALSE(Finds(u";abc", u"abcd"));
  EXPECT_TRUE(Finds(u"abc;;def", u"abc"));
  EXPECT_FALSE(Finds(u"abc;;def", u"def"));
  EXPECT_FALSE(Finds(u";;def", u"def"));  // the second empty alternative ends the list
  EXPECT_TRUE(Finds(u"abc;", u"abc"));
  EXPECT_TRUE(Finds(u"x?;*.doc", u"report.DOC"));
  EXPECT_TRUE(Finds(u"x?;*.doc", u"xy"));
  EXPECT_FALSE(Finds(u"x?;*.doc", u"xyz"));
}

TEST(Matchers, LongNamesAndPatternsOfOnlyStars) {
  std::u16string longName(4000, u'a');
  longName += u"Needle.TXT";
  EXPECT_TRUE(Finds(u"needle", longName));
  EXPECT_TRUE(Finds(u"*needle.txt", longName));
  EXPECT_TRUE(Finds(u"a*a*a*a*needle*", longName));
  EXPECT_FALSE(Finds(u"*needle", longName));
  EXPECT_FALSE(Finds(u"a*b*", longName));
  EXPECT_TRUE(Finds(std::u16string(300, u'*'), longName));
  EXPECT_TRUE(Finds(std::u16string(300, u'?') + u"*", longName));
  EXPECT_FALSE(Finds(std::u16string(5000, u'?'), longName));
  EXPECT_TRUE(Finds(u"*;*;*", u"a"));
}

TEST(TypingRule, StartsASearchOnlyWhenTheLastAlternativeHasTwoCharacters) {
  EXPECT_FALSE(TypingStartsSearch(false, u"a", false));
  EXPECT_TRUE(TypingStartsSearch(false, u"ab", false));
  EXPECT_FALSE(TypingStartsSearch(false, u"*.mp3;a", false));
  EXPECT_TRUE(TypingStartsSearch(false, u"*.mp3;ab", false));
  EXPECT_FALSE(TypingStartsSearch(false, u"", false));
  EXPECT_TRUE(TypingStartsSearch(false, u"a;", false));  // second-to-last is 'a'
  EXPECT_TRUE(TypingStartsSearch(true, u"a", false));
  EXPECT_TRUE(TypingStartsSearch(true, u"", false));
  EXPECT_TRUE(TypingStartsSearch(false, u"a", true));
  EXPECT_TRUE(TypingStartsSearch(false, u"x;a", true));
}

}  // namespace
}  // namespace lvx::search
