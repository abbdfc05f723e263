// Helpers shared by the POSIX backend files: errno to Win32 error codes, engine paths to host
// paths, and file times. Not part of the OS layer's interface.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/os_types.h"

namespace lvx::os::posix {

// The Win32 code for an errno value. An errno with no Win32 counterpart becomes
// kErrnoBase | errno, which SystemErrorText describes with the C library's text.
constexpr uint32_t kErrnoBase = 0x20000000u;  // the "application defined" bit of Win32 codes
uint32_t ErrorFromErrno(int err);
// Sets LastError from errno as above.
void FailErrno(int err);
// As FailErrno, but a missing entry (ENOENT) becomes kErrorPathNotFound when the entry's parent
// folder is missing too, as Windows tells a missing file from a missing path.
void FailPathErrno(int err, const std::string& hostPath);

// The host path of an engine path (see drive.h). False, with LastError set, when the path names
// no mapped drive (kErrorPathNotFound) or holds a NUL character (kErrorInvalidName).
bool ResolvePath(const String& path, std::string* host);


// st_mtim as a FILETIME value (100 ns units since 1601); 0 for times before 1601.
uint64_t FileTimeOf(const struct timespec& t);

// Retries a system call interrupted by a signal.
template <typename F>
auto RetryEintr(F call) {
  for (;;) {
    auto r = call();
    if (r == -1 && errno == EINTR) continue;
    return r;
  }
}

}  // namespace lvx::os::posix
