// Shared pieces of the lvx commands: argument parsing, drive masks, drive maps, printing sinks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cache/engine_sinks.h"

namespace lvx::cli {

using Args = std::vector<std::string>;

// Exit codes of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// "0X4", "0x4" or "4": hexadecimal, as SELECT_DRIVES stores it. False on anything else.
bool ParseDriveMask(const std::string& text, uint32_t* mask);
// Decimal digits only, up to 4294967295. False on anything else.
bool ParseNumber(const std::string& text, uint32_t* value);
// The drives whose root folders are in the cache (their records in the root block have a block);
// false when the cache file cannot be opened.
bool CachedDrives(const std::u16string& cachePath, uint32_t* mask);
// Warns when the header says a refresh left drives half-changed, or that a build was cut short:
// the program rebuilds such a cache at its next start, and what it holds until then may miss entries.
void WarnIfUnfinished(const std::u16string& cachePath);
// "--map C=/some/dir": maps the letter to the folder (POSIX; refused on Windows). kExitOk, or
// kExitUsage for bad text, kExitFailed for a folder that does not exist (error says which).
int ApplyDriveMap(const std::string& text, std::string* error);
// The text of the message boxes goes to stderr; status texts go to stderr on their own line.
void InstallStderrMessages();

class StderrStatus : public cache::IStatusSink {
 public:
  void SetStatusText(const std::u16string& text) override;
};

void PrintError(const std::string& text);    // "lvx: text" to stderr

}  // namespace lvx::cli
