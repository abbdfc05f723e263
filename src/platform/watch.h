// Watching a drive for changes. A watch reports the changes below its root as change records:
//
//   u32 NextEntryOffset (0 for the last) | u32 Action | u32 FileNameLength (bytes) |
//   FileName (UTF-16, relative to the root, '\\'-separated, not NUL-terminated), records 4-aligned
//
// as ReadDirectoryChangesW gives them (on an I/O completion port), so that one walk over the records
// serves every backend; POSIX keeps an inotify watch on every folder and writes the same records.
#pragma once

#include <cstring>
#include <memory>

#include "platform/os_types.h"

namespace lvx::os {

constexpr uint32_t kActionAdded = 1;
constexpr uint32_t kActionRemoved = 2;
constexpr uint32_t kActionModified = 3;
constexpr uint32_t kActionRenamedOldName = 4;
constexpr uint32_t kActionRenamedNewName = 5;

class DirectoryWatch {
 public:
  DirectoryWatch();
  ~DirectoryWatch();

  // Starts watching below a root ("C:\\"); false (LastError set) when it cannot.
  bool Open(const String& root);
  // Waits without limit for changes and fills the buffer with change records; records that do not
  // fit come with the next Read. Returns the bytes filled; 0 when woken by Wake() or when the
  // system dropped changes; -1 when the read failed (LastError set).
  int Read(uint8_t* buffer, uint32_t size);
  // Wakes a Read in progress, or the next one, with 0 bytes; from any thread, before Open too.
  void Wake();
  void Close();
  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// For the backends: copies the change records at data[at, end) that fit into size bytes of buffer,
// renumbering offsets, and moves at past them. A record too large alone or a loss mark (action 0) is
// dropped when first, else ends the copy; a malformed one drops the rest. Returns the bytes filled.
inline int DeliverChangeRecords(const uint8_t* data, size_t& at, size_t end, uint8_t* buffer, uint32_t size) {
  auto u32 = [data](size_t from) { uint32_t v; std::memcpy(&v, data + from, 4); return v; };
  size_t used = 0, last = SIZE_MAX;
  while (at + 12 <= end) {
    const size_t next = u32(at), bytes = 12 + size_t(u32(at + 8)), length = (bytes + 3) & ~size_t(3);
    const bool malformed = at + bytes > end || (next != 0 && next < bytes);
    if (malformed || u32(at + 4) == 0 || used + length > (size & ~3u)) {
      if (malformed || used == 0) at = next && !malformed ? at + next : end;
      break;
    }
    const uint32_t offset = uint32_t(used - last);
    std::memcpy(buffer + used, data + at, bytes);
    std::memset(buffer + used + bytes, 0, length - bytes);
    std::memset(buffer + used, 0, 4);
    if (last != SIZE_MAX) std::memcpy(buffer + last, &offset, 4);
    last = used;
    used += length;
    at = next ? at + next : end;
  }
  return int(used);
}

// The long form of an existing path (8.3 components replaced by their long names), up to 32768
// characters; empty (LastError set) when the path does not exist.
String LongPathOf(const String& path);

}  // namespace lvx::os
