// INI files on POSIX, key by key, as GetPrivateProfileStringW and WritePrivateProfileStringW treat
// them. Each call reads the whole file (settings files are small), so a change made by another
// process is seen at once, as on Windows.
//
// Reading takes UTF-16 with either byte-order mark, UTF-8 with or without one, and else the
// Windows ANSI code page 1252. Writing keeps the encoding the file has and every other line as it
// stands; a new file is UTF-16LE with a byte-order mark, so any value survives. A write goes to a
// fresh file beside the old one that then replaces it, so a crash leaves the old file or the new,
// never half of one. One process-wide lock serialises all profile calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"
#include "platform/profile.h"

namespace lvx::os {
namespace {

using posix::RetryEintr;

std::mutex gProfileMutex;  // serialises every read and write of a profile file

enum class Encoding { Utf16Le, Utf16Be, Utf8Bom, Utf8, Ansi };

// Code page 1252's 0x80..0x9F; the rest of the page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

struct IniFile {
  bool exists = false;
  Encoding encoding = Encoding::Utf16Le;
  std::vector<String> lines;
};

String Decode(const std::string& bytes, Encoding* encoding) {
  auto u8 = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  String text;
  if (bytes.size() >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF))) {
    bool little = u8(0) == 0xFF;
    *encoding = little ? Encoding::Utf16Le : Encoding::Utf16Be;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(little ? char16_t(u8(i) | (u8(i + 1) << 8)) : char16_t((u8(i) << 8) | u8(i + 1)));
    return text;
  }
  if (bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) {
    *encoding = Encoding::Utf8Bom;
    return FromHostBytes(bytes.substr(3));
  }
  // Without a mark: UTF-8 when every byte is part of well-formed UTF-8, else code page 1252.
  text = FromHostBytes(bytes);
  bool wellFormed = true;
  for (size_t i = 0; i < text.size() && wellFormed; ++i) {
    bool escapedByte = text[i] >= 0xDC80 && text[i] <= 0xDCFF &&
                       !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
    wellFormed = !escapedByte;
  }
  if (wellFormed) {
    *encoding = Encoding::Utf8;
    return text;
  }
  *encoding = Encoding::Ansi;
  text.clear();
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = u8(i);
    text.push_back(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t(c));
  }
  return text;
}

std::string Encode(const String& text, Encoding encoding) {
  std::string out;
  switch (encoding) {
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
      bool little = encoding == Encoding::Utf16Le;
      out = little ? "\xFF\xFE" : "\xFE\xFF";
      for (char16_t c : text) {
        char lo = char(c & 0xFF), hi = char(c >> 8);
        out.push_back(little ? lo : hi);
        out.push_back(little ? hi : lo);
      }
      return out;
    }
    case Encoding::Utf8Bom:
      return "\xEF\xBB\xBF" + ToHostBytes(text);
    case Encoding::Utf8:
      return ToHostBytes(text);
    case Encoding::Ansi:
      for (char16_t c : text) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
          out.push_back(char(c));
          continue;
        }
        char byte = '?';  // as WideCharToMultiByte writes what the page cannot hold
        for (int k = 0; k < 32; ++k)
          if (kCp1252High[k] == c) byte = char(0x80 + k);
        out.push_back(byte);
      }
      return out;
  }
  return out;
}

