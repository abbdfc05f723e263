// Toolbar icon paths as settings.ini keeps them: inside the program folder relative to it
// (".\icons\music01.ico"), elsewhere in full, always in lower case.
#pragma once

#include <string>

namespace lvx::options {

// The path to store: lower case; when it lies inside the program folder, that folder is replaced by
// ".". Only a whole folder counts: "c:\prog" does not take "c:\program files\a.ico".
std::u16string StoredIconPath(const std::u16string& iconPath, const std::u16string& programFolder);

// The file to load: a path beginning with ".\" is taken from the program folder.
std::u16string IconFilePath(const std::u16string& iconPath, const std::u16string& programFolder);

}  // namespace lvx::options
