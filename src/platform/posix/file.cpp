// Files on POSIX: CreateFileW's access, disposition and delete-on-close over open(2), and the path
// operations over their POSIX twins, with Win32 error codes.
//
// Share modes are not enforced: POSIX has no mandatory sharing, and advisory locks would only
// half imitate it. The engine keeps its own users of one file apart with its locks.
//
// A delete-on-close file stays visible under its path while its handle is open (the session file
// relies on that, as other processes look for it) and is removed when the handle closes, unless
// the path names another file by then.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_file.h"
#include "platform/posix/posix_util.h"

namespace lvx::os {

using fault::Op;
using posix::FailErrno;
using posix::FailPathErrno;
using posix::PosixFile;
using posix::ResolvePath;
using posix::RetryEintr;

namespace posix {

PosixFile* FileOf(FileHandle file) {
  if (!file.IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  return static_cast<PosixFile*>(file.value);
}

}  // namespace posix

namespace {

constexpr uint32_t kTruncateExisting = 5;

// Opens the host path as a disposition asks, but never truncates: the caller does, once it knows
// the file may be truncated. existed tells whether the file was there before (CREATE_ALWAYS and
// OPEN_ALWAYS report that through ERROR_ALREADY_EXISTS).
int OpenWithDisposition(const std::string& host, int accessFlags, uint32_t disposition,
                        bool* existed) {
  *existed = false;
  const int base = accessFlags | O_CLOEXEC;
  switch (disposition) {
    case kCreateNew:
      return RetryEintr([&] { return ::open(host.c_str(), base | O_CREAT | O_EXCL, 0666); });
    case kOpenExisting:
    case kTruncateExisting:
      return RetryEintr([&] { return ::open(host.c_str(), base); });
    case kCreateAlways:
    case kOpenAlways:
      // Create first; when the file is there, open it. Loop while another process removes or
      // creates it between the two calls.
      for (int attempt = 0; attempt < 16; ++attempt) {
        int fd = RetryEintr([&] { return ::open(host.c_str(), base | O_CREAT | O_EXCL, 0666); });
        if (fd >= 0 || errno != EEXIST) return fd;
        fd = RetryEintr([&] { return ::open(host.c_str(), base); });
        if (fd >= 0) {
          *existed = true;
          return fd;
        }
        if (errno != ENOENT) return fd;
      }
      return -1;
    default:
      errno = EINVAL;
      return -1;
  }
}

}  // namespace

FileHandle OpenFile(const String& path, uint32_t access, uint32_t share, uint32_t disposition,
                    uint32_t flagsAndAttributes) {
  if (fault::ShouldFail(Op::Open)) return {};
  std::string host;
  if (!ResolvePath(path, &host)) return {};
  const bool read = (access & kGenericRead) != 0;
  const bool write = (access & kGenericWrite) != 0;
  int accessFlags = write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
  bool existed = false;
  int fd = OpenWithDisposition(host, accessFlags, disposition, &existed);
  if (fd < 0) {
    int err = errno;
    if (err == EEXIST && disposition == kCreateNew)
      SetLastError(kErrorFileExists);
    else
      FailPathErrno(err, host);
    return {};
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    // CreateFileW opens no folder without backup semantics.
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return {};
  }
  if ((existed && disposition == kCreateAlways) || disposition == kTruncateExisting) {
    // Cutting a file under a live view would kill its reader with SIGBUS; Windows refuses.
    int err = 0;
    if (posix::IsUserMapped(st))
      err = -1;
    else if (write ? RetryEintr([&] { return ::ftruncate(fd, 0); }) != 0
                   : ::truncate(host.c_str(), 0) != 0)  // Windows truncates without write access
      err = errno;
    if (err != 0) {
      ::close(fd);
      if (err == -1)
        SetLastError(posix::kErrorUserMappedFile);
      else
        FailErrno(err);
      return {};
    }
  }
  auto* file = new PosixFile;
  file->fd = fd;
  file->readable = read || !write;
  file->writable = write;
  if ((flagsAndAttributes & kFlagDeleteOnClose) != 0) {
    file->deleteOnClose = true;
    file->hostPath = host;
  }
  SetLastError(existed ? kErrorAlreadyExists : kErrorSuccess);
  return {file};
}

bool CloseFile(FileHandle handle) {
  PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return false;
  if (file->deleteOnClose) {
    // Remove the path only while it still names this file: a file made anew under the same
    // path by someone else is not ours to delete.
    struct stat mine, there;
    if (::fstat(file->fd, &mine) == 0 && ::lstat(file->hostPath.c_str(), &there) == 0 &&
        mine.st_dev == there.st_dev && mine.st_ino == there.st_ino)
      ::unlink(file->hostPath.c_str());
  }
  int r = ::close(file->fd);
  delete file;
  if (r != 0 && errno != EINTR) {
    FailErrno(errno);
    return false;
  }
  return true;
}

bool GetFileSize(FileHandle handle, uint64_t* size) {
  PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return false;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) {
    FailErrno(errno);
    return false;
  }
  *size = uint64_t(st.st_size);
  return true;
}

bool ReadFile(FileHandle handle, void* buffer, uint32_t length, uint32_t* done) {
  if (done) *done = 0;
  PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return false;
  if (!file->readable) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  uint32_t total = 0;
  auto* out = static_cast<char*>(buffer);
  while (total < length) {
    ssize_t n = RetryEintr([&] { return ::read(file->fd, out + total, length - total); });
    if (n < 0) {
      FailErrno(errno);
      if (done) *done = total;
      return false;
    }
    if (n == 0) break;  // end of file: success with fewer bytes, as on Windows
    total += uint32_t(n);
  }
  if (done) *done = total;
  return true;
}

bool WriteFile(FileHandle handle, const void* buffer, uint32_t length, uint32_t* done) {
  if (done) *done = 0;
  if (fault::ShouldFail(Op::Write)) return false;
  PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return false;
  if (!file->writable) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  uint32_t total = 0;
  auto* in = static_cast<const char*>(buffer);
  while (total < length) {
    ssize_t n = RetryEintr([&] { return ::write(file->fd, in + total, length - total); });
    if (n < 0) {
      FailErrno(errno);
      if (done) *done = total;
      return false;
    }
    total += uint32_t(n);
  }
  if (done) *done = total;
  return true;
}

bool SetFileSize(FileHandle handle, uint64_t size) {
  if (fault::ShouldFail(Op::Write)) return false;
  PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return false;
  if (!file->writable) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  struct stat st;
  if (::fstat(file->fd, &st) == 0 && uint64_t(st.st_size) > size && posix::IsUserMapped(st)) {
    SetLastError(posix::kErrorUserMappedFile);
    return false;
  }
  if (RetryEintr([&] { return ::ftruncate(file->fd, off_t(size)); }) != 0) {
    FailErrno(errno);
    return false;
  }
  return true;
}

uint32_t GetFileAttributes(const String& path) {
  std::string host;
  if (!ResolvePath(path, &host)) return kInvalidAttributes;
  // Links are not followed, as a folder listing does not follow them.
  struct stat st;
  if (::lstat(host.c_str(), &st) != 0) {
    FailPathErrno(errno, host);
    return kInvalidAttributes;
  }
  if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
  if (S_ISLNK(st.st_mode)) return kAttributeReparsePoint;
  return kAttributeNormal;
}

bool FileExists(const String& path) {
  uint32_t attributes = GetFileAttributes(path);
  return attributes != kInvalidAttributes && (attributes & kAttributeDirectory) == 0;
}

bool DeleteFile(const String& path) {
  if (fault::ShouldFail(Op::Write)) return false;
  std::string host;
  if (!ResolvePath(path, &host)) return false;
  if (::unlink(host.c_str()) != 0) {
    FailPathErrno(errno, host);
    return false;
  }
  return true;
}

namespace {

// Copies an open file's bytes and last-write time into another; false with LastError set.
bool CopyContents(int from, int to, const struct stat& source) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t n = RetryEintr([&] { return ::read(from, buffer.data(), buffer.size()); });
    if (n < 0) {
      FailErrno(errno);
      return false;
    }
    if (n == 0) break;
    for (ssize_t put = 0; put < n;) {
      ssize_t w = RetryEintr([&] { return ::write(to, buffer.data() + put, size_t(n - put)); });
      if (w < 0) {
        FailErrno(errno);
        return false;
      }
      put += w;
    }
  }
  // CopyFileW keeps the last-write time.
  struct timespec times[2] = {source.st_atim, source.st_mtim};
  ::futimens(to, times);
  return true;
}

