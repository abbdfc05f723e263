#include "tree_image.h"

#include <fstream>

#include "cache/format.h"

namespace lvx::test {

using namespace lvx::cache;

Node File(const std::u16string& name, uint32_t sizeKB, uint64_t time) {
  Node n;
  n.name = name;
  n.sizeKB = sizeKB;
  n.time = time;
  return n;
}

Node Folder(const std::u16string& name, std::vector<Node> children, uint64_t time) {
  Node n;
  n.name = name;
  n.folder = true;
  n.time = time;
  n.children = std::move(children);
  return n;
}

Node Uncached(const std::u16string& name, uint64_t time) {
  Node n = Folder(name, {}, time);
  n.cached = false;
  return n;
}

void Put16(std::vector<uint8_t>& bytes, uint32_t offset, uint16_t value) {
  StoreU16(bytes.data() + offset, value);
}

void Put32(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value) {
  StoreU32(bytes.data() + offset, value);
}

void WriteBytes(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void TreeImage::AddDrive(char16_t letter, std::vector<Node> contents) {
  drives_[letter] = std::move(contents);
}

namespace {
uint32_t BlockSize(const std::vector<Node>& contents) {
  uint32_t size = 4 + kEndMarkSize;
  for (const Node& n : contents) size += RecordLength(uint32_t(n.name.size()));
  return size;
}
}  // namespace

// Pre-order: the folder's block, then each cached subfolder's block and its subtree.
uint32_t TreeImage::Layout(const std::u16string& path, const std::vector<Node>& contents, uint32_t at) {
  blocks_[path] = at;
  at += BlockSize(contents);
  for (const Node& n : contents)
    if (n.folder && n.cached) at = Layout(path + u"\\" + n.name, n.children, at);
  return at;
}

void TreeImage::Write(std::vector<uint8_t>& out, const std::u16string& path,
                       const std::vector<Node>& contents) {
  uint32_t block = blocks_.at(path);
  Put32(out, block, BlockSize(contents));
  uint32_t at = block + 4;
  for (const Node& n : contents) {
    std::u16string child = path + u"\\" + n.name;
    records_[child] = at;
    Put16(out, at, n.typeOverride ? n.typeOverride : uint16_t(n.folder ? RECORD_FOLDER : RECORD_FILE));
    for (size_t i = 0; i < n.name.size(); ++i) Put16(out, at + 2 + 2 * uint32_t(i), n.name[i]);
    uint32_t tail = at + 2 * uint32_t(n.name.size()) + 4;
    Put16(out, tail - 2, 0);
    uint32_t third = n.folder ? (n.cached ? blocks_.at(child) : NO_BLOCK) : n.sizeKB;
    Put32(out, tail, third);
    Put32(out, tail + 4, uint32_t(n.time));
    Put32(out, tail + 8, uint32_t(n.time >> 32));
    at += RecordLength(uint32_t(n.name.size()));
    if (n.folder && n.cached) Write(out, child, n.children);
  }
  Put16(out, at, RECORD_END);
}

std::vector<uint8_t> TreeImage::Build() {
  blocks_.clear();
  records_.clear();
  uint32_t end = kDataStart;
  for (const auto& [letter, contents] : drives_)
    end = Layout(std::u16string{letter, u':'}, contents, end);
  std::vector<uint8_t> out(end, 0);
  Put32(out, kFormatWordOffset, kFormatWord);
  Put32(out, kDrivesDoneOffset, unfinishedLast_ ? 0 : kAllDrivesDone);
  Put32(out, kDataEndOffset, end);
  Put32(out, kMappedSizeOffset, end);
  Put32(out, kFreeListHeadOffset, NO_BLOCK);
  char16_t last = unfinishedLast_ ? unfinishedLast_ : u'Z';
  Put32(out, kRootBlockOffset, unfinishedLast_ ? 0 : kRootBlockCapacity);
  uint32_t at = kRootRecordsOffset;
  for (char16_t letter = u'A'; letter <= last; ++letter) {
    std::u16string drive{letter, u':'};
    records_[drive] = at;
    Put16(out, at, RECORD_FOLDER);
    Put16(out, at + 2, letter);
    Put16(out, at + 4, u':');
    auto it = drives_.find(letter);
    Put32(out, at + 8, it == drives_.end() ? NO_BLOCK : blocks_.at(drive));
    at += kDriveRecordLength;
  }
  for (const auto& [letter, contents] : drives_) Write(out, std::u16string{letter, u':'}, contents);
  return out;
}

}  // namespace lvx::test
