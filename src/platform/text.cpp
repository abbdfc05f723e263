#include "platform/text.h"

#include "platform/utf.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace lvx {

std::u16string U16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0xFFFD;
    size_t length = os::utf::DecodeUtf8(bytes + i, s.size() - i, &cp);
    if (length == 0) {
      cp = 0xFFFD;
      length = 1;
    }
    char16_t units[2];
    out.append(units, os::utf::EncodeUtf16(cp, units));
    i += length;
  }
  return out;
}

std::string U8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (os::utf::IsHighSurrogate(cp) && i + 1 < s.size() && os::utf::IsLowSurrogate(s[i + 1])) {
      cp = os::utf::CombineSurrogates(cp, s[i + 1]);
      ++i;
    } else if (os::utf::IsSurrogate(cp)) {
      cp = 0xFFFD;
    }
    os::utf::AppendUtf8(out, cp);
  }
  return out;
}

std::u16string Format(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (n < 0) {
    text.clear();
  } else if (size_t(n) < sizeof small) {
    text.assign(small, size_t(n));
  } else {
    std::vector<char> big(size_t(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, copy);
    text.assign(big.data(), size_t(n));
  }
  va_end(copy);
  return U16(text);
}

std::u16string FormatThousands(uint32_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), char16_t(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  std::u16string out;
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
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

std::u16string Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::u16string(text.substr(begin, end - begin));
}

namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

int DecimalDigit(char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : -1; }

// Digits from text[at] on in the given base; the value stops at kNumberTooLarge.
size_t ReadDigits(std::u16string_view text, size_t at, uint32_t base, int (*digit)(char16_t),
                  uint64_t* value) {
  uint64_t v = 0;
  size_t i = at;
  for (; i < text.size() && digit(text[i]) >= 0; ++i) {
    v = v * base + uint64_t(digit(text[i]));
    if (v > kNumberTooLarge) v = kNumberTooLarge;
  }
  *value = v;
  return i == at ? 0 : i;
}

}  // namespace

size_t ReadDecimal(std::u16string_view text, uint64_t* value) {
  return ReadDigits(text, 0, 10, DecimalDigit, value);
}

size_t ReadHexMask(std::u16string_view text, uint64_t* value) {
  bool prefix = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') &&
                HexDigit(text[2]) >= 0;
  return ReadDigits(text, prefix ? 2 : 0, 16, HexDigit, value);
}

int32_t LeadingDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  uint64_t n = 0;
  ReadDecimal(text.substr(i), &n);
  if (negative) return n > uint64_t(INT32_MAX) ? INT32_MIN : int32_t(-int64_t(n));
  return n > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

}  // namespace lvx
