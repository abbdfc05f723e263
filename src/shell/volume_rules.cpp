#include "shell/volume_rules.h"

namespace lvx::shell {
namespace {

constexpr uint32_t kRemovable = 2, kFixed = 3;
constexpr uint32_t kAllLetters = (1u << 26) - 1;

}  // namespace

VolumeOutcome ApplyVolumeEvent(uint32_t active, VolumeEvent event, uint32_t unitMask, bool autoSelect,
                               const std::function<uint32_t(const std::u16string& root)>& driveType) {
  VolumeOutcome outcome{active, 0};
  unitMask &= kAllLetters;
  if (!autoSelect || event == VolumeEvent::Removal) {
    outcome.mask &= ~unitMask;
    return outcome;
  }
  for (int i = 0; i < 26; ++i) {
    if (!(unitMask & (1u << i))) continue;
    uint32_t type = driveType(std::u16string{char16_t(u'A' + i), u':', u'\\'});
    if (type == kFixed || type == kRemovable) outcome.joined |= 1u << i;
  }
  outcome.mask |= outcome.joined;
  return outcome;
}

std::u16string RootRefreshRequest(int driveIndex) {
  return std::u16string{u'@', char16_t(u'A' + driveIndex), u':', u'\\'};
}

}  // namespace lvx::shell