bool CopyHostFile(const std::string& from, const std::string& to, bool failIfExists) {
  int in = RetryEintr([&] { return ::open(from.c_str(), O_RDONLY | O_CLOEXEC); });
  if (in < 0) {
    FailPathErrno(errno, from);
    return false;
  }
  struct stat source;
  if (::fstat(in, &source) != 0 || S_ISDIR(source.st_mode)) {
    ::close(in);
    SetLastError(kErrorAccessDenied);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int out = RetryEintr([&] { return ::open(to.c_str(), flags, source.st_mode & 0777); });
  if (out < 0) {
    int err = errno;
    ::close(in);
    if (err == EEXIST)
      SetLastError(kErrorFileExists);
    else
      FailPathErrno(err, to);
    return false;
  }
  struct stat target = {};
  if (::fstat(out, &target) == 0 && target.st_dev == source.st_dev &&
      target.st_ino == source.st_ino) {
    // Copying a file onto itself would truncate it first.
    ::close(in);
    ::close(out);
    SetLastError(kErrorSharingViolation);
    return false;
  }
  if (posix::IsUserMapped(target)) {
    ::close(in);
    ::close(out);
    SetLastError(posix::kErrorUserMappedFile);
    return false;
  }
  bool ok = ::ftruncate(out, 0) == 0 || (FailErrno(errno), false);
  ok = ok && CopyContents(in, out, source);
  ::close(in);
  if (::close(out) != 0 && ok) {
    FailErrno(errno);
    ok = false;
  }
  if (!ok) {
    // CopyFileW leaves no partial target behind.
    uint32_t error = LastError();
    ::unlink(to.c_str());
    SetLastError(error);
  }
  return ok;
}

}  // namespace

