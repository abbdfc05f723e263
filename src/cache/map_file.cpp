// The mapped file proper: opening, lazy windows, growth, word and byte access, whole-file copy.
#include "cache/map_file.h"

#include <cstring>

#include "cache/cache_context.h"

#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cache {

const char16_t kDamagedCacheText[] = u"The cache file is damaged. Please rebuild the cache.";

CDBMapFile::CDBMapFile() = default;

CDBMapFile::~CDBMapFile() { CloseMapFile(false); }

bool CDBMapFile::Open(const std::u16string& path, How how, uint32_t mappingSize) {
  CloseMapFile(false);  // an instance is reused build after build
  appendPosition_ = failureCode_ = 0;
  path_ = path;
  writable_ = how != How::Read && how != How::ReadAlone;
  // Readers that keep a cache file mapped let go of it first.
  if (how == How::Create || how == How::ReadAlone) CacheContext::FileChanging();
  switch (how) {
    case How::Read: file_ = os::OpenToRead(path); break;
    case How::ReadAlone: file_ = os::OpenToReadAlone(path); break;
    case How::Update: file_ = os::OpenToUpdate(path); break;
    case How::Create: file_ = os::CreateAnew(path); break;
    case How::Scratch: file_ = os::CreateScratch(path); break;
  }
  if (!file_.IsOpen()) {
    failureCode_ = os::LastError();
    os::SystemErrorBox(failureCode_, u" In CDBMapFile::OpenMapFile - 000");
    return false;
  }
  mappingSize_ = mappingSize;
  uint64_t size = 0;
  if (mappingSize == 0 && (!os::SizeOf(file_, &size) || size > kMaxMappingSize)) {
    uint32_t code = failureCode_ =
        size > kMaxMappingSize ? os::CodeOf(os::Error::OutOfMemory) : os::LastError();
    os::Close(file_);
    os::MemoryErrorBox(code, uint32_t(size), u" In CDBMapFile::OpenMapFile - 001");
    os::SetLastError(code);  // the memory facts asked for the box may have changed it
    return false;
  }
  if (mappingSize == 0) mappingSize_ = uint32_t(size);
  if (how != How::Create && how != How::Scratch && !CheckHeader(size)) return false;
  mapping_ = os::Map(file_, mappingSize, writable_);
  if (!mapping_.IsOpen()) {
    uint32_t code = failureCode_ = os::LastError();
    os::Close(file_);
    os::MemoryErrorBox(code, mappingSize_, u" In CDBMapFile::OpenMapFile - 001");
    os::SetLastError(code);  // the memory facts asked for the box may have changed it
    return false;
  }
  return true;
}

// The header of a complete cache database: the format word, DataEnd between DataStart and the
// recorded length, which is within the real one, a free list that starts among the blocks, and a
// root block that ends before DataStart (or is still being written). It is read, not mapped: an
// open maps no window. A file that fails is closed and reported as damaged.
bool CDBMapFile::CheckHeader(uint64_t size) {
  uint8_t h[kRootRecordsOffset] = {};
  uint32_t got = 0;
  damaged_ = false;
  if (size >= kDataStart && !os::ReadFrom(file_, h, sizeof h, &got)) {
    uint32_t code = os::LastError();
    os::Close(file_);
    os::SystemErrorBox(code, u" In CDBMapFile::OpenMapFile - 000");
    return false;
  }
  uint32_t dataEnd = LoadU32(h + kDataEndOffset), mappedSize = LoadU32(h + kMappedSizeOffset);
  uint32_t freeHead = LoadU32(h + kFreeListHeadOffset), root = LoadU32(h + kRootBlockOffset);
  damaged_ = size < kDataStart || got < sizeof h || LoadU32(h + kFormatWordOffset) != kFormatWord ||
             dataEnd < kDataStart || dataEnd > mappedSize || mappedSize > size ||
             (freeHead != NO_BLOCK && (freeHead < kDataStart || freeHead >= dataEnd)) ||
             (root != 0 && (root < kEmptyBlockSize || root > kDataStart - kRootBlockOffset));
  if (!damaged_) return true;
  os::Close(file_);
  os::ErrorBox(kDamagedCacheText);
  return false;
}

// A window's view runs 1 MB into the next window, or to the end of the mapping when that is nearer.
uint32_t CDBMapFile::ViewLength(uint32_t window) const {
  uint64_t start = uint64_t(window) * windowSize_;
  return start + windowSize_ + kOverlap < mappingSize_ ? windowSize_ + kOverlap
                                                       : uint32_t(mappingSize_ - start);
}

bool CDBMapFile::MapFilePos(uint32_t window) {
  uint8_t* view = os::View(mapping_, window * windowSize_, ViewLength(window));
  if (view == nullptr) {
    // Without its window the caller cannot go on; the state of the file is left as it is.
    uint32_t code = os::LastError();
    os::Unmap(mapping_);
    os::Close(file_);
    os::MemoryErrorBox(code, mappingSize_, u" In CDBMapFile::MapFilePos - 002");
    os::FlushDeferredMessages();  // the fatal box is shown even inside a held-back stretch
    os::ExitProcessNow(kMappingFailedExitCode);
  }
  views_[window] = view;
  return true;
}

