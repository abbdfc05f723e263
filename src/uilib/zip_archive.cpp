#include "uilib/zip_archive.h"

#include <zlib.h>

#include <algorithm>

#include "platform/text.h"

namespace lvx::uilib {
namespace {

// Record signatures and fixed lengths (all fields little-endian).
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndLength = 22;
constexpr size_t kZip64LocatorLength = 20;
constexpr size_t kCentralLength = 46;
constexpr size_t kLocalLength = 30;
constexpr size_t kMaxCommentLength = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;  // local CRC and sizes may be zero

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::u16string Quoted(const std::u16string& name) { return u"the entry \"" + name + u"\""; }
std::u16string Number(uint64_t n) { return U16(std::to_string(n)); }

int Fail(std::u16string* error, std::u16string reason) {
  if (error) *error = std::move(reason);
  return -1;
}

}  // namespace

std::u16string CZipArchive::LookupKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) c = c == u'\\' ? u'/' : FoldAscii(c);
  return key;
}

int CZipArchive::Open(std::vector<uint8_t> bytes, std::u16string* error) {
  bytes_ = std::move(bytes);
  entries_.clear();
  const size_t n = bytes_.size();
  if (n < kEndLength) return Fail(error, u"it is too short to be a ZIP archive");
  // The end record is the last thing in the file but for its comment, whose length it gives: the
  // right record is the one whose comment ends exactly at the end of the file.
  size_t end = SIZE_MAX;
  const size_t lowest = n - kEndLength > kMaxCommentLength ? n - kEndLength - kMaxCommentLength : 0;
  for (size_t at = n - kEndLength + 1; at-- > lowest;) {
    if (Get32(&bytes_[at]) == kEndSignature && at + kEndLength + Get16(&bytes_[at + 20]) == n) {
      end = at;
      break;
    }
  }
  if (end == SIZE_MAX) return Fail(error, u"it has no ZIP end record (not a ZIP archive, or cut short)");
  const uint8_t* e = &bytes_[end];
  const uint16_t disk = Get16(e + 4), directoryDisk = Get16(e + 6);
  const uint16_t countHere = Get16(e + 8), count = Get16(e + 10);
  const uint32_t directorySize = Get32(e + 12), directoryStart = Get32(e + 16);
  if (count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryStart == 0xFFFFFFFF ||
      (end >= kZip64LocatorLength && Get32(&bytes_[end - kZip64LocatorLength]) == kZip64LocatorSignature))
    return Fail(error, u"it is a ZIP64 archive, which is not supported");
  if (disk != 0 || directoryDisk != 0 || countHere != count)
    return Fail(error, u"it spans several disks, which is not supported");
  if (uint64_t(directoryStart) + directorySize > end)
    return Fail(error, u"its directory lies outside the file");
  return ReadDirectory(directoryStart, directorySize, count, error);
}

int CZipArchive::ReadDirectory(uint64_t start, uint64_t size, uint32_t count, std::u16string* error) {
  uint64_t at = start;
  const uint64_t limit = start + size;
  for (uint32_t i = 0; i < count; ++i) {
    if (limit - at < kCentralLength || Get32(&bytes_[at]) != kCentralSignature)
      return Fail(error, u"its directory entry " + Number(i + 1) + u" of " + Number(count) + u" is damaged");
    const uint8_t* c = &bytes_[at];
    const size_t nameLength = Get16(c + 28), extraLength = Get16(c + 30), commentLength = Get16(c + 32);
    if (limit - at - kCentralLength < nameLength + extraLength + commentLength)
      return Fail(error, u"its directory entry " + Number(i + 1) + u" runs past the directory");
    ZipEntry entry;
    entry.name = U16(std::string(reinterpret_cast<const char*>(c + kCentralLength), nameLength));
    entry.key = LookupKey(entry.name);
    entry.flags = Get16(c + 8);
    entry.method = Get16(c + 10);
    entry.crc = Get32(c + 16);
    entry.compressedSize = Get32(c + 20);
    entry.size = Get32(c + 24);
    const uint32_t localOffset = Get32(c + 42);
    if (entry.compressedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || localOffset == 0xFFFFFFFF)
      return Fail(error, Quoted(entry.name) + u" has ZIP64 sizes, which are not supported");
    if (entry.flags & kFlagEncrypted) return Fail(error, Quoted(entry.name) + u" is encrypted");
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
      return Fail(error, Quoted(entry.name) + u" uses compression method " + Number(entry.method) +
                             u", which is not supported");
    if (entry.method == kMethodStored && entry.compressedSize != entry.size)
      return Fail(error, Quoted(entry.name) + u" is stored with two different sizes");
    if (CheckLocalHeader(&entry, localOffset, start, error) != 0) return -1;
    entries_.push_back(std::move(entry));
    at += kCentralLength + nameLength + extraLength + commentLength;
  }
  return 0;
}

