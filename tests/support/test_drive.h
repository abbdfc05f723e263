// A drive letter whose root is an empty folder the test fills. POSIX: the letter is mapped to a fresh
// temporary folder. Windows (wine): drive T: is a folder that the test fixture links into the wine
// prefix; it is emptied when a TestDrive is made and when it ends.
#pragma once

#include <memory>
#include <string>

#include "support/temp_dir.h"

namespace lvx::test {

class TestDrive {
 public:
  TestDrive();
  ~TestDrive();
  char16_t Letter() const { return letter_; }
  uint32_t Mask() const { return 1u << (letter_ - u'A'); }
  // "T:\\"
  std::u16string Root() const;
  // Engine path of an entry below the root ("T:\\a\\b"), from a '/'-separated relative path.
  std::u16string Path(const std::string& relative) const;
  // Host path of the root (no trailing separator).
  const std::string& HostRoot() const { return host_; }
  void MakeFile(const std::string& relative, uint64_t size = 0) const;
  void MakeFolder(const std::string& relative) const;
  void Remove(const std::string& relative) const;
  void Rename(const std::string& from, const std::string& to) const;

 private:
  char16_t letter_;
  std::string host_;
  std::unique_ptr<TempDir> temp_;
};

}  // namespace lvx::test
