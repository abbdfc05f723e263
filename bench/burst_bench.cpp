// A burst of changes under the change monitor, on a copy of the sample tree (meant for 50,000 entries):
//  1. latency from creating a file in a deep folder to the first lookup that finds it (median of 10);
//  2. 10,000 operations (creates, renames, deletes, moves of files and folders), once paced over
//     about 30 s and once as fast as they can be made: the time from the last operation until the
//     queue has drained, the refreshes run, and the cache compared with a fresh build of the tree.
// Usage: burst_bench CORPUS_DIR [OPERATIONS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "cache/map_file.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "indexer/change_monitor.h"
#include "platform/drive.h"
#include "platform/text.h"
#include "watch_bench.h"

namespace fs = std::filesystem;
using namespace lvx;
using bench::Cached;
using bench::Since;
using bench::Clock;

namespace {

constexpr double kDrainGoal = 10.0;    // s after the burst ends
constexpr double kLatencyGoal = 400;   // ms
constexpr double kQuiet = 1.5;         // s without a refresh and with an empty queue: drained

// The tree of a cache file as sorted lines: folders by name, files with size and write time.
void ListBlock(cache::CDBMapFile& file, uint32_t block, const std::string& folder, std::vector<std::string>& out,
               int depth) {
  cache::BlockCursor cursor(file, block);
  cache::Record record;
  while (depth < 200 && cursor.Next(&record)) {
    std::string name = folder + U8(std::u16string(record.name, record.nameLength));
    if (record.type == cache::RECORD_FOLDER) {
      out.push_back(name + "\\");
      if (record.sizeOrLink != cache::NO_BLOCK) ListBlock(file, record.sizeOrLink, name + "\\", out, depth + 1);
    } else if (record.type == cache::RECORD_FILE) {
      out.push_back(name + "|" + std::to_string(record.sizeOrLink) + "|" + std::to_string(record.timeLow) + ":" +
                    std::to_string(record.timeHigh));
    }
  }
}

std::vector<std::string> CacheLines(cache::CacheContext& context) {
  std::vector<std::string> lines;
  os::LockGuard hold(context.cacheLock);
  cache::CDBMapFile file;
  if (!file.OpenForReading(context.Path())) return lines;
  ListBlock(file, cache::kRootBlockOffset, "", lines, 0);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Made-up changes on the tree; paths that have gone meanwhile are dropped when drawn.
class Burst {
 public:
  Burst(const fs::path& root, uint32_t seed) : random_(seed) {
    for (auto& entry : fs::recursive_directory_iterator(root))
      (entry.is_directory() ? folders_ : files_).push_back(entry.path());
    folders_.push_back(root);
    root_ = root;
  }

  void One() {
    std::error_code ec;
    int kind = int(random_() % 100);
    std::string fresh = "burst-" + std::to_string(++made_);
    if (kind < 30) {  // create a file
      fs::path file = Folder() / (fresh + ".txt");
      std::ofstream(file) << std::string(random_() % 5000, 'x');
      files_.push_back(file);
    } else if (kind < 50) {  // rename a file in its folder
      fs::path from = File(), to = from.parent_path() / (fresh + ".renamed");
      fs::rename(from, to, ec);
      if (!ec) files_.push_back(to);
    } else if (kind < 70) {  // delete a file
      fs::remove(File(), ec);
    } else if (kind < 80) {  // move a file to another folder
      fs::path from = File(), to = Folder() / (fresh + ".moved");
      fs::rename(from, to, ec);
      if (!ec) files_.push_back(to);
    } else if (kind < 88) {  // a new folder with two files
      fs::path folder = Folder() / fresh;
      fs::create_directory(folder, ec);
      std::ofstream(folder / "a.txt") << "a";
      std::ofstream(folder / "b.txt") << "bb";
      folders_.push_back(folder);
    } else if (kind < 96) {  // move a folder into another one (not below itself)
      fs::path from = Folder(), into = Folder();
      std::string f = from.string(), i = into.string();
      if (from == root_ || i.compare(0, f.size(), f) == 0) return;
      fs::rename(from, into / fresh, ec);
      if (!ec) folders_.push_back(into / fresh);
    } else {  // delete a folder whole (a small one: the leaves are the most)
      fs::path folder = Folder();
      fs::recursive_directory_iterator below(folder, ec), end;
      if (folder != root_ && std::distance(below, end) < 50) fs::remove_all(folder, ec);
    }
  }

 private:
  fs::path Draw(std::vector<fs::path>& paths) {
    while (!paths.empty()) {
      size_t at = random_() % paths.size();
      if (fs::exists(paths[at])) return paths[at];
      paths[at] = paths.back();
      paths.pop_back();
    }
    return root_;
  }
  fs::path Folder() { return Draw(folders_); }
  fs::path File() { return Draw(files_); }

  std::mt19937 random_;
  fs::path root_;
  std::vector<fs::path> folders_, files_;
  uint64_t made_ = 0;
};

struct Refreshes {
  std::mutex mutex;
  Clock::time_point last = Clock::now();
  uint32_t done = 0, failed = 0;
  std::vector<std::string> subtrees;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: burst_bench CORPUS_DIR [OPERATIONS]\n");
    return 2;
  }
  int operations = argc > 2 ? std::atoi(argv[2]) : 10000;
  fs::path corpus = fs::absolute(argv[1]);
  fs::path root = fs::temp_directory_path() / "lvx-burst-tree";
  fs::remove_all(root);
  // A copy, since the burst changes it; sparse like the corpus.
  std::string copy = "cp -a --sparse=always '" + corpus.string() + "' '" + root.string() + "'";
  if (std::system(copy.c_str()) != 0) return 1;
  os::MapDrive(u'C', root.string(), os::DriveKind::Fixed);
  cache::CacheContext context;
  context.SetPath(u"/tmp/lvx-burst-bench.db");
  cache::StateFile state(u"/tmp/lvx-burst-bench-state.ini");
  {
    indexer::CCacher cacher(context, state);
    if (cacher.BuildNow(1u << 2) != 0) return 1;
  }
  size_t entries = size_t(std::distance(fs::recursive_directory_iterator(root), {}));
  std::printf("tree: %zu entries (a copy of %s)\n", entries, corpus.string().c_str());

  indexer::ChangeMonitor monitor(context);
  Refreshes refreshes;
  monitor.Refresher(u'C').SetRefreshObserver([&](const std::u16string& location, int result) {
    std::lock_guard<std::mutex> hold(refreshes.mutex);
    refreshes.last = Clock::now();
    ++(result == 0 ? refreshes.done : refreshes.failed);
    if (!location.empty() && location[0] == u'*') refreshes.subtrees.push_back(U8(location));
  });
  auto start = Clock::now();
  monitor.StartWatchers(1u << 2);
  monitor.StartDrains(1u << 2);
  std::printf("watchers ready after %.2f s\n", bench::WaitForWatchers(context, root, start));

  size_t deepest = 0;
  std::vector<double> latencies = bench::ChangeLatencies(context, root, bench::DeepestFolder(root, &deepest), 10);
  for (double& latency : latencies) latency *= 1000;
  std::printf("single change -> found in cache: median %.0f ms, max %.0f ms (goal: at most %.0f ms) %s\n",
              latencies[5], latencies.back(), kLatencyGoal, latencies[5] <= kLatencyGoal ? "MET" : "MISSED");

  bool allMet = latencies[5] <= kLatencyGoal;
  Burst burst(root, 1);
  for (double pace : {30.0, 0.0}) {
    uint32_t doneBefore, failedBefore;
    {
      std::lock_guard<std::mutex> hold(refreshes.mutex);
      doneBefore = refreshes.done, failedBefore = refreshes.failed;
      refreshes.subtrees.clear();
    }
    start = Clock::now();
    for (int i = 0; i < operations; ++i) {
      burst.One();
      // Paced: operation i is due at i / operations of the pace.
      while (pace > 0 && Since(start) < pace * i / operations) os::Sleep(1);
    }
    double made = Since(start);
    auto burstEnd = Clock::now();
    size_t queuedAtEnd = monitor.Refresher(u'C').QueuedLocations().size();
    double drained = -1;
    while (Since(burstEnd) < 600) {
      os::Sleep(50);
      if (!monitor.Refresher(u'C').QueuedLocations().empty()) continue;
      if (!context.refreshLock.TryAcquire()) continue;  // a refresh runs
      context.refreshLock.Release();
      std::lock_guard<std::mutex> hold(refreshes.mutex);
      if (Since(refreshes.last) < kQuiet) continue;
      drained = std::max(0.0, std::chrono::duration<double>(refreshes.last - burstEnd).count());
      break;
    }
    // The fresh build to compare with, into a file of its own.
    cache::CacheContext freshContext;
    freshContext.SetPath(u"/tmp/lvx-burst-bench-fresh.db");
    cache::StateFile freshState(u"/tmp/lvx-burst-bench-fresh-state.ini");
    {
      indexer::CCacher cacher(freshContext, freshState);
      if (cacher.BuildNow(1u << 2) != 0) return 1;
    }
    std::vector<std::string> watched = CacheLines(context), fresh = CacheLines(freshContext);
    std::vector<std::string> missing, extra;
    std::set_difference(fresh.begin(), fresh.end(), watched.begin(), watched.end(), std::back_inserter(missing));
    std::set_difference(watched.begin(), watched.end(), fresh.begin(), fresh.end(), std::back_inserter(extra));
    std::lock_guard<std::mutex> hold(refreshes.mutex);
    bool met = drained >= 0 && drained <= kDrainGoal && missing.empty() && extra.empty();
    allMet = allMet && met;
    std::printf("burst of %d operations %s in %.1f s, %zu queued at its end:\n", operations,
                pace > 0 ? "paced" : "unpaced", made, queuedAtEnd);
    std::printf("  drained %.2f s after its end (goal: at most %.0f s; before the merging: 545 s)\n", drained,
                kDrainGoal);
    std::printf("  %u refreshes, %u not refreshed; %zu of them subtree rescans (folders arriving, bursts folded)\n",
                refreshes.done - doneBefore, refreshes.failed - failedBefore, refreshes.subtrees.size());
    std::printf("  cache against a fresh build: %zu entries, %zu missing, %zu extra %s\n", fresh.size(),
                missing.size(), extra.size(), met ? "MET" : "MISSED");
    for (size_t i = 0; i < std::min<size_t>(3, missing.size()); ++i)
      std::printf("    missing %s\n", missing[i].c_str());
    for (size_t i = 0; i < std::min<size_t>(3, extra.size()); ++i)
      std::printf("    extra   %s\n", extra[i].c_str());
    std::remove("/tmp/lvx-burst-bench-fresh.db");
  }
  monitor.StopDrains();
  monitor.StopWatchers();
  fs::remove_all(root);
  std::remove("/tmp/lvx-burst-bench.db");
  std::printf("all goals %s\n", allMet ? "MET" : "MISSED");
  return allMet ? 0 : 1;
}
