// Types shared by the OS layer's declarations, and its errors.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::os {

using String = std::u16string;

constexpr uint32_t kInfinite = 0xFFFFFFFFu;  // a wait without a time limit

// A FILETIME: 100-nanosecond units since 1601-01-01 UTC, in two 32-bit halves.
struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;
  uint64_t Value() const { return (uint64_t(high) << 32) | low; }
  static FileTime From(uint64_t v) { return {uint32_t(v), uint32_t(v >> 32)}; }
  static constexpr int64_t kUnixEpochSeconds = 11644473600;  // from 1601-01-01 to 1970-01-01
};

// The kinds of failure that callers and tests tell apart. The system's own code of a failure is
// what the message boxes show; each backend maps its codes onto these kinds and back.
// NotFound: no such file or folder, or a folder on the way is missing. InUse: another program
// holds the file in a way that excludes this use. OutOfMemory: memory, address space or a system
// resource ran out. IoError: any other failure of the device or the system.
enum class Error : uint8_t {
  None, NotFound, Exists, AccessDenied, InUse, DiskFull, OutOfMemory, TooManyFiles, IoError
};

// The system's code of the calling thread's last failure in this layer (GetLastError, errno).
uint32_t LastError();
void SetLastError(uint32_t code);
Error ErrorOf(uint32_t code);
uint32_t CodeOf(Error error);

// The backend's codes of each kind, read by ErrorOf and CodeOf: the first code of a kind is the one
// CodeOf gives, and the last entry, of kind IoError, stands for every code not listed.
struct ErrorCode {
  Error error;
  uint32_t code;
};
extern const ErrorCode kErrorCodes[];
extern const size_t kErrorCodeCount;
// The system's text for a code, ending in "\r\n" as Windows gives it; empty when it has none.
String SystemErrorText(uint32_t code);

}  // namespace lvx::os
