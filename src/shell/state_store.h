// The STATEINFO keys of stateinfo.ini (FirstRun, ProgramExit, UpdateCacheExit, CacheFileVersion,
// CacheFileSize) for the cache build and compaction, which write them from their own threads. The
// profile functions serialise access to the file; no two threads write the same key.
#pragma once

#include <string>

#include "cache/engine_sinks.h"

namespace lvx::shell {

class SettingsStateStore : public cache::IStateStore {
 public:
  // stateinfo.ini of the data folder unless another file is named.
  explicit SettingsStateStore(std::u16string file = {});
  bool WriteState(const std::u16string& key, const std::u16string& value) override;
  std::u16string ReadState(const std::u16string& key, const std::u16string& defaultValue) override;

 private:
  std::u16string file_;
};

}  // namespace lvx::shell
