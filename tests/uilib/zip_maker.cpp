#include "uilib/zip_maker.h"

#include <zlib.h>

namespace lvx::uilib::test {
namespace {

void Add16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Add32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void AddText(std::vector<uint8_t>& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

std::string RawDeflate(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, uLong(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = uInt(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

}  // namespace

ZipLayout MakeZip(const std::vector<ZipFile>& files, bool dataDescriptor, const std::string& comment) {
  ZipLayout zip;
  std::vector<uint8_t>& b = zip.bytes;
  struct Done { uint32_t crc, csize, size; };
  std::vector<Done> done;
  for (const ZipFile& f : files) {
    const std::string packed = f.method == 8 ? RawDeflate(f.data) : f.data;
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), uInt(f.data.size())));
    done.push_back({crc, uint32_t(packed.size()), uint32_t(f.data.size())});
    zip.localAt.push_back(b.size());
    Add32(b, 0x04034b50);
    Add16(b, 20);
    Add16(b, dataDescriptor ? 8 : 0);
    Add16(b, f.method);
    Add32(b, 0);  // time and date
    Add32(b, dataDescriptor ? 0 : crc);
    Add32(b, dataDescriptor ? 0 : uint32_t(packed.size()));
    Add32(b, dataDescriptor ? 0 : uint32_t(f.data.size()));
    Add16(b, uint16_t(f.name.size()));
    Add16(b, 0);
    AddText(b, f.name);
    AddText(b, packed);
    if (dataDescriptor) {
      Add32(b, 0x08074b50);
      Add32(b, crc);
      Add32(b, uint32_t(packed.size()));
      Add32(b, uint32_t(f.data.size()));
    }
  }
  const size_t directoryAt = b.size();
  for (size_t i = 0; i < files.size(); ++i) {
    zip.centralAt.push_back(b.size());
    Add32(b, 0x02014b50);
    Add16(b, 20);
    Add16(b, 20);
    Add16(b, dataDescriptor ? 8 : 0);
    Add16(b, files[i].method);
    Add32(b, 0);
    Add32(b, done[i].crc);
    Add32(b, done[i].csize);
    Add32(b, done[i].size);
    Add16(b, uint16_t(files[i].name.size()));
    Add16(b, 0);  // extra
    Add16(b, 0);  // comment
    Add16(b, 0);  // disk
    Add16(b, 0);
    Add32(b, 0);
    Add32(b, uint32_t(zip.localAt[i]));
    AddText(b, files[i].name);
  }
  zip.endAt = b.size();
  Add32(b, 0x06054b50);
  Add16(b, 0);
  Add16(b, 0);
  Add16(b, uint16_t(files.size()));
  Add16(b, uint16_t(files.size()));
  Add32(b, uint32_t(zip.endAt - directoryAt));
  Add32(b, uint32_t(directoryAt));
  Add16(b, uint16_t(comment.size()));
  AddText(b, comment);
  return zip;
}

}  // namespace lvx::uilib::test
