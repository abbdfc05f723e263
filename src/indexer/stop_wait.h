// How long a stop waits for one of the indexer's threads (the build thread, a watcher, a drain
// thread) to end before it gives up on it and leaves it running.
#pragma once

#include <cstdint>

namespace lvx::indexer {

constexpr uint32_t kStopWaitMs = 15000;

}  // namespace lvx::indexer
