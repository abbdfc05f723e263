// INI files on POSIX, as the state file beside the cache uses them. Each call reads the whole
// (small) file, so a value another process wrote is seen at once. A file that starts with FF FE is
// UTF-16LE, any other UTF-8; a new file is UTF-16LE with a byte-order mark. A write makes a new
// file beside the old one that then takes its place, so a crash leaves the old file or the new.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/ini.h"
#include "platform/posix/posix.h"
#include "platform/text.h"

namespace lvx::os {
namespace {

constexpr size_t kMaxValueChars = 32767;

std::mutex gIniMutex;  // one reader or writer of INI files at a time in the process

struct Ini {
  bool utf16 = true;
  std::vector<String> lines;
  long section = -1, key = -1, sectionEnd = -1;  // lines found by Find; sectionEnd is past its last entry
};

String Trim(const String& s) {
  size_t b = s.find_first_not_of(u" \t"), e = s.find_last_not_of(u" \t");
  return b == String::npos ? String() : s.substr(b, e - b + 1);
}

// Reads the file's lines; a missing file has none. False (LastError set) when it cannot be read.
bool Load(const std::string& host, Ini* ini) {
  int fd = posix::RetryEintr([&] { return ::open(host.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return errno == ENOENT || posix::Fail(errno);
  std::string bytes;
  char buffer[16384];
  ssize_t n;
  while ((n = posix::RetryEintr([&] { return ::read(fd, buffer, sizeof buffer); })) > 0)
    bytes.append(buffer, size_t(n));
  int err = errno;
  ::close(fd);
  if (n < 0) return posix::Fail(err);
  ini->utf16 = bytes.empty() || bytes.compare(0, 2, "\xFF\xFE") == 0;
  String text;
  if (!ini->utf16) text = FromHostBytes(bytes);
  for (size_t i = 2; ini->utf16 && i + 1 < bytes.size(); i += 2)
    text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find(u'\n', start), text.size());
    ini->lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == u'\r')));
    start = end + 1;
  }
  return true;
}

// Finds the first section of the name and the key in it; the value goes to *value.
void Find(Ini* ini, const String& section, const String& key, String* value) {
  for (size_t i = 0; i < ini->lines.size(); ++i) {
    String line = Trim(ini->lines[i]);
    if (!line.empty() && line[0] == u'[') {
      if (ini->section >= 0) break;
      String name = Trim(line.substr(1, line.find(u']') - 1));
      if (EqualsFolded(name, section)) ini->section = ini->sectionEnd = long(i) + 1;
      continue;
    }
    if (ini->section < 0 || line.empty()) continue;
    ini->sectionEnd = long(i) + 1;
    size_t eq = line.find(u'=');
    if (ini->key < 0 && line[0] != u';' && EqualsFolded(Trim(line.substr(0, eq)), key)) {
      ini->key = long(i);
      if (value) *value = eq == String::npos ? String() : Trim(line.substr(eq + 1));
    }
  }
}

bool Save(const std::string& host, const Ini& ini) {
  std::string bytes = ini.utf16 ? "\xFF\xFE" : "";
  for (const String& line : ini.lines) {
    String text = line + u"\r\n";
    if (!ini.utf16) bytes += ToHostBytes(text);
    for (size_t i = 0; ini.utf16 && i < text.size(); ++i)
      bytes += {char(text[i] & 0xFF), char(text[i] >> 8)};
  }
  struct stat old;
  std::string temporary = host + ".~" + std::to_string(::getpid());
  int fd = posix::RetryEintr(
      [&] { return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); });
  if (fd < 0) return posix::Fail(errno);
  if (::stat(host.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  ssize_t put = 0, n = 0;
  while (put < ssize_t(bytes.size()) &&
         (n = posix::RetryEintr([&] { return ::write(fd, bytes.data() + put, bytes.size() - put); })) > 0)
    put += n;
  int err = put == ssize_t(bytes.size()) ? 0 : errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temporary.c_str(), host.c_str()) != 0) err = errno;
  if (err != 0) ::unlink(temporary.c_str());
  return err == 0 || posix::Fail(err);
}

// Sets the key's value, or removes the key when value is null.
bool Change(const String& section, const String& key, const String* value, const String& file) {
  std::string host;
  if (fault::ShouldFail(fault::Op::Write) || !posix::ResolvePath(file, &host)) return false;
  std::lock_guard<std::mutex> hold(gIniMutex);
  Ini ini;
  if (!Load(host, &ini)) return false;
  Find(&ini, section, key, nullptr);
  if (ini.key >= 0 && value == nullptr)
    ini.lines.erase(ini.lines.begin() + ini.key);
  else if (ini.key >= 0)
    ini.lines[ini.key] = key + u"=" + *value;
  else if (value != nullptr && ini.section >= 0)
    ini.lines.insert(ini.lines.begin() + ini.sectionEnd, key + u"=" + *value);
  else if (value != nullptr)
    ini.lines.insert(ini.lines.end(), {u"[" + section + u"]", key + u"=" + *value});
  else
    return true;
  return Save(host, ini);
}

}  // namespace

String IniRead(const String& section, const String& key, const String& defaultValue,
               const String& file) {
  std::string host;
  String value = defaultValue;
  if (!fault::ShouldFail(fault::Op::Read) && posix::ResolvePath(file, &host)) {
    std::lock_guard<std::mutex> hold(gIniMutex);
    Ini ini;
    if (Load(host, &ini)) Find(&ini, section, key, &value);
  }
  if (value.size() > kMaxValueChars) value.resize(kMaxValueChars);
  return value;
}

bool IniWrite(const String& section, const String& key, const String& value, const String& file) {
  return Change(section, key, &value, file);
}

bool IniDelete(const String& section, const String& key, const String& file) {
  return Change(section, key, nullptr, file);
}

}  // namespace lvx::os
