// The benchmarks' clock: seconds since a moment, and the best (least) of a few timed rounds, which is
// what a machine shared with other work leaves least distorted.
#pragma once

#include <algorithm>
#include <chrono>

namespace lvx::bench {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The least of run()'s results over the rounds.
template <typename F>
double Best(int rounds, F&& run) {
  double best = 1e18;
  for (int i = 0; i < rounds; ++i) best = std::min(best, double(run()));
  return best;
}

}  // namespace lvx::bench
