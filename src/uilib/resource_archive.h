// The user interface's resources: one ZIP archive on disk (the layout and its images), read whole
// and checked once, then served file by file. Every failure comes back as a message that names the
// archive and says what is wrong with it, for the caller to show; nothing here shows a box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uilib/zip_archive.h"

namespace lvx::uilib {

class CResourceArchive {
 public:
  static constexpr uint64_t kMaxArchiveSize = 256u << 20;

  // Reads and checks the archive at path (a Win32 path): 0, or -1 with the message in *error.
  int Load(const std::u16string& path, std::u16string* error);
  // The same for an archive already in memory; path only names it in messages.
  int LoadBytes(std::vector<uint8_t> bytes, const std::u16string& path, std::u16string* error);

  bool IsLoaded() const { return loaded_; }
  const std::u16string& Path() const { return path_; }
  const CZipArchive& Zip() const { return zip_; }

  // One file of the archive, checked: 0, or -1 with the message in *error.
  int ReadFile(std::u16string_view name, std::vector<uint8_t>* out, std::u16string* error) const;

 private:
  std::u16string Subject() const { return u"The user-interface archive \"" + path_ + u"\""; }

  CZipArchive zip_;
  std::u16string path_;
  bool loaded_ = false;
};

}  // namespace lvx::uilib
