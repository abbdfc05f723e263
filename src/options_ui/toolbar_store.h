// The quick-search buttons as settings.ini keeps them, section [TOOLBAR]: "tbnumber" and, for each
// button n, ICON_n, ICONTEXT_n, QUERYPATTER_n and SEARCHLOC_n.
#pragma once

#include <string>
#include <vector>

namespace lvx::options {

class CToolbarBtn;

// One button definition.
struct _TBBTN {
  CToolbarBtn* button = nullptr;  // the window that shows it, owned by the holder of the array
  std::u16string text;
  std::u16string pattern;
  std::u16string iconPath;  // relative to the program folder when it starts with ".\"
  std::u16string location;  // "DEFAULT" or empty: the location box's folder
};

// More buttons than this are not read: each one is a window.
constexpr int kMaxToolbarButtons = 1000;

// The definitions in order, with null buttons; missing keys take their defaults.
std::vector<_TBBTN> ReadToolbar(const std::u16string& settingsFile);
// Replaces the old definitions by these; icon paths are stored in lower case, relative when inside
// the program folder. False when a key could not be written.
bool WriteToolbar(const std::u16string& settingsFile, const std::vector<_TBBTN>& buttons,
                  const std::u16string& programFolder);

// The program folder: the working directory.
std::u16string CurrentProgramFolder();

}  // namespace lvx::options

namespace lvx::options {

// The folder a quick search runs in: the button's location, or the location box's text when the
// button's is empty or "DEFAULT" (surrounding white space aside).
std::u16string QuickSearchLocation(const std::u16string& buttonLocation, const std::u16string& locationBox);

}  // namespace lvx::options
