#include "cache/defragmenter.h"

#include <vector>

#include "platform/message.h"

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
  // The compacted data is never longer than the source; the target has a MB more, in whole MB.
  uint32_t targetSize = (source_.GetMapSize() + kBytesPerMB) & ~(kBytesPerMB - 1);
  if (!target_.Create(cachePath_ + u".frag", targetSize)) {
    source_.CloseMapFile(false);
    return -1;
  }
  if (!CopyTree()) {
    os::ErrorBox(kDamaged);
    target_.Close();
    source_.CloseMapFile(false);
    return -1;
  }
  // The signals of the start-up check survive: a build that did not complete stays incomplete,
  // and a drive whose change was cut short stays marked.
  uint32_t done = 0, busy = 0;
  source_.GetU32(kDrivesDoneOffset, &done);
  source_.GetU32(kDrivesBusyOffset, &busy);
  target_.FinishRoot(done == kAllDrivesDone);
  if (done != kAllDrivesDone) target_.SetDrivesDone(done);
  target_.SetDrivesBusy(busy);

  source_.CloseMapFile(false);
  bool written = target_.CopyTo(cachePath_);
  target_.Close();
  if (!written) return -1;
  target_.RecordInState(state);
  state.WriteState(u"UpdateCacheExit", u"TRUE");
  return 0;
}

// Every root record (whatever its type) becomes a drive record of the target, followed by its tree.
// False on damage.
bool CacheDefragmenter::CopyTree() {
  BlockCursor root(source_, kRootBlockOffset);
  Record record;
  while (root.Next(&record)) {
    std::u16string name(record.name, record.nameLength);
    uint32_t linkOffset = NO_BLOCK;
    if (!target_.AddRootRecord({name.c_str(), NO_BLOCK, 1, record.timeLow, record.timeHigh},
                               &linkOffset))
      return false;
    // A taken-over drive record has no live link; every other record keeps its tree.
    uint32_t link = record.type == RECORD_FOLDER ? record.sizeOrLink : NO_BLOCK;
    if (!CopySubtree(link, linkOffset, 0)) return false;
  }
  return !root.Damaged();
}

// Copies one block (file records unchanged, folder records with a fresh link, taken-over records
// dropped) and then each subfolder's subtree in record order. False on damage or a full target.
bool CacheDefragmenter::CopySubtree(uint32_t sourceBlock, uint32_t targetLinkOffset, int depth) {
  if (sourceBlock == NO_BLOCK) return true;  // the new record's link is NO_BLOCK already
  // A block met twice is a loop; a tree deeper than any path can be is damage too.
  if (depth > kMaxDepth || !copied_.insert(sourceBlock).second) return false;
  uint32_t blockStart = target_.BeginBlock(targetLinkOffset);
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
  if (cursor.Damaged() || !target_.EndBlock(blockStart)) return false;
  for (const auto& [link, linkOffset] : subfolders)
    if (!CopySubtree(link, linkOffset, depth + 1)) return false;
  return true;
}

}  // namespace lvx::cache
