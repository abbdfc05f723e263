#include "uilib/ui_values.h"


namespace lvx::uilib {
namespace {

// Splits at ',' into exactly count lengths, spaces around them allowed.
bool ParseLengths(std::u16string_view text, int count, int* out) {
  for (int i = 0; i < count; ++i) {
    size_t comma = text.find(u',');
    if ((comma == std::u16string_view::npos) != (i == count - 1)) return false;
    std::u16string_view part = text.substr(0, comma);
    while (!part.empty() && part.front() == u' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == u' ') part.remove_suffix(1);
    if (!ParseLength(part, &out[i])) return false;
    if (comma != std::u16string_view::npos) text.remove_prefix(comma + 1);
  }
  return true;
}

}  // namespace

bool ParseColor(std::u16string_view text, Color* out) {
  if (text.size() != 7 && text.size() != 9) return false;
  if (text[0] != u'#') return false;
  uint32_t v = 0;
  for (char16_t c : text.substr(1)) {
    int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | uint32_t(d);
  }
  *out = text.size() == 7 ? 0xFF000000u | v : v;
  return true;
}

bool ParseIndex(std::u16string_view text, int limit, int* out) {
  if (text.empty() || text.size() > 9) return false;
  int v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    v = v * 10 + (c - u'0');
  }
  if (v > limit) return false;
  *out = v;
  return true;
}

bool ParseLength(std::u16string_view text, int* out) { return ParseIndex(text, kMaxCoordinate, out); }

bool ParseSize(std::u16string_view text, SizeSpec* out) {
  int v = 0;
  if (!text.empty() && text.back() == u'%') {
    if (!ParseIndex(text.substr(0, text.size() - 1), 100, &v)) return false;
    *out = {SizeSpec::Percent, v};
    return true;
  }
  if (!ParseLength(text, &v)) return false;
  *out = v == 0 ? SizeSpec{} : SizeSpec{SizeSpec::Fixed, v};
  return true;
}

bool ParseRect(std::u16string_view text, UiRect* out) {
  int v[4];
  if (!ParseLengths(text, 4, v)) return false;
  *out = {v[0], v[1], v[2], v[3]};
  return true;
}

bool ParsePair(std::u16string_view text, int* first, int* second) {
  int v[2];
  if (!ParseLengths(text, 2, v)) return false;
  *first = v[0];
  *second = v[1];
  return true;
}

bool ParseBool(std::u16string_view text, bool* out) {
  if (text == u"true") return *out = true, true;
  if (text == u"false") return *out = false, true;
  return false;
}

}  // namespace lvx::uilib
