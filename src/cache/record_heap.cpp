// The record heap: records and blocks inside the mapped cache file, the free list, block placement and
// path lookup.
//
// A refreshed folder's new block goes into the smallest free block that holds it (free blocks are
// reused whole, never split or merged) or is appended at DataEnd, growing the file in 32 MB steps.
// Freed blocks are pushed on the front of a singly linked free list whose words live in the free
// blocks themselves; blocks of 50 bytes or less are never freed and wait for compaction.
//
// The file may be damaged, so nothing here trusts an offset: every record is read through
// ReadRecord (bounded by its block and the mapping), every walk is iterative with loop detection, and
// the free list walk is bounded by the number of blocks the file could hold. Damage makes the
// operation report "Error in <operation>" and give its failure result; what was done before stays done.
#include <cstring>
#include <unordered_set>
#include <vector>

#include "cache/map_file.h"
#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cache {

uint32_t EncodeRecord(uint8_t* buffer, const CacheItem& item) {
  uint32_t n = 0;
  while (item.name[n] != 0) ++n;
  StoreU16(buffer, item.isFolder ? RECORD_FOLDER : RECORD_FILE);
  std::memcpy(buffer + 2, item.name, 2 * n);
  StoreU16(buffer + 2 + 2 * n, 0);
  StoreU32(buffer + 2 * n + 4, item.sizeOrLink);
  StoreU32(buffer + 2 * n + 8, item.timeLow);
  StoreU32(buffer + 2 * n + 12, item.timeHigh);
  return RecordLength(n);
}

bool CDBMapFile::ReadRecord(uint32_t offset, uint32_t limit, Record* record) {
  uint32_t bound = (limit == 0 || limit > mappingSize_) ? mappingSize_ : limit;
  if ((offset & 1) != 0 || offset >= bound || bound - offset < kEndMarkSize) return false;
  const uint8_t* p = GetSpan(offset, kEndMarkSize);
  if (p == nullptr) return false;
  record->offset = offset;
  record->type = LoadU16(p);
  if (record->type == RECORD_END) {
    record->length = kEndMarkSize;
    record->name = nullptr;
    record->nameLength = 0;
    return true;
  }
  // The terminator must come within the longest name a record can hold and before the bound.
  uint32_t room = bound - offset;
  if (room < kRecordFixedBytes) return false;
  uint32_t maxUnits = (room - kRecordFixedBytes) / 2;
  if (maxUnits > kMaxNameLength) maxUnits = kMaxNameLength;
  p = GetSpan(offset, RecordLength(maxUnits));
  if (p == nullptr) return false;
  const char16_t* name = reinterpret_cast<const char16_t*>(p + 2);
  uint32_t n = 0;
  while (n <= maxUnits && name[n] != 0) ++n;
  if (n > maxUnits) return false;
  const uint8_t* tail = p + 2 * n + 4;
  record->name = name;
  record->nameLength = n;
  record->linkOffset = offset + 2 * n + 4;
  record->sizeOrLink = LoadU32(tail);
  record->timeLow = LoadU32(tail + 4);
  record->timeHigh = LoadU32(tail + 8);
  record->length = RecordLength(n);
  return true;
}

bool CDBMapFile::ReadBlockCapacity(uint32_t block, uint32_t* capacity) {
  if ((block & 1) != 0) return false;
  const uint8_t* p = GetSpan(block, 4);
  if (p == nullptr) return false;
  uint32_t cap = LoadU32(p);
  // A root block under construction has capacity 0 until the build writes it.
  if (cap == 0 && block == kRootBlockOffset) {
    *capacity = 0;
    return true;
  }
  if (cap < kEmptyBlockSize || cap > mappingSize_ - block) return false;
  *capacity = cap;
  return true;
}

BlockCursor::BlockCursor(CDBMapFile& file, uint32_t block) : file_(file) {
  uint32_t capacity = 0;
  if (block == NO_BLOCK || !file_.ReadBlockCapacity(block, &capacity)) {
    position_ = block;  // where the damage is
    done_ = true;
    damaged_ = block != NO_BLOCK;
    return;
  }
  position_ = block + 4;
  limit_ = capacity == 0 ? 0 : block + capacity;
}

bool BlockCursor::Next(Record* record) {
  if (done_) return false;
  if (!file_.ReadRecord(position_, limit_, record)) {
    done_ = damaged_ = true;
    return false;
  }
  if (record->type == RECORD_END) {
    done_ = true;
    return false;
  }
  position_ += record->length;
  return true;
}

