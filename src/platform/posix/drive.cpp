// Drive letters and host names on POSIX. The engine speaks Win32 paths; here a drive letter stands
// for a host folder that the CLI or a test maps, "C:\a\b" becoming "<folder>/a/b". Any other path
// is already a host path (the cache file of the CLI, a test's temporary folder) and is used as it
// stands, with '\' read as '/' so that the engine can append its own separators to it.
//
// Host names are bytes, normally UTF-8. A byte that is not part of well-formed UTF-8 becomes
// U+DC00 + byte (U+DC80..U+DCFF, lone low surrogates no valid text contains), and goes back to
// the same byte, so any name read from a folder can be opened again by the name the cache holds.
#include <sys/stat.h>

#include <array>
#include <mutex>

#include "platform/drive.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"

namespace lvx::os {
namespace {

struct MappedDrive {
  std::string folder;  // empty: not mapped
  uint32_t type = kDriveNoRootDir;
};

std::mutex gDriveMutex;
std::array<MappedDrive, 26> gDrives;  // guarded by gDriveMutex

int DriveIndex(char16_t letter) {
  if (letter >= u'a' && letter <= u'z') return letter - u'a';
  if (letter >= u'A' && letter <= u'Z') return letter - u'A';
  return -1;
}

// The drive index of a path that begins with "X:", or -1.
int PathDrive(const String& path) {
  if (path.size() < 2 || path[1] != u':') return -1;
  return DriveIndex(path[0]);
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

// The length of the well-formed UTF-8 sequence at s (n bytes available) and its code point, or
// 0 when the bytes there are not one (overlong forms, encoded surrogates, values past U+10FFFF).
size_t DecodeOne(const unsigned char* s, size_t n, uint32_t* cp) {
  unsigned char c = s[0];
  size_t len;
  uint32_t v, min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (len > n) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((s[k] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (s[k] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

}  // namespace

namespace posix {

size_t DecodeHostName(const char* bytes, size_t n, char16_t* out) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {  // most names are ASCII
      out[o++] = c;
      ++i;
      continue;
    }
    uint32_t cp = 0;
    size_t len = DecodeOne(s + i, n - i, &cp);
    if (len == 0) {
      out[o++] = char16_t(0xDC00 + c);
      ++i;
    } else if (cp >= 0x10000) {
      cp -= 0x10000;
      out[o++] = char16_t(0xD800 + (cp >> 10));
      out[o++] = char16_t(0xDC00 + (cp & 0x3FF));
      i += len;
    } else {
      out[o++] = char16_t(cp);
      i += len;
    }
  }
  return o;
}

bool ResolvePath(const String& path, std::string* host) {
  if (path.find(u'\0') != String::npos) {
    SetLastError(kErrorInvalidName);
    return false;
  }
  *host = HostPath(path);
  if (host->empty()) {
    SetLastError(kErrorPathNotFound);
    return false;
  }
  return true;
}

}  // namespace posix

String FromHostBytes(const std::string& bytes) {
  String out(bytes.size(), u'\0');
  out.resize(posix::DecodeHostName(bytes.data(), bytes.size(), out.data()));
  return out;
}

std::string ToHostBytes(const String& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(char(c - 0xDC00));  // an escaped byte goes back as itself
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);  // any other lone surrogate has no byte form
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

void MapDrive(char16_t letter, const std::string& hostFolder, uint32_t type) {
  int index = DriveIndex(letter);
  if (index < 0) return;
  std::string folder = hostFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::lock_guard<std::mutex> hold(gDriveMutex);
  gDrives[index].folder = folder;
  gDrives[index].type = folder.empty() ? kDriveNoRootDir : type;
}

void ClearDriveMap() {
  std::lock_guard<std::mutex> hold(gDriveMutex);
  for (MappedDrive& d : gDrives) d = MappedDrive{};
}

std::string HostPath(const String& path) {
  int drive = PathDrive(path);
  if (drive < 0) {
    std::string host = ToHostBytes(path);
    for (char& c : host)
      if (c == '\\') c = '/';
    return host;
  }
  std::string folder;
  {
    std::lock_guard<std::mutex> hold(gDriveMutex);
    folder = gDrives[drive].folder;
  }
  if (folder.empty()) return {};
  std::string rest = ToHostBytes(path.substr(2));
  for (char& c : rest)
    if (c == '\\') c = '/';
  size_t skip = rest.find_first_not_of('/');
  bool rooted = !rest.empty() && rest[0] == '/';
  rest.erase(0, skip == std::string::npos ? rest.size() : skip);
  if (rest.empty() && !rooted) return folder;  // "C:"
  if (folder.back() != '/') folder.push_back('/');
  return folder + rest;
}

uint32_t GetDriveType(const String& root) {
  int drive = PathDrive(root);
  if (drive < 0) return kDriveNoRootDir;
  if (root.size() > 3 || (root.size() == 3 && root[2] != u'\\' && root[2] != u'/'))
    return kDriveNoRootDir;  // not a root path
  MappedDrive mapped;
  {
    std::lock_guard<std::mutex> hold(gDriveMutex);
    mapped = gDrives[drive];
  }
  if (mapped.folder.empty()) return kDriveNoRootDir;
  struct stat st;
  if (::stat(mapped.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kDriveNoRootDir;
  return mapped.type;
}

// POSIX has no shell folders; nothing is excluded from a walk.
String NetworkNeighbourhoodFolder() { return {}; }

}  // namespace lvx::os
