#include "cli/cli_common.h"

#include <cctype>
#include <cstdio>
#include <mutex>

#include "cache/map_file.h"
#include "platform/drive.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cli {
namespace {
std::mutex gStderrMutex;  // status texts and message boxes come from several threads
}

bool ParseDriveMask(const std::string& text, uint32_t* mask) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2);
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t value = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    value = value * 16 + uint32_t(d);
  }
  *mask = value;
  return true;
}

bool CachedDrives(const std::u16string& cachePath, uint32_t* mask) {
  cache::CDBMapFile file;
  if (!file.OpenForReading(cachePath)) return false;
  *mask = 0;
  cache::BlockCursor cursor(file, cache::kRootBlockOffset);
  cache::Record record;
  while (cursor.Next(&record)) {
    if (record.type != cache::RECORD_FOLDER || record.sizeOrLink == cache::NO_BLOCK ||
        record.nameLength != 2 || record.name[1] != u':')
      continue;
    char16_t letter = FoldAscii(record.name[0]);
    if (letter >= u'a' && letter <= u'z') *mask |= 1u << (letter - u'a');
  }
  return true;
}

bool ApplyDriveMap(const std::string& text, std::string* error) {
#ifdef _WIN32
  *error = "--map is for the POSIX build; on Windows drive letters are the system's";
  return false;
#else
  if (text.size() < 3 || text[1] != '=' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
    *error = "--map takes L=DIR, e.g. --map C=/srv/data";
    return false;
  }
  char16_t letter = char16_t(std::toupper(static_cast<unsigned char>(text[0])));
  os::MapDrive(letter, text.substr(2));
  return true;
#endif
}

void InstallStderrMessages() {
  os::SetMessageSink([](const std::u16string& text) {
    std::lock_guard<std::mutex> hold(gStderrMutex);
    std::fprintf(stderr, "%s\n", U8(text).c_str());
    std::fflush(stderr);
  });
}

void StderrStatus::SetStatusText(const std::u16string& text) {
  std::lock_guard<std::mutex> hold(gStderrMutex);
  std::fprintf(stderr, "%s\n", U8(text).c_str());
  std::fflush(stderr);
}

void PrintLine(const std::u16string& text) { std::printf("%s\n", U8(text).c_str()); }

void PrintError(const std::string& text) {
  std::lock_guard<std::mutex> hold(gStderrMutex);
  std::fprintf(stderr, "lvx: %s\n", text.c_str());
}

}  // namespace lvx::cli
