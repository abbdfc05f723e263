// The object behind a FileHandle on POSIX, shared by the file and mapping code.
#pragma once

#include <string>

#include "platform/file.h"

namespace lvx::os::posix {

struct PosixFile {
  int fd = -1;
  bool readable = false;
  bool writable = false;
  bool deleteOnClose = false;
  std::string hostPath;  // kept for delete-on-close only
};

// The file of a handle, or null with LastError kErrorInvalidHandle.
PosixFile* FileOf(FileHandle file);

}  // namespace lvx::os::posix
