// The object behind a FileHandle on POSIX, shared by the file and mapping code.
#pragma once

#include <sys/stat.h>

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

// Whether the file has a mapping object or a view in this process. Such a file is not cut short
// (truncated, recreated, copied over): its views would fault with SIGBUS past the new end, where
// Windows refuses the cut with ERROR_USER_MAPPED_FILE.
constexpr uint32_t kErrorUserMappedFile = 1224;
bool IsUserMapped(const struct stat& st);

}  // namespace lvx::os::posix
