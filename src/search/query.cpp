// Fast matchers. Whole-name patterns are split at their stars into segments: the segment before the
// first star must match at the start of the name, the segment after the last star at its end (both
// found by arithmetic on the length, so "*.mp3" costs four comparisons), and each segment in between
// at its leftmost occurrence after the previous one, which is always the best choice for a glob.
// Occurrences are found by scanning for the segment's first character, eight code units at a time
// where SSE2 is available.
#include "search/query.h"

#include <new>

#if LVX_SEARCH_SSE2
#include <emmintrin.h>
#endif

namespace lvx::search {

namespace {

inline uint32_t PatternLength(const char16_t* p) {
  const char16_t* s = p;
  while (*s) ++s;
  return uint32_t(s - p);
}

inline uint32_t NameLength(const char16_t* p) { return PatternLength(p); }

// First position in [s, end) whose folded code unit is c, or end.
inline const char16_t* ScanFirst(const char16_t* s, const char16_t* end, char16_t c) {
  if (c >= u'A' && c <= u'Z') return end;  // a folded name never holds an upper-case letter
  // For a lower-case letter both cases are wanted, and they differ only in bit 0x20.
  const char16_t orMask = (c >= u'a' && c <= u'z') ? char16_t(0x20) : char16_t(0);
#if LVX_SEARCH_SSE2
  const __m128i want = _mm_set1_epi16(short(c));
  const __m128i bits = _mm_set1_epi16(short(orMask));
  while (end - s >= 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(v, bits), want));
    if (mask) return s + (__builtin_ctz(unsigned(mask)) >> 1);
    s += 8;
  }
#endif
  for (; s < end; ++s)
    if (char16_t(*s | orMask) == c) return s;
  return end;
}

// Does the segment (length len, no stars in it) match the name at this position?
template <bool kWild>
inline bool SegmentAt(const char16_t* name, const char16_t* seg, uint32_t len) {
  for (uint32_t j = 0; j < len; ++j) {
    char16_t p = seg[j];
    if (kWild && p == u'?') continue;
    if (FoldAscii(name[j]) != p) return false;
  }
  return true;
}

// Leftmost position j in [from, limit - len] where the segment matches; false when there is none.
template <bool kWild>
inline bool FindSegment(const char16_t* name, uint32_t from, uint32_t limit, const char16_t* seg,
                        uint32_t len, uint32_t* found) {
  if (limit < from || limit - from < len) return false;
  const uint32_t lastStart = limit - len;
  if (kWild && seg[0] == u'?') {
    for (uint32_t j = from; j <= lastStart; ++j)
      if (SegmentAt<kWild>(name + j, seg, len)) return (*found = j), true;
    return false;
  }
  const char16_t* end = name + lastStart + 1;
  for (const char16_t* s = name + from;; ++s) {
    s = ScanFirst(s, end, seg[0]);
    if (s == end) return false;
    if (SegmentAt<kWild>(s + 1, seg + 1, len - 1)) return (*found = uint32_t(s - name)), true;
  }
}

// Whole-name match of one pattern of length m.
template <bool kWild>
bool Glob(const char16_t* name, uint32_t n, const char16_t* p, uint32_t m) {
  uint32_t first = 0;
  while (first < m && p[first] != u'*') ++first;
  if (first == m) return n == m && SegmentAt<kWild>(name, p, m);
  if (first > n || !SegmentAt<kWild>(name, p, first)) return false;

  uint32_t last = m;  // the final segment is p[last, m); p[last - 1] is a star
  while (p[last - 1] != u'*') --last;
  const uint32_t finalLen = m - last;
  if (n - first < finalLen) return false;
  const uint32_t limit = n - finalLen;  // the middle segments must end by here

  uint32_t pos = first;
  uint32_t k = first;
  for (;;) {
    while (k < last && p[k] == u'*') ++k;
    if (k >= last) break;
    const uint32_t segStart = k;
    while (p[k] != u'*') ++k;
    uint32_t at = 0;
    if (!FindSegment<kWild>(name, pos, limit, p + segStart, k - segStart, &at)) return false;
    pos = at + (k - segStart);
  }
  return finalLen == 0 || SegmentAt<kWild>(name + limit, p + last, finalLen);
}

// Alternatives in order; an empty first alternative is passed over, any later one ends the list.
template <bool kWild>
bool GlobList(const char16_t* name, uint32_t n, const char16_t* list) {
  const char16_t* alt = list;
  if (*alt == 0) ++alt;
  while (*alt) {
    uint32_t m = PatternLength(alt);
    if (Glob<kWild>(name, n, alt, m)) return true;
    alt += m + 1;
  }
  return false;
}

// How much a character narrows a search: rare letters most, common punctuation least.
int Rarity(char16_t c) {
  static const char16_t kByFrequency[] = u"eaoirtnslcdmpuhgbfywkvxzjq";
  if (c >= 0x80) return 100;
  if (c >= u'0' && c <= u'9') return 20;
  for (int i = 0; kByFrequency[i]; ++i)
    if (kByFrequency[i] == c) return 10 + i;
  if (c == u'.' || c == u' ' || c == u'-' || c == u'_') return 0;
  return 30;
}

}  // namespace

