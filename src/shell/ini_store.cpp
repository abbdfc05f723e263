#include "shell/ini_store.h"

#include "platform/ini.h"
#include "shell/ini_values.h"
#include "shell/settings_files.h"

namespace lvx::shell {

std::u16string ReadIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& file, const std::u16string& defaultValue) {
  return TrimIniValue(os::IniRead(section, key, defaultValue, file));
}

int ReadIniInt(const std::u16string& section, const std::u16string& key,
               const std::u16string& defaultText, const std::u16string& file) {
  return IniDecimal(ReadIniString(section, key, file, defaultText));
}

bool WriteIniString(const std::u16string& section, const std::u16string& key,
                    const std::u16string& value, const std::u16string& file) {
  return os::IniWrite(section, key, value, file);
}

bool DeleteIniKey(const std::u16string& section, const std::u16string& key, const std::u16string& file) {
  return os::IniDelete(section, key, file);
}

bool ReadIniBool(const std::u16string& section, const std::u16string& key, const std::u16string& defaultText) {
  return IniIsTrue(ReadIniString(section, key, Paths().settings, defaultText));
}

bool WriteIniBool(const std::u16string& section, const std::u16string& key, bool value) {
  return WriteIniString(section, key, IniBoolText(value), Paths().settings);
}

}  // namespace lvx::shell
