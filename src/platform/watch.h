// Change notifications for a whole drive. A watch reports the changes below its root as change
// records in the layout of FILE_NOTIFY_INFORMATION, so that one record walk serves every backend:
//
//   u32 NextEntryOffset (0 for the last) | u32 Action | u32 FileNameLength (bytes) |
//   FileName (UTF-16, relative to the root, '\\'-separated, not NUL-terminated), records 4-aligned
//
// Windows: ReadDirectoryChangesW over the subtree on an I/O completion port; Wake() posts an empty
// completion packet. POSIX: inotify with a watch per folder of the mapped drive's tree, added as
// folders appear; events are turned into the same records.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/os_types.h"

namespace lvx::os {

constexpr uint32_t kActionAdded = 1;
constexpr uint32_t kActionRemoved = 2;
constexpr uint32_t kActionModified = 3;
constexpr uint32_t kActionRenamedOldName = 4;
constexpr uint32_t kActionRenamedNewName = 5;

// File name, directory name, size, creation time, security.
constexpr uint32_t kChangeFilter = 0x14B;

class DirectoryWatch {
 public:
  DirectoryWatch();
  ~DirectoryWatch();
  DirectoryWatch(const DirectoryWatch&) = delete;
  DirectoryWatch& operator=(const DirectoryWatch&) = delete;

  // Opens the drive root ("C:\\") for change reading; false (LastError set) when it cannot.
  bool Open(const String& root);
  // Waits without limit for changes below the root and fills the buffer with change records.
  // Returns the bytes filled; 0 when woken by Wake() or when the system dropped changes (an
  // overflow); -1 when the read failed (LastError set).
  int Read(uint8_t* buffer, uint32_t size);
  // Wakes a Read in progress (or the next one) with 0 bytes. Callable from any thread.
  void Wake();
  void Close();
  bool IsOpen() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// GetLongPathNameW: the long form of an existing path (8.3 components replaced by their long names).
// Empty (LastError set) when the path does not exist. Up to 32768 characters.
String GetLongPathName(const String& path);

}  // namespace lvx::os
