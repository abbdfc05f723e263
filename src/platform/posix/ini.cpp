// INI files on POSIX. Each call reads the whole (small) file. A file that starts with FF FE is read
// as UTF-16LE, any other as UTF-8; a write makes a new file that takes the old one's place, so a
// crash leaves the old or the new.
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/ini.h"
#include "platform/posix/posix.h"
#include "platform/text.h"

namespace lvx::os {
namespace {

std::mutex gIniMutex;  // one writer of INI files at a time in the process

struct Ini {
  std::vector<String> lines;
  long section = -1, sectionEnd = -1, key = -1;  // the section's first and past-last entry lines
};

String Trim(const String& s) {
  size_t b = s.find_first_not_of(u" \t"), e = s.find_last_not_of(u" \t");
  return b == String::npos ? String() : s.substr(b, e - b + 1);
}

// The file's lines; a missing file has none. False (LastError set) when it cannot be read.
bool Load(const std::string& host, Ini* ini) {
  std::ifstream in(host, std::ios::binary);
  if (!in) return errno == ENOENT || posix::Fail(errno);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return posix::Fail(EIO);
  bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
  String text = utf16 ? String() : FromHostBytes(bytes);
  for (size_t i = 2; utf16 && i + 1 < bytes.size(); i += 2)
    text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find(u'\n', start), text.size());
    ini->lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == u'\r')));
  }
  return true;
}

// Finds the first section of the name and the key in it; its value goes to *value.
void Find(Ini* ini, const String& section, const String& key, String* value) {
  for (size_t i = 0; i < ini->lines.size(); ++i) {
    String line = Trim(ini->lines[i]);
    if (!line.empty() && line[0] == u'[') {
      if (ini->section >= 0) break;
      if (EqualsFolded(Trim(line.substr(1, line.find(u']') - 1)), section))
        ini->section = ini->sectionEnd = long(i) + 1;
    } else if (ini->section >= 0 && !line.empty()) {
      ini->sectionEnd = long(i) + 1;
      size_t eq = line.find(u'=');
      if (ini->key < 0 && line[0] != u';' && EqualsFolded(Trim(line.substr(0, eq)), key)) {
        ini->key = long(i);
        if (value) *value = eq == String::npos ? String() : Trim(line.substr(eq + 1));
      }
    }
  }
}

// Writes the lines to a new file that then takes the old one's place (and mode).
bool Save(const std::string& host, const Ini& ini) {
  std::string bytes = "\xFF\xFE";
  for (const String& line : ini.lines)
    for (char16_t c : line + u"\r\n") bytes += {char(c), char(c >> 8)};
  std::string temporary = host + ".~" + std::to_string(::getpid());
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  bool ok = out.write(bytes.data(), std::streamsize(bytes.size())).flush().good();
  int err = ok ? 0 : errno ? errno : EIO;
  out.close();
  struct stat old;
  if (ok && ::stat(host.c_str(), &old) == 0) ::chmod(temporary.c_str(), old.st_mode & 07777);
  if (ok && ::rename(temporary.c_str(), host.c_str()) != 0) ok = false, err = errno;
  if (!ok) ::unlink(temporary.c_str());
  return ok || posix::Fail(err);
}

// Sets the key's value, or removes the key when value is null.
bool Change(const String& section, const String& key, const String* value, const String& file) {
  std::string host;
  if (fault::ShouldFail(fault::Op::Write) || !posix::ResolvePath(file, &host)) return false;
  std::lock_guard<std::mutex> hold(gIniMutex);
  Ini ini;
  if (!Load(host, &ini)) return false;
  Find(&ini, section, key, nullptr);
  const String line = value ? key + u"=" + *value : String();
  if (ini.key >= 0 && !value) ini.lines.erase(ini.lines.begin() + ini.key);
  else if (ini.key >= 0) ini.lines[ini.key] = line;
  else if (value && ini.section >= 0) ini.lines.insert(ini.lines.begin() + ini.sectionEnd, line);
  else if (value) ini.lines.insert(ini.lines.end(), {u"[" + section + u"]", line});
  else return true;
  return Save(host, ini);
}

}  // namespace

String IniRead(const String& section, const String& key, const String& defaultValue, const String& file) {
  std::string host;
  String value = defaultValue;
  Ini ini;
  // A write replaces the whole file at once, so a read needs no lock.
  if (!fault::ShouldFail(fault::Op::Read) && posix::ResolvePath(file, &host) && Load(host, &ini))
    Find(&ini, section, key, &value);
  return value.substr(0, 32767);
}

bool IniWrite(const String& section, const String& key, const String& value, const String& file) {
  return Change(section, key, &value, file);
}

bool IniDelete(const String& section, const String& key, const String& file) {
  return Change(section, key, nullptr, file);
}

}  // namespace lvx::os
