#include "shell/ini_store.h"

#include <vector>

#include <windows.h>

#include "shell/ini_values.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"

namespace lvx::shell {

std::u16string ReadIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& file, const std::u16string& defaultValue) {
  std::vector<wchar_t> buffer(kIniBufferChars, 0);
  DWORD n = GetPrivateProfileStringW(W(section), W(key), W(defaultValue), buffer.data(),
                                     kIniBufferChars, W(file));
  if (n >= kIniBufferChars) n = kIniBufferChars - 1;
  return TrimIniValue(FromW(buffer.data(), n));
}

int ReadIniInt(const std::u16string& section, const std::u16string& key,
               const std::u16string& defaultText, const std::u16string& file) {
  return IniDecimal(ReadIniString(section, key, file, defaultText));
}

bool WriteIniString(const std::u16string& section, const std::u16string& key,
                    const std::u16string& value, const std::u16string& file) {
  return WritePrivateProfileStringW(W(section), W(key), W(value), W(file)) != FALSE;
}

bool DeleteIniKey(const std::u16string& section, const std::u16string& key, const std::u16string& file) {
  return WritePrivateProfileStringW(W(section), W(key), nullptr, W(file)) != FALSE;
}

bool ReadIniBool(const std::u16string& section, const std::u16string& key, const std::u16string& defaultText) {
  return IniIsTrue(ReadIniString(section, key, Paths().settings, defaultText));
}

bool WriteIniBool(const std::u16string& section, const std::u16string& key, bool value) {
  return WriteIniString(section, key, IniBoolText(value), Paths().settings);
}

}  // namespace lvx::shell
