#include "cache/fresh_file_writer.h"

#include "cache/cache_context.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cache {

bool FreshFileWriter::Create(const std::u16string& scratchPath, uint32_t mappingSize) {
  if (!scratch_.CreateScratch(scratchPath, mappingSize)) return false;
  full_ = false;
  rootPosition_ = kRootRecordsOffset;
  scratch_.SetAppendPosition(kDataStart);
  scratch_.PutU32(kFormatWordOffset, kFormatWord);
  scratch_.PutU32(kDrivesDoneOffset, 0);
  scratch_.PutU32(kDrivesBusyOffset, 0);
  scratch_.PutU32(kFreeListHeadOffset, NO_BLOCK);
  return true;
}

bool FreshFileWriter::AddRootRecord(const CacheItem& item, uint32_t* linkOffset) {
  uint32_t nameLength = 0;
  while (item.name[nameLength] != 0) ++nameLength;
  if (rootPosition_ + RecordLength(nameLength) + kEndMarkSize > kDataStart) return false;
  // The root block has its own place: the append position visits it for this one record.
  uint32_t appendPosition = scratch_.AppendPosition();
  scratch_.SetAppendPosition(rootPosition_);
  CacheItem folder = item;
  folder.isFolder = 1;
  bool appended = scratch_.AppendRecord(folder, linkOffset);
  rootPosition_ = scratch_.AppendPosition();
  scratch_.SetAppendPosition(appendPosition);
  return appended;
}

void FreshFileWriter::FinishRoot(bool complete) {
  scratch_.PutU16(rootPosition_, RECORD_END);
  scratch_.PutU32(kRootBlockOffset, rootPosition_ + kEndMarkSize - kRootBlockOffset);
  if (complete) scratch_.PutU32(kDrivesDoneOffset, kAllDrivesDone);
}

void FreshFileWriter::SetDrivesDone(uint32_t drives) {
  scratch_.PutU32(kDrivesDoneOffset, drives);
}

uint32_t FreshFileWriter::BeginBlock(uint32_t linkOffset) {
  uint32_t blockStart = scratch_.AppendPosition();
  scratch_.PutU32(linkOffset, blockStart);
  scratch_.SetAppendPosition(blockStart + 4);
  return blockStart;
}

bool FreshFileWriter::AppendRecord(const CacheItem& item, uint32_t* linkOffset) {
  if (full_) return false;
  if (scratch_.AppendRecord(item, linkOffset)) return true;
  return ReserveRoom() && scratch_.AppendRecord(item, linkOffset);
}

bool FreshFileWriter::EndBlock(uint32_t blockStart) {
  if (scratch_.GetSpan(scratch_.AppendPosition(), kEndMarkSize) == nullptr && !ReserveRoom())
    return false;
  scratch_.AppendU16(RECORD_END);
  scratch_.PutU32(blockStart, scratch_.AppendPosition() - blockStart);
  return true;
}

// The failure is reported once (by the growth itself); later calls refuse at once.
bool FreshFileWriter::ReserveRoom() {
  if (full_) return false;
  if (scratch_.CheckMapFileSize()) return true;
  full_ = true;
  return false;
}

bool FreshFileWriter::CopyTo(const std::u16string& cachePath) {
  // A scratch file that lost its mapping holds nothing to copy: the cache file is left alone.
  if (full_ || !scratch_.IsOpen()) return false;
  uint32_t length = scratch_.AppendPosition();
  scratch_.PutU32(kDataEndOffset, length);
  scratch_.PutU32(kMappedSizeOffset, length);
  if (ReplaceCacheFile(scratch_, length, cachePath)) return true;
  os::SystemErrorBox(os::LastError(), u" In FreshFileWriter::CopyTo - 000");
  return false;
}

bool ReplaceCacheFile(CDBMapFile& source, uint32_t length, const std::u16string& cachePath) {
  const std::u16string fresh = cachePath + kReplacementSuffix;
  CDBMapFile file;
  bool created;
  {
    os::QuietMessages quiet;  // the caller reports the failure in its own words
    created = file.CreateNew(fresh, length);
  }
  bool copied = created && file.CopyFileContents(source, length);
  file.CloseMapFile(false);
  if (copied) CacheContext::FileChanging();  // kept mappings of the old file would bar the replace
  if (copied && os::MoveOver(fresh, cachePath)) return true;
  uint32_t code = created && !copied ? os::CodeOf(os::Error::IoError) : os::LastError();
  os::RemoveFile(fresh);
  os::SetLastError(code);
  return false;
}

void FreshFileWriter::RecordInState(IStateStore& state) const {
  state.WriteState(u"CacheFileSize", Format("%d", int(DataLength() / kBytesPerMB)));
  state.WriteState(u"CacheFileVersion", u"1");
}

}  // namespace lvx::cache
