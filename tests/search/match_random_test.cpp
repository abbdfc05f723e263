// The fast matchers against the reference ones on random names and patterns drawn from small
// alphabets, so that near-misses, repeated first characters, overlapping segments and the
// special characters are met often.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "search/query.h"

namespace lvx::search {
namespace {

std::u16string Draw(std::mt19937& rng, const std::u16string& alphabet, int maxLength) {
  std::uniform_int_distribution<int> length(0, maxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::u16string s(size_t(length(rng)), u' ');
  for (char16_t& c : s) c = alphabet[pick(rng)];
  return s;
}

struct Pair {
  Matcher fast;
  SizedMatcher sized;
  Matcher slow;
  const char* name;
};

void Compare(const Pair& m, const std::u16string& patternAlphabet, int patternMax, int rounds,
             uint32_t seed) {
  // Names may hold upper-case letters, the special characters, and a non-ASCII letter; patterns
  // are folded as compilation folds them.
  const std::u16string nameAlphabet = u"aAbB.?*;\u00C4\u00E4\xD834";
  std::mt19937 rng(seed);
  int matches = 0;
  for (int i = 0; i < rounds; ++i) {
    std::u16string name = Draw(rng, nameAlphabet, 14);
    std::u16string list = FoldQuery(Draw(rng, patternAlphabet, patternMax));
    for (char16_t& c : list)
      if (c == u';') c = 0;
    list.push_back(0);
    list.push_back(0);
    bool slow = m.slow(name.c_str(), list.c_str());
    bool fast = m.fast(name.c_str(), list.c_str());
    bool sized = m.sized(name.data(), uint32_t(name.size()), list.c_str());
    ASSERT_EQ(fast, slow) << m.name << " round " << i;
    ASSERT_EQ(sized, slow) << m.name << " round " << i;
    matches += slow;
  }
  // The draw must produce both answers in quantity, or the comparison proves little.
  EXPECT_GT(matches, rounds / 50) << m.name;
  EXPECT_LT(matches, rounds - rounds / 50) << m.name;
}

TEST(MatchersRandom, SubstringAgreesWithReference) {
  Compare({MatchSubstring, MatchSubstringSized, reference::MatchSubstring, "substring"},
          u"aAb.?*\u00C4", 3, 200000, 1);
}

TEST(MatchersRandom, StarAgreesWithReference) {
  Compare({MatchStar, MatchStarSized, reference::MatchStar, "star"}, u"ab.?***", 8, 200000, 2);
}

TEST(MatchersRandom, WildAgreesWithReference) {
  Compare({MatchWild, MatchWildSized, reference::MatchWild, "wild"}, u"ab?**\u00E4", 8, 200000, 3);
}

TEST(MatchersRandom, StarListAgreesWithReference) {
  Compare({MatchStarList, MatchStarListSized, reference::MatchStarList, "star list"}, u"ab.**;;",
          10, 200000, 4);
}

TEST(MatchersRandom, WildListAgreesWithReference) {
  Compare({MatchWildList, MatchWildListSized, reference::MatchWildList, "wild list"}, u"ab??*;;",
          10, 200000, 5);
}

// Long names exercise the eight-at-a-time scan and its tail.
TEST(MatchersRandom, LongNamesAgreeWithReference) {
  std::mt19937 rng(6);
  const std::u16string alphabet = u"aAbBcC.\u00C4";
  for (int i = 0; i < 20000; ++i) {
    std::u16string name = Draw(rng, alphabet, 70);
    std::u16string pattern = FoldQuery(Draw(rng, u"abc", 3));
    for (int star = 0; star < 2; ++star) {
      std::u16string p = star ? u"*" + pattern + u"*" + pattern.substr(0, 1) : pattern;
      p.push_back(0);
      p.push_back(0);
      Matcher fast = star ? MatchStar : MatchSubstring;
      Matcher slow = star ? reference::MatchStar : reference::MatchSubstring;
      ASSERT_EQ(fast(name.c_str(), p.c_str()), slow(name.c_str(), p.c_str())) << "round " << i;
    }
  }
}

// A name that holds none of a query's required characters never matches it, so the walk may skip
// the matcher for it; and the set is not empty where it need not be.
TEST(RequiredChars, NoMatchWithoutThem) {
  std::mt19937 rng(8);
  const std::u16string nameAlphabet = u"aAbBcxX.?*\u00C4";
  int skipped = 0;
  for (int i = 0; i < 200000; ++i) {
    std::u16string query = Draw(rng, u"abcX.?*;\u00C4", 7);
    if (query.empty()) continue;
    CompiledQuery q = CompileQuery(query);
    std::u16string name = Draw(rng, nameAlphabet, 10);
    const RequiredChars& required = q.Required();
    if (required.count == 0) continue;
    uint32_t seen = 0;
    for (char16_t c : name) seen |= required.BitOf(c);
    if (!required.Satisfied(seen)) {
      ++skipped;
      ASSERT_FALSE(q.Matches(name.c_str())) << "round " << i;
    }
  }
  EXPECT_GT(skipped, 10000);
  EXPECT_EQ(CompileQuery(u"mp3").Required().count, 3);
  EXPECT_TRUE(CompileQuery(u"mp3").Required().all);
  EXPECT_EQ(CompileQuery(u"*.MP3").Required().count, 4);
  EXPECT_EQ(CompileQuery(u"quartz").Required().count, 4);  // the rarest four
  EXPECT_EQ(CompileQuery(u"*.jpg;*.bmp").Required().count, 2);
  EXPECT_FALSE(CompileQuery(u"*.jpg;*.bmp").Required().all);
  EXPECT_EQ(CompileQuery(u"*").Required().count, 0);      // matches every name
  EXPECT_EQ(CompileQuery(u"a;??").Required().count, 0);   // an alternative without literals
  EXPECT_EQ(CompileQuery(u"a;b;c;d;e").Required().count, 0);  // more than four
  EXPECT_EQ(CompileQuery(u";x;;y").Required().count, 1);  // "y" is never tried
}

}  // namespace
}  // namespace lvx::search
