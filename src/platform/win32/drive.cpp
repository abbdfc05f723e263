// Drive letters on Win32. The system knows the drives, so the drive map is a no-op and a host path is
// the path itself as UTF-8 (host_text.cpp).
#include "platform/win32/win32_api.h"

#include <shlobj.h>

#include "platform/drive.h"

namespace lvx::os {

uint32_t GetDriveType(const String& root) { return ::GetDriveTypeW(win32::W(root)); }

void MapDrive(char16_t, const std::string&, uint32_t) {}

void ClearDriveMap() {}

std::string HostPath(const String& path) { return ToHostBytes(path); }

String NetworkNeighbourhoodFolder() {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_NETHOOD, &pidl)) || pidl == nullptr)
    return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  ::CoTaskMemFree(pidl);
  if (!ok) return {};
  String out(win32::U(path));
  // The caller appends the separator itself; a root such as "C:\" keeps its own.
  while (out.size() > 3 && out.back() == u'\\') out.pop_back();
  return out;
}

}  // namespace lvx::os
