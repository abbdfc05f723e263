#include "shell/ini_values.h"

namespace lvx::shell {

std::u16string IniNumber(int64_t value) {
  std::u16string text;
  for (char c : std::to_string(value)) text.push_back(char16_t(c));
  return text;
}

bool IniIsTrue(std::u16string_view value) { return EqualsFolded(Trim(value), u"TRUE"); }

}  // namespace lvx::shell
