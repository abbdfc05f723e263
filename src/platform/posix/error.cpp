// Error codes on POSIX. The engine speaks Win32 error numbers (it shows them in its message boxes
// and tests compare them), so every failing system call translates its errno here; the texts are
// the ones Windows gives in US English, so a message reads the same on both backends.
#include <cstring>

#include "platform/file.h"
#include "platform/posix/posix_util.h"
#include "platform/text.h"

namespace lvx::os {
namespace {

thread_local uint32_t tLastError = kErrorSuccess;

struct ErrorText {
  uint32_t code;
  const char* text;
};

constexpr ErrorText kTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {17, "The system cannot move the file to a different disk drive."},
    {18, "There are no more files."},
    {19, "The media is write protected."},
    {21, "The device is not ready."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {32, "The process cannot access the file because it is being used by another process."},
    {33, "The process cannot access the file because another process has locked a portion of the file."},
    {39, "The disk is full."},
    {50, "The request is not supported."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {223, "The file size exceeds the limit allowed and cannot be saved."},
    {267, "The directory name is invalid."},
    {487, "Attempt to access invalid address."},
    {1006, "The volume for a file has been externally altered so that the opened file is no longer valid."},
    {1117, "The request could not be performed because of an I/O device error."},
    {1132, "The base address or the file offset specified does not have the proper alignment."},
    {1224, "The requested operation cannot be performed on a file with a user-mapped section open."},
    {1455, "The paging file is too small for this operation to complete."},
    {1460, "This operation returned because the timeout period expired."},
    {1921, "The name of the file cannot be resolved by the system."},
};

}  // namespace

uint32_t LastError() { return tLastError; }

void SetLastError(uint32_t code) { tLastError = code; }

String SystemErrorText(uint32_t code) {
  for (const ErrorText& e : kTexts)
    if (e.code == code) return U16(e.text) + u"\r\n";
  if ((code & posix::kErrnoBase) != 0 && (code & ~posix::kErrnoBase) < 4096) {
    // An errno without a Win32 counterpart: the C library's text, shaped like a system text.
    char buffer[256];
    const char* text = strerror_r(int(code & ~posix::kErrnoBase), buffer, sizeof buffer);
    return U16(text) + u".\r\n";
  }
  return {};
}

namespace posix {

uint32_t ErrorFromErrno(int err) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return kErrorAccessDenied;
    case EEXIST: return kErrorAlreadyExists;
    case ENOTEMPTY: return kErrorDirectoryNotEmpty;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EFBIG: return 223;  // ERROR_FILE_TOO_LARGE
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EBADF: return kErrorInvalidHandle;
    case EINVAL:
    case EOVERFLOW: return kErrorInvalidParameter;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EROFS: return 19;   // ERROR_WRITE_PROTECT
    case EXDEV: return 17;   // ERROR_NOT_SAME_DEVICE
    case EIO: return 1117;   // ERROR_IO_DEVICE
    case ELOOP: return 1921;  // ERROR_CANT_RESOLVE_FILENAME
    case ENODEV:
    case ENXIO: return 21;   // ERROR_NOT_READY
    case ENOSYS:
    case EOPNOTSUPP: return kErrorNotSupported;
    case EAGAIN: return kErrorNotEnoughMemory;  // mmap/pthread_create out of a resource
    case EILSEQ: return kErrorInvalidName;
    default: return kErrnoBase | uint32_t(err);
  }
}

void FailErrno(int err) { SetLastError(ErrorFromErrno(err)); }

void FailPathErrno(int err, const std::string& hostPath) {
  if (err == ENOENT) {
    // "a/b/" names b, whose parent is a.
    std::string entry = hostPath;
    while (entry.size() > 1 && entry.back() == '/') entry.pop_back();
    size_t slash = entry.find_last_of('/');
    std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : entry.substr(0, slash);
    struct stat st;
    if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      SetLastError(kErrorPathNotFound);
      return;
    }
  }
  FailErrno(err);
}

uint64_t FileTimeOf(const struct timespec& t) {
  constexpr int64_t kEpochDelta = 11644473600;  // seconds from 1601-01-01 to 1970-01-01
  int64_t seconds = int64_t(t.tv_sec) + kEpochDelta;
  if (seconds < 0) return 0;
  return uint64_t(seconds) * 10000000u + uint64_t(t.tv_nsec) / 100u;
}

}  // namespace posix
}  // namespace lvx::os
