#include "cache/block_builder.h"

#include <cstdlib>
#include <cstring>

#include "platform/fault.h"

namespace lvx::cache {

namespace {
constexpr size_t kInitialSize = 1048576;
// The longest record (a 259-character name) is 534 bytes; the buffer grows before the room left is
// below this.
constexpr size_t kRecordRoom = 600;
}  // namespace

BlockBuilder::~BlockBuilder() { std::free(bytes_); }

bool BlockBuilder::Start() {
  std::free(bytes_);
  bytes_ = os::fault::ShouldFail(os::fault::Op::Alloc) ? nullptr : static_cast<uint8_t*>(std::malloc(kInitialSize));
  capacity_ = bytes_ ? kInitialSize : 0;
  used_ = 4;
  return bytes_ != nullptr;
}

bool BlockBuilder::Grow() {
  size_t grown = capacity_ + capacity_ / 2;
  uint8_t* bigger = os::fault::ShouldFail(os::fault::Op::Alloc) ? nullptr : static_cast<uint8_t*>(std::malloc(grown));
  if (bigger == nullptr) return false;
  std::memcpy(bigger, bytes_, used_);
  std::free(bytes_);
  bytes_ = bigger;
  capacity_ = grown;
  return true;
}

bool BlockBuilder::Append(const CacheItem& item) {
  uint32_t nameLength = 0;
  while (item.name[nameLength] != 0) ++nameLength;
  while (capacity_ - used_ <= kRecordRoom ||
         capacity_ - used_ < RecordLength(nameLength) + kEndMarkSize) {
    if (!Grow()) return false;
  }
  used_ += EncodeRecord(bytes_ + used_, item);
  return true;
}

std::span<const uint8_t> BlockBuilder::Finish() {
  StoreU16(bytes_ + used_, RECORD_END);
  used_ += kEndMarkSize;
  StoreU32(bytes_, uint32_t(used_));
  return {bytes_, used_};
}

}  // namespace lvx::cache
