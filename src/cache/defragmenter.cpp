#include "cache/defragmenter.h"

#include <vector>

#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cache {

namespace {
const char16_t kDamaged[] =
    u"The cache file is damaged and cannot be compacted; please update the entire search cache.";
}

int CacheDefragmenter::Defragment(const std::u16string& cachePath, IStateStore& state) {
  state.WriteState(u"UpdateCacheExit", u"FALSE");
  cachePath_ = cachePath;
  copied_.clear();
  if (!source_.OpenForReadingAlone(cachePath_)) return -1;
  uint32_t targetSize = (source_.GetMapSize() + 1048576u) & ~0xFFFFFu;
  if (!target_.CreateScratch(cachePath_ + u".frag", targetSize)) {
    source_.CloseMapFile(false);
    return -1;
  }
  target_.SetAppendPosition(kDataStart);
  target_.PutU32(kFormatWordOffset, kFormatWord);
  target_.PutU32(kDrivesDoneOffset, 0);
  target_.PutU32(kDrivesBusyOffset, 0);
  target_.PutU32(kFreeListHeadOffset, NO_BLOCK);

  bool ok = true;
  uint32_t rootPosition = kRootRecordsOffset;
  BlockCursor root(source_, kRootBlockOffset);
  Record record;
  while (ok && root.Next(&record)) {
    std::u16string name(record.name, record.nameLength);
    uint32_t appendPosition = target_.AppendPosition();
    target_.SetAppendPosition(rootPosition);
    uint32_t linkOffset = NO_BLOCK;
    CacheItem item{name.c_str(), NO_BLOCK, 1, record.timeLow, record.timeHigh};
    ok = rootPosition + RecordLength(record.nameLength) + kEndMarkSize <= kDataStart &&
         target_.AppendRecord(item, &linkOffset);
    rootPosition = target_.AppendPosition();
    target_.SetAppendPosition(appendPosition);
    // A taken-over drive record has no live link; every other record keeps its tree.
    uint32_t link = record.type == RECORD_FOLDER ? record.sizeOrLink : NO_BLOCK;
    if (ok) ok = CopySubtree(link, linkOffset, 0);
  }
  if (!ok || root.Damaged()) {
    os::ErrorBox(kDamaged);
    target_.CloseMapFile(false);
    source_.CloseMapFile(false);
    return -1;
  }
  target_.PutU16(rootPosition, RECORD_END);
  target_.PutU32(kRootBlockOffset, rootPosition + 2 - kRootBlockOffset);
  target_.PutU32(kDrivesDoneOffset, kAllDrivesDone);

  source_.CloseMapFile(false);
  os::RemoveFile(cachePath_);
  uint32_t length = target_.AppendPosition();
  CDBMapFile cache;
  bool written = false;
  if (cache.CreateNew(cachePath_, length)) {
    target_.PutU32(kDataEndOffset, length);
    target_.PutU32(kMappedSizeOffset, length);
    written = cache.CopyFileContents(target_, length);
    cache.CloseMapFile(false);
  }
  target_.CloseMapFile(false);
  if (!written) return -1;
  state.WriteState(u"CacheFileSize", Format("%d", int(length / 1048576)));
  state.WriteState(u"CacheFileVersion", u"1");
  state.WriteState(u"UpdateCacheExit", u"TRUE");
  return 0;
}

// Copies one block (file records unchanged, folder records with a fresh link, taken-over records
// dropped) and then each subfolder's subtree in record order. False on damage or a full target.
bool CacheDefragmenter::CopySubtree(uint32_t sourceBlock, uint32_t targetLinkOffset, int depth) {
  if (sourceBlock == NO_BLOCK) {
    target_.PutU32(targetLinkOffset, NO_BLOCK);
    return true;
  }
  // A block met twice is a loop; a tree deeper than any path can be is damage too.
  if (depth > kMaxDepth || !copied_.insert(sourceBlock).second) return false;
  uint32_t blockStart = target_.AppendPosition();
  target_.PutU32(targetLinkOffset, blockStart);
  target_.SetAppendPosition(blockStart + 4);
  std::vector<std::pair<uint32_t, uint32_t>> subfolders;  // (source link, target link offset)
  BlockCursor cursor(source_, sourceBlock);
  Record record;
  while (cursor.Next(&record)) {
    if (record.type != RECORD_FILE && record.type != RECORD_FOLDER) continue;
    std::u16string name(record.name, record.nameLength);
    bool folder = record.type == RECORD_FOLDER;
    CacheItem item{name.c_str(), record.sizeOrLink, uint8_t(folder), record.timeLow,
                   record.timeHigh};
    uint32_t linkOffset = NO_BLOCK;
    if (!target_.AppendRecord(item, &linkOffset)) return false;
    if (folder) subfolders.emplace_back(record.sizeOrLink, linkOffset);
  }
  if (cursor.Damaged()) return false;
  if (target_.GetSpan(target_.AppendPosition(), kEndMarkSize) == nullptr) return false;
  target_.AppendU16(RECORD_END);
  target_.PutU32(blockStart, target_.AppendPosition() - blockStart);
  for (const auto& [link, linkOffset] : subfolders)
    if (!CopySubtree(link, linkOffset, depth + 1)) return false;
  return true;
}

}  // namespace lvx::cache
