// Watching a drive for changes. A watch reports the changes below its root as change records:
//
//   u32 NextEntryOffset (0 for the last) | u32 Action | u32 FileNameLength (bytes) |
//   FileName (UTF-16, relative to the root, '\\'-separated, not NUL-terminated), records 4-aligned
//
// as ReadDirectoryChangesW gives them (on an I/O completion port), so that one walk over the records
// serves every backend; POSIX keeps an inotify watch on every folder and writes the same records.
#pragma once

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
  DirectoryWatch(const DirectoryWatch&) = delete;

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

// The long form of an existing path (8.3 components replaced by their long names), up to 32768
// characters; empty (LastError set) when the path does not exist.
String LongPathOf(const String& path);

}  // namespace lvx::os
