#include "shell/language_loader.h"

#include "platform/dir.h"
#include "platform/text.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"

namespace lvx::shell {

void ListLanguageFiles(LanguageTable& table, const std::u16string& folder) {
  os::FolderListing listing;
  os::FolderEntry entry;
  if (!listing.Open(folder)) return;
  while (listing.Next(&entry)) {
    std::u16string file = entry.name;
    if (entry.isFolder || file.size() < 4 || !EqualsFolded(file.substr(file.size() - 4), u".ini"))
      continue;
    std::u16string path = folder + file;
    std::u16string name = ReadIniString(u"INFO", u"Language", path, u"");
    if (!name.empty()) table.AddLanguage(name, path);
  }
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
