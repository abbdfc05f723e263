// INI files read and written key by key, with no caching: a value written is seen by the next read
// from any thread. Windows uses the profile functions; POSIX reads and writes the same shape of
// file ("[SECTION]" and "KEY=value" lines, UTF-16LE with a byte-order mark, names matched without
// regard to ASCII case). Values longer than 32767 characters are cut.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

String IniRead(const String& section, const String& key, const String& defaultValue, const String& file);
bool IniWrite(const String& section, const String& key, const String& value, const String& file);
bool IniDelete(const String& section, const String& key, const String& file);

}  // namespace lvx::os
