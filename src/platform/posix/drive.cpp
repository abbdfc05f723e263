// Drive letters and host names on POSIX. The engine speaks Win32 paths; here a drive letter stands
// for a host folder that the CLI or a test maps, "C:\a\b" becoming "<folder>/a/b". Any other path
// is already a host path (the cache file of the CLI, a test's temporary folder) and is used as it
// stands, with '\' read as '/' so that the engine can append its own separators to it.
//
// Host names are bytes, normally UTF-8. A byte that is not part of well-formed UTF-8 becomes
// U+DC00 + byte (U+DC80..U+DCFF, lone low surrogates no valid text contains), and goes back to
// the same byte, so any name read from a folder can be opened again by the name the cache holds.
#include <sys/stat.h>

#include <array>
#include <mutex>

#include "platform/drive.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"

namespace lvx::os {
namespace {

struct MappedDrive {
  std::string folder;  // empty: not mapped
  uint32_t type = kDriveNoRootDir;
};

std::mutex gDriveMutex;
std::array<MappedDrive, 26> gDrives;  // guarded by gDriveMutex

int DriveIndex(char16_t letter) {
  if (letter >= u'a' && letter <= u'z') return letter - u'a';
  if (letter >= u'A' && letter <= u'Z') return letter - u'A';
  return -1;
}

// The drive index of a path that begins with "X:", or -1.
int PathDrive(const String& path) {
  if (path.size() < 2 || path[1] != u':') return -1;
  return DriveIndex(path[0]);
}

}  // namespace

namespace posix {

bool ResolvePath(const String& path, std::string* host) {
  if (path.find(u'\0') != String::npos) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  *host = HostPath(path);
  if (host->empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  return true;
}

}  // namespace posix

void MapDrive(char16_t letter, const std::string& hostFolder, uint32_t type) {
  int index = DriveIndex(letter);
  if (index < 0) return;
  std::string folder = hostFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::lock_guard<std::mutex> hold(gDriveMutex);
  gDrives[index].folder = folder;
  gDrives[index].type = folder.empty() ? kDriveNoRootDir : type;
}

void ClearDriveMap() {
  std::lock_guard<std::mutex> hold(gDriveMutex);
  for (MappedDrive& d : gDrives) d = MappedDrive{};
}

std::string HostPath(const String& path) {
  int drive = PathDrive(path);
  if (drive < 0) {
    std::string host = ToHostBytes(path);
    for (char& c : host)
      if (c == '\\') c = '/';
    return host;
  }
  std::string folder;
  {
    std::lock_guard<std::mutex> hold(gDriveMutex);
    folder = gDrives[drive].folder;
  }
  if (folder.empty()) return {};
  std::string rest = ToHostBytes(path.substr(2));
  for (char& c : rest)
    if (c == '\\') c = '/';
  size_t skip = rest.find_first_not_of('/');
  bool rooted = !rest.empty() && rest[0] == '/';
  rest.erase(0, skip == std::string::npos ? rest.size() : skip);
  if (rest.empty() && !rooted) return folder;  // "C:"
  if (folder.back() != '/') folder.push_back('/');
  return folder + rest;
}

uint32_t GetDriveType(const String& root) {
  int drive = PathDrive(root);
  if (drive < 0) return kDriveNoRootDir;
  if (root.size() > 3 || (root.size() == 3 && root[2] != u'\\' && root[2] != u'/'))
    return kDriveNoRootDir;  // not a root path
  MappedDrive mapped;
  {
    std::lock_guard<std::mutex> hold(gDriveMutex);
    mapped = gDrives[drive];
  }
  if (mapped.folder.empty()) return kDriveNoRootDir;
  struct stat st;
  if (::stat(mapped.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kDriveNoRootDir;
  return mapped.type;
}

// POSIX has no shell folders; nothing is excluded from a walk.
String NetworkNeighbourhoodFolder() { return {}; }

}  // namespace lvx::os
