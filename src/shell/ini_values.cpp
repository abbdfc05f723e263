#include "shell/ini_values.h"

namespace lvx::shell {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

}  // namespace

std::u16string TrimIniValue(std::u16string_view value) {
  size_t begin = 0, end = value.size();
  while (begin < end && IsBlank(value[begin])) ++begin;
  while (end > begin && IsBlank(value[end - 1])) --end;
  return std::u16string(value.substr(begin, end - begin));
}

int32_t IniDecimal(std::u16string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
    negative = value[i] == u'-';
    ++i;
  }
  int64_t n = 0;
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i) {
    n = n * 10 + (value[i] - u'0');
    if (n > int64_t(INT32_MAX) + 1) n = int64_t(INT32_MAX) + 1;  // keeps saturating, never overflows
  }
  if (negative) return n > INT32_MAX ? INT32_MIN : int32_t(-n);
  return n > INT32_MAX ? INT32_MAX : int32_t(n);
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::u16string IniNumber(int64_t value) {
  std::u16string text;
  for (char c : std::to_string(value)) text.push_back(char16_t(c));
  return text;
}

bool IniIsTrue(std::u16string_view value) { return EqualsIgnoreCase(TrimIniValue(value), u"TRUE"); }

}  // namespace lvx::shell
