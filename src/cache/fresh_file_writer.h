// FreshFileWriter: lays out a new cache file the way the full build and compaction both write one.
// It works in a delete-on-close scratch file: a new header (no drive done, none busy, an empty free
// list), the root records written one after another from offset 136, and the folder blocks in the
// order the caller writes them from DataStart on, each block whole: its capacity word, its records,
// its end mark. CopyTo then replaces the cache file with one of exactly the data written so far, so a
// copy can be taken after every drive and again at the end.
//
// The scratch file grows as a build's does (32 MB at a time, keeping 16 MB ahead of the append
// position). Once it cannot grow, the writer is full: every later append is refused and nothing is
// copied over the cache file.
#pragma once

#include <cstdint>
#include <string>

#include "cache/engine_sinks.h"
#include "cache/format.h"
#include "cache/map_file.h"

namespace lvx::cache {

// The file beside the cache file that becomes the cache file in one step.
constexpr char16_t kReplacementSuffix[] = u".new";

// Copies the first length bytes of source into a new file beside the cache file, flushes it and puts
// it in the cache file's place in one step: a crash, a kill or a full disk at any moment leaves the
// old cache file or the new one. False when the cache file is left as it was (LastError set; the
// caller reports it).
bool ReplaceCacheFile(CDBMapFile& source, uint32_t length, const std::u16string& cachePath);

class FreshFileWriter {
 public:
  // Creates the scratch file with the given mapping size and writes the new header; false when it
  // cannot be created (the open has shown its message).
  bool Create(const std::u16string& scratchPath, uint32_t mappingSize);
  // The scratch file's current mapping size: what growth in an earlier use has made it.
  uint32_t MappingSize() const { return scratch_.GetMapSize(); }
  // Bytes written so far: where the next block goes, and the length of the cache file CopyTo makes.
  uint32_t DataLength() const { return scratch_.AppendPosition(); }
  bool Full() const { return full_; }

  // Appends a folder record (link NO_BLOCK) to the root block and gives the offset of its link
  // word; false when the record would reach DataStart.
  bool AddRootRecord(const CacheItem& item, uint32_t* linkOffset);
  // Ends the root block: its end mark and capacity, and DrivesDone for all drives when complete.
  void FinishRoot(bool complete);
  void SetDrivesDone(uint32_t drives);
  void SetDrivesBusy(uint32_t drives) { scratch_.PutU32(kDrivesBusyOffset, drives); }

  // Starts a folder's block at the append position and stores its offset in the link word at
  // linkOffset; returns where the block starts, for EndBlock.
  uint32_t BeginBlock(uint32_t linkOffset);
  // Appends a record (a folder's with link NO_BLOCK; linkOffset, when given, receives the offset of
  // its link word), growing the scratch file when it must; false when it cannot.
  bool AppendRecord(const CacheItem& item, uint32_t* linkOffset);
  // Appends the end mark and stores the block's capacity; false when there is no room left.
  bool EndBlock(uint32_t blockStart);
  // Keeps 16 MB free ahead of the append position, growing the scratch file; false once full.
  bool ReserveRoom();

  // Replaces the cache file (ReplaceCacheFile) with exactly the data written (DataEnd and MappedSize
  // its length). The caller keeps searches and refreshes away from the cache file meanwhile. False,
  // reported, when the cache file could not be replaced: it is then the one it was.
  bool CopyTo(const std::u16string& cachePath);
  // After the last copy: CacheFileSize (the data length in whole MB) and CacheFileVersion "1".
  void RecordInState(IStateStore& state) const;
  // Closes the scratch file, which the system then deletes.
  void Close() { scratch_.CloseMapFile(false); }

 private:
  CDBMapFile scratch_;
  uint32_t rootPosition_ = kRootRecordsOffset;
  bool full_ = false;
};

}  // namespace lvx::cache