int CZipArchive::CheckLocalHeader(ZipEntry* entry, uint32_t localOffset, uint64_t dataLimit,
                                  std::u16string* error) const {
  if (dataLimit < kLocalLength || localOffset > dataLimit - kLocalLength ||
      Get32(&bytes_[localOffset]) != kLocalSignature)
    return Fail(error, Quoted(entry->name) + u" has no local header where the directory says");
  const uint8_t* l = &bytes_[localOffset];
  const size_t nameLength = Get16(l + 26), extraLength = Get16(l + 28);
  const uint64_t dataOffset = uint64_t(localOffset) + kLocalLength + nameLength + extraLength;
  if (dataOffset > dataLimit || dataLimit - dataOffset < entry->compressedSize)
    return Fail(error, u"the data of " + Quoted(entry->name) + u" runs past the end of the data area");
  const uint16_t flags = Get16(l + 6);
  bool same = Get16(l + 8) == entry->method && (flags & kFlagEncrypted) == (entry->flags & kFlagEncrypted) &&
              U16(std::string(reinterpret_cast<const char*>(l + kLocalLength), nameLength)) == entry->name;
  if (!(flags & kFlagDataDescriptor))
    same = same && Get32(l + 14) == entry->crc && Get32(l + 18) == entry->compressedSize &&
           Get32(l + 22) == entry->size;
  if (!same) return Fail(error, u"the local header of " + Quoted(entry->name) + u" differs from its directory entry");
  entry->dataOffset = dataOffset;
  return 0;
}

const ZipEntry* CZipArchive::Find(std::u16string_view name) const {
  const std::u16string key = LookupKey(name);
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const ZipEntry& e) { return e.key == key; });
  return it == entries_.end() ? nullptr : &*it;
}

int CZipArchive::Extract(const ZipEntry& entry, std::vector<uint8_t>* out, std::u16string* error) const {
  if (entry.size > kMaxEntrySize)
    return Fail(error, Quoted(entry.name) + u" is larger than " + Number(kMaxEntrySize >> 20) + u" MB");
  const uint8_t* data = bytes_.data() + entry.dataOffset;
  std::vector<uint8_t> result;
  if (entry.method == kMethodStored) {
    result.assign(data, data + entry.size);
  } else {
    // Deflate cannot expand beyond about 1032 to 1: a larger recorded size is a lie, refused
    // before a buffer of that size is taken.
    if (uint64_t(entry.size) > uint64_t(entry.compressedSize) * 1032 + 64)
      return Fail(error, u"the compressed data of " + Quoted(entry.name) + u" does not inflate to its recorded size");
    // One byte of room beyond the recorded size shows a stream that would inflate to more.
    result.resize(size_t(entry.size) + 1);
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return Fail(error, u"the inflater cannot be started");
    zs.next_in = const_cast<Bytef*>(data);
    zs.avail_in = entry.compressedSize;
    zs.next_out = result.data();
    zs.avail_out = uInt(result.size());
    const int rc = inflate(&zs, Z_FINISH);
    const uint64_t produced = zs.total_out;
    const std::string message = zs.msg ? zs.msg : "";
    inflateEnd(&zs);
    if (rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR)
      return Fail(error, u"the compressed data of " + Quoted(entry.name) + u" is damaged" +
                             (message.empty() ? u"" : u" (" + U16(message) + u")"));
    if (rc != Z_STREAM_END || produced != entry.size)
      return Fail(error, u"the compressed data of " + Quoted(entry.name) + u" does not inflate to its recorded size");
    result.resize(entry.size);
  }
  const uint32_t crc = uint32_t(crc32(0, result.data(), uInt(result.size())));
  if (crc != entry.crc) return Fail(error, Quoted(entry.name) + u" fails its CRC check");
  *out = std::move(result);
  return 0;
}

}  // namespace lvx::uilib
