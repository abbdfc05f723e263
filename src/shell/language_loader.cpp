#include "shell/language_loader.h"

#include <windows.h>

#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/win_text.h"

namespace lvx::shell {

void ListLanguageFiles(LanguageTable& table, const std::u16string& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(W(folder + u"*.ini"), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::u16string path = folder + FromW(data.cFileName);
    std::u16string name = ReadIniString(u"INFO", u"Language", path, u"");
    if (!name.empty()) table.AddLanguage(name, path);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

bool LoadLanguageTable(LanguageTable& table, const std::u16string& folder) {
  ListLanguageFiles(table, folder);
  const std::u16string& settings = Paths().settings;
  std::u16string name = ReadIniString(u"SETTING_INFO", u"LANGUAGE", settings, kDefaultLanguageName);
  if (!table.HasLanguage(name)) {
    table.Select(name, nullptr);  // empties the texts in force
    return false;
  }
  WriteIniString(u"SETTING_INFO", u"LANGUAGE", name, settings);
  std::u16string path = table.PathOf(name);
  return table.Select(name, [&path](const std::u16string& key) {
    return ReadIniString(u"STRING", key, path, u"");
  });
}

}  // namespace lvx::shell
