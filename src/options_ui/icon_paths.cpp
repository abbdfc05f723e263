#include "options_ui/icon_paths.h"

namespace lvx::options {
namespace {

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return text;
}

}  // namespace

std::u16string StoredIconPath(const std::u16string& iconPath, const std::u16string& programFolder) {
  std::u16string path = Lower(iconPath);
  std::u16string folder = Lower(programFolder);
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  if (!folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
      path[folder.size()] == u'\\')
    return u"." + path.substr(folder.size());
  return path;
}

std::u16string IconFilePath(const std::u16string& iconPath, const std::u16string& programFolder) {
  if (iconPath.size() < 2 || iconPath[0] != u'.' || iconPath[1] != u'\\' || programFolder.empty()) return iconPath;
  std::u16string folder = programFolder;
  if (folder.back() == u'\\') folder.pop_back();
  return folder + iconPath.substr(1);
}

}  // namespace lvx::options
