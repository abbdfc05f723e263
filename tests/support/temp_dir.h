// A throw-away folder for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

#include "platform/os_types.h"

namespace lvx::test {

// Creates a file (and missing parent folders) of the given size in bytes, replacing any.
void MakeFileAt(const std::filesystem::path& path, uint64_t size = 0);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder as a Win32-style path for the engine ("C:\\...\\" on Windows; on POSIX the host
  // path as UTF-16), always ending in the separator.
  const std::u16string& Path() const { return path_; }
  // The host path (UTF-8, native separators), no trailing separator.
  const std::string& HostPath() const { return host_; }

  // Creates a file (and missing parent folders) below the folder with the given size in bytes.
  void MakeFile(const std::string& relative, uint64_t size = 0) const;
  void MakeFolder(const std::string& relative) const;
  std::u16string Child(const std::string& relative) const;

 private:
  std::string host_;
  std::u16string path_;
};

}  // namespace lvx::test
