// Query compilation and name matching. A query is one line of UTF-16 text: ";" separates
// alternatives, "*" matches any run, "?" one code unit, and nothing else is special. The query is
// folded (A-Z to a-z only) and turned into a pattern list: the alternatives one after another, each
// NUL-ended, the list ended by an empty alternative. One of five matchers is chosen for the whole
// run by which special characters the query holds.
//
// The matchers are the innermost loop of every search, so each comes twice: the fast one (query.cpp)
// takes the name's length, which the walk already knows from the record, scans for a segment's
// first character instead of trying every position, and anchors a final segment at the end of the
// name; the reference one (match_reference.cpp) follows the textbook one-star-backtracking
// algorithm character by character. Tests hold the two to the same answers on random input.
// Neither allocates, copies the name or calls a locale function.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/text.h"

// The fast scans use SSE2 where the target has it (every target: the i686 build asks for it);
// LVX_NO_SIMD forces the scalar loops, which a test build checks.
#if defined(__SSE2__) && !defined(LVX_NO_SIMD)
#define LVX_SEARCH_SSE2 1
#else
#define LVX_SEARCH_SSE2 0
#endif

namespace lvx::search {

// The query as the search run folds it before compilation.
std::u16string FoldQuery(const std::u16string& query);

// (name, NUL-ended; pattern list) -> does the name match.
using Matcher = bool (*)(const char16_t* name, const char16_t* patternList);
// The same with the name's length in code units given (the name need not be NUL-ended).
using SizedMatcher = bool (*)(const char16_t* name, uint32_t length, const char16_t* patternList);

// The five matchers (fast forms).
bool MatchSubstring(const char16_t* name, const char16_t* patternList);
bool MatchStar(const char16_t* name, const char16_t* patternList);
bool MatchStarList(const char16_t* name, const char16_t* patternList);
bool MatchWild(const char16_t* name, const char16_t* patternList);
bool MatchWildList(const char16_t* name, const char16_t* patternList);

bool MatchSubstringSized(const char16_t* name, uint32_t length, const char16_t* patternList);
bool MatchStarSized(const char16_t* name, uint32_t length, const char16_t* patternList);
bool MatchStarListSized(const char16_t* name, uint32_t length, const char16_t* patternList);
bool MatchWildSized(const char16_t* name, uint32_t length, const char16_t* patternList);
bool MatchWildListSized(const char16_t* name, uint32_t length, const char16_t* patternList);

// The reference matchers: the plain algorithms, kept to check the fast ones against.
namespace reference {
bool MatchSubstring(const char16_t* name, const char16_t* patternList);
bool MatchStar(const char16_t* name, const char16_t* patternList);
bool MatchStarList(const char16_t* name, const char16_t* patternList);
bool MatchWild(const char16_t* name, const char16_t* patternList);
bool MatchWildList(const char16_t* name, const char16_t* patternList);
}  // namespace reference

enum class MatcherKind { Substring, Star, StarList, Wild, WildList };

// Which matcher a query needs: ";" and "?" -> WildList, ";" -> StarList, "?" -> Wild,
// "*" -> Star, none of them -> Substring.
MatcherKind ChooseMatcher(const char16_t* query, size_t length);

// Characters that a matching name must hold (after folding): for a single pattern its rarest
// literal (a further compare per scanned unit costs more than it rejects), for a list the rarest
// literal of each alternative, of which the name must hold one. A name that lacks them cannot
// match, which the walk can tell while it looks for the name's end, without calling the matcher. count 0: no such set (an alternative
// without literals, or more than four alternatives); every name must go to the matcher.
struct RequiredChars {
  static constexpr int kMax = 4;
  int count = 0;
  bool all = false;  // every character is needed (one pattern); else any one of them (a list)
  char16_t chars[kMax] = {};
  // The bit of the character that the name's code unit c counts as, or 0.
  uint32_t BitOf(char16_t c) const {
    for (int i = 0; i < count && i < kMax; ++i)
      if (FoldAscii(c) == chars[i]) return 1u << i;
    return 0;
  }
  // Can a name that holds these characters (bit i: chars[i]) match?
  bool Satisfied(uint32_t seen) const {
    return count == 0 || (all ? seen == (1u << count) - 1 : seen != 0);
  }
};
RequiredChars FindRequiredChars(MatcherKind kind, const char16_t* patternList);

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A compiled query: the pattern list and the matcher chosen for it. Empty (Valid() false) when the
// pattern list could not be allocated.
class CompiledQuery {
 public:
  CompiledQuery() = default;
  bool Valid() const { return patternList_ != nullptr; }
  MatcherKind Kind() const { return kind_; }
  const char16_t* PatternList() const { return patternList_.get(); }
  bool Matches(const char16_t* name) const { return matcher_(name, patternList_.get()); }
  bool Matches(const char16_t* name, uint32_t length) const {
    return matchesAll_ || sizedMatcher_(name, length, patternList_.get());
  }
  const RequiredChars& Required() const { return required_; }

 private:
  friend CompiledQuery CompileQuery(const std::u16string& query);
  std::unique_ptr<char16_t[], FreeDeleter> patternList_;
  MatcherKind kind_ = MatcherKind::Substring;
  Matcher matcher_ = nullptr;
  SizedMatcher sizedMatcher_ = nullptr;
  RequiredChars required_;
  bool matchesAll_ = false;  // stars alone: every name matches
};

// Folds the query, picks the matcher and builds the pattern list (query length + 2 code units:
// every ";" becomes NUL, two NULs follow). The only failure is memory: the result is then !Valid().
CompiledQuery CompileQuery(const std::u16string& query);

// Whether a change typed into the pattern box starts a search: the one-character option, or a query
// of two or more characters whose second-to-last is not ";", or refine mode.
bool TypingStartsSearch(bool allowOneChar, const std::u16string& query, bool refineMode);

}  // namespace lvx::search
