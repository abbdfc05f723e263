#include "shell/history_store.h"

#include "shell/ini_store.h"
#include "shell/settings_files.h"

namespace lvx::shell {

IniHistoryStore::IniHistoryStore(HistoryKind kind, std::u16string file)
    : section_(kind == HistoryKind::Pattern ? u"PATTERNHISTORY" : u"FOLDERHISTORY"),
      file_(file.empty() ? Paths().settings : std::move(file)) {}

std::u16string IniHistoryStore::Read(const std::u16string& key, const std::u16string& defaultValue) {
  return ReadIniString(section_, key, file_, defaultValue);
}

void IniHistoryStore::Write(const std::u16string& key, const std::u16string& value) {
  WriteIniString(section_, key, value, file_);
}

void IniHistoryStore::Delete(const std::u16string& key) { DeleteIniKey(section_, key, file_); }

void LoadPatternHistory(HistoryList& list) {
  IniHistoryStore store(HistoryKind::Pattern);
  list.Load(store);
}

void AddPatternHistory(HistoryList& list, const std::u16string& pattern) {
  IniHistoryStore store(HistoryKind::Pattern);
  list.Add(pattern, store);
}

void CleanPatternHistory(HistoryList& list) {
  IniHistoryStore store(HistoryKind::Pattern);
  list.Clean(store);
}

void LoadFolderHistory(HistoryList& list) {
  IniHistoryStore store(HistoryKind::Folder);
  list.Load(store);
}

void AddFolderHistory(HistoryList& list, const std::u16string& folder) {
  IniHistoryStore store(HistoryKind::Folder);
  list.Add(folder, store);
}

void CleanFolderHistory(HistoryList& list) {
  IniHistoryStore store(HistoryKind::Folder);
  list.Clean(store);
}

}  // namespace lvx::shell
