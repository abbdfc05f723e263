// The cache database file: one header, a root block with a record per drive letter, and one block
// per cached folder. All numbers little-endian, names UTF-16LE, offsets 32-bit from the file start.
//
//   header (132 bytes)     FormatWord@0 DrivesDone@4 DrivesBusy@8 DataEnd@100 MappedSize@104
//                          FreeListHead@128, every other byte zero
//   root block @132        capacity word, then folder records "A:" .. "Z:" from 136, end mark
//   zero bytes             up to DataStart (131072), where the first folder block begins
//   block                  capacity (u32, counts itself, the records and the end mark),
//                          records, end mark (u16 0); bytes after the end mark up to the capacity
//                          are stale
//   record (2n + 16)       type u16 | name n units + 0 | size KB or block link u32 | time lo | hi
//   free block             capacity u32 | next free block u32 (NO_BLOCK ends the list)
//
// Worked example: only drive C selected, its root holding the 10-byte file a.txt and then the empty
// folder b. Drive records at 136, 156, ... (20 bytes each), end mark at 656, root capacity 526; the
// record of C: at 176, its link word at 184 holding 131072; at 131072 the block of C: with capacity
// 50 (a.txt at 131076, size 1 at 131090; b at 131102, link at 131108 holding 131122; end mark at
// 131120); at 131122 the empty block of b (capacity 6). DataEnd = MappedSize = file length = 131128,
// DrivesDone 0xFFFFFFFF, FreeListHead NO_BLOCK.
#pragma once

#include <cstdint>

namespace lvx::cache {

constexpr uint32_t NO_BLOCK = 0xFFFFFFFFu;

// Header offsets (CacheHeader).
constexpr uint32_t kFormatWordOffset = 0;
constexpr uint32_t kDrivesDoneOffset = 4;
constexpr uint32_t kDrivesBusyOffset = 8;
constexpr uint32_t kDataEndOffset = 100;
constexpr uint32_t kMappedSizeOffset = 104;
constexpr uint32_t kFreeListHeadOffset = 128;
constexpr uint32_t kHeaderSize = 132;
constexpr uint32_t kFormatWord = 1;
constexpr uint32_t kAllDrivesDone = 0xFFFFFFFFu;

// RootBlock.
constexpr uint32_t kRootBlockOffset = 132;
constexpr uint32_t kRootRecordsOffset = 136;
constexpr uint32_t kDriveRecordLength = 20;  // "C:" + terminator
constexpr uint32_t kRootBlockCapacity = 4 + 26 * kDriveRecordLength + 2;  // 526
constexpr uint32_t kDataStart = 131072;

// The state key CacheFileSize and the start-up compaction check count whole MB.
constexpr uint32_t kBytesPerMB = 1048576;

// Record types.
enum RecordType : uint16_t {
  RECORD_END = 0,
  RECORD_FILE = 1,
  RECORD_FOLDER = 2,
  RECORD_TAKEN_OVER = 3,
};

// A record for a name of n code units: type(2) + name(2n + 2) + size/link(4) + time(8).
constexpr uint32_t RecordLength(uint32_t nameLength) { return 2 * nameLength + 16; }
constexpr uint32_t kRecordFixedBytes = 16;
constexpr uint32_t kEndMarkSize = 2;
constexpr uint32_t kEmptyBlockSize = 6;    // capacity word + end mark
constexpr uint32_t kMaxNameLength = 259;   // a longer name fits no component buffer
// Blocks of this capacity or less are never put on the free list (reclaimed by compaction).
constexpr uint32_t kSmallBlockLimit = 50;

// Free block.
constexpr uint32_t kFreeNextOffset = 4;

// KB sizes that do not fit the 32-bit field are held at its largest value, never wrapped, so that
// an entry of 4 TB or more still passes every lower size bound.
constexpr uint32_t kSaturatedKB = 0xFFFFFFFFu;
constexpr uint32_t SaturateKB(uint64_t kb) { return kb < kSaturatedKB ? uint32_t(kb) : kSaturatedKB; }

// Size in KB as the cache stores it: 0 for an empty file, else bytes / 1024 + 1, saturated.
constexpr uint32_t SizeInKB(uint32_t sizeHigh, uint32_t sizeLow) {
  if (sizeHigh == 0 && sizeLow == 0) return 0;
  return SaturateKB((uint64_t(sizeHigh) << 22) + (sizeLow >> 10) + 1);
}

// CacheItem: one entry on its way into a record.
struct CacheItem {
  const char16_t* name = nullptr;
  uint32_t sizeOrLink = 0;  // size in KB for a file, block offset for a folder
  uint8_t isFolder = 0;
  uint32_t timeLow = 0;
  uint32_t timeHigh = 0;
};

// Little-endian access to unaligned words in mapped memory.
inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Writes a record into memory with the item's size or link in the third field for both kinds;
// returns its length (2n + 16). The buffer must have room for it.
uint32_t EncodeRecord(uint8_t* buffer, const CacheItem& item);

}  // namespace lvx::cache
