// CDBMapFile: byte-addressed access to one cache database file through a file mapping that is
// mapped in fixed windows of 50 MB, each only when first touched. Each view reaches 1 MB into the
// next window, so any run shorter than 1 MB that starts in a window is contiguous in its view.
// An instance belongs to one thread; several instances may map the same file at once and are
// kept apart by the callers' cache and refresh locks.
//
// The file may be damaged (a crash, a foreign file, a disk error), so every reader goes through
// the validating accessors (GetSpan, ReadRecord, BlockCursor): an offset, length or name that leaves
// the mapping, or a record that leaves its block, reads as damage instead of touching memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cache/format.h"
#include "platform/file.h"

namespace lvx::cache {

// One record as read from the file; name points into the mapping (2-byte aligned, terminated).
struct Record {
  uint32_t offset = 0;
  uint16_t type = RECORD_END;
  const char16_t* name = nullptr;
  uint32_t nameLength = 0;
  uint32_t sizeOrLink = 0;
  uint32_t linkOffset = 0;  // file offset of the size/link word
  uint32_t timeLow = 0;
  uint32_t timeHigh = 0;
  uint32_t length = 0;      // bytes of the record (2n + 16); 2 for the end mark
};

extern const char16_t kDamagedCacheText[];

class CDBMapFile {
 public:
  static constexpr uint32_t kWindowSize = 52428800;  // 50 MB
  static constexpr uint32_t kOverlap = 1048576;      // 1 MB
  static constexpr uint32_t kMaxWindows = 40;
  static constexpr uint32_t kMaxMappingSize = kMaxWindows * kWindowSize;  // 2,097,152,000
  static constexpr uint32_t kGrowthStep = 33554432;  // 32 MB
  static constexpr uint32_t kGrowthReserve = 16777216;  // 16 MB
  // The process's exit code after a window could not be mapped: the end is a failure, and whoever
  // started the program (a script, the system's restart logic) must be able to tell.
  static constexpr uint32_t kMappingFailedExitCode = 1;

  CDBMapFile();
  ~CDBMapFile();
  CDBMapFile(const CDBMapFile&) = delete;
  CDBMapFile& operator=(const CDBMapFile&) = delete;

  // --- mapped file ---
  // Each open maps the whole file (or, for a new file, the size asked for, which the file takes);
  // no window is mapped yet. A failure has been reported and leaves nothing open. The opens of an
  // existing cache refuse a file whose header is not that of a complete cache database (all zero,
  // cut short, foreign, bounds out of range) with kDamagedCacheText, and Damaged() tells so.
  // An existing file, read-only, while others may read and change it (searches, the CLI).
  bool OpenForReading(const std::u16string& path) { return Open(path, How::Read, 0); }
  // An existing file, read-only, that no one else may have open (compaction's source).
  bool OpenForReadingAlone(const std::u16string& path) { return Open(path, How::ReadAlone, 0); }
  // An existing file, read-write, while others may only read it (a location refresh).
  bool OpenForUpdate(const std::u16string& path) { return Open(path, How::Update, 0); }
  // A new file of mappingSize bytes in place of any old one (the copies of the build and compaction).
  bool CreateNew(const std::u16string& path, uint32_t mappingSize) {
    return Open(path, How::Create, mappingSize);
  }
  // As CreateNew, for a scratch file that vanishes when it is closed.
  bool CreateScratch(const std::u16string& path, uint32_t mappingSize) {
    return Open(path, How::Scratch, mappingSize);
  }
  bool Damaged() const { return damaged_; }
  bool MapFilePos(uint32_t window);
  // Null for NO_BLOCK, beyond the mapping, or beyond the last window.
  uint8_t* GetPointer(uint32_t offset);
  // Null unless [offset, offset + length) lies inside the mapping and length is below the overlap.
  uint8_t* GetSpan(uint32_t offset, uint32_t length);
  uint32_t GetMapSize() const { return mappingSize_; }
  // The build's growth: 32 MB more once less than 16 MB is left ahead of the append position.
  bool CheckMapFileSize();
  // Every growth of the mapping goes here: a size past 40 windows is refused (the file stays as it
  // is); a mapping that cannot be made closes the file. Both are reported.
  bool GrowMapping(uint64_t newSize);
  void UnmapAllViews();
  bool CloseMapFile(bool deleteFile);
  bool IsOpen() const { return mapping_.IsOpen(); }
  // The system's code of the last open or growth that failed (0 when none has), for a caller's report.
  uint32_t FailureCode() const { return failureCode_; }
  bool IsWindowMapped(uint32_t window) const { return window < kMaxWindows && views_[window]; }
  const std::u16string& Path() const { return path_; }

