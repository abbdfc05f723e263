// Drive letters. On Windows the system knows them. On POSIX a drive letter stands for a host folder
// set by the caller (the CLI's --map option, tests): its root path "C:\\" maps to that folder, and
// a path "C:\\a\\b" to folder/a/b. Host names are UTF-8 bytes; invalid bytes become U+DC80..U+DCFF
// so that a cached name converts back to the same bytes and the entry can still be opened.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

// GetDriveTypeW of a root path such as "C:\\".
uint32_t GetDriveType(const String& root);

// POSIX only (no effect on Windows): maps a drive letter to a host folder with a drive type;
// an empty folder removes the mapping.
void MapDrive(char16_t letter, const std::string& hostFolder, uint32_t type = kDriveFixed);
void ClearDriveMap();

// The host path of a Win32-style path (POSIX: through the drive map; Windows: unchanged as UTF-8).
// Empty when the path names no mapped drive.
std::string HostPath(const String& path);

// UTF-8 <-> UTF-16 conversion that round-trips invalid bytes through U+DC80..U+DCFF.
String FromHostBytes(const std::string& bytes);
std::string ToHostBytes(const String& text);

// The folder of the shell's network neighbourhood (CSIDL_NETHOOD), or empty where there is none.
String NetworkNeighbourhoodFolder();

}  // namespace lvx::os
