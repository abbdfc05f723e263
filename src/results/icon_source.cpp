#include "results/icon_source.h"

#include <shellapi.h>

namespace lvx::results {

namespace {

class ShellSource : public IconSource {
 public:
  uint32_t DriveType(const std::wstring& root) override { return ::GetDriveTypeW(root.c_str()); }

  int SmallIconIndex(const std::wstring& path, bool byAttributes, DWORD attributes) override {
    SHFILEINFOW info = {};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (byAttributes ? SHGFI_USEFILEATTRIBUTES : 0);
    if (!::SHGetFileInfoW(path.c_str(), byAttributes ? attributes : 0, &info, sizeof(info), flags)) return -1;
    // Only the index is wanted; a handle the shell may have made goes at once.
    if (info.hIcon) ::DestroyIcon(info.hIcon);
    return info.iIcon;
  }
};

}  // namespace

IconSource& ShellIconSource() {
  static ShellSource source;
  return source;
}

HIMAGELIST SystemImageList(bool small) {
  SHFILEINFOW info = {};
  DWORD_PTR list = ::SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info),
                                    SHGFI_SYSICONINDEX | (small ? SHGFI_SMALLICON : 0));
  if (info.hIcon) ::DestroyIcon(info.hIcon);
  return reinterpret_cast<HIMAGELIST>(list);
}

}  // namespace lvx::results
