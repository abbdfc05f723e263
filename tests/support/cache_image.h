// Writes cache files for tests: byte by byte (blocks at chosen offsets, free lists, single words) for
// the record heap and damaged files, or from a tree laid out as the full build lays it out (folder
// blocks in pre-order from DataStart, the file ending after the last block) for searches.
#pragma once

#include <cstdint>
#include <map>
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

// A tree entry. A folder that is not cached has the link NO_BLOCK; a record type other than file or
// folder (taken over, unknown) is written over the one the kind gives.
struct Node {
  std::u16string name;
  bool folder = false;
  uint32_t sizeKB = 0;
  uint64_t time = 0;
  bool cached = true;
  uint16_t typeOverride = 0;
  std::vector<Node> children;
};
Node File(const std::u16string& name, uint32_t sizeKB = 0, uint64_t time = 0);
Node Folder(const std::u16string& name, std::vector<Node> children = {}, uint64_t time = 0);
Node Uncached(const std::u16string& name, uint64_t time = 0);

class CacheImage {
 public:
  // A file of size bytes with a valid header: DataEnd = MappedSize = size, an empty free list and a
  // root block of 26 drive records, all NO_BLOCK.
  explicit CacheImage(uint32_t size = cache::kDataStart + 4096);
  // The drives' trees ("C" -> contents of C:\) as a full build leaves them.
  static CacheImage FromTree(const std::map<char16_t, std::vector<Node>>& drives);

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
  void Resize(uint32_t size) { bytes.resize(size); }

  // After FromTree, by path ("C:", "C:\\Music\\Old"): a folder's block, an entry's record, and the
  // link word of a folder's record (for a drive, the one in the root block).
  uint32_t BlockOf(const std::u16string& path) const { return blocks_.at(path); }
  uint32_t RecordOf(const std::u16string& path) const { return records_.at(path); }
  uint32_t LinkOf(const std::u16string& path) const;

  void WriteTo(const std::u16string& path) const;
  static std::vector<uint8_t> ReadFrom(const std::u16string& path);

  std::vector<uint8_t> bytes;

 private:
  uint32_t AddTree(const std::u16string& path, const std::vector<Node>& contents, uint32_t at);
  std::map<std::u16string, uint32_t> blocks_, records_;
};

// Size of the block that Block() would write for the entries.
uint32_t BlockSize(const std::vector<Entry>& entries);

}  // namespace lvx::test
