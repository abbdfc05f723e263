#include "shell/drive_selection.h"

#include "platform/text.h"

namespace lvx::shell {
namespace {

constexpr uint32_t kRemovable = 2, kFixed = 3, kRemote = 4;

}  // namespace

uint32_t ParseDriveMask(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  uint64_t value = 0;
  ReadHexMask(text.substr(i), &value);
  return value > 0xffffffffu ? 0xffffffffu : uint32_t(value);
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
