// Folder listing on POSIX, in the shape FindFirstFileW/FindNextFileW give it on NTFS.
//
// FindFirstFile reads the whole folder at once: readdir over a descriptor of the folder, one
// fstatat(AT_SYMLINK_NOFOLLOW) per entry relative to it (no path building, no other call per
// entry), names converted straight into one arena of UTF-16 units. It then orders the entries as
// NTFS keeps them ("." and ".." first, then names compared unit by unit with a-z read as A-Z,
// equal keys by their own units), so that a cache built from the same tree is always the same.
// FindNextFile only copies out the next entry. Listings are recycled per thread, so a walk of a
// large tree allocates only while a folder is larger than every one before it.
//
// A symbolic link is never followed: it is listed as a file of the link's own size (with the
// reparse-point attribute), so a link cycle cannot trap a walk. An entry that vanishes between
// readdir and fstatat is left out; one that cannot be examined keeps its name and kind.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/dir.h"
#include "platform/utf.h"
#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"

namespace lvx::os {
namespace {

struct Entry {
  uint64_t size;
  uint64_t time;
  uint32_t nameOffset;  // into Listing::names
  uint16_t nameLength;
  uint16_t attributes;
};

struct Listing {
  std::vector<char16_t> names;  // every name, back to back, without terminators
  std::vector<Entry> entries;   // in listing order once FindFirstFile returns
  size_t next = 0;
};

// Spare listings of this thread, kept with their capacity.
thread_local std::vector<std::unique_ptr<Listing>> tSpareListings;
constexpr size_t kMaxSpareListings = 8;

std::unique_ptr<Listing> TakeListing() {
  if (tSpareListings.empty()) return std::make_unique<Listing>();
  std::unique_ptr<Listing> listing = std::move(tSpareListings.back());
  tSpareListings.pop_back();
  return listing;
}

void GiveBack(std::unique_ptr<Listing> listing) {
  if (tSpareListings.size() >= kMaxSpareListings) return;
  listing->names.clear();
  listing->entries.clear();
  listing->next = 0;
  tSpareListings.push_back(std::move(listing));
}

inline char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

// NTFS order: names compared with a-z read as A-Z; names equal so compared by their own units.
struct NtfsLess {
  const char16_t* names;
  bool operator()(const Entry& a, const Entry& b) const {
    const char16_t* x = names + a.nameOffset;
    const char16_t* y = names + b.nameOffset;
    size_t n = std::min(a.nameLength, b.nameLength);
    for (size_t i = 0; i < n; ++i) {
      char16_t fx = UpperAscii(x[i]), fy = UpperAscii(y[i]);
      if (fx != fy) return fx < fy;
    }
    if (a.nameLength != b.nameLength) return a.nameLength < b.nameLength;
    for (size_t i = 0; i < n; ++i)
      if (x[i] != y[i]) return x[i] < y[i];
    return false;
  }
};

// '*' and '?' against a name, letters matched without regard to ASCII case.
bool MatchMask(const char16_t* mask, size_t maskLength, const char16_t* name, size_t nameLength) {
  size_t m = 0, n = 0, starM = SIZE_MAX, starN = 0;
  while (n < nameLength) {
    if (m < maskLength && mask[m] == u'*') {
      starM = m++;
      starN = n;
    } else if (m < maskLength && (mask[m] == u'?' || UpperAscii(mask[m]) == UpperAscii(name[n]))) {
      ++m;
      ++n;
    } else if (starM != SIZE_MAX) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < maskLength && mask[m] == u'*') ++m;
  return m == maskLength;
}

bool IsDots(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

uint16_t AttributesOf(mode_t mode) {
  if (S_ISDIR(mode)) return kAttributeDirectory;
  if (S_ISLNK(mode)) return kAttributeReparsePoint;
  return kAttributeNormal;
}

void Fill(const Listing& listing, const Entry& e, FindData* data) {
  data->attributes = e.attributes;
  data->lastWriteTime = FileTime::From(e.time);
  data->sizeHigh = uint32_t(e.size >> 32);
  data->sizeLow = uint32_t(e.size);
  std::memcpy(data->name, listing.names.data() + e.nameOffset, e.nameLength * sizeof(char16_t));
  data->name[e.nameLength] = u'\0';
}

// Reads the folder at dirFd into the listing. mask is null to take every entry. False with
// LastError set when the folder cannot be read to its end.
bool ReadFolder(int dirFd, bool withDots, const String* mask, Listing* listing) {
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    posix::FailErrno(errno);
    ::close(dirFd);
    return false;
  }
  size_t dots = 0;  // "." and ".." are moved to the front as they are met
  for (;;) {
    errno = 0;
    struct dirent* d = ::readdir(dir);
    if (d == nullptr) {
      if (errno != 0) {
        posix::FailErrno(errno);
        ::closedir(dir);
        return false;
      }
      break;
    }
    const char* name = d->d_name;
    bool isDots = IsDots(name);
    if (isDots && !withDots) continue;
    size_t bytes = std::strlen(name);
    size_t offset = listing->names.size();
    listing->names.resize(offset + bytes);
    size_t units = utf::DecodeHostName(name, bytes, listing->names.data() + offset);
    listing->names.resize(offset + units);
    if (mask != nullptr &&
        !MatchMask(mask->data(), mask->size(), listing->names.data() + offset, units)) {
      listing->names.resize(offset);
      continue;
    }
    Entry e{0, 0, uint32_t(offset), uint16_t(units), kAttributeNormal};
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
      e.attributes = AttributesOf(st.st_mode);
      e.time = posix::FileTimeOf(st.st_mtim);
      if (!S_ISDIR(st.st_mode)) e.size = uint64_t(st.st_size);
    } else if (errno == ENOENT) {
      listing->names.resize(offset);  // gone since readdir saw it
      continue;
    } else if (d->d_type == DT_DIR) {
      e.attributes = kAttributeDirectory;  // seen but not examinable: name and kind only
    }
    listing->entries.push_back(e);
    if (isDots) std::swap(listing->entries[dots++], listing->entries.back());
  }
  ::closedir(dir);
  if (dots == 2 && listing->entries[0].nameLength == 2)
    std::swap(listing->entries[0], listing->entries[1]);  // "." before ".."
  std::sort(listing->entries.begin() + dots, listing->entries.end(),
            NtfsLess{listing->names.data()});
  return true;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

FindHandle FindFirstFile(const String& pattern, FindData* data) {
  if (fault::ShouldFail(fault::Op::List)) return {};
  // The folder part ends at the last separator; the rest is the mask ("*" for the whole folder).
  size_t cut = pattern.find_last_of(u"\\/");
  String folder, mask;
  if (cut != String::npos) {
    folder = pattern.substr(0, cut + 1);
    mask = pattern.substr(cut + 1);
  } else if (pattern.size() >= 2 && pattern[1] == u':') {
    folder = pattern.substr(0, 2);
    mask = pattern.substr(2);
  } else {
    folder = u".";
    mask = pattern;
  }
  if (mask.empty()) {
    SetLastError(kErrorFileNotFound);
    return {};
  }
  std::string host;
  if (!posix::ResolvePath(folder, &host)) return {};
  // A drive root has no "." and ".." entries on Windows.
  bool driveRoot = folder.size() >= 2 && folder[1] == u':' &&
                   std::all_of(folder.begin() + 2, folder.end(), IsSeparator);
  int dirFd = posix::RetryEintr(
      [&] { return ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (dirFd < 0) {
    int err = errno;
    if (err == ENOENT || err == ENOTDIR)
      SetLastError(kErrorPathNotFound);
    else
      posix::FailErrno(err);
    return {};
  }
  bool everything = mask == u"*" || mask == u"*.*";
  std::unique_ptr<Listing> listing = TakeListing();
  if (!ReadFolder(dirFd, !driveRoot, everything ? nullptr : &mask, listing.get())) {
    GiveBack(std::move(listing));
    return {};
  }
  if (listing->entries.empty()) {
    GiveBack(std::move(listing));
    SetLastError(kErrorFileNotFound);
    return {};
  }
  Fill(*listing, listing->entries[0], data);
  listing->next = 1;
  SetLastError(kErrorSuccess);
  return {listing.release()};
}

bool FindNextFile(FindHandle find, FindData* data) {
  if (fault::ShouldFail(fault::Op::List)) return false;
  if (!find.IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  auto* listing = static_cast<Listing*>(find.value);
  if (listing->next >= listing->entries.size()) {
    SetLastError(kErrorNoMoreFiles);
    return false;
  }
  Fill(*listing, listing->entries[listing->next++], data);
  return true;
}

void FindClose(FindHandle find) {
  if (!find.IsValid()) return;
  GiveBack(std::unique_ptr<Listing>(static_cast<Listing*>(find.value)));
}

}  // namespace lvx::os