uint8_t* CDBMapFile::GetPointer(uint32_t offset) {
  if (offset == NO_BLOCK || offset > mappingSize_ || !mapping_.IsOpen()) return nullptr;
  uint32_t window = offset / windowSize_;
  // The end of a mapping that fills whole windows lies in no window of its own: it is the end of the
  // last one's view.
  if (offset == mappingSize_ && offset % windowSize_ == 0 && offset != 0) --window;
  if (window >= kMaxWindows) return nullptr;  // never a 41st window
  if (views_[window] == nullptr) MapFilePos(window);
  return views_[window] + (offset - window * windowSize_);
}

uint8_t* CDBMapFile::GetSpan(uint32_t offset, uint32_t length) {
  if (offset == NO_BLOCK || length > kOverlap || offset > mappingSize_ ||
      length > mappingSize_ - offset)
    return nullptr;
  // The last byte lies in the mapping; the overlap makes the run contiguous in the first window.
  return GetPointer(offset);
}

bool CDBMapFile::CheckMapFileSize() {
  if (appendPosition_ <= mappingSize_ - kGrowthReserve && mappingSize_ >= kGrowthReserve) return true;
  return GrowMapping(uint64_t(mappingSize_) + kGrowthStep);
}

bool CDBMapFile::GrowMapping(uint64_t newSize) {
  if (newSize > kMaxMappingSize) {
    os::ErrorBox(u"The cache file cannot grow beyond 2,097,152,000 bytes; please compact or rebuild the cache.");
    return false;
  }
  CacheContext::FileChanging();
  UnmapAllViews();
  os::Unmap(mapping_);
  mapping_ = os::Map(file_, uint32_t(newSize), writable_);
  if (!mapping_.IsOpen()) {
    uint32_t code = failureCode_ = os::LastError();
    os::Close(file_);
    os::MemoryErrorBox(code, uint32_t(newSize), u" In CDBMapFile::CheckMapFileSize - 001");
    os::SetLastError(code);  // the memory facts asked for the box may have changed it
    return false;
  }
  mappingSize_ = uint32_t(newSize);
  return true;
}

void CDBMapFile::UnmapAllViews() {
  for (uint32_t window = 0; window < kMaxWindows; ++window) {
    if (views_[window] != nullptr) os::Unview(views_[window], ViewLength(window));
    views_[window] = nullptr;
  }
}

bool CDBMapFile::CloseMapFile(bool deleteFile) {
  UnmapAllViews();
  os::Unmap(mapping_);
  os::Close(file_);
  if (deleteFile && !path_.empty()) os::RemoveFile(path_);
  return true;
}

void CDBMapFile::PutU32(uint32_t offset, uint32_t value) {
  if (uint8_t* p = GetSpan(offset, 4)) StoreU32(p, value);
}

void CDBMapFile::PutU16(uint32_t offset, uint16_t value) {
  if (uint8_t* p = GetSpan(offset, 2)) StoreU16(p, value);
}

bool CDBMapFile::GetU32(uint32_t offset, uint32_t* value) {
  const uint8_t* p = GetSpan(offset, 4);
  if (p == nullptr) return false;
  *value = LoadU32(p);
  return true;
}

void CDBMapFile::AppendU16(uint16_t value) {
  PutU16(appendPosition_, value);
  appendPosition_ += 2;
}

bool CDBMapFile::WriteBytes(uint32_t offset, const void* buffer, uint32_t length) {
  if (offset > mappingSize_ || length > mappingSize_ - offset) return false;
  const uint8_t* from = static_cast<const uint8_t*>(buffer);
  while (length > 0) {
    uint32_t piece = windowSize_ - offset % windowSize_;  // up to the end of this window
    if (piece > length) piece = length;
    uint8_t* to = GetPointer(offset);
    if (to == nullptr) return false;
    std::memcpy(to, from, piece);
    from += piece;
    offset += piece;
    length -= piece;
  }
  return true;
}

bool CDBMapFile::CopyFileContents(CDBMapFile& source, uint32_t length) {
  if (length > mappingSize_ || length > source.GetMapSize()) return false;
  for (uint32_t window = 0; uint64_t(window) * windowSize_ < length; ++window) {
    uint32_t start = window * windowSize_;
    uint32_t end = length - start > windowSize_ ? start + windowSize_ : length;
    const uint8_t* from = source.GetPointer(start);
    uint8_t* to = GetPointer(start);
    if (from == nullptr || to == nullptr) return false;
    std::memcpy(to, from, end - start);
    // One destination window at a time: the copy of a large file needs little address space.
    os::Unview(views_[window], ViewLength(window));
    views_[window] = nullptr;
  }
  return true;
}

}  // namespace lvx::cache
