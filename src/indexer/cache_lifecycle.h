// The cache file's lifecycle: the start-up decision (use, rebuild or compact), compaction with the
// refresh threads stopped around it, and saving and loading the cache file under another name.
#pragma once

#include <cstdint>
#include <string>

#include "cache/cache_context.h"
#include "cache/engine_sinks.h"
#include "cache/map_file.h"
#include "indexer/cacher.h"
#include "indexer/change_monitor.h"

namespace lvx::indexer {

// The one question of the start-up check; the window shows it as a Yes/No box titled "Lumivex".
class IStartupQuestion {
 public:
  virtual ~IStartupQuestion() = default;
  // True for Yes.
  virtual bool Ask(const std::u16string& text) = 0;
};

extern const char16_t kAbnormalEndQuestion[];

struct StartupOptions {
  bool realtimeUpdate = true;   // OPTIONS/REALTIME_UPDATE
  bool checkIntegrity = true;   // OPTIONS/CHECKINTEGRITY
  bool showWarnings = true;     // OPTIONS/SHOWWARNINGS
  bool firstRun = false;        // the welcome dialog is shown instead of the checks
  uint32_t driveMask = 0;       // SELECT_DRIVES
};

enum class StartupAction { None, Build, Compact };

struct StartupDecision {
  StartupAction action = StartupAction::None;
  bool usable = false;         // the cache exists and CacheFileVersion is at least 1
  bool startWatchers = false;  // real-time updating is on
  bool startDrains = false;    // ... and the cache is usable
  bool asked = false;          // the question was put
  uint32_t fileSizeMB = 0;     // the cache file's length in MB (0 when it cannot be opened)
  uint32_t drivesDone = 0, drivesBusy = 0;
};

// Removes the scratch and replacement files beside the cache file that a killed process left.
void RemoveLeftovers(const std::u16string& cachePath);
// The cache file path: the data folder, a backslash, and the settings value (relative to it).
std::u16string CacheFilePath(const std::u16string& dataFolder, const std::u16string& fileName);
bool CacheUsable(const std::u16string& cachePath, cache::IStateStore& state);
// The decision alone: reads the cache file and the state keys and asks the question when it must.
StartupDecision DecideAtStartup(const std::u16string& cachePath, cache::IStateStore& state,
                                const StartupOptions& options, IStartupQuestion& question);

class CacheLifecycle {
 public:
  CacheLifecycle(cache::CacheContext& context, cache::IStateStore& state, CCacher& cacher,
                 ChangeMonitor& monitor);

  // Decides and acts: starts the monitor, a full build or a compaction; writes ProgramExit "FALSE".
  StartupDecision StartupCheck(const StartupOptions& options, IStartupQuestion& question);
  // Compaction with the refresh threads stopped around it; 0 or -1.
  int DefragCacheFile(uint32_t driveMask);
  // Copies the cache file to target (overwriting); false after "Can not save file as ...". Both
  // refuse while a full build runs.
  bool SaveCacheFileAs(const std::u16string& target, uint32_t driveMask);
  // Replaces the cache file in one step by a copy of source, keeping the old one as ".bak"; refuses
  // a file that is not a cache database; false after "Can not load file ...".
  bool LoadCacheFile(const std::u16string& source, uint32_t driveMask);
  // Whether a cache file opened for reading (its header checked) has a sound root block.
  static bool LooksLikeCacheFile(cache::CDBMapFile& file);

 private:
  void StopDrains(bool* wereRunning);
  void RestartDrains(bool wereRunning, uint32_t driveMask);

  cache::CacheContext& context_;
  cache::IStateStore& state_;
  CCacher& cacher_;
  ChangeMonitor& monitor_;
};

}  // namespace lvx::indexer
