// The state keys (section STATEINFO) kept in stateinfo.ini beside the cache file, through the OS
// layer's INI values. Used where there is no data folder (the CLI, tests, benchmarks); the program
// keeps its state in the data folder (shell's SettingsStateStore).
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
