// The mapped file proper: opening, lazy windows, growth, word and byte access, whole-file copy.
#include "cache/map_file.h"

#include <cstring>

#include "platform/message.h"
#include "platform/text.h"

namespace lvx::cache {

CDBMapFile::CDBMapFile() = default;

CDBMapFile::~CDBMapFile() { CloseMapFile(false); }

bool CDBMapFile::OpenMapFile(const std::u16string& path, uint32_t desiredAccess, uint32_t shareMode,
                             uint32_t creationDisposition, uint32_t flagsAndAttributes,
                             uint32_t pageProtection, uint32_t mappingSize, uint32_t viewAccess) {
  CloseMapFile(false);  // an instance is reused build after build
  appendPosition_ = 0;
  path_ = path;
  pageProtection_ = pageProtection;
  viewAccess_ = viewAccess;
  file_ = os::OpenFile(path, desiredAccess, shareMode, creationDisposition, flagsAndAttributes);
  if (!file_.IsValid()) {
    os::SystemErrorBox(os::LastError(), u" In CDBMapFile::OpenMapFile - 000");
    return false;
  }
  if (mappingSize == 0) {
    uint64_t size = 0;
    if (!os::GetFileSize(file_, &size) || size > kMaxMappingSize) {
      uint32_t code = size > kMaxMappingSize ? os::kErrorNotEnoughMemory : os::LastError();
      os::CloseFile(file_);
      file_ = {};
      os::MemoryErrorBox(code, uint32_t(size), u" In CDBMapFile::OpenMapFile - 001");
      return false;
    }
    mappingSize_ = uint32_t(size);
  } else {
    mappingSize_ = mappingSize;
  }
  mapping_ = os::CreateMapping(file_, pageProtection, mappingSize);
  if (!mapping_.IsValid()) {
    uint32_t code = os::LastError();
    os::CloseFile(file_);
    file_ = {};
    os::MemoryErrorBox(code, mappingSize_, u" In CDBMapFile::OpenMapFile - 001");
    return false;
  }
  return true;
}

bool CDBMapFile::OpenReadOnly(const std::u16string& path, uint32_t shareMode) {
  return OpenMapFile(path, os::kGenericRead, shareMode, os::kOpenExisting, os::kAttributeNormal,
                     os::kPageReadOnly, 0, os::kMapRead);
}

bool CDBMapFile::MapFilePos(uint32_t window) {
  uint64_t start = uint64_t(window) * windowSize_;
  uint64_t end = start + windowSize_ + kOverlap;
  uint32_t length = end < mappingSize_ ? windowSize_ + kOverlap : 0;
  uint8_t* view = static_cast<uint8_t*>(os::MapView(mapping_, viewAccess_, uint32_t(start), length));
  if (view == nullptr) {
    // Without its window the caller cannot go on; the state of the file is left as it is.
    uint32_t code = os::LastError();
    os::CloseMapping(mapping_);
    os::CloseFile(file_);
    os::MemoryErrorBox(code, mappingSize_, u" In CDBMapFile::MapFilePos - 002");
    os::FlushDeferredMessages();  // the fatal box is shown even inside a held-back stretch
    os::ExitProcessNow(kMappingFailedExitCode);
  }
  views_[window] = view;
  return true;
}

uint8_t* CDBMapFile::GetPointer(uint32_t offset) {
  if (offset == NO_BLOCK || offset > mappingSize_ || !mapping_.IsValid()) return nullptr;
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
  if (length == 0) return GetPointer(offset);
  // The last byte must lie in the mapping; the overlap makes the run contiguous in the first window.
  return GetPointer(offset);
}

bool CDBMapFile::CheckMapFileSize() {
  if (appendPosition_ <= mappingSize_ - kGrowthReserve && mappingSize_ >= kGrowthReserve) return true;
  uint64_t newSize = uint64_t(mappingSize_) + kGrowthStep;
  if (newSize > kMaxMappingSize) {
    os::ErrorBox(u"The cache file cannot grow beyond 2,097,152,000 bytes. In CDBMapFile::CheckMapFileSize");
    return false;
  }
  UnmapAllViews();
  os::CloseMapping(mapping_);
  mapping_ = {};
  os::MappingHandle grown = os::CreateMapping(file_, pageProtection_, uint32_t(newSize));
  if (!grown.IsValid()) {
    uint32_t code = os::LastError();
    os::CloseFile(file_);
    file_ = {};
    os::MemoryErrorBox(code, uint32_t(newSize), u" In CDBMapFile::CheckMapFileSize - 001");
    return false;
  }
  mapping_ = grown;
  mappingSize_ = uint32_t(newSize);
  return true;
}

bool CDBMapFile::ResizeMapping(uint32_t newSize) {
  UnmapAllViews();
  if (mapping_.IsValid()) os::CloseMapping(mapping_);
  mapping_ = {};
  if (newSize > kMaxMappingSize) {
    os::CloseFile(file_);
    file_ = {};
    return false;
  }
  os::MappingHandle grown = os::CreateMapping(file_, os::kPageReadWrite, newSize);
  if (!grown.IsValid()) {
    os::CloseFile(file_);
    file_ = {};
    return false;
  }
  mapping_ = grown;
  mappingSize_ = newSize;
  return true;
}

void CDBMapFile::UnmapAllViews() {
  for (uint8_t*& view : views_) {
    if (view != nullptr) os::UnmapView(view);
    view = nullptr;
  }
}

bool CDBMapFile::CloseMapFile(bool deleteFile) {
  UnmapAllViews();
  if (mapping_.IsValid()) os::CloseMapping(mapping_);
  mapping_ = {};
  if (file_.IsValid()) os::CloseFile(file_);
  file_ = {};
  if (deleteFile && !path_.empty()) os::DeleteFile(path_);
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
    os::UnmapView(views_[window]);
    views_[window] = nullptr;
  }
  return true;
}

}  // namespace lvx::cache
