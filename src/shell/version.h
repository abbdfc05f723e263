// Program versions: four dot-separated numbers ("1.6.0.0").
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lvx::shell {

// The running version, fixed when the program is built from the project version.
extern const char16_t kRunningVersion[];

using VersionParts = std::array<int32_t, 4>;

// Splits at '.' into at most four parts, each read by decimal conversion (leading digits; none
// gives 0); missing parts are 0 and the fourth part is everything after the third dot.
VersionParts ParseVersion(std::u16string_view text);
// Negative, zero or positive as a is older than, equal to or newer than b.
int CompareVersions(std::u16string_view a, std::u16string_view b);
inline bool IsNewerVersion(std::u16string_view a, std::u16string_view than) {
  return CompareVersions(a, than) > 0;
}

}  // namespace lvx::shell
