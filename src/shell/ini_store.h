// INI files read and written key by key through the OS layer (the Win32 profile functions), with no
// caching: a value written is seen by the next read from any thread. Values longer than 32767
// characters are cut, never overrun, and are trimmed of surrounding white space.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::shell {

constexpr uint32_t kIniBufferChars = 32768;

std::u16string ReadIniString(const std::u16string& section, const std::u16string& key,
                             const std::u16string& file, const std::u16string& defaultValue);
// ReadIniString, then decimal conversion (leading digits; none gives 0).
int ReadIniInt(const std::u16string& section, const std::u16string& key,
               const std::u16string& defaultText, const std::u16string& file);
bool WriteIniString(const std::u16string& section, const std::u16string& key,
                    const std::u16string& value, const std::u16string& file);
bool DeleteIniKey(const std::u16string& section, const std::u16string& key, const std::u16string& file);

// settings.ini: true exactly when the trimmed value equals "TRUE" ignoring case.
bool ReadIniBool(const std::u16string& section, const std::u16string& key, const std::u16string& defaultText);
// settings.ini: "TRUE" or "FALSE".
bool WriteIniBool(const std::u16string& section, const std::u16string& key, bool value);

}  // namespace lvx::shell
