#include "shell/version.h"

#include "shell/ini_values.h"

namespace lvx::shell {

#ifndef LVX_VERSION_TEXT
#define LVX_VERSION_TEXT "0.0.0.0"
#endif
const char16_t kRunningVersion[] = u"" LVX_VERSION_TEXT;

VersionParts ParseVersion(std::u16string_view text) {
  VersionParts parts{0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    size_t dot = i < 3 ? text.find(u'.') : std::u16string_view::npos;
    parts[size_t(i)] = IniDecimal(text.substr(0, dot));
    if (dot == std::u16string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return parts;
}

int CompareVersions(std::u16string_view a, std::u16string_view b) {
  VersionParts x = ParseVersion(a), y = ParseVersion(b);
  for (size_t i = 0; i < 4; ++i)
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  return 0;
}

}  // namespace lvx::shell
