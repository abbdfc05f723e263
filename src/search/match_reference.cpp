// The reference matchers: the plain character-by-character algorithms, with one point of
// backtracking for the stars. Slow but easy to check by eye; the fast matchers must agree with them.
#include "search/query.h"

namespace lvx::search::reference {

namespace {

template <bool kWild>
inline bool Same(char16_t nameChar, char16_t patternChar) {
  return (kWild && patternChar == u'?') || FoldAscii(nameChar) == patternChar;
}

inline bool OnlyStars(const char16_t* p) {
  while (*p == u'*') ++p;
  return *p == 0;
}

template <bool kWild>
bool Glob(const char16_t* n, const char16_t* p) {
  // Anchored prefix, up to the first star.
  while (*p != u'*') {
    if (*p == 0) return *n == 0;
    if (*n == 0) return false;  // a pattern character that is not a star remains
    if (!Same<kWild>(*n, *p)) return false;
    ++p;
    ++n;
  }
  for (;;) {
    // Star phase: skip the stars and remember where the segment and the name stand.
    while (*p == u'*') ++p;
    if (*p == 0) return true;
    const char16_t* segment = p;
    const char16_t* from = n;
    for (;;) {
      if (*n == 0) return OnlyStars(p);
      if (*p == u'*') break;  // the segment matched: a new star phase from here
      if (*p != 0 && Same<kWild>(*n, *p)) {
        ++p;
        ++n;
        continue;
      }
      // Mismatch, or the pattern ended with name characters left: retry one position on.
      ++from;
      n = from;
      p = segment;
    }
  }
}

template <bool kWild>
bool GlobList(const char16_t* name, const char16_t* list) {
  const char16_t* alt = list;
  if (*alt == 0) ++alt;  // a leading empty alternative is passed over
  while (*alt) {
    if (Glob<kWild>(name, alt)) return true;
    while (*alt) ++alt;
    ++alt;
  }
  return false;
}

}  // namespace

bool MatchSubstring(const char16_t* name, const char16_t* patternList) {
  if (*patternList == 0) return true;
  for (const char16_t* start = name; *start; ++start) {
    const char16_t* n = start;
    const char16_t* p = patternList;
    while (*p && *n && FoldAscii(*n) == *p) {
      ++n;
      ++p;
    }
    if (*p == 0) return true;
    if (*n == 0) return false;  // the name ended first: no later start can succeed
  }
  return false;
}

bool MatchStar(const char16_t* name, const char16_t* patternList) {
  return Glob<false>(name, patternList);
}
bool MatchWild(const char16_t* name, const char16_t* patternList) {
  return Glob<true>(name, patternList);
}
bool MatchStarList(const char16_t* name, const char16_t* patternList) {
  return GlobList<false>(name, patternList);
}
bool MatchWildList(const char16_t* name, const char16_t* patternList) {
  return GlobList<true>(name, patternList);
}

}  // namespace lvx::search::reference
