// What the watcher benchmarks share: a lookup of a path in the cache file as a search
// makes it, and the wait until the watchers of a tree report changes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_clock.h"
#include "cache/cache_context.h"
#include "cache/map_file.h"
#include "platform/thread.h"

namespace lvx::bench {

inline bool Cached(cache::CacheContext& context, const std::u16string& path) {
  os::LockGuard hold(context.cacheLock);  // as a search holds it
  cache::CDBMapFile file;
  if (!file.OpenForReading(context.Path())) return false;
  uint32_t child = 0;
  return file.FindPath(cache::kRootBlockOffset, path.c_str(), &child, nullptr) != cache::NO_BLOCK;
}

// The watchers are ready once a change at the root reaches the cache. The probe is written again
// every half second until then: a change made while the watches of a large tree are still being set
// up is not reported. Returns the seconds waited.
inline double WaitForWatchers(cache::CacheContext& context, const std::filesystem::path& root,
                              Clock::time_point start) {
  std::filesystem::path probe = root / "lvx-bench-probe.txt";
  for (int i = 0; !Cached(context, u"C:\\lvx-bench-probe.txt") && Since(start) < 120; ++i) {
    if (i % 50 == 0) std::ofstream(probe).put('x');
    os::Sleep(10);
  }
  return Since(start);
}

}  // namespace lvx::bench