// Reads the file into lines. A missing file reads as empty; false (LastError set) on other errors.
bool Load(const std::string& host, IniFile* ini) {
  int fd = RetryEintr([&] { return ::open(host.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) {
    if (errno == ENOENT) return true;
    posix::FailPathErrno(errno, host);
    return false;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    ssize_t n = RetryEintr([&] { return ::read(fd, buffer, sizeof buffer); });
    if (n < 0) {
      posix::FailErrno(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, size_t(n));
  }
  ::close(fd);
  ini->exists = true;
  if (bytes.empty()) return true;  // an empty file is written as a new one
  String text = Decode(bytes, &ini->encoding);
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      ini->lines.push_back(text.substr(start, i - start));
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) ini->lines.push_back(text.substr(start));
  return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

String Trim(const String& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool EqualsAsciiFolded(const String& a, const String& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x += 32;
    if (y >= u'A' && y <= u'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

// The section name of a "[name]" line.
bool SectionOf(const String& line, String* name) {
  size_t b = 0;
  while (b < line.size() && IsBlank(line[b])) ++b;
  if (b >= line.size() || line[b] != u'[') return false;
  size_t close = line.find(u']', b + 1);
  *name = Trim(line.substr(b + 1, close == String::npos ? String::npos : close - b - 1));
  return true;
}

// The key and value of a "key=value" line (a line without '=' is a key without a value).
bool KeyOf(const String& line, String* key, String* value) {
  String trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] == u';') return false;
  size_t eq = trimmed.find(u'=');
  *key = Trim(trimmed.substr(0, eq));
  *value = eq == String::npos ? String() : Trim(trimmed.substr(eq + 1));
  return true;
}

struct Place {
  long section = -1;    // line of the "[section]" header
  long key = -1;        // line of the key
  long lastEntry = -1;  // last non-blank line of the section
};

Place Find(const IniFile& ini, const String& section, const String& key, String* value) {
  Place place;
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    String name;
    if (SectionOf(ini.lines[i], &name)) {
      if (place.section >= 0) break;  // the first section of that name is the one
      if (EqualsAsciiFolded(name, section)) place.section = place.lastEntry = long(i);
      continue;
    }
    if (place.section < 0) continue;
    if (!Trim(ini.lines[i]).empty()) place.lastEntry = long(i);
    String k, v;
    if (place.key < 0 && KeyOf(ini.lines[i], &k, &v) && EqualsAsciiFolded(k, key)) {
      place.key = long(i);
      if (value) *value = v;
    }
  }
  return place;
}

// Looks a value up; false when the file, section or key is missing.
bool Lookup(const String& section, const String& key, const String& file, String* value) {
  std::string host;
  if (!posix::ResolvePath(file, &host)) return false;
  IniFile ini;
  std::lock_guard<std::mutex> hold(gProfileMutex);
  if (!Load(host, &ini)) return false;
  Place place = Find(ini, section, key, value);
  if (place.key < 0) return false;
  // A value in matching quotes is read without them.
  if (value->size() >= 2 && (value->front() == u'"' || value->front() == u'\'') &&
      value->back() == value->front())
    *value = value->substr(1, value->size() - 2);
  return true;
}

// Writes all bytes and closes the descriptor; 0 or the errno of the failure.
int WriteAndClose(int fd, const std::string& bytes) {
  size_t put = 0;
  int err = 0;
  while (put < bytes.size()) {
    ssize_t n = RetryEintr([&] { return ::write(fd, bytes.data() + put, bytes.size() - put); });
    if (n < 0) {
      err = errno;
      break;
    }
    put += size_t(n);
  }
  if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  return err;
}

// Writes the bytes to a new file beside host and puts it in host's place.
bool Replace(const std::string& host, const std::string& bytes) {
  // Write through a link to the file it names, instead of replacing the link.
  std::string target = host;
  if (char* real = ::realpath(host.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old;
  bool existed = ::stat(target.c_str(), &old) == 0;
  std::string temporary = target + ".~" + std::to_string(::getpid()) + "~";
  int fd = RetryEintr(
      [&] { return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
  if (fd < 0 && existed && (errno == EACCES || errno == EPERM)) {
    // A folder that takes no new files may still hold a writable file: rewrite it in place.
    fd = RetryEintr([&] { return ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); });
    if (fd < 0) {
      posix::FailPathErrno(errno, target);
      return false;
    }
    int err = WriteAndClose(fd, bytes);
    if (err != 0) posix::FailErrno(err);
    return err == 0;
  }
  if (fd < 0) {
    posix::FailPathErrno(errno, target);
    return false;
  }
  if (existed) ::fchmod(fd, old.st_mode & 07777);  // the replacement keeps the file's mode
  int err = WriteAndClose(fd, bytes);
  if (err == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temporary.c_str());
    posix::FailErrno(err);
    return false;
  }
  return true;
}

}  // namespace

String GetProfileString(const String& section, const String& key, const String& defaultValue,
                        const String& file) {
  String value;
  if (!Lookup(section, key, file, &value)) {
    // GetPrivateProfileStringW drops the default's trailing blanks.
    value = defaultValue;
    while (!value.empty() && IsBlank(value.back())) value.pop_back();
  }
  if (value.size() >= kProfileBufferChars) value.resize(kProfileBufferChars - 1);
  return value;
}

bool WriteProfileString(const String& section, const String& key, const String& value,
                        const String& file) {
  if (fault::ShouldFail(fault::Op::Write)) return false;
  std::string host;
  if (!posix::ResolvePath(file, &host)) return false;
  std::lock_guard<std::mutex> hold(gProfileMutex);
  IniFile ini;
  if (!Load(host, &ini)) return false;
  String current;
  Place place = Find(ini, section, key, &current);
  if (place.key >= 0) {
    String k, v;
    KeyOf(ini.lines[place.key], &k, &v);
    if (v == value) return true;  // nothing to change
    ini.lines[place.key] = k + u"=" + value;
  } else if (place.section >= 0) {
    ini.lines.insert(ini.lines.begin() + place.lastEntry + 1, key + u"=" + value);
  } else {
    ini.lines.push_back(u"[" + section + u"]");
    ini.lines.push_back(key + u"=" + value);
  }
  String text;
  for (const String& line : ini.lines) text += line + u"\r\n";
  return Replace(host, Encode(text, ini.encoding));
}

int GetProfileInt(const String& section, const String& key, int defaultValue, const String& file) {
  String value;
  if (!Lookup(section, key, file, &value) || value.empty()) return defaultValue;
  if (value.size() >= kProfileBufferChars) value.resize(kProfileBufferChars - 1);
  // As GetPrivateProfileIntW: the leading decimal number, wrapping as a 32-bit value; 0 when the
  // value does not start with one.
  size_t i = 0;
  while (i < value.size() && value[i] <= u' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == u'-' || value[i] == u'+')) negative = value[i++] == u'-';
  uint32_t number = 0;
  for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; ++i)
    number = number * 10u + uint32_t(value[i] - u'0');
  return int(negative ? 0u - number : number);
}

}  // namespace lvx::os
