// Writes cache files for the search tests straight from a tree description, laid out as the full
// build lays them out (header, root block of 26 drive records, folder blocks in pre-order from
// offset 131072), so that a test controls every byte: sizes, times, uncached folders, taken-over
// records and damage.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lvx::test {

struct Node {
  std::u16string name;
  bool folder = false;
  uint32_t sizeKB = 0;
  uint64_t time = 0;
  bool cached = true;      // a folder whose contents are in the cache (else its link is NO_BLOCK)
  uint16_t typeOverride = 0;  // a record type other than 1 or 2 (taken over, unknown)
  std::vector<Node> children;
};

Node File(const std::u16string& name, uint32_t sizeKB = 0, uint64_t time = 0);
Node Folder(const std::u16string& name, std::vector<Node> children = {}, uint64_t time = 0);
Node Uncached(const std::u16string& name, uint64_t time = 0);

class TreeImage {
 public:
  // The contents of a drive's root folder; drives never added have NO_BLOCK.
  void AddDrive(char16_t letter, std::vector<Node> contents);
  // A root block as a build that is still running leaves it: capacity 0 and only the letters up
  // to and including this one.
  void SetRootUnfinished(char16_t lastLetter) { unfinishedLast_ = lastLetter; }

  std::vector<uint8_t> Build();
  // After Build: the block of a folder ("C:", "C:\\a\\b"), and the record of an entry.
  uint32_t BlockOf(const std::u16string& path) const { return blocks_.at(path); }
  uint32_t RecordOf(const std::u16string& path) const { return records_.at(path); }

 private:
  uint32_t Layout(const std::u16string& path, const std::vector<Node>& contents, uint32_t at);
  void Write(std::vector<uint8_t>& out, const std::u16string& path, const std::vector<Node>& contents);

  std::map<char16_t, std::vector<Node>> drives_;
  char16_t unfinishedLast_ = 0;
  std::map<std::u16string, uint32_t> blocks_;
  std::map<std::u16string, uint32_t> records_;
};

void Put16(std::vector<uint8_t>& bytes, uint32_t offset, uint16_t value);
void Put32(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value);
// Writes bytes to a host file, replacing it.
void WriteBytes(const std::string& hostPath, const std::vector<uint8_t>& bytes);

}  // namespace lvx::test
