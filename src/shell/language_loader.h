// Fills the process-wide language table at start: lists the language files, then applies the one
// that settings.ini SETTING_INFO/LANGUAGE names (default "English"). A missing folder, unreadable
// files or an unknown name are not errors; the table is simply left with fewer texts.
#pragma once

#include <string>

#include "shell/language_table.h"

namespace lvx::shell {

// The language folder below the program folder (the working directory).
constexpr char16_t kLanguageFolder[] = u".\\Language\\";

// Lists "<folder>*.ini" (folders skipped) into the table's language list by their [INFO] Language.
void ListLanguageFiles(LanguageTable& table, const std::u16string& folder = kLanguageFolder);
// ListLanguageFiles, then the choice from settings.ini: a listed name is written back and selected.
// True when a language file is in force.
bool LoadLanguageTable(LanguageTable& table = Language(), const std::u16string& folder = kLanguageFolder);

}  // namespace lvx::shell
