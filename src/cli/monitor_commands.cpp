#include "cli/monitor_commands.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#include "cache/defragmenter.h"
#include "cache/map_file.h"
#include "cache/state_file.h"
#include "indexer/change_monitor.h"
#include "indexer/location_refresher.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cli {

namespace {

std::atomic<bool> gInterrupted{false};
extern "C" void OnInterrupt(int) { gInterrupted = true; }

// Splits CACHE, the other positional words, and the --drives / --map options.
struct Parsed {
  std::vector<std::string> positional;
  uint32_t mask = 0;
  bool maskGiven = false;
};

// kExitOk, or the exit code of the error printed.
int Parse(const Args& args, bool allowDrives, Parsed* parsed) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string error;
    if (args[i] == "--map" && i + 1 < args.size()) {
      if (int mapped = ApplyDriveMap(args[++i], &error); mapped != kExitOk) {
        PrintError(error);
        return mapped;
      }
    } else if (allowDrives && args[i] == "--drives" && i + 1 < args.size()) {
      if (!ParseDriveMask(args[++i], &parsed->mask)) {
        PrintError("--drives takes a hexadecimal mask such as 0x4 (drive C)");
        return kExitUsage;
      }
      parsed->maskGiven = true;
    } else if (args[i].size() > 2 && args[i].rfind("--", 0) == 0) {
      PrintError("unknown option '" + args[i] + "'");
      return kExitUsage;
    } else {
      parsed->positional.push_back(args[i]);
    }
  }
  return kExitOk;
}

}  // namespace

int RunRefresh(const Args& args) {
  Parsed parsed;
  if (int parsedResult = Parse(args, false, &parsed); parsedResult != kExitOk) return parsedResult;
  if (parsed.positional.size() != 2) {
    PrintError("refresh takes the cache file and a request such as \"#C:\\A\\\", \"@C:\\\" or \"C:\\A\\\"");
    return kExitUsage;
  }
  cache::CacheContext context;
  context.SetPath(U16(parsed.positional[0]));
  std::u16string request = U16(parsed.positional[1]);
  std::u16string path = request;
  if (!path.empty() && (path[0] == u'#' || path[0] == u'@')) path.erase(0, 1);
  if (path.size() < 3 || path[1] != u':' || path.back() != u'\\') {
    PrintError("the location must be a folder path ending in a backslash, such as C:\\Data\\");
    return kExitUsage;
  }
  indexer::CLocationRefresher refresher(context);
  StderrStatus status;
  refresher.SetStatusSink(&status);
  int result;
  {
    os::QuietMessages quiet;  // the failure's own text, with the system's reason, is printed below
    result = refresher.RefreshLocation(request);
  }
  if (result != 0) {
    PrintError("not refreshed: " + U8(refresher.FailureText()));
    return kExitFailed;
  }
  WarnIfUnfinished(context.Path());
  std::printf("refreshed %s\n", U8(path).c_str());
  return kExitOk;
}

int RunCompact(const Args& args) {
  if (args.size() != 1) {
    PrintError("compact takes the path of the cache file");
    return kExitUsage;
  }
  std::u16string cachePath = U16(args[0]);
  cache::StateFile state(cache::StateFile::BesideCacheFile(cachePath));
  cache::CacheDefragmenter defragmenter;
  if (defragmenter.Defragment(cachePath, state) != 0) {
    PrintError("the cache file was not compacted");
    return kExitFailed;
  }
  std::printf("compacted %s\n", args[0].c_str());
  return kExitOk;
}

int RunWatch(const Args& args) {
  Parsed parsed;
  if (int parsedResult = Parse(args, true, &parsed); parsedResult != kExitOk) return parsedResult;
  if (parsed.positional.size() != 1) {
    PrintError("watch takes the path of the cache file");
    return kExitUsage;
  }
  cache::CacheContext context;
  context.SetPath(U16(parsed.positional[0]));
  uint32_t mask = parsed.mask;
  if (!parsed.maskGiven && !CachedDrives(context.Path(), &mask)) mask = 0;
  WarnIfUnfinished(context.Path());
  indexer::ChangeMonitor monitor(context);
  StderrStatus status;
  monitor.SetSinks(&status, nullptr);
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    // Called on the drain thread right after its refresh, so the failure text is that refresh's.
    indexer::CLocationRefresher& refresher = monitor.Refresher(letter);
    refresher.SetRefreshObserver([&refresher](const std::u16string& location, int result) {
      if (result == 0)
        std::printf("refreshed %s\n", U8(location).c_str());
      else
        std::printf("not refreshed %s: %s\n", U8(location).c_str(), U8(refresher.FailureText()).c_str());
      std::fflush(stdout);
    });
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  if (monitor.ApplyPending(mask) != 0)
    PrintError("the pending changes were damaged: the selected drives are scanned again");
  monitor.StartWatchers(mask);
  monitor.StartDrains(mask);
  std::fprintf(stderr, "watching; Ctrl+C ends\n");
  while (!gInterrupted) os::Sleep(100);
  // The drains first, so that no refresh is left half-way; then the watchers.
  monitor.StopDrains();
  monitor.StopWatchers();
  // What is still queued is refreshed at the next start.
  if (monitor.SavePending() != 0)
    PrintError("the pending changes could not be kept: their drives are marked for a rebuild");
  std::fprintf(stderr, "stopped\n");
  return kExitOk;
}

}  // namespace lvx::cli
