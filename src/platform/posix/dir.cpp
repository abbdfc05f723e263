// Folder listing on POSIX. Open reads the whole folder at once: readdir over a descriptor of the
// folder, one fstatat(AT_SYMLINK_NOFOLLOW) per entry, the names converted into one arena of UTF-16
// units, the entries put in NTFS order; Next copies out the next one. An entry that vanishes
// meanwhile is left out; one that cannot be examined keeps its name and kind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dir.h"
#include "platform/fault.h"
#include "platform/posix/posix.h"
#include "platform/utf.h"

namespace lvx::os {
namespace {

struct Entry {
  uint64_t size;
  uint64_t time;
  uint32_t nameOffset;  // into Impl::names
  uint16_t nameLength;
  bool isFolder;
};

// A modification time as a FILETIME value; 0 for times before 1601.
uint64_t FileTimeOf(const struct timespec& t) {
  int64_t seconds = int64_t(t.tv_sec) + FileTime::kUnixEpochSeconds;
  return seconds < 0 ? 0 : uint64_t(seconds) * 10000000u + uint64_t(t.tv_nsec) / 100u;
}

// NTFS order: names compared with a-z read as A-Z; names equal so compared by their own units.
struct NtfsLess {
  const char16_t* names;
  bool operator()(const Entry& a, const Entry& b) const {
    const char16_t *x = names + a.nameOffset, *xEnd = x + a.nameLength;
    const char16_t *y = names + b.nameOffset, *yEnd = y + b.nameLength;
    auto upper = [](char16_t c, char16_t d) {
      return (c >= u'a' && c <= u'z' ? c - 32 : c) < (d >= u'a' && d <= u'z' ? d - 32 : d);
    };
    if (std::lexicographical_compare(x, xEnd, y, yEnd, upper)) return true;
    return !std::lexicographical_compare(y, yEnd, x, xEnd, upper) &&
           std::lexicographical_compare(x, xEnd, y, yEnd);
  }
};

}  // namespace

struct FolderListing::Impl {
  std::vector<char16_t> names;  // every name, back to back, without terminators
  std::vector<Entry> entries;   // in listing order once Open returns
  size_t next = 0;
};

FolderListing::FolderListing() : impl_(std::make_unique<Impl>()) {}
FolderListing::~FolderListing() = default;

bool FolderListing::Open(std::u16string_view folder) {
  Close();
  std::string host;
  if (fault::ShouldFail(fault::Op::List) || !posix::ResolvePath(String(folder), &host)) return false;
  int fd = posix::RetryEintr([&] { return ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (dir == nullptr) {
    posix::Fail(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  Impl& m = *impl_;
  // A drive root has no "." and "..", as on Windows.
  bool driveRoot = folder.size() <= 3 && folder.size() >= 2 && folder[1] == u':';
  size_t dots = 0;  // moved to the front as they are met
  for (struct dirent* d; (errno = 0, d = ::readdir(dir)) != nullptr;) {
    const char* name = d->d_name;
    bool isDots = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
    if (isDots && driveRoot) continue;
    size_t bytes = std::strlen(name), offset = m.names.size();
    m.names.resize(offset + bytes);
    size_t units = utf::DecodeHostName(name, bytes, m.names.data() + offset);
    m.names.resize(offset + units);
    Entry e{0, 0, uint32_t(offset), uint16_t(units), d->d_type == DT_DIR};
    struct stat st;
    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      e.isFolder = S_ISDIR(st.st_mode);
      e.time = FileTimeOf(st.st_mtim);
      if (!e.isFolder) e.size = uint64_t(st.st_size);
    } else if (errno == ENOENT) {
      m.names.resize(offset);  // gone since readdir saw it
      continue;
    }
    m.entries.push_back(e);
    if (isDots) std::swap(m.entries[dots++], m.entries.back());
  }
  int err = errno;
  ::closedir(dir);
  if (err != 0) return Close(), posix::Fail(err);
  std::sort(m.entries.begin(), m.entries.begin() + dots, NtfsLess{m.names.data()});  // "." first
  std::sort(m.entries.begin() + dots, m.entries.end(), NtfsLess{m.names.data()});
  return true;
}

bool FolderListing::Next(FolderEntry* entry) {
  Impl& m = *impl_;
  if (fault::ShouldFail(fault::Op::List)) return false;
  if (m.next >= m.entries.size()) return SetLastError(0), false;
  const Entry& e = m.entries[m.next++];
  std::memcpy(entry->name, m.names.data() + e.nameOffset, e.nameLength * sizeof(char16_t));
  entry->name[e.nameLength] = u'\0';
  entry->isFolder = e.isFolder;
  entry->sizeHigh = uint32_t(e.size >> 32);
  entry->sizeLow = uint32_t(e.size);
  entry->lastWriteTime = FileTime::From(e.time);
  return true;
}

void FolderListing::Close() {
  impl_->names.clear(), impl_->entries.clear(), impl_->next = 0;
}

}  // namespace lvx::os