RequiredChars FindRequiredChars(MatcherKind kind, const char16_t* patternList) {
  RequiredChars none, found;
  const bool list = kind == MatcherKind::StarList || kind == MatcherKind::WildList;
  const bool wild = kind == MatcherKind::Wild || kind == MatcherKind::WildList;
  auto literal = [&](char16_t c) { return kind == MatcherKind::Substring || (c != u'*' && !(wild && c == u'?')); };
  auto add = [&](char16_t c) {
    for (int i = 0; i < found.count; ++i)
      if (found.chars[i] == c) return true;
    if (found.count == RequiredChars::kMax) return false;
    found.chars[found.count++] = c;
    return true;
  };
  const char16_t* alt = patternList;
  if (list && *alt == 0) ++alt;
  if (*alt == 0) return none;
  found.all = !list;  // one pattern: its rarest literal is needed; a list: any alternative's
  for (;;) {
    char16_t best = 0;
    int bestRarity = -1;
    for (const char16_t* p = alt; *p; ++p) {
      if (*p >= u'A' && *p <= u'Z') return none;  // not folded: leave every name to the matcher
      if (literal(*p) && Rarity(*p) > bestRarity) {
        best = *p;
        bestRarity = Rarity(*p);
      }
    }
    if (bestRarity < 0 || !add(best)) return none;
    while (*alt) ++alt;
    ++alt;
    if (*alt == 0) break;
  }
  return found;
}

std::u16string FoldQuery(const std::u16string& query) {
  std::u16string folded(query);
  for (char16_t& c : folded) c = FoldAscii(c);
  return folded;
}

bool MatchSubstringSized(const char16_t* name, uint32_t length, const char16_t* patternList) {
  const uint32_t m = PatternLength(patternList);
  if (m == 0) return true;
  uint32_t at = 0;
  return FindSegment<false>(name, 0, length, patternList, m, &at);
}

bool MatchStarSized(const char16_t* name, uint32_t length, const char16_t* patternList) {
  return Glob<false>(name, length, patternList, PatternLength(patternList));
}

bool MatchWildSized(const char16_t* name, uint32_t length, const char16_t* patternList) {
  return Glob<true>(name, length, patternList, PatternLength(patternList));
}

bool MatchStarListSized(const char16_t* name, uint32_t length, const char16_t* patternList) {
  return GlobList<false>(name, length, patternList);
}

bool MatchWildListSized(const char16_t* name, uint32_t length, const char16_t* patternList) {
  return GlobList<true>(name, length, patternList);
}

bool MatchSubstring(const char16_t* name, const char16_t* patternList) {
  return MatchSubstringSized(name, NameLength(name), patternList);
}
bool MatchStar(const char16_t* name, const char16_t* patternList) {
  return MatchStarSized(name, NameLength(name), patternList);
}
bool MatchStarList(const char16_t* name, const char16_t* patternList) {
  return MatchStarListSized(name, NameLength(name), patternList);
}
bool MatchWild(const char16_t* name, const char16_t* patternList) {
  return MatchWildSized(name, NameLength(name), patternList);
}
bool MatchWildList(const char16_t* name, const char16_t* patternList) {
  return MatchWildListSized(name, NameLength(name), patternList);
}

MatcherKind ChooseMatcher(const char16_t* query, size_t length) {
  bool semicolon = false, question = false, star = false;
  for (size_t i = 0; i < length; ++i) {
    semicolon |= query[i] == u';';
    question |= query[i] == u'?';
    star |= query[i] == u'*';
  }
  if (semicolon) return question ? MatcherKind::WildList : MatcherKind::StarList;
  if (question) return MatcherKind::Wild;
  return star ? MatcherKind::Star : MatcherKind::Substring;
}

CompiledQuery CompileQuery(const std::u16string& query) {
  CompiledQuery compiled;
  const size_t n = query.size();
  auto* list = static_cast<char16_t*>(std::malloc((n + 2) * sizeof(char16_t)));
  if (!list) return compiled;
  for (size_t i = 0; i < n; ++i) list[i] = query[i] == u';' ? char16_t(0) : FoldAscii(query[i]);
  list[n] = 0;
  list[n + 1] = 0;
  compiled.patternList_.reset(list);
  // The two forms of each matcher, in the order of MatcherKind.
  static const struct {
    Matcher plain;
    SizedMatcher sized;
  } kMatchers[] = {{MatchSubstring, MatchSubstringSized},
                   {MatchStar, MatchStarSized},
                   {MatchStarList, MatchStarListSized},
                   {MatchWild, MatchWildSized},
                   {MatchWildList, MatchWildListSized}};
  compiled.kind_ = ChooseMatcher(query.data(), n);
  compiled.matcher_ = kMatchers[int(compiled.kind_)].plain;
  compiled.sizedMatcher_ = kMatchers[int(compiled.kind_)].sized;
  compiled.required_ = FindRequiredChars(compiled.kind_, list);
  compiled.matchesAll_ = compiled.kind_ == MatcherKind::Star;
  for (size_t i = 0; i < n; ++i) compiled.matchesAll_ &= list[i] == u'*';
  return compiled;
}

bool TypingStartsSearch(bool allowOneChar, const std::u16string& query, bool refineMode) {
  if (allowOneChar) return true;
  if (query.size() >= 2 && query[query.size() - 2] != u';') return true;
  return refineMode;
}

}  // namespace lvx::search
