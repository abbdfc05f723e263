// Helpers shared by the POSIX backend's files; not part of the layer's interface.
#pragma once

#include <cerrno>
#include <string>

#include "platform/os_types.h"

namespace lvx::os::posix {

// Sets LastError to an errno value and returns false, for `return Fail(errno);`.
inline bool Fail(int err) { return SetLastError(uint32_t(err)), false; }
// The host path of an engine path (see drive.h). False, LastError set, when the path names an
// unmapped letter or holds a NUL.
bool ResolvePath(const String& path, std::string* host);
template <typename F>
auto RetryEintr(F call) {
  for (;;)
    if (auto r = call(); r != -1 || errno != EINTR) return r;
}

}  // namespace lvx::os::posix
