#include "shell/drive_selection.h"

namespace lvx::shell {
namespace {

constexpr uint32_t kRemovable = 2, kFixed = 3, kRemote = 4;

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

uint32_t ParseDriveMask(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
      i + 2 < text.size() && HexDigit(text[i + 2]) >= 0)
    i += 2;
  uint64_t value = 0;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
    value = value * 16 + uint64_t(HexDigit(text[i]));
    if (value > 0xffffffffu) return 0xffffffffu;
  }
  return uint32_t(value);
}

std::u16string FormatDriveMask(uint32_t mask) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), kHex[mask & 15]);
    mask >>= 4;
  } while (mask);
  return u"0X" + digits;
}

uint32_t ActiveDriveMask(uint32_t stored, const std::function<uint32_t(const std::u16string& root)>& driveType) {
  uint32_t active = 0;
  for (int i = 0; i < 26; ++i) {
    if (stored != kFixedDrivesOnly && !(stored & (1u << i))) continue;
    std::u16string root{char16_t(u'A' + i), u':', u'\\'};
    uint32_t type = driveType(root);
    bool take = stored == kFixedDrivesOnly ? type == kFixed
                                           : (type == kFixed || type == kRemovable || type == kRemote);
    if (take) active |= 1u << i;
  }
  return active;
}

}  // namespace lvx::shell
