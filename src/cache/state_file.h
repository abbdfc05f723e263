// The state keys (section STATEINFO) kept in stateinfo.ini beside the cache file, through the profile
// functions (the Win32 ones on Windows; the OS layer's minimal UTF-16LE INI writer on POSIX). Used where
// there is no data folder (the CLI, tests, benchmarks); the program keeps its state in the data
// folder (shell's SettingsStateStore).
#pragma once

#include <string>

#include "cache/engine_sinks.h"

namespace lvx::cache {

class StateFile : public IStateStore {
 public:
  explicit StateFile(std::u16string path) : path_(std::move(path)) {}
  // stateinfo.ini in the folder of the cache file.
  static std::u16string BesideCacheFile(const std::u16string& cachePath);

  bool WriteState(const std::u16string& key, const std::u16string& value) override;
  std::u16string ReadState(const std::u16string& key, const std::u16string& defaultValue) override;
  const std::u16string& Path() const { return path_; }

 private:
  std::u16string path_;
};

}  // namespace lvx::cache
