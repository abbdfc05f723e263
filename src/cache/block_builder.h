// BlockBuilder: a folder's block built in memory (capacity word, records, end mark) before the
// record heap stores it. The builder owns the bytes; StoreNewBlock and ReplaceBlock take them as a
// span and copy them into the file. It starts at 1 MB and grows by half whenever fewer than 600
// bytes are left, so a record (at most 534 bytes) always fits after the check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "cache/format.h"

namespace lvx::cache {

class BlockBuilder {
 public:
  BlockBuilder() = default;
  ~BlockBuilder();
  BlockBuilder(const BlockBuilder&) = delete;
  BlockBuilder& operator=(const BlockBuilder&) = delete;

  // Takes the first 1 MB, with room for the capacity word; false when it cannot be had.
  bool Start();
  // Appends the item's record (EncodeRecord: the size or link as given); false when the buffer had
  // to grow and memory ran out.
  bool Append(const CacheItem& item);
  // Appends the end mark and stores the capacity word; the bytes stay the builder's.
  std::span<const uint8_t> Finish();

 private:
  bool Grow();

  uint8_t* bytes_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

}  // namespace lvx::cache
