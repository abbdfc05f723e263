// The histories kept in settings.ini: [PATTERNHISTORY] and [FOLDERHISTORY], and the main window's
// six history operations over them.
#pragma once

#include <string>

#include "shell/history_list.h"

namespace lvx::shell {

class IniHistoryStore : public IHistoryStore {
 public:
  // The section of the kind in the given file (settings.ini by default).
  explicit IniHistoryStore(HistoryKind kind, std::u16string file = {});
  std::u16string Read(const std::u16string& key, const std::u16string& defaultValue) override;
  void Write(const std::u16string& key, const std::u16string& value) override;
  void Delete(const std::u16string& key) override;

 private:
  std::u16string section_;
  std::u16string file_;
};

void LoadPatternHistory(HistoryList& list);
void AddPatternHistory(HistoryList& list, const std::u16string& pattern);
void CleanPatternHistory(HistoryList& list);
void LoadFolderHistory(HistoryList& list);
void AddFolderHistory(HistoryList& list, const std::u16string& folder);
void CleanFolderHistory(HistoryList& list);

}  // namespace lvx::shell
