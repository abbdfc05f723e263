// The system's pickers: open and save file, folder and font. Like the message boxes they go through
// one seam, so a test answers in place of the user and sees what was asked.
#pragma once

#include <functional>

#include "framework/win_api.h"

namespace lvx::ui {

enum class PickKind { OpenFile, SaveFile, Folder, Font };

struct PickRequest {
  PickKind kind = PickKind::OpenFile;
  HWND owner = nullptr;
  std::wstring title;       // folder picker
  std::wstring filter;      // file pickers, in the "Name|*.ext|...||" form
  std::wstring defaultExt;  // file pickers
  std::wstring initial;     // file pickers: the proposed name
};

struct PickAnswer {
  std::wstring path;   // file and folder pickers
  LOGFONTW font = {};  // font picker
};

// Returns false for a cancelled picker, true with the answer filled in otherwise.
using PickResponder = std::function<bool(const PickRequest& request, PickAnswer* answer)>;
PickResponder SetPickResponder(PickResponder responder);

bool PickOpenFile(HWND owner, std::wstring_view filter, std::wstring_view defaultExt, std::wstring* path);
// *path is the proposed name on entry.
bool PickSaveFile(HWND owner, std::wstring_view filter, std::wstring_view defaultExt, std::wstring* path);
// The shell's folder picker rooted at My Computer; false when cancelled or when the choice is not a
// file-system folder.
bool PickFolder(HWND owner, std::wstring_view title, std::wstring* path);
// Screen fonts with effects, starting from *font; *font is the choice after OK.
bool PickFont(HWND owner, LOGFONTW* font);

// "Name|*.ext|All|*.*||" as the file dialogs want it: '|' becomes '\0' and the list ends in "\0\0".
std::wstring FilterFromBars(std::wstring_view filter);

}  // namespace lvx::ui
