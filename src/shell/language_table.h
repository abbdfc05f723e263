// The process-wide language string table: text key -> display text. The program registers the keys
// it wants translated with their built-in English texts; a language file (".\Language\*.ini", an INI
// file with [INFO] Language = display name and [STRING] key = text) chosen by SETTING_INFO/LANGUAGE
// overrides them. A key that is not in the table in force reads as an empty text.
//
// Filled once while the main window initialises, read from any thread afterwards; a lock keeps a
// late registration or a test's reload from racing a lookup.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lvx::shell {

// The escape rule of [STRING] values: "\n" is a line feed, "\r" a carriage return, and a backslash
// before any other character is dropped. A run of backslashes before a character leaves just that
// character (translated), so a backslash can only stand at the end of a value, where it stays.
std::u16string ConvertEscapes(const std::u16string& value);

constexpr char16_t kDefaultLanguageName[] = u"English";
constexpr char16_t kDefaultLanguagePath[] = u".\\language\\en.ini";

class LanguageTable {
 public:
  // Reads [STRING] key of the chosen file (empty when missing).
  using StringReader = std::function<std::u16string(const std::u16string& key)>;

  // A built-in key and its text.
  void RegisterDefault(const std::u16string& key, const std::u16string& text);
  // A language file found in the language folder; a later file naming the same language replaces
  // the earlier one.
  void AddLanguage(const std::u16string& name, const std::u16string& path);
  bool HasLanguage(const std::u16string& name) const;
  // The file of a listed language, or empty.
  std::u16string PathOf(const std::u16string& name) const;
  std::vector<std::u16string> LanguageNames() const;

  // Chooses a listed language: the texts in force become the built-in ones, each overridden by the
  // non-empty (escape-converted) value the reader gives. False, with the texts in force emptied,
  // when the name is not listed.
  bool Select(const std::u16string& name, const StringReader& read);
  // The path of the language file in force (".\language\en.ini" until one is chosen).
  std::u16string LanguagePath() const;

  // The text in force for a key, or empty.
  std::u16string Lookup(const std::u16string& key) const;

  // Forgets the languages and the texts in force (the built-in keys stay).
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::map<std::u16string, std::u16string> defaults_;   // guarded by mutex_
  std::map<std::u16string, std::u16string> current_;    // guarded by mutex_
  std::map<std::u16string, std::u16string> languages_;  // name -> path, guarded by mutex_
  std::u16string languagePath_ = kDefaultLanguagePath;  // guarded by mutex_
};

// The program's one table.
LanguageTable& Language();

}  // namespace lvx::shell
