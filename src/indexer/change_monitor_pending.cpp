#include "indexer/change_monitor_pending.h"

#include <cstring>

#include "cache/format.h"
#include "cache/fresh_file_writer.h"
#include "indexer/change_monitor_queue.h"
#include "platform/file.h"
#include "platform/text.h"

namespace lvx::indexer {

namespace {

constexpr char kMagic[8] = {'L', 'V', 'X', 'P', 'E', 'N', 'D', '1'};
constexpr uint32_t kHeaderSize = 16;
// Far beyond 26 queues of folders: a larger file is not one this program wrote.
constexpr uint64_t kMaxFileSize = 256ull << 20;

uint32_t Fnv1a(const uint8_t* bytes, size_t length) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

// A request this program queues: an optional prefix, then "X:\" ... "\".
bool ValidRequest(const std::u16string& request) {
  const std::u16string folder = RequestFolder(request);
  return folder.size() >= 3 && DriveIndex(folder[0]) >= 0 && folder[1] == u':' && folder[2] == u'\\' &&
         folder.back() == u'\\';
}

bool ReadWhole(const std::u16string& path, std::vector<uint8_t>* bytes) {
  os::File file = os::OpenToRead(path);
  if (!file.IsOpen()) return false;
  uint64_t size = 0;
  bool read = os::SizeOf(file, &size) && size <= kMaxFileSize;
  if (read) {
    bytes->resize(size_t(size));
    uint32_t done = 0;
    read = size == 0 || (os::ReadFrom(file, bytes->data(), uint32_t(size), &done) && done == size);
  }
  os::Close(file);
  return read;
}

}  // namespace

std::u16string PendingFilePath(const std::u16string& cachePath) { return cachePath + u".pending"; }

int WritePendingFile(const std::u16string& path, const std::vector<std::u16string>& requests) {
  if (requests.empty()) return os::KindOf(path) == os::PathKind::Missing || os::RemoveFile(path) ? 0 : -1;
  std::vector<uint8_t> bytes(kHeaderSize);
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  uint32_t count = 0;
  for (const std::u16string& request : requests) {
    if (request.size() > 0xFFFF) continue;  // longer than any path the system names
    ++count;
    size_t at = bytes.size();
    bytes.resize(at + 2 + 2 * request.size());
    cache::StoreU16(&bytes[at], uint16_t(request.size()));
    for (size_t i = 0; i < request.size(); ++i) cache::StoreU16(&bytes[at + 2 + 2 * i], request[i]);
  }
  cache::StoreU32(&bytes[8], count);
  cache::StoreU32(&bytes[12], Fnv1a(bytes.data() + kHeaderSize, bytes.size() - kHeaderSize));
  // A stop in the middle leaves the old file whole: the new one only replaces it once complete.
  std::u16string fresh = path + cache::kReplacementSuffix;
  os::File file = os::CreateAnew(fresh);
  if (!file.IsOpen()) return -1;
  bool written = os::WriteTo(file, bytes.data(), uint32_t(bytes.size()));
  os::Close(file);
  if (written && os::MoveOver(fresh, path)) return 0;
  os::RemoveFile(fresh);
  return -1;
}

PendingRead ReadPendingFile(const std::u16string& path, std::vector<std::u16string>* requests) {
  requests->clear();
  if (os::KindOf(path) == os::PathKind::Missing) return PendingRead::Missing;
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, &bytes) || bytes.size() < kHeaderSize ||
      std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
      cache::LoadU32(&bytes[12]) != Fnv1a(bytes.data() + kHeaderSize, bytes.size() - kHeaderSize))
    return PendingRead::Damaged;
  uint32_t count = cache::LoadU32(&bytes[8]);
  size_t at = kHeaderSize;
  std::vector<std::u16string> read;
  for (uint32_t i = 0; i < count; ++i) {
    if (bytes.size() - at < 2) return PendingRead::Damaged;
    size_t length = cache::LoadU16(&bytes[at]);
    at += 2;
    if ((bytes.size() - at) / 2 < length) return PendingRead::Damaged;
    std::u16string request(length, u'\0');
    for (size_t c = 0; c < length; ++c) request[c] = cache::LoadU16(&bytes[at + 2 * c]);
    at += 2 * length;
    if (!ValidRequest(request)) return PendingRead::Damaged;
    read.push_back(std::move(request));
  }
  if (at != bytes.size()) return PendingRead::Damaged;
  *requests = std::move(read);
  return PendingRead::Read;
}

}  // namespace lvx::indexer