  // Word access; the Put functions ignore offsets outside the mapping, GetU32 reports them.
  void PutU32(uint32_t offset, uint32_t value);
  void PutU16(uint32_t offset, uint16_t value);
  bool GetU32(uint32_t offset, uint32_t* value);
  void AppendU16(uint16_t value);
  uint32_t AppendPosition() const { return appendPosition_; }
  void SetAppendPosition(uint32_t position) { appendPosition_ = position; }
  bool WriteBytes(uint32_t offset, const void* buffer, uint32_t length);
  bool CopyFileContents(CDBMapFile& source, uint32_t length);

  // --- records and the record heap ---
  // Reads the record at offset. False on damage: a record or name that leaves the mapping (or
  // limit, when not 0: the end of the block that holds it), an odd offset, an overlong name.
  bool ReadRecord(uint32_t offset, uint32_t limit, Record* record);
  // Capacity of the block at offset; false when the block is outside the mapping or its capacity
  // is impossible (not 0 for a root block under construction, below 6, or past the mapping).
  bool ReadBlockCapacity(uint32_t block, uint32_t* capacity);

  bool AppendRecord(const CacheItem& item, uint32_t* linkOffset);
  uint32_t AllocBlock(uint32_t length);
  void FreeBlock(uint32_t block);
  void FreeSubBlock(uint32_t block);
  // A block built in memory (BlockBuilder) is copied into the file; the caller keeps its bytes.
  int StoreNewBlock(std::span<const uint8_t> block, uint32_t* offset);
  int ReplaceBlock(std::span<const uint8_t> block, uint32_t oldBlock, uint32_t linkOffset);
  uint32_t FindPath(uint32_t block, const char16_t* path, uint32_t* child, uint32_t* linkOffset);
  // Undo for an abandoned refresh: puts one block on the free list without descending into it.
  void FreeOneBlock(uint32_t block);

 private:
  enum class How { Read, ReadAlone, Update, Create, Scratch };
  bool Open(const std::u16string& path, How how, uint32_t mappingSize);
  bool CheckHeader(uint64_t size);
  uint32_t ViewLength(uint32_t window) const;
  bool GrowForAppend(uint32_t length, uint32_t* newMappedSize);
  bool FreeTree(uint32_t block, bool keepTop);
  bool WriteBlockAt(uint32_t offset, std::span<const uint8_t> block);

  bool writable_ = false;
  bool damaged_ = false;
  uint32_t windowSize_ = kWindowSize;
  uint32_t mappingSize_ = kWindowSize;
  std::u16string path_;
  uint32_t appendPosition_ = 0;
  uint32_t failureCode_ = 0;
  os::File file_;
  os::Mapping mapping_;
  uint8_t* views_[kMaxWindows] = {};
  char16_t component_[260] = {};
};

// Walks one block's records in order, skipping nothing: the caller decides what a type means.
// Stops at the end mark; Damaged() tells whether it stopped on bytes that are not a record.
class BlockCursor {
 public:
  BlockCursor(CDBMapFile& file, uint32_t block);
  bool Next(Record* record);
  bool Damaged() const { return damaged_; }
  uint32_t Position() const { return position_; }

 private:
  CDBMapFile& file_;
  uint32_t position_ = 0;
  uint32_t limit_ = 0;
  bool done_ = false;
  bool damaged_ = false;
};

}  // namespace lvx::cache
