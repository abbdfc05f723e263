#include "cli/cli_common.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "cache/map_file.h"
#include "platform/drive.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cli {
namespace {
std::mutex gStderrMutex;  // status texts and message boxes come from several threads

// The whole text read by one of the number readers, within 32 bits.
bool ReadWhole(const std::string& text, size_t (*read)(std::u16string_view, uint64_t*),
               uint32_t* value) {
  const std::u16string digits = U16(text);
  uint64_t v = 0;
  size_t used = read(digits, &v);
  if (used == 0 || used != digits.size() || v > 0xFFFFFFFFu) return false;
  *value = uint32_t(v);
  return true;
}

}  // namespace

bool ParseDriveMask(const std::string& text, uint32_t* mask) { return ReadWhole(text, ReadHexMask, mask); }

bool ParseNumber(const std::string& text, uint32_t* value) { return ReadWhole(text, ReadDecimal, value); }

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
    int drive = DriveIndex(record.name[0]);
    if (drive >= 0) *mask |= 1u << drive;
  }
  return true;
}

int ApplyDriveMap(const std::string& text, std::string* error) {
#ifdef _WIN32
  *error = "--map is for the POSIX build; on Windows drive letters are the system's";
  return kExitUsage;
#else
  if (text.size() < 3 || text[1] != '=' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
    *error = "--map takes L=DIR, e.g. --map C=/srv/data";
    return kExitUsage;
  }
  // A mistyped folder would read as an empty drive, and a build or refresh would empty the cache.
  std::error_code failed;
  if (!std::filesystem::is_directory(text.substr(2), failed)) {
    *error = "--map " + text + ": there is no folder " + text.substr(2) +
             (failed ? " (" + failed.message() + ")" : "") + "; nothing was changed";
    return kExitFailed;
  }
  char16_t letter = char16_t(std::toupper(static_cast<unsigned char>(text[0])));
  os::MapDrive(letter, text.substr(2));
  return kExitOk;
#endif
}

void WarnIfUnfinished(const std::u16string& cachePath) {
  cache::CDBMapFile file;
  uint32_t done = cache::kAllDrivesDone, busy = 0;
  {
    os::QuietMessages quiet;  // a missing or foreign file is the command's own failure to report
    if (!file.OpenForReading(cachePath)) return;
  }
  file.GetU32(cache::kDrivesDoneOffset, &done);
  file.GetU32(cache::kDrivesBusyOffset, &busy);
  std::string drives;
  for (int i = 0; i < 26; ++i)
    if (busy & (1u << i)) drives += std::string(drives.empty() ? "" : " ") + char('A' + i) + ":";
  if (!drives.empty())
    PrintError("warning: a refresh of " + drives +
               " did not finish; the cache may miss entries there until it is rebuilt (lvx build)");
  else if (done != cache::kAllDrivesDone)
    PrintError("warning: a build of this cache was cut short, so it may miss entries; "
               "the program rebuilds it at its next start (or run lvx build)");
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

void PrintError(const std::string& text) {
  std::lock_guard<std::mutex> hold(gStderrMutex);
  std::fprintf(stderr, "lvx: %s\n", text.c_str());
}

}  // namespace lvx::cli
