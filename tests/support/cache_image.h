// Builds cache files by hand, byte by byte, for tests of the record heap and of damaged files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cache/format.h"

namespace lvx::test {

struct Entry {
  std::u16string name;
  bool folder = false;
  uint32_t sizeOrLink = 0;  // KB for a file, block offset (or NO_BLOCK) for a folder
  uint32_t timeLow = 0, timeHigh = 0;
};

class CacheImage {
 public:
  // A file of size bytes with a valid header: DataEnd = MappedSize = size, an empty free list and a
  // root block of 26 drive records, all NO_BLOCK.
  explicit CacheImage(uint32_t size = cache::kDataStart + 4096);

  // Writes a block at offset holding the entries; capacity 0 means "exactly its content".
  // Returns the capacity written.
  uint32_t Block(uint32_t offset, const std::vector<Entry>& entries, uint32_t capacity = 0);
  // Offset of the link word of the index-th record of the block at offset.
  uint32_t LinkOffset(uint32_t block, size_t index) const;
  // Links drive letter's root record to a block.
  void SetDrive(char16_t letter, uint32_t block);
  // Chains free blocks (each already holding its capacity) in the given order.
  void FreeList(const std::vector<uint32_t>& blocks);
  void SetU32(uint32_t offset, uint32_t value);
  void SetU16(uint32_t offset, uint16_t value);
  uint32_t U32(uint32_t offset) const;
  void Resize(uint32_t size) { bytes.resize(size); }

  void WriteTo(const std::u16string& path) const;
  static std::vector<uint8_t> ReadFrom(const std::u16string& path);

  std::vector<uint8_t> bytes;
};

// Size of the block that Block() would write for the entries.
uint32_t BlockSize(const std::vector<Entry>& entries);

}  // namespace lvx::test