bool CDBMapFile::AppendRecord(const CacheItem& item, uint32_t* linkOffset) {
  uint32_t n = 0;
  while (item.name[n] != 0) ++n;
  if (n > kMaxNameLength) return false;
  uint8_t* p = GetSpan(appendPosition_, RecordLength(n));
  if (p == nullptr) return false;
  CacheItem stored = item;
  if (item.isFolder) stored.sizeOrLink = NO_BLOCK;
  uint32_t length = EncodeRecord(p, stored);
  if (item.isFolder && linkOffset != nullptr) *linkOffset = appendPosition_ + 2 * n + 4;
  appendPosition_ += length;
  return true;
}

uint32_t CDBMapFile::AllocBlock(uint32_t length) {
  uint32_t head = 0, dataEnd = 0;
  if (!GetU32(kFreeListHeadOffset, &head) || !GetU32(kDataEndOffset, &dataEnd) ||
      dataEnd > mappingSize_) {
    os::ErrorBox(u"Error in AllocBlock");
    return NO_BLOCK;
  }
  // Free blocks lie between DataStart and DataEnd, do not overlap, and are larger than 50 bytes
  // (smaller ones are never freed): a longer walk has met a loop.
  uint32_t maxSteps = dataEnd > kDataStart ? (dataEnd - kDataStart) / (kSmallBlockLimit + 1) + 1 : 1;
  uint32_t best = NO_BLOCK, bestCapacity = 0, bestPredecessorWord = kFreeListHeadOffset,
           bestNext = NO_BLOCK;
  uint32_t predecessorWord = kFreeListHeadOffset;
  for (uint32_t block = head, steps = 0; block != NO_BLOCK; ++steps) {
    uint32_t capacity = 0, next = 0;
    if (steps > maxSteps || block < kDataStart || block >= dataEnd ||
        !ReadBlockCapacity(block, &capacity) || capacity < 8 || capacity > dataEnd - block ||
        !GetU32(block + kFreeNextOffset, &next)) {
      os::ErrorBox(u"Error in AllocBlock");
      return NO_BLOCK;
    }
    if (capacity >= length && (best == NO_BLOCK || capacity < bestCapacity)) {
      best = block;
      bestCapacity = capacity;
      bestPredecessorWord = predecessorWord;
      bestNext = next;
    }
    predecessorWord = block + kFreeNextOffset;
    block = next;
  }
  if (best != NO_BLOCK) PutU32(bestPredecessorWord, bestNext);
  return best;
}

// Frees the blocks below block, children before parents and siblings in record order, and the block
// itself unless keepTop. Returns false on damage (reported by the caller).
bool CDBMapFile::FreeTree(uint32_t block, bool keepTop) {
  struct Frame {
    uint32_t block, position, limit;
  };
  uint32_t capacity = 0;
  if (!ReadBlockCapacity(block, &capacity) || capacity == 0) return false;
  if (capacity <= kSmallBlockLimit) return true;
  std::vector<Frame> stack{{block, block + 4, block + capacity}};
  std::unordered_set<uint32_t> seen{block};
  while (!stack.empty()) {
    Frame& top = stack.back();
    Record record;
    if (!ReadRecord(top.position, top.limit, &record)) return false;
    if (record.type == RECORD_END) {
      uint32_t done = top.block;
      stack.pop_back();
      if (keepTop && stack.empty()) break;
      uint32_t head = 0;
      if (!GetU32(kFreeListHeadOffset, &head)) return false;
      PutU32(done + kFreeNextOffset, head);
      PutU32(kFreeListHeadOffset, done);
      continue;
    }
    top.position += record.length;
    if (record.type != RECORD_FOLDER || record.sizeOrLink == NO_BLOCK) continue;
    uint32_t child = record.sizeOrLink;
    if (!ReadBlockCapacity(child, &capacity) || capacity == 0) return false;
    if (capacity <= kSmallBlockLimit) continue;
    // A block met twice is a loop or a shared subtree: freeing it twice would corrupt the list.
    if (!seen.insert(child).second) return false;
    stack.push_back({child, child + 4, child + capacity});
  }
  return true;
}

void CDBMapFile::FreeBlock(uint32_t block) {
  if (!FreeTree(block, false)) os::ErrorBox(u"Error in FreeBlock");
}

void CDBMapFile::FreeSubBlock(uint32_t block) {
  if (!FreeTree(block, true)) os::ErrorBox(u"Error in FreeSubBlock");
}

