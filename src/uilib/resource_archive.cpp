#include "uilib/resource_archive.h"

#include "platform/file.h"
#include "platform/text.h"

namespace lvx::uilib {
namespace {

// The system's text without the line break it ends with.
std::u16string Reason(uint32_t code) {
  std::u16string text = os::SystemErrorText(code);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  return text.empty() ? u"error " + std::u16string(U16(std::to_string(code))) : text;
}

}  // namespace

int CResourceArchive::Load(const std::u16string& path, std::u16string* error) {
  loaded_ = false;
  path_ = path;
  os::File file = os::OpenToRead(path);
  if (!file.IsOpen()) {
    *error = Subject() + u" cannot be opened: " + Reason(os::LastError());
    return -1;
  }
  uint64_t size = 0;
  std::vector<uint8_t> bytes;
  bool ok = os::SizeOf(file, &size);
  if (ok && size > kMaxArchiveSize) {
    os::Close(file);
    *error = Subject() + u" is too large to be the program's archive.";
    return -1;
  }
  if (ok) bytes.resize(size_t(size));
  for (size_t at = 0; ok && at < bytes.size();) {
    uint32_t done = 0;
    ok = os::ReadFrom(file, bytes.data() + at, uint32_t(bytes.size() - at), &done);
    if (ok && done == 0) bytes.resize(at);  // the file shrank while being read
    at += done;
  }
  const uint32_t code = os::LastError();
  os::Close(file);
  if (!ok) {
    *error = Subject() + u" cannot be read: " + Reason(code);
    return -1;
  }
  return LoadBytes(std::move(bytes), path, error);
}

int CResourceArchive::LoadBytes(std::vector<uint8_t> bytes, const std::u16string& path,
                                std::u16string* error) {
  path_ = path;
  std::u16string reason;
  loaded_ = zip_.Open(std::move(bytes), &reason) == 0;
  if (!loaded_) *error = Subject() + u" is damaged: " + reason + u".";
  return loaded_ ? 0 : -1;
}

int CResourceArchive::ReadFile(std::u16string_view name, std::vector<uint8_t>* out,
                               std::u16string* error) const {
  if (!loaded_) {
    *error = u"No user-interface archive is loaded.";
    return -1;
  }
  const ZipEntry* entry = zip_.Find(name);
  if (!entry) {
    *error = Subject() + u" has no file \"" + std::u16string(name) + u"\".";
    return -1;
  }
  std::u16string reason;
  if (zip_.Extract(*entry, out, &reason) != 0) {
    *error = Subject() + u" is damaged: " + reason + u".";
    return -1;
  }
  return 0;
}

}  // namespace lvx::uilib
