// Files and mappings on POSIX. CreateAnew unlinks the old file, and CopyOver copies into a new file
// that then takes the target's place; a scratch file is unlinked as soon as it is made, so it
// vanishes with its descriptor even if the program dies. A mapping is the descriptor with a size.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix.h"

namespace lvx::os {

using fault::Op;
using posix::Fail;
using posix::RetryEintr;

namespace {

File OpenExisting(const String& path, int flags) {
  std::string host;
  struct stat st;
  if (fault::ShouldFail(Op::Open) || !posix::ResolvePath(path, &host)) return {};
  File file{RetryEintr([&] { return ::open(host.c_str(), flags | O_CLOEXEC); })};
  if (file.IsOpen() && ::fstat(int(file.id), &st) == 0 && !S_ISDIR(st.st_mode)) return file;
  Fail(file.IsOpen() ? EISDIR : errno);
  Close(file);
  return file;
}

File Create(const String& path, bool scratch) {
  std::string host;
  if (fault::ShouldFail(Op::Open) || !posix::ResolvePath(path, &host)) return {};
  if (::unlink(host.c_str()) != 0 && errno != ENOENT) return Fail(errno), File{};
  int fd = RetryEintr([&] { return ::open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
  if (fd < 0) return Fail(errno), File{};
  if (scratch) ::unlink(host.c_str());
  return {fd};
}

// Makes the file size bytes long with its blocks reserved; a file system that cannot reserve
// gets a plain extension.
bool Extend(int fd, uint64_t length, uint64_t size) {
  int err = ::posix_fallocate(fd, off_t(length), off_t(size - length));
  if (err == EOPNOTSUPP || err == EINVAL)
    err = RetryEintr([&] { return ::ftruncate(fd, off_t(size)); }) == 0 ? 0 : errno;
  if (err == 0) return true;
  RetryEintr([&] { return ::ftruncate(fd, off_t(length)); });  // the file keeps its length
  return Fail(err);
}

// Flushes a file's or a folder's bytes to the disk; a file system that cannot is taken at its word.
bool Sync(const std::string& host) {
  int fd = RetryEintr([&] { return ::open(host.c_str(), O_RDONLY | O_CLOEXEC); });
  int err = fd < 0 ? errno : ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  if (fd >= 0) ::close(fd);
  return err == 0 || Fail(err);
}

}  // namespace

File OpenToRead(const String& path) { return OpenExisting(path, O_RDONLY); }
File OpenToReadAlone(const String& path) { return OpenExisting(path, O_RDONLY); }
File OpenToUpdate(const String& path) { return OpenExisting(path, O_RDWR); }
File CreateAnew(const String& path) { return Create(path, false); }
File CreateScratch(const String& path) { return Create(path, true); }

void Close(File& file) { file.IsOpen() && ::close(int(file.id)), file = {}; }

bool SizeOf(File file, uint64_t* size) {
  struct stat st;
  if (fault::ShouldFail(Op::Read)) return false;
  if (::fstat(int(file.id), &st) != 0) return Fail(errno);
  *size = uint64_t(st.st_size);
  return true;
}

bool ReadFrom(File file, void* buffer, uint32_t length, uint32_t* done) {
  *done = 0;
  if (fault::ShouldFail(Op::Read)) return false;
  while (*done < length) {
    auto* at = static_cast<char*>(buffer) + *done;
    ssize_t n = RetryEintr([&] { return ::read(int(file.id), at, length - *done); });
    if (n < 0) return Fail(errno);
    if (n == 0) break;
    *done += uint32_t(n);
  }
  return true;
}

bool WriteTo(File file, const void* buffer, uint32_t length) {
  if (fault::ShouldFail(Op::Write)) return false;
  for (uint32_t put = 0; put < length;) {
    const char* at = static_cast<const char*>(buffer) + put;
    ssize_t n = RetryEintr([&] { return ::write(int(file.id), at, length - put); });
    if (n < 0) return Fail(errno);
    put += uint32_t(n);
  }
  return true;
}

Mapping Map(File file, uint32_t size, bool writable) {
  struct stat st;
  if (fault::ShouldFail(Op::Map)) return {};
  if (::fstat(int(file.id), &st) != 0) return Fail(errno), Mapping{};
  uint64_t length = uint64_t(st.st_size);
  if (size == 0 && (length == 0 || length > 0xFFFFFFFFu))
    return Fail(length == 0 ? EINVAL : EFBIG), Mapping{};
  if (size > length && !writable) return Fail(EACCES), Mapping{};
  if (size > length && !Extend(int(file.id), length, size)) return {};
  return {file.id, size == 0 ? uint32_t(length) : size, writable};
}

void Unmap(Mapping& mapping) { mapping = {}; }

uint8_t* View(const Mapping& mapping, uint32_t offset, uint32_t length) {
  if (fault::ShouldFail(Op::View)) return nullptr;
  if (!mapping.IsOpen() || length == 0 || offset % 65536 != 0 || uint64_t(offset) + length > mapping.size)
    return Fail(EINVAL), nullptr;
  int protection = PROT_READ | (mapping.writable ? PROT_WRITE : 0);
  void* view = ::mmap(nullptr, length, protection, MAP_SHARED, int(mapping.id), off_t(offset));
  if (view == MAP_FAILED) return Fail(errno), nullptr;
  return static_cast<uint8_t*>(view);
}

void Unview(uint8_t* view, uint32_t length) { view != nullptr && ::munmap(view, length); }

PathKind KindOf(const String& path) {
  std::string host;
  struct stat st;
  bool found = !fault::ShouldFail(Op::Read) && posix::ResolvePath(path, &host) &&
               (::stat(host.c_str(), &st) == 0 || Fail(errno));
  if (found) return S_ISDIR(st.st_mode) ? PathKind::Folder : PathKind::File;
  return ErrorOf(LastError()) == Error::NotFound ? PathKind::Missing : PathKind::Unknown;
}

bool RemoveFile(const String& path) {
  std::string host;
  if (fault::ShouldFail(Op::Write) || !posix::ResolvePath(path, &host)) return false;
  return ::unlink(host.c_str()) == 0 || Fail(errno);
}

bool CopyOver(const String& from, const String& to) {
  namespace fs = std::filesystem;
  std::string source, target;
  if (fault::ShouldFail(Op::Write) || !posix::ResolvePath(from, &source) || !posix::ResolvePath(to, &target))
    return false;
  std::string temporary = target + ".~" + std::to_string(::getpid());
  std::error_code ec, ignored;
  fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::last_write_time(temporary, fs::last_write_time(source, ignored), ec);  // kept by the copy
  if (!ec && ::rename(temporary.c_str(), target.c_str()) != 0) ec.assign(errno, std::generic_category());
  if (ec) fs::remove(temporary, ignored);
  return !ec || Fail(ec.value());
}

bool MoveOver(const String& from, const String& to) {
  std::string source, target;
  if (fault::ShouldFail(Op::Write) || !posix::ResolvePath(from, &source) || !posix::ResolvePath(to, &target))
    return false;
  // The data first, then the name, then the folder that records the name.
  std::string folder = std::filesystem::path(target).parent_path().string();
  return Sync(source) && (::rename(source.c_str(), target.c_str()) == 0 || Fail(errno)) &&
         Sync(folder.empty() ? "." : folder);
}

bool MakeFolder(const String& path) {
  std::string host;
  if (fault::ShouldFail(Op::Write) || !posix::ResolvePath(path, &host)) return false;
  return ::mkdir(host.c_str(), 0777) == 0 || Fail(errno);
}

}  // namespace lvx::os
