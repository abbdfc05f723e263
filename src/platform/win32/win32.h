// The Win32 backend's way in to <windows.h>, and its helpers; not part of the layer's interface.
#pragma once

#include <cstdint>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/os_types.h"

namespace lvx::os::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 strings are passed to the W functions as is");

inline const wchar_t* W(const String& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }

}  // namespace lvx::os::win32
