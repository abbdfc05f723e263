// INI files, key by key, as the Win32 profile functions read and write them. On POSIX a minimal
// writer keeps the same file shape: UTF-16LE with a byte-order mark, "[SECTION]" lines and
// "KEY=value" lines, sections and keys matched without regard to ASCII case.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

// Values are read into a 32768-character buffer as GetPrivateProfileStringW does: longer values are
// cut, never overrun.
constexpr uint32_t kProfileBufferChars = 32768;

String GetProfileString(const String& section, const String& key, const String& defaultValue,
                        const String& file);
bool WriteProfileString(const String& section, const String& key, const String& value,
                        const String& file);
// GetPrivateProfileIntW: the leading (optionally signed) decimal number of the value; the default
// when the key is missing or its value empty, 0 when the value does not start with a number.
int GetProfileInt(const String& section, const String& key, int defaultValue, const String& file);

}  // namespace lvx::os
