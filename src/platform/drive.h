// Drive letters. On Windows the system knows them. On POSIX a letter stands for a host folder that
// the CLI or a test maps: "C:\a\b" is <folder>/a/b, and any other path is a host path already,
// with '\' read as '/'. Host names are bytes, normally UTF-8; a byte that is not part of
// well-formed UTF-8 becomes U+DC00 + byte and goes back to the same byte, so any listed name can
// be opened again by the name the cache holds.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

// Numbered 0 to 6 as GetDriveTypeW numbers them, which the settings' drive selection speaks too;
// None: no drive at that letter.
enum class DriveKind : uint32_t { Unknown, None, Removable, Fixed, Remote, Optical, RamDisk };

// The kind of the drive of a root path such as "C:\\".
DriveKind DriveKindOf(const String& root);

// POSIX (no effect on Windows): the letter stands for the host folder; an empty folder unmaps it.
void MapDrive(char16_t letter, const std::string& hostFolder, DriveKind kind = DriveKind::Fixed);
// The host path of an engine path (Windows: the path itself as UTF-8); empty when the path names
// a letter with no folder.
std::string HostPath(const String& path);

String FromHostBytes(const std::string& bytes);
std::string ToHostBytes(const String& text);

// The folder of the shell's network neighbourhood (CSIDL_NETHOOD), or empty where there is none.
String NetworkNeighbourhoodFolder();

}  // namespace lvx::os
