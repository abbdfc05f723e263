// Small helpers the dialogs share.
#pragma once

#include <string>

#include "framework/win_api.h"

namespace lvx::dialogs {

// Centres the window over its owner, or over the work area when it has none, kept on the screen.
void CenterOnOwner(HWND window);

// The text without surrounding blanks, tabs and line breaks.
std::wstring TrimBlanks(const std::wstring& text);

// A drive-letter path ("C:\...") or a network path ("\\server\share..."): the only locations that do
// not depend on the program's working directory.
bool IsFullPath(const std::wstring& path);

}  // namespace lvx::dialogs
