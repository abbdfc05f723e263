// Folders and drives on Win32: listings through FindFirstFileExW (no short names, large fetches: the
// cheaper listing) and FindNextFileW, with the facts the cache keeps copied out of WIN32_FIND_DATAW;
// drive kinds and shell folders as the system gives them, a host path being the path itself.
#include <cstring>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/win32/win32.h"

#include <shlobj.h>

namespace lvx::os {

static_assert(sizeof(FolderEntry::name) == sizeof(WIN32_FIND_DATAW::cFileName));

struct FolderListing::Impl {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  bool first = false;  // data holds the first entry, not yet handed out
};

FolderListing::FolderListing() : impl_(std::make_unique<Impl>()) {}
FolderListing::~FolderListing() { Close(); }

bool FolderListing::Open(std::u16string_view folder) {
  Close();
  if (fault::ShouldFail(fault::Op::List)) return false;
  impl_->find = ::FindFirstFileExW(win32::W(String(folder) + u"*"), FindExInfoBasic, &impl_->data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  impl_->first = impl_->find != INVALID_HANDLE_VALUE;
  return impl_->first;
}

bool FolderListing::Next(FolderEntry* entry) {
  Impl& m = *impl_;
  if (fault::ShouldFail(fault::Op::List)) return false;
  if (m.find == INVALID_HANDLE_VALUE) return ::SetLastError(ERROR_INVALID_HANDLE), false;
  if (!m.first && !::FindNextFileW(m.find, &m.data)) {
    if (::GetLastError() == ERROR_NO_MORE_FILES) ::SetLastError(ERROR_SUCCESS);
    return false;
  }
  m.first = false;
  std::memcpy(entry->name, m.data.cFileName, sizeof entry->name);
  entry->name[259] = 0;
  entry->isFolder = (m.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->sizeHigh = entry->isFolder ? 0 : m.data.nFileSizeHigh;
  entry->sizeLow = entry->isFolder ? 0 : m.data.nFileSizeLow;
  entry->lastWriteTime = {m.data.ftLastWriteTime.dwLowDateTime, m.data.ftLastWriteTime.dwHighDateTime};
  return true;
}

void FolderListing::Close() {
  if (impl_->find != INVALID_HANDLE_VALUE) ::FindClose(impl_->find);
  impl_->find = INVALID_HANDLE_VALUE;
}

DriveKind DriveKindOf(const String& root) { return DriveKind(::GetDriveTypeW(win32::W(root))); }
void MapDrive(char16_t, const std::string&, DriveKind) {}
std::string HostPath(const String& path) { return ToHostBytes(path); }

String NetworkNeighbourhoodFolder() {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_NETHOOD, &pidl)) || pidl == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  ::CoTaskMemFree(pidl);
  String out = ok ? String(win32::U(path)) : String();
  // The caller appends the separator itself; a root such as "C:\" keeps its own.
  while (out.size() > 3 && out.back() == u'\\') out.pop_back();
  return out;
}

}  // namespace lvx::os
