// Keeping the cache current on a large tree:
//  1. latency from creating a file in a deep folder to the first lookup that finds it in the cache,
//     with the watchers and drain threads running (median of 20);
//  2. a '#' refresh of a folder holding about 10% of the tree against a full build, same run.
// Usage: refresh_bench CORPUS_DIR
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cache/map_file.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "indexer/change_monitor.h"
#include "indexer/location_refresher.h"
#include "platform/drive.h"
#include "platform/text.h"
#include "watch_bench.h"

namespace fs = std::filesystem;
using namespace lvx;
using bench::Cached;
using bench::EnginePath;
using bench::Since;

namespace {

// Entries below each folder, to pick the one that holds about a tenth of the tree.
size_t CountBelow(const fs::path& folder, std::vector<std::pair<size_t, fs::path>>& sizes, int depth) {
  size_t count = 0;
  std::error_code ec;
  for (auto& entry : fs::directory_iterator(folder, ec)) {
    ++count;
    if (entry.is_directory(ec) && !entry.is_symlink(ec)) count += CountBelow(entry.path(), sizes, depth + 1);
  }
  if (depth > 0) sizes.emplace_back(count, folder);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: refresh_bench CORPUS_DIR\n");
    return 2;
  }
  fs::path root = fs::absolute(argv[1]);
  os::MapDrive(u'C', root.string(), os::DriveKind::Fixed);
  cache::CacheContext context;
  context.SetPath(u"/tmp/lvx-refresh-bench.db");
  cache::StateFile state(u"/tmp/lvx-refresh-bench-state.ini");

  auto start = bench::Clock::now();
  {
    indexer::CCacher cacher(context, state);
    if (cacher.BuildNow(1u << 2) != 0) return 1;
  }
  double build = Since(start);

  std::vector<std::pair<size_t, fs::path>> sizes;
  size_t total = CountBelow(root, sizes, 0);
  auto tenth = std::min_element(sizes.begin(), sizes.end(), [&](auto& a, auto& b) {
    auto off = [&](size_t n) { return n > total / 10 ? n - total / 10 : total / 10 - n; };
    return off(a.first) < off(b.first);
  });
  indexer::CLocationRefresher refresher(context);
  start = bench::Clock::now();
  int result = refresher.RefreshLocation(u"#" + EnginePath(root, tenth->second) + u"\\");
  double full = Since(start);
  std::printf("full build                      %.3f s (%zu entries)\n", build, total);
  std::printf("'#' refresh of %zu entries (%.1f%%) %.3f s  result %d\n", tenth->first,
              100.0 * tenth->first / total, full, result);
  std::printf("ratio refresh / build           %.2f\n", full / build);

  // The deepest folder: the longest way for a change to travel.
  size_t deepest = 0;
  const fs::path deep = bench::DeepestFolder(root, &deepest);
  indexer::ChangeMonitor monitor(context);
  start = bench::Clock::now();
  monitor.StartWatchers(1u << 2);
  monitor.StartDrains(1u << 2);
  std::printf("watchers ready after            %.3f s\n", bench::WaitForWatchers(context, root, start));

  std::vector<double> latencies = bench::ChangeLatencies(context, root, deep, 20);
  monitor.StopDrains();
  monitor.StopWatchers();
  for (int i = 0; i < 20; ++i) fs::remove(bench::LatencyFile(deep, i));
  fs::remove(root / "lvx-bench-probe.txt");
  std::printf("change -> found in cache        median %.0f ms, min %.0f ms, max %.0f ms (goal: 400 ms)\n",
              latencies[10] * 1000, latencies.front() * 1000, latencies.back() * 1000);
  std::printf("  folder depth %zu: %s\n", deepest, deep.string().c_str());
  std::remove("/tmp/lvx-refresh-bench.db");
  return 0;
}
