// Hand-made ZIP archives for the reader's tests: entries stored or deflated, with or without data
// descriptors, laid out as local header + name + data, then the directory, then the end record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lvx::uilib::test {

struct ZipFile {
  std::string name;
  std::string data;
  uint16_t method = 8;  // 0 stored, 8 deflated
};

struct ZipLayout {
  std::vector<uint8_t> bytes;
  std::vector<size_t> localAt;    // offset of each local header
  std::vector<size_t> centralAt;  // offset of each directory entry
  size_t endAt = 0;               // offset of the end record
};

ZipLayout MakeZip(const std::vector<ZipFile>& files, bool dataDescriptor = false, const std::string& comment = "");

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

}  // namespace lvx::uilib::test
