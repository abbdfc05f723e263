// Folder listing on Win32: FindFirstFileW/FindNextFileW, with the facts the cache keeps copied
// out of WIN32_FIND_DATAW.
#include <cstring>

#include "platform/dir.h"
#include "platform/fault.h"
#include "platform/win32/win32.h"

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
  String pattern = String(folder) + u"*";
  impl_->find = ::FindFirstFileW(win32::W(pattern), &impl_->data);
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

}  // namespace lvx::os
