#include "cache/state_file.h"

#include "platform/ini.h"

namespace lvx::cache {

std::u16string StateFile::BesideCacheFile(const std::u16string& cachePath) {
  size_t slash = cachePath.find_last_of(u"\\/");
  std::u16string folder = slash == std::u16string::npos ? u"" : cachePath.substr(0, slash + 1);
  return folder + u"stateinfo.ini";
}

bool StateFile::WriteState(const std::u16string& key, const std::u16string& value) {
  return os::IniWrite(u"STATEINFO", key, value, path_);
}

std::u16string StateFile::ReadState(const std::u16string& key, const std::u16string& defaultValue) {
  return os::IniRead(u"STATEINFO", key, defaultValue, path_);
}

}  // namespace lvx::cache
