// Directory enumeration as FindFirstFileW/FindNextFileW give it: entries in enumeration order,
// "." and ".." included as the system gives them. The POSIX backend lists a folder in the order an
// NTFS volume would ("." and ".." first, then names compared as UTF-16 code units with a-z mapped to
// A-Z, equal keys by their unmapped code units) so that a cache built on Linux is deterministic, and
// never follows a symbolic link (a link is listed as a file of the link's own size).
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

struct FindHandle {
  void* value = nullptr;
  bool IsValid() const { return value != nullptr; }
};

// pattern is a folder path followed by "*" ("C:\\Windows\\*"). Invalid handle on failure.
FindHandle FindFirstFile(const String& pattern, FindData* data);
// False at the end (LastError kErrorNoMoreFiles) or on failure.
bool FindNextFile(FindHandle find, FindData* data);
void FindClose(FindHandle find);

}  // namespace lvx::os
