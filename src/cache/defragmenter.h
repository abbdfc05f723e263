// CacheDefragmenter: compaction. Rewrites the cache file as a fresh full build lays it out (pre-order,
// every block exactly as long as its content, an empty free list, no taken-over records) by copying
// the tree block by block through the build's FreshFileWriter into a delete-on-close ".frag" file,
// which then replaces the cache file in one step. The caller has stopped the refresh threads; no
// lock is taken.
#pragma once

#include <string>
#include <unordered_set>

#include "cache/engine_sinks.h"
#include "cache/fresh_file_writer.h"
#include "cache/map_file.h"

namespace lvx::cache {

class CacheDefragmenter {
 public:
  // 0 compacted; -1 nothing changed: a file could not be opened or written, or the source is
  // damaged (all reported).
  int Defragment(const std::u16string& cachePath, IStateStore& state);

 private:
  static constexpr int kMaxDepth = 4096;
  bool CopyTree();
  bool CopySubtree(uint32_t sourceBlock, uint32_t targetLinkOffset, int depth);

  std::u16string cachePath_;
  CDBMapFile source_;
  FreshFileWriter target_;  // the ".frag" scratch file
  std::unordered_set<uint32_t> copied_;  // source blocks already copied: a second visit is a loop
};

}  // namespace lvx::cache
