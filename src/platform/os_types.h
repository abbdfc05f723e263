// Types and constants shared by the OS layer's declarations. The numeric values are the Win32 ones,
// so the engine can name access modes, dispositions, drive types and error codes the same way on
// every backend; the POSIX backend translates them.
#pragma once

#include <cstdint>
#include <string>

namespace lvx::os {

using String = std::u16string;

// Desired access.
constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
// Share mode.
constexpr uint32_t kShareNone = 0;
constexpr uint32_t kShareRead = 0x1;
constexpr uint32_t kShareWrite = 0x2;
constexpr uint32_t kShareDelete = 0x4;
// Creation disposition.
constexpr uint32_t kCreateNew = 1;
constexpr uint32_t kCreateAlways = 2;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kOpenAlways = 4;
// Flags and attributes.
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeNormal = 0x80;
constexpr uint32_t kAttributeReparsePoint = 0x400;
constexpr uint32_t kFlagDeleteOnClose = 0x04000000u;
// Mapping protection and view access.
constexpr uint32_t kPageReadOnly = 0x02;
constexpr uint32_t kPageReadWrite = 0x04;
constexpr uint32_t kMapWrite = 0x2;
constexpr uint32_t kMapRead = 0x4;
// Drive types.
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdrom = 5;
constexpr uint32_t kDriveRamdisk = 6;
// System error codes.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorOutOfMemory = 14;
constexpr uint32_t kErrorNoMoreFiles = 18;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorFilenameTooLong = 206;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorDirectoryNotEmpty = 145;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorCommitmentLimit = 1455;
constexpr uint32_t kErrorTimeout = 1460;
constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// A FILETIME: 100-nanosecond units since 1601-01-01 UTC, in two 32-bit halves.
struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;
  uint64_t Value() const { return (uint64_t(high) << 32) | low; }
  static FileTime From(uint64_t v) { return {uint32_t(v), uint32_t(v >> 32)}; }
};

// The facts of WIN32_FIND_DATAW that the cache keeps, in a fixed buffer so that listing a folder
// allocates nothing per entry.
struct FindData {
  uint32_t attributes = 0;
  FileTime lastWriteTime;
  uint32_t sizeHigh = 0;
  uint32_t sizeLow = 0;
  char16_t name[260] = {};
  bool IsDirectory() const { return (attributes & kAttributeDirectory) != 0; }
};

}  // namespace lvx::os
