// Drive letters on Win32: the system knows them, so a host path is the path itself.
#include "platform/win32/win32.h"

#include <shlobj.h>

#include "platform/drive.h"

namespace lvx::os {

DriveKind DriveKindOf(const String& root) { return DriveKind(::GetDriveTypeW(win32::W(root))); }

void MapDrive(char16_t, const std::string&, DriveKind) {}

std::string HostPath(const String& path) { return ToHostBytes(path); }

String NetworkNeighbourhoodFolder() {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_NETHOOD, &pidl)) || pidl == nullptr)
    return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  ::CoTaskMemFree(pidl);
  String out = ok ? String(win32::U(path)) : String();
  // The caller appends the separator itself; a root such as "C:\" keeps its own.
  while (out.size() > 3 && out.back() == u'\\') out.pop_back();
  return out;
}

}  // namespace lvx::os