bool CDBMapFile::GrowForAppend(uint32_t length, uint32_t* newMappedSize) {
  uint32_t end = 0, size = 0;
  // DataEnd must lie inside both the recorded and the real length, or the header is damaged.
  if (!GetU32(kDataEndOffset, &end) || !GetU32(kMappedSizeOffset, &size) || end > size ||
      end < kDataStart || end > mappingSize_)
    return false;
  *newMappedSize = size;
  if (uint64_t(size) - end < uint64_t(length) + kGrowthReserve) {
    uint64_t grown = uint64_t(size) +
                     (((uint64_t(end) - size + length + kGrowthReserve) & 0xFFFFFFFFu) >> 25 << 25) +
                     kGrowthStep;
    if (!GrowMapping(grown)) return false;
    *newMappedSize = uint32_t(grown);
  }
  return uint64_t(end) + length <= mappingSize_;
}

// Writes a block into a placed block from its byte 4 on: the place keeps its capacity word.
bool CDBMapFile::WriteBlockAt(uint32_t offset, std::span<const uint8_t> block) {
  return WriteBytes(offset + 4, block.data() + 4, uint32_t(block.size() - 4));
}

int CDBMapFile::StoreNewBlock(std::span<const uint8_t> block, uint32_t* offset) {
  if (block.size() < kEmptyBlockSize || block.size() > kMaxMappingSize) return -1;
  const uint32_t length = uint32_t(block.size());
  uint32_t free = AllocBlock(length);
  if (free != NO_BLOCK) {
    if (!WriteBlockAt(free, block)) return -1;
    *offset = free;
    return 0;
  }
  uint32_t end = 0, newSize = 0;
  if (!GrowForAppend(length, &newSize) || !GetU32(kDataEndOffset, &end) ||
      !WriteBytes(end, block.data(), length))
    return -1;
  *offset = end;
  PutU32(kDataEndOffset, end + length);
  PutU32(kMappedSizeOffset, newSize);
  return 0;
}

int CDBMapFile::ReplaceBlock(std::span<const uint8_t> block, uint32_t oldBlock,
                             uint32_t linkOffset) {
  uint32_t oldCapacity = 0;
  if (oldBlock != NO_BLOCK && ReadBlockCapacity(oldBlock, &oldCapacity) &&
      oldCapacity >= block.size()) {
    FreeSubBlock(oldBlock);
    return WriteBlockAt(oldBlock, block) ? 0 : -1;
  }
  uint32_t link = 0;
  if (!GetU32(linkOffset, &link)) return -1;
  uint32_t stored = NO_BLOCK;
  if (StoreNewBlock(block, &stored) != 0) return -1;
  PutU32(linkOffset, stored);
  if (oldBlock != NO_BLOCK) FreeBlock(oldBlock);
  return 0;
}

uint32_t CDBMapFile::FindPath(uint32_t block, const char16_t* path, uint32_t* child,
                              uint32_t* linkOffset) {
  while (block != NO_BLOCK) {
    uint32_t length = 0;
    while (path[length] != 0 && path[length] != u'\\') {
      if (length >= kMaxNameLength) return NO_BLOCK;  // no cached name is that long
      component_[length] = path[length];
      ++length;
    }
    component_[length] = 0;
    bool slashFollows = path[length] == u'\\';
    const char16_t* rest = slashFollows ? path + length + 1 : path + length;
    BlockCursor cursor(*this, block);
    Record record;
    uint32_t next = NO_BLOCK;
    bool descend = false;
    while (cursor.Next(&record)) {
      if (record.type != RECORD_FILE && record.type != RECORD_FOLDER) continue;
      if (!EqualsFolded({record.name, record.nameLength}, {component_, length})) continue;
      if (record.type == RECORD_FILE) {
        if (slashFollows) continue;
        if (child) *child = NO_BLOCK;
        return record.offset;
      }
      if (*rest == 0) {
        if (linkOffset) *linkOffset = record.linkOffset;
        if (child) *child = record.sizeOrLink;
        return record.offset;
      }
      next = record.sizeOrLink;
      descend = true;
      break;
    }
    if (!descend) return NO_BLOCK;
    block = next;
    path = rest;
  }
  return NO_BLOCK;
}

void CDBMapFile::FreeOneBlock(uint32_t block) {
  uint32_t capacity = 0, head = 0;
  if (!ReadBlockCapacity(block, &capacity) || capacity == 0 || !GetU32(kFreeListHeadOffset, &head)) {
    os::ErrorBox(u"Error in FreeBlock");
    return;
  }
  if (capacity <= kSmallBlockLimit) return;
  PutU32(block + kFreeNextOffset, head);
  PutU32(kFreeListHeadOffset, block);
}

}  // namespace lvx::cache
