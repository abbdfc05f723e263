// Full build of a large tree against `find DIR -printf '%s %T@ %p\n'` over the same tree, all warm:
// the build as it runs (folders listed ahead of the writer on a few threads) and the build with every
// folder listed on its own thread. Both are one listing and one stat per entry, as find is.
// Usage: build_bench CORPUS_DIR [ROUNDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "cache/state_file.h"
#include "indexer/cacher.h"
#include "platform/drive.h"
#include "platform/message.h"
#include "platform/text.h"

namespace {

using lvx::bench::Clock;
using lvx::bench::Since;

double TimeFind(const std::string& dir) {
  std::string command = "find '" + dir + "' -printf '%s %T@ %p\\n' > /dev/null";
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "find failed\n");
  return Since(start);
}

double TimeBuild(const std::string& dir, const std::string& cachePath, int threads, uint32_t* items) {
  using namespace lvx;
  cache::CacheContext context;
  context.SetPath(U16(cachePath));
  cache::StateFile state(cache::StateFile::BesideCacheFile(context.Path()));
  indexer::CCacher cacher(context, state);
  if (threads >= 0) cacher.SetListingThreads(threads);
  os::MapDrive(u'C', dir, os::DriveKind::Fixed);
  auto start = Clock::now();
  int result = cacher.BuildNow(1u << 2);
  double seconds = Since(start);
  if (result != 0) std::fprintf(stderr, "build failed: %d\n", result);
  *items = cacher.Items();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: build_bench CORPUS_DIR [ROUNDS]\n");
    return 2;
  }
  std::string dir = argv[1];
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string cachePath = "/tmp/lvx-build-bench.db";
  TimeFind(dir);  // warm the page cache and the dentry cache
  std::vector<double> find, build, single;
  uint32_t items = 0;
  for (int i = 0; i < rounds; ++i) {
    find.push_back(TimeFind(dir));
    build.push_back(TimeBuild(dir, cachePath, -1, &items));
    single.push_back(TimeBuild(dir, cachePath, 0, &items));
  }
  // The best round of each: what a machine shared with other work leaves least distorted.
  double f = std::ranges::min(find), b = std::ranges::min(build), s = std::ranges::min(single);
  std::printf("entries cached           %u (26 drive records included)\n", items);
  std::printf("find -printf (baseline)  %.3f s\n", f);
  std::printf("full build               %.3f s  (listing threads: %d)\n", b,
              lvx::indexer::FolderPrefetcher::DefaultThreads());
  std::printf("full build, one thread   %.3f s\n", s);
  std::printf("ratio build / find       %.2f  (goal: at most 0.60)\n", b / f);
  std::printf("ratio one thread / find  %.2f\n", s / f);
  std::remove(cachePath.c_str());
  return 0;
}
