// Reader of the ZIP archive that carries the user interface's layout and images.
//
// Only what a resource archive needs: one disk, no ZIP64, no encryption, entries stored (method 0)
// or deflated (method 8, inflated with zlib's raw inflate). Open() reads the end record and the
// central directory and checks every local header against its directory entry, so a damaged
// archive is refused as a whole at start rather than half-used; Extract() inflates one entry into
// exactly its recorded size and checks its CRC-32. Every offset and length is checked against the
// file before it is used, and every failure comes back as a reason text, never as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx::uilib {

struct ZipEntry {
  std::u16string name;  // as stored, decoded from UTF-8 (bad bytes as U+FFFD)
  std::u16string key;   // lookup key: '\' as '/', A-Z folded to a-z
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t size = 0;
  uint64_t dataOffset = 0;  // first byte of the entry's data, after its local header
};

class CZipArchive {
 public:
  static constexpr uint16_t kMethodStored = 0;
  static constexpr uint16_t kMethodDeflated = 8;
  // Larger entries are refused before anything is allocated for them.
  static constexpr uint32_t kMaxEntrySize = 64u << 20;

  // Takes the archive's bytes and checks its directory: 0, or -1 with the reason in *error.
  int Open(std::vector<uint8_t> bytes, std::u16string* error);

  const std::vector<ZipEntry>& Entries() const { return entries_; }
  // The entry with this name ('\' and '/' alike, A-Z without regard to case), or null.
  const ZipEntry* Find(std::u16string_view name) const;
  // The entry's contents, checked against its size and CRC: 0, or -1 with the reason in *error.
  int Extract(const ZipEntry& entry, std::vector<uint8_t>* out, std::u16string* error) const;

  static std::u16string LookupKey(std::u16string_view name);

 private:
  int ReadDirectory(uint64_t start, uint64_t size, uint32_t count, std::u16string* error);
  int CheckLocalHeader(ZipEntry* entry, uint32_t localOffset, uint64_t dataLimit,
                       std::u16string* error) const;

  std::vector<uint8_t> bytes_;
  std::vector<ZipEntry> entries_;
};

}  // namespace lvx::uilib
