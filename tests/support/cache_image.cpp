#include "support/cache_image.h"

#include <fstream>
#include <stdexcept>

#include "platform/drive.h"

namespace lvx::test {

using namespace cache;

namespace {
std::string HostName(const std::u16string& path) {
  std::string host = os::HostPath(path);
  return host.empty() ? os::ToHostBytes(path) : host;
}
}  // namespace

uint32_t BlockSize(const std::vector<Entry>& entries) {
  uint32_t size = 4 + kEndMarkSize;
  for (const Entry& e : entries) size += RecordLength(uint32_t(e.name.size()));
  return size;
}

CacheImage::CacheImage(uint32_t size) : bytes(size, 0) {
  SetU32(kFormatWordOffset, kFormatWord);
  SetU32(kDrivesDoneOffset, kAllDrivesDone);
  SetU32(kDataEndOffset, size);
  SetU32(kMappedSizeOffset, size);
  SetU32(kFreeListHeadOffset, NO_BLOCK);
  std::vector<Entry> drives;
  for (int i = 0; i < 26; ++i)
    drives.push_back({std::u16string{char16_t(u'A' + i), u':'}, true, NO_BLOCK});
  Block(kRootBlockOffset, drives);
}

uint32_t CacheImage::Block(uint32_t offset, const std::vector<Entry>& entries, uint32_t capacity) {
  uint32_t size = BlockSize(entries);
  if (capacity == 0) capacity = size;
  if (offset + std::max(size, capacity) > bytes.size()) throw std::out_of_range("block past the image");
  SetU32(offset, capacity);
  uint32_t at = offset + 4;
  for (const Entry& e : entries) {
    CacheItem item{e.name.c_str(), e.sizeOrLink, uint8_t(e.folder), e.timeLow, e.timeHigh};
    at += EncodeRecord(&bytes[at], item);
  }
  SetU16(at, RECORD_END);
  return capacity;
}

Node File(const std::u16string& name, uint32_t sizeKB, uint64_t time) { return Node{name, false, sizeKB, time, true, 0, {}}; }

Node Folder(const std::u16string& name, std::vector<Node> children, uint64_t time) {
  return Node{name, true, 0, time, true, 0, std::move(children)};
}

Node Uncached(const std::u16string& name, uint64_t time) { return Node{name, true, 0, time, false, 0, {}}; }

CacheImage CacheImage::FromTree(const std::map<char16_t, std::vector<Node>>& drives) {
  CacheImage image(kDataStart);
  uint32_t end = kDataStart;
  for (const auto& [letter, contents] : drives) {
    image.SetDrive(letter, end);
    end = image.AddTree(std::u16string{letter, u':'}, contents, end);
  }
  image.SetU32(kDataEndOffset, end);
  image.SetU32(kMappedSizeOffset, end);
  return image;
}

// Pre-order: the folder's block, then each cached subfolder's block with its subtree.
uint32_t CacheImage::AddTree(const std::u16string& path, const std::vector<Node>& contents, uint32_t at) {
  std::vector<Entry> entries;
  for (const Node& n : contents)
    entries.push_back({n.name, n.folder, n.folder ? NO_BLOCK : n.sizeKB, uint32_t(n.time), uint32_t(n.time >> 32)});
  uint32_t end = at + BlockSize(entries);
  for (size_t i = 0; i < contents.size(); ++i) {
    if (!contents[i].folder || !contents[i].cached) continue;
    entries[i].sizeOrLink = end;
    end = AddTree(path + u"\\" + contents[i].name, contents[i].children, end);
  }
  if (bytes.size() < end) bytes.resize(end);
  Block(at, entries);
  blocks_[path] = at;
  uint32_t record = at + 4;
  for (const Node& n : contents) {
    records_[path + u"\\" + n.name] = record;
    if (n.typeOverride) SetU16(record, n.typeOverride);
    record += RecordLength(uint32_t(n.name.size()));
  }
  return end;
}

uint32_t CacheImage::LinkOf(const std::u16string& path) const {
  if (path.size() == 2) return kRootRecordsOffset + (path[0] - u'A') * kDriveRecordLength + 8;
  size_t name = path.rfind(u'\\') + 1;
  return RecordOf(path) + 2 * uint32_t(path.size() - name) + 4;
}

uint32_t CacheImage::LinkOffset(uint32_t block, size_t index) const {
  uint32_t at = block + 4;
  for (size_t i = 0;; ++i) {
    uint32_t n = 0;
    while (bytes[at + 2 + 2 * n] | bytes[at + 3 + 2 * n]) ++n;
    if (i == index) return at + 2 * n + 4;
    at += RecordLength(n);
  }
}

void CacheImage::SetDrive(char16_t letter, uint32_t block) {
  SetU32(kRootRecordsOffset + (letter - u'A') * kDriveRecordLength + 8, block);
}

void CacheImage::FreeList(const std::vector<uint32_t>& blocks) {
  SetU32(kFreeListHeadOffset, blocks.empty() ? NO_BLOCK : blocks[0]);
  for (size_t i = 0; i < blocks.size(); ++i)
    SetU32(blocks[i] + 4, i + 1 < blocks.size() ? blocks[i + 1] : NO_BLOCK);
}

void CacheImage::SetU32(uint32_t offset, uint32_t value) { StoreU32(&bytes.at(offset + 3) - 3, value); }
void CacheImage::SetU16(uint32_t offset, uint16_t value) { StoreU16(&bytes.at(offset + 1) - 1, value); }

void CacheImage::WriteTo(const std::u16string& path) const {
  std::ofstream out(HostName(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> CacheImage::ReadFrom(const std::u16string& path) {
  std::ifstream in(HostName(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace lvx::test
