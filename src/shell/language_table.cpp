#include "shell/language_table.h"

namespace lvx::shell {

// The rule is stated as "remove the first backslash that has a character after it, translate that
// character, start again from the beginning". Nothing before the removed backslash can match again,
// and a kept backslash is matched again at once, so a run of backslashes followed by a character
// collapses to that one character translated, and a run at the end collapses to one backslash:
// the same result in one pass.
std::u16string ConvertEscapes(const std::u16string& value) {
  std::u16string out;
  out.reserve(value.size());
  size_t i = 0;
  while (i < value.size()) {
    if (value[i] != u'\\') {
      out.push_back(value[i++]);
      continue;
    }
    while (i < value.size() && value[i] == u'\\') ++i;
    if (i == value.size()) {
      out.push_back(u'\\');
      break;
    }
    char16_t c = value[i++];
    out.push_back(c == u'n' ? u'\n' : c == u'r' ? u'\r' : c);
  }
  return out;
}

void LanguageTable::RegisterDefault(const std::u16string& key, const std::u16string& text) {
  std::lock_guard<std::mutex> hold(mutex_);
  defaults_[key] = text;
}

void LanguageTable::AddLanguage(const std::u16string& name, const std::u16string& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  languages_[name] = path;
}

bool LanguageTable::HasLanguage(const std::u16string& name) const {
  std::lock_guard<std::mutex> hold(mutex_);
  return languages_.count(name) != 0;
}

std::u16string LanguageTable::PathOf(const std::u16string& name) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = languages_.find(name);
  return it == languages_.end() ? std::u16string() : it->second;
}

std::vector<std::u16string> LanguageTable::LanguageNames() const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<std::u16string> names;
  for (const auto& entry : languages_) names.push_back(entry.first);
  return names;
}

bool LanguageTable::Select(const std::u16string& name, const StringReader& read) {
  std::map<std::u16string, std::u16string> defaults;
  std::u16string path;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = languages_.find(name);
    if (it == languages_.end()) {
      current_.clear();
      return false;
    }
    defaults = defaults_;
    path = it->second;
  }
  // The file is read outside the lock: lookups meanwhile see the previous texts.
  std::map<std::u16string, std::u16string> current;
  for (const auto& [key, text] : defaults) {
    std::u16string value = read(key);
    current[key] = value.empty() ? text : ConvertEscapes(value);
  }
  std::lock_guard<std::mutex> hold(mutex_);
  current_ = std::move(current);
  languagePath_ = path;
  return true;
}

std::u16string LanguageTable::LanguagePath() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return languagePath_;
}

std::u16string LanguageTable::Lookup(const std::u16string& key) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = current_.find(key);
  return it == current_.end() ? std::u16string() : it->second;
}

void LanguageTable::Reset() {
  std::lock_guard<std::mutex> hold(mutex_);
  current_.clear();
  languages_.clear();
  languagePath_ = kDefaultLanguagePath;
}

LanguageTable& Language() {
  static LanguageTable table;
  return table;
}

}  // namespace lvx::shell
