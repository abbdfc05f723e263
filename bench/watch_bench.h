// What the watcher benchmarks share: a lookup of a path in the cache file as a search makes it, the
// wait until the watchers of a tree report changes, and the time a change takes to reach the cache.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "cache/cache_context.h"
#include "cache/map_file.h"
#include "platform/text.h"
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

// A host path below root as the engine names it on drive C:.
inline std::u16string EnginePath(const std::filesystem::path& root, const std::filesystem::path& host) {
  std::u16string relative = U16(std::filesystem::relative(host, root).string());
  std::replace(relative.begin(), relative.end(), u'/', u'\\');
  return u"C:\\" + relative;
}

// The deepest folder below root (root itself when it has none): the longest way for a change.
inline std::filesystem::path DeepestFolder(const std::filesystem::path& root, size_t* depth) {
  std::filesystem::path deep = root;
  *depth = 0;
  for (auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    size_t d = size_t(std::distance(entry.path().begin(), entry.path().end()));
    if (entry.is_directory() && d > *depth) {
      *depth = d;
      deep = entry.path();
    }
  }
  return deep;
}

inline std::filesystem::path LatencyFile(const std::filesystem::path& folder, int i) {
  return folder / ("lvx-latency-" + std::to_string(i) + ".txt");
}

// Seconds from writing each of count new files in folder to the first lookup that finds it in the
// cache, sorted; a quiet queue between samples.
inline std::vector<double> ChangeLatencies(cache::CacheContext& context, const std::filesystem::path& root,
                                           const std::filesystem::path& folder, int count) {
  std::vector<double> latencies;
  for (int i = 0; i < count; ++i) {
    const std::u16string enginePath = EnginePath(root, LatencyFile(folder, i));
    auto start = Clock::now();
    std::ofstream(LatencyFile(folder, i)).put('x');
    while (!Cached(context, enginePath) && Since(start) < 10) os::Sleep(1);
    latencies.push_back(Since(start));
    os::Sleep(300);
  }
  std::sort(latencies.begin(), latencies.end());
  return latencies;
}

}  // namespace lvx::bench