bool CopyFile(const String& from, const String& to, bool failIfExists) {
  if (fault::ShouldFail(Op::Write)) return false;
  std::string hostFrom, hostTo;
  if (!ResolvePath(from, &hostFrom) || !ResolvePath(to, &hostTo)) return false;
  return CopyHostFile(hostFrom, hostTo, failIfExists);
}

bool MoveFileReplace(const String& from, const String& to) {
  if (fault::ShouldFail(Op::Write)) return false;
  std::string hostFrom, hostTo;
  if (!ResolvePath(from, &hostFrom) || !ResolvePath(to, &hostTo)) return false;
  struct stat source, target;
  if (::lstat(hostFrom.c_str(), &source) != 0) {
    FailPathErrno(errno, hostFrom);
    return false;
  }
  // MoveFileExW replaces files only, never a folder (rename(2) would replace an empty one).
  if (::lstat(hostTo.c_str(), &target) == 0 && S_ISDIR(target.st_mode) &&
      !(target.st_dev == source.st_dev && target.st_ino == source.st_ino)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (::rename(hostFrom.c_str(), hostTo.c_str()) == 0) return true;
  int err = errno;
  if (err != EXDEV || S_ISDIR(source.st_mode)) {
    FailPathErrno(err, err == ENOENT ? hostTo : hostFrom);
    return false;
  }
  // Another file system: copy, then remove the source (MOVEFILE_COPY_ALLOWED).
  if (!CopyHostFile(hostFrom, hostTo, false)) return false;
  if (::unlink(hostFrom.c_str()) != 0) {
    FailErrno(errno);
    return false;
  }
  return true;
}

bool CreateDirectory(const String& path) {
  std::string host;
  if (!ResolvePath(path, &host)) return false;
  if (::mkdir(host.c_str(), 0777) != 0) {
    FailPathErrno(errno, host);
    return false;
  }
  return true;
}

bool RemoveDirectory(const String& path) {
  std::string host;
  if (!ResolvePath(path, &host)) return false;
  if (::rmdir(host.c_str()) != 0) {
    int err = errno;
    if (err == ENOTDIR)
      SetLastError(267);  // ERROR_DIRECTORY
    else if (err == EEXIST)
      SetLastError(kErrorDirectoryNotEmpty);
    else
      FailPathErrno(err, host);
    return false;
  }
  return true;
}

}  // namespace lvx::os
