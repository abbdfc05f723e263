// Where the results list gets drive types and shell icons from. The list asks through this
// interface only, so a test can put a recorder in its place and see which items were looked up and
// how (a network drive must never be asked about for real).
#pragma once

#include <string>

#include "framework/win_api.h"

namespace lvx::results {

class IconSource {
 public:
  virtual ~IconSource() = default;
  // GetDriveType's answer for a root such as "C:\".
  virtual uint32_t DriveType(const std::wstring& root) = 0;
  // The index of the item's small icon in the system image list, -1 when the shell has none. With
  // byAttributes the item is not touched: the shell answers from the name and the attributes.
  virtual int SmallIconIndex(const std::wstring& path, bool byAttributes, DWORD attributes) = 0;
};

// The shell itself (SHGetFileInfoW, GetDriveTypeW). Safe to use from any thread.
IconSource& ShellIconSource();

// The shell's shared system image list of small or large icons (never to be destroyed).
HIMAGELIST SystemImageList(bool small);

}  // namespace lvx::results
