// Listing a folder: each entry with the facts the cache keeps, "." and ".." first where the system
// lists them (every folder but a drive root; callers skip them, and count them where they always
// have). A listing keeps its buffers from folder to folder. POSIX lists in the order NTFS keeps
// (UTF-16 units with a-z read as A-Z, equal keys by their own units), so that a cache built from a
// tree is always the same, and never follows a symbolic link: it is a file of its own size.
#pragma once

#include <memory>
#include <string_view>

#include "platform/os_types.h"

namespace lvx::os {

struct FolderEntry {
  char16_t name[260] = {};
  bool isFolder = false;
  uint32_t sizeHigh = 0, sizeLow = 0;  // folders have no size
  FileTime lastWriteTime;
};

class FolderListing {
 public:
  FolderListing();
  ~FolderListing();

  // Starts listing a folder (its path ends in the separator); false (LastError set) when it cannot.
  bool Open(std::u16string_view folder);
  // The next entry; false at the end (LastError Error::None) or on a failure.
  bool Next(FolderEntry* entry);
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lvx::os
