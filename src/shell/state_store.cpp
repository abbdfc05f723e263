#include "shell/state_store.h"

#include "shell/ini_store.h"
#include "shell/settings_files.h"

namespace lvx::shell {

SettingsStateStore::SettingsStateStore(std::u16string file)
    : file_(file.empty() ? Paths().stateInfo : std::move(file)) {}

bool SettingsStateStore::WriteState(const std::u16string& key, const std::u16string& value) {
  return WriteIniString(u"STATEINFO", key, value, file_);
}

std::u16string SettingsStateStore::ReadState(const std::u16string& key, const std::u16string& defaultValue) {
  return ReadIniString(u"STATEINFO", key, file_, defaultValue);
}

}  // namespace lvx::shell
