#include "platform/text.h"

#include <algorithm>
#include <cstdio>

#include "platform/utf.h"

namespace lvx {

std::u16string U16(const std::string& s) {
  std::u16string out(s.size(), u'\0');
  out.resize(os::utf::DecodeHostName(s.data(), s.size(), out.data(), false));
  return out;
}

std::string U8(const std::u16string& s) { return os::utf::EncodeUtf8(s, false); }

std::u16string Format(const char* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  std::string text(n < 0 ? 0 : size_t(n), '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, copy);
  va_end(copy);
  va_end(args);
  return U16(text);
}

std::u16string FormatThousands(uint64_t value) {
  std::u16string digits = U16(std::to_string(value)), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out.push_back(u',');
    out.push_back(digits[i]);
  }
  return out;
}

int CompareFolded(const char16_t* a, const char16_t* b) {
  for (;; ++a, ++b) {
    char16_t ca = FoldAscii(*a), cb = FoldAscii(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

bool EqualsFolded(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

std::u16string Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::u16string(text.substr(begin, end - begin));
}

namespace {

// The value of a digit in base 10 or 16, or -1.
int Digit(char16_t c, uint32_t base) {
  char16_t folded = FoldAscii(c);
  int d = c >= u'0' && c <= u'9' ? c - u'0' : folded >= u'a' && folded <= u'f' ? folded - u'a' + 10 : -1;
  return d < int(base) ? d : -1;
}

// Digits from text[at] on in the given base; the value stops at kNumberTooLarge.
size_t ReadDigits(std::u16string_view text, size_t at, uint32_t base, uint64_t* value) {
  uint64_t v = 0;
  size_t i = at;
  for (; i < text.size() && Digit(text[i], base) >= 0; ++i) {
    v = v * base + uint64_t(Digit(text[i], base));
    if (v > kNumberTooLarge) v = kNumberTooLarge;
  }
  *value = v;
  return i == at ? 0 : i;
}

}  // namespace

size_t ReadDecimal(std::u16string_view text, uint64_t* value) {
  return ReadDigits(text, 0, 10, value);
}

size_t ReadHexMask(std::u16string_view text, uint64_t* value) {
  bool prefix = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') &&
                Digit(text[2], 16) >= 0;
  return ReadDigits(text, prefix ? 2 : 0, 16, value);
}

int32_t LeadingDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = i < text.size() && text[i] == u'-';
  if (i < text.size() && (negative || text[i] == u'+')) ++i;
  uint64_t n = 0;
  ReadDecimal(text.substr(i), &n);
  if (negative) return n > uint64_t(INT32_MAX) ? INT32_MIN : int32_t(-int64_t(n));
  return n > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

}  // namespace lvx
