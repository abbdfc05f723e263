// Helpers shared by the POSIX backend's files; not part of the layer's interface.
#pragma once

#include <time.h>

#include <cerrno>
#include <string>

#include "platform/os_types.h"

namespace lvx::os::posix {

// Sets LastError to an errno value and returns false, for `return Fail(errno);`.
bool Fail(int err);
// The host path of an engine path (see drive.h). False, LastError set, when the path names an
// unmapped letter or holds a NUL.
bool ResolvePath(const String& path, std::string* host);
// A modification time as a FILETIME value; 0 for times before 1601.
uint64_t FileTimeOf(const struct timespec& t);

// Retries a system call that a signal interrupted.
template <typename F>
auto RetryEintr(F call) {
  for (;;) {
    auto r = call();
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

}  // namespace lvx::os::posix
