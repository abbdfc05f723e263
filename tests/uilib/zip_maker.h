// Hand-made ZIP archives for the reader's tests: entries stored or deflated, with or without data
// descriptors, laid out as local header + name + data, then the directory, then the end record.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

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

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  for (int i = 0; i < 2; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Little-endian fields, each given as (width in bytes, value), or text.
inline void Add(std::vector<uint8_t>& b, std::initializer_list<std::pair<int, uint32_t>> fields) {
  for (auto [width, v] : fields)
    for (int i = 0; i < width; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void AddText(std::vector<uint8_t>& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// A zlib stream without its two-byte header and four-byte checksum is the raw deflate data.
inline std::string RawDeflate(const std::string& data) {
  uLongf length = compressBound(uLong(data.size()));
  std::string out(length, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(data.data()),
            uLong(data.size()), 9);
  return out.substr(2, length - 6);
}

inline ZipLayout MakeZip(const std::vector<ZipFile>& files, bool dataDescriptor = false,
                         const std::string& comment = "") {
  ZipLayout zip;
  std::vector<uint8_t>& b = zip.bytes;
  struct Done { uint32_t crc, csize, size; };
  std::vector<Done> done;
  const uint32_t flags = dataDescriptor ? 8 : 0;
  for (const ZipFile& f : files) {
    const std::string packed = f.method == 8 ? RawDeflate(f.data) : f.data;
    const Done d{uint32_t(crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), uInt(f.data.size()))),
                 uint32_t(packed.size()), uint32_t(f.data.size())};
    done.push_back(d);
    zip.localAt.push_back(b.size());
    // With a descriptor the local header leaves CRC and sizes at 0; they follow the data.
    Add(b, {{4, 0x04034b50}, {2, 20}, {2, flags}, {2, f.method}, {4, 0}, {4, dataDescriptor ? 0 : d.crc},
            {4, dataDescriptor ? 0 : d.csize}, {4, dataDescriptor ? 0 : d.size}, {2, uint32_t(f.name.size())}, {2, 0}});
    AddText(b, f.name);
    AddText(b, packed);
    if (dataDescriptor) Add(b, {{4, 0x08074b50}, {4, d.crc}, {4, d.csize}, {4, d.size}});
  }
  const size_t directoryAt = b.size();
  for (size_t i = 0; i < files.size(); ++i) {
    zip.centralAt.push_back(b.size());
    Add(b, {{4, 0x02014b50}, {2, 20}, {2, 20}, {2, flags}, {2, files[i].method}, {4, 0}, {4, done[i].crc},
            {4, done[i].csize}, {4, done[i].size}, {2, uint32_t(files[i].name.size())}, {2, 0}, {2, 0}, {2, 0},
            {2, 0}, {4, 0}, {4, uint32_t(zip.localAt[i])}});
    AddText(b, files[i].name);
  }
  zip.endAt = b.size();
  Add(b, {{4, 0x06054b50}, {2, 0}, {2, 0}, {2, uint32_t(files.size())}, {2, uint32_t(files.size())},
          {4, uint32_t(zip.endAt - directoryAt)}, {4, uint32_t(directoryAt)}, {2, uint32_t(comment.size())}});
  AddText(b, comment);
  return zip;
}

}  // namespace lvx::uilib::test
