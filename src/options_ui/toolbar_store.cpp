#include "options_ui/toolbar_store.h"

#include "framework/win_api.h"
#include "options_ui/icon_paths.h"
#include "shell/ini_store.h"

namespace lvx::options {
namespace {

const std::u16string kSection = u"TOOLBAR";

std::u16string Key(const char16_t* name, int n) {
  std::string digits = std::to_string(n);
  return name + std::u16string(digits.begin(), digits.end());
}

int ButtonCount(const std::u16string& file) {
  const int count = shell::ReadIniInt(kSection, u"tbnumber", u"0", file);
  return count < 0 ? 0 : count > kMaxToolbarButtons ? kMaxToolbarButtons : count;
}

}  // namespace

std::vector<_TBBTN> ReadToolbar(const std::u16string& file) {
  std::vector<_TBBTN> buttons;
  const int count = ButtonCount(file);
  for (int n = 0; n < count; ++n) {
    _TBBTN b;
    b.iconPath = shell::ReadIniString(kSection, Key(u"ICON_", n), file, u".\\icons\\default.ico");
    b.text = shell::ReadIniString(kSection, Key(u"ICONTEXT_", n), file, u"Default");
    b.pattern = shell::ReadIniString(kSection, Key(u"QUERYPATTER_", n), file, u"*.mp3");
    b.location = shell::ReadIniString(kSection, Key(u"SEARCHLOC_", n), file, u"DEFAULT");
    buttons.push_back(std::move(b));
  }
  return buttons;
}

bool WriteToolbar(const std::u16string& file, const std::vector<_TBBTN>& buttons, const std::u16string& programFolder) {
  const int old = ButtonCount(file);
  for (int n = 0; n < old; ++n)
    for (const char16_t* name : {u"ICON_", u"ICONTEXT_", u"QUERYPATTER_", u"SEARCHLOC_"})
      shell::DeleteIniKey(kSection, Key(name, n), file);
  std::string count = std::to_string(buttons.size());
  bool ok = shell::WriteIniString(kSection, u"tbnumber", std::u16string(count.begin(), count.end()), file);
  for (size_t n = 0; n < buttons.size(); ++n) {
    const _TBBTN& b = buttons[n];
    ok = shell::WriteIniString(kSection, Key(u"ICON_", int(n)), StoredIconPath(b.iconPath, programFolder), file) && ok;
    ok = shell::WriteIniString(kSection, Key(u"ICONTEXT_", int(n)), b.text, file) && ok;
    ok = shell::WriteIniString(kSection, Key(u"QUERYPATTER_", int(n)), b.pattern, file) && ok;
    ok = shell::WriteIniString(kSection, Key(u"SEARCHLOC_", int(n)), b.location, file) && ok;
  }
  return ok;
}

std::u16string CurrentProgramFolder() {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(folder), length);
}

}  // namespace lvx::options

namespace lvx::options {

std::u16string QuickSearchLocation(const std::u16string& buttonLocation, const std::u16string& locationBox) {
  const size_t first = buttonLocation.find_first_not_of(u" \t\r\n");
  if (first == std::u16string::npos) return locationBox;
  const size_t last = buttonLocation.find_last_not_of(u" \t\r\n");
  if (buttonLocation.compare(first, last - first + 1, u"DEFAULT") == 0) return locationBox;
  return buttonLocation;
}

}  // namespace lvx::options
