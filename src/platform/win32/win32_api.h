// The Win32 backend's one way in to <windows.h>. The system headers define the A/W-switching macros
// DeleteFile, CopyFile, FindFirstFile, GetProfileString ... which would silently rename the OS
// layer's own functions to DeleteFileW ... in this backend only, so that the engine's calls would no
// longer link. They are removed here; the backend calls the W functions by their full names.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef GetFileAttributes
#undef DeleteFile
#undef CopyFile
#undef CreateDirectory
#undef RemoveDirectory
#undef FindFirstFile
#undef FindNextFile
#undef GetDriveType
#undef GetProfileString
#undef WriteProfileString
#undef GetProfileInt

#include "platform/os_types.h"

namespace lvx::os::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 strings are passed to the W functions as is");

inline const wchar_t* W(const String& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

// The layer's handles are null when invalid; CreateFileW and FindFirstFileW say so with
// INVALID_HANDLE_VALUE, which a real handle never equals.
inline void* FromSystemHandle(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }

}  // namespace lvx::os::win32
