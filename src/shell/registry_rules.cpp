#include "shell/registry_rules.h"

#include "shell/ini_values.h"

namespace lvx::shell {

std::u16string RunValueText(const std::u16string& programPath) {
  if (programPath.find(u' ') != std::u16string::npos) return u"\"" + programPath + u"\" /hide";
  return programPath + u" /hide";
}

bool RunValueMatches(std::u16string_view stored, std::u16string_view wanted) {
  return EqualsFolded(stored, wanted);
}

bool AutoEndTasksNeedsRewrite(bool isString, std::u16string_view text) {
  return !isString || IniDecimal(text) != 0;
}

bool TimeoutNeedsRewrite(bool isString, std::u16string_view text) {
  return !isString || IniDecimal(text) < kMinShutdownTimeout;
}

}  // namespace lvx::shell
