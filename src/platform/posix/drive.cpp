// Drive letters on POSIX: a table of the host folders that letters stand for.
#include <sys/stat.h>

#include <array>
#include <mutex>

#include "platform/drive.h"
#include "platform/posix/posix.h"
#include "platform/text.h"

namespace lvx::os {
namespace {

struct MappedDrive {
  std::string folder;  // empty: not mapped
  DriveKind kind = DriveKind::None;
};

std::mutex gDriveMutex;
std::array<MappedDrive, 26> gDrives;  // guarded by gDriveMutex

// The drive index of a path that begins with "X:", or -1.
int PathDrive(const String& path) {
  return path.size() < 2 || path[1] != u':' ? -1 : DriveIndex(path[0]);
}

MappedDrive DriveOf(int index) {
  std::lock_guard<std::mutex> hold(gDriveMutex);
  return gDrives[index];
}

}  // namespace

bool posix::ResolvePath(const String& path, std::string* host) {
  if (path.find(u'\0') != String::npos) return Fail(EINVAL);  // never cut short into another path
  *host = HostPath(path);
  return !host->empty() || Fail(ENOENT);
}

void MapDrive(char16_t letter, const std::string& hostFolder, DriveKind kind) {
  int index = PathDrive(String{letter, u':'});
  if (index < 0) return;
  std::string folder = hostFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::lock_guard<std::mutex> hold(gDriveMutex);
  gDrives[index] = {folder, folder.empty() ? DriveKind::None : kind};
}

std::string HostPath(const String& path) {
  int drive = PathDrive(path);
  std::string folder = drive < 0 ? std::string() : DriveOf(drive).folder;
  if (drive >= 0 && folder.empty()) return {};
  std::string rest = ToHostBytes(drive < 0 ? path : path.substr(2));
  for (char& c : rest)
    if (c == '\\') c = '/';
  if (drive < 0) return rest;
  size_t skip = rest.find_first_not_of('/');
  bool rooted = !rest.empty() && rest[0] == '/';
  rest.erase(0, skip == std::string::npos ? rest.size() : skip);
  if (rest.empty() && !rooted) return folder;  // "C:"
  if (folder.back() != '/') folder.push_back('/');
  return folder + rest;
}

DriveKind DriveKindOf(const String& root) {
  int drive = PathDrive(root);
  bool isRoot = root.size() == 2 || (root.size() == 3 && (root[2] == u'\\' || root[2] == u'/'));
  if (drive < 0 || !isRoot) return DriveKind::None;
  MappedDrive mapped = DriveOf(drive);
  struct stat st;
  if (mapped.folder.empty() || ::stat(mapped.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return DriveKind::None;
  return mapped.kind;
}

// POSIX has no shell folders; nothing is left out of a walk.
String NetworkNeighbourhoodFolder() { return {}; }

}  // namespace lvx::os
