// File mappings on POSIX. A mapping object is the file (its own descriptor, so it outlives the
// file handle as a Win32 mapping does), a size and a protection; a view is an mmap(2) of part of
// it. munmap needs the length that MapViewOfFile's caller never keeps, so every view is recorded
// in a process-wide registry from its address to its length. The registry also counts the mapping
// objects and views of each file, so that the file code can refuse to cut a mapped file short.
//
// Growing a file for a larger mapping reserves its blocks (posix_fallocate) instead of leaving a
// hole: a full disk then fails the mapping with ERROR_DISK_FULL, as on Windows, where a sparse
// file would instead kill the process with SIGBUS at the first write through the view.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_file.h"
#include "platform/posix/posix_util.h"

namespace lvx::os {

using fault::Op;
using posix::FailErrno;
using posix::RetryEintr;

namespace {

constexpr uint32_t kAllocationGranularity = 65536;  // view offsets are multiples, as on Windows
constexpr uint32_t kErrorFileInvalid = 1006;
constexpr uint32_t kErrorMappedAlignment = 1132;
constexpr uint32_t kErrorInvalidAddress = 487;

using FileId = std::pair<dev_t, ino_t>;

struct PosixMapping {
  int fd = -1;
  uint64_t size = 0;
  bool writable = false;
  FileId file;
};

struct View {
  size_t length;
  FileId file;
};

std::mutex gViewMutex;
std::unordered_map<void*, View> gViews;  // guarded by gViewMutex
std::map<FileId, int> gMappedFiles;      // guarded by gViewMutex: mapping objects + views per file

void AddUse(const FileId& file) {
  std::lock_guard<std::mutex> hold(gViewMutex);
  ++gMappedFiles[file];
}

// The caller holds gViewMutex.
void DropUseLocked(const FileId& file) {
  auto it = gMappedFiles.find(file);
  if (it != gMappedFiles.end() && --it->second <= 0) gMappedFiles.erase(it);
}

// Makes the file at least size bytes long with its blocks reserved.
bool Extend(int fd, uint64_t length, uint64_t size) {
  int err = posix_fallocate(fd, off_t(length), off_t(size - length));
  if (err == 0) return true;
  if (err == EOPNOTSUPP || err == EINVAL) {
    // A file system that cannot reserve: a plain (possibly sparse) extension.
    if (RetryEintr([&] { return ::ftruncate(fd, off_t(size)); }) == 0) return true;
    err = errno;
  }
  // Give back whatever part was reserved; the file keeps its old length.
  RetryEintr([&] { return ::ftruncate(fd, off_t(length)); });
  FailErrno(err);
  return false;
}

}  // namespace

namespace posix {

bool IsUserMapped(const struct stat& st) {
  std::lock_guard<std::mutex> hold(gViewMutex);
  return gMappedFiles.count(FileId(st.st_dev, st.st_ino)) != 0;
}

}  // namespace posix

MappingHandle CreateMapping(FileHandle handle, uint32_t protection, uint32_t size) {
  if (fault::ShouldFail(Op::Map)) return {};
  posix::PosixFile* file = posix::FileOf(handle);
  if (file == nullptr) return {};
  bool writable;
  if (protection == kPageReadOnly) {
    writable = false;
  } else if (protection == kPageReadWrite) {
    writable = true;
  } else {
    SetLastError(kErrorInvalidParameter);
    return {};
  }
  if (!file->readable || (writable && !file->writable)) {
    SetLastError(kErrorAccessDenied);
    return {};
  }
  struct stat st;
  if (::fstat(file->fd, &st) != 0) {
    FailErrno(errno);
    return {};
  }
  uint64_t length = uint64_t(st.st_size);
  uint64_t mappingSize = size == 0 ? length : size;
  if (mappingSize == 0) {
    SetLastError(kErrorFileInvalid);  // an empty file has nothing to map
    return {};
  }
  if (mappingSize > length) {
    if (!writable) {
      SetLastError(kErrorAccessDenied);
      return {};
    }
    if (!Extend(file->fd, length, mappingSize)) return {};
  }
  int fd = ::fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    FailErrno(errno);
    return {};
  }
  auto* mapping = new PosixMapping{fd, mappingSize, writable, {st.st_dev, st.st_ino}};
  AddUse(mapping->file);
  SetLastError(kErrorSuccess);
  return {mapping};
}

bool CloseMapping(MappingHandle handle) {
  if (!handle.IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  auto* mapping = static_cast<PosixMapping*>(handle.value);
  {
    std::lock_guard<std::mutex> hold(gViewMutex);
    DropUseLocked(mapping->file);
  }
  ::close(mapping->fd);
  delete mapping;
  return true;
}

void* MapView(MappingHandle handle, uint32_t access, uint32_t offset, uint32_t length) {
  if (fault::ShouldFail(Op::View)) return nullptr;
  if (!handle.IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  auto* mapping = static_cast<PosixMapping*>(handle.value);
  const bool write = (access & kMapWrite) != 0;
  if ((access & (kMapRead | kMapWrite)) == 0) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  if (write && !mapping->writable) {
    SetLastError(kErrorAccessDenied);
    return nullptr;
  }
  if (offset % kAllocationGranularity != 0) {
    SetLastError(kErrorMappedAlignment);
    return nullptr;
  }
  if (offset >= mapping->size) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  uint64_t bytes = length == 0 ? mapping->size - offset : length;
  if (bytes > mapping->size - offset) {
    SetLastError(kErrorAccessDenied);  // what Windows reports for a view past the mapping
    return nullptr;
  }
  int prot = PROT_READ | (write ? PROT_WRITE : 0);
  void* view = ::mmap(nullptr, size_t(bytes), prot, MAP_SHARED, mapping->fd, off_t(offset));
  if (view == MAP_FAILED) {
    FailErrno(errno);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> hold(gViewMutex);
    gViews[view] = View{size_t(bytes), mapping->file};
    ++gMappedFiles[mapping->file];
  }
  SetLastError(kErrorSuccess);
  return view;
}

bool UnmapView(void* view) {
  size_t length;
  {
    std::lock_guard<std::mutex> hold(gViewMutex);
    auto it = gViews.find(view);
    if (it == gViews.end()) {
      SetLastError(kErrorInvalidAddress);
      return false;
    }
    length = it->second.length;
    DropUseLocked(it->second.file);
    gViews.erase(it);
  }
  if (::munmap(view, length) != 0) {
    FailErrno(errno);
    return false;
  }
  return true;
}

}  // namespace lvx::os
