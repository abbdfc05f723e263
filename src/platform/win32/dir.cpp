// Folder listing on Win32: FindFirstFileW/FindNextFileW, the find handle passed through as is, and
// only the fields the cache keeps copied out of WIN32_FIND_DATAW.
#include "platform/win32/win32_api.h"

#include "platform/dir.h"
#include "platform/fault.h"

namespace lvx::os {
namespace {

static_assert(sizeof(FindData::name) == sizeof(WIN32_FIND_DATAW::cFileName));

void CopyOut(const WIN32_FIND_DATAW& w, FindData* data) {
  if (!data) return;
  data->attributes = w.dwFileAttributes;
  data->lastWriteTime = {w.ftLastWriteTime.dwLowDateTime, w.ftLastWriteTime.dwHighDateTime};
  data->sizeHigh = w.nFileSizeHigh;
  data->sizeLow = w.nFileSizeLow;
  std::memcpy(data->name, w.cFileName, sizeof data->name);
  data->name[260 - 1] = 0;  // the system terminates it; a copy never runs past the buffer either way
}

}  // namespace

FindHandle FindFirstFile(const String& pattern, FindData* data) {
  if (fault::ShouldFail(fault::Op::List)) return {};
  WIN32_FIND_DATAW w;
  HANDLE h = ::FindFirstFileW(win32::W(pattern), &w);
  if (h == INVALID_HANDLE_VALUE) return {};
  CopyOut(w, data);
  return {h};
}

bool FindNextFile(FindHandle find, FindData* data) {
  if (fault::ShouldFail(fault::Op::List)) return false;
  if (!find.IsValid()) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  WIN32_FIND_DATAW w;
  if (!::FindNextFileW(find.value, &w)) return false;
  CopyOut(w, data);
  return true;
}

void FindClose(FindHandle find) {
  if (find.IsValid()) ::FindClose(find.value);
}

}  // namespace lvx::os
