// Settings read when the main window is created: the drive selection, the skin style and the
// results font, and their writers.
#pragma once

#include <cstdint>

#include <windows.h>

#include "shell/window_look.h"

namespace lvx::shell {

// OPTIONS/SELECT_DRIVES (default "0xffffffff") as stored.
uint32_t ReadStoredDriveMask();
// The active drive mask: the stored mask applied to the drives the system has now.
uint32_t ReadActiveDriveMask();
// Writes the mask as "0X%X".
bool WriteDriveMask(uint32_t mask);
// OPTIONS/AutoSelRemovable (default "0"), written as "%d".
int ReadAutoSelRemovable();
bool WriteAutoSelRemovable(int value);

// skininfo.ini SKIN_INFO/Style applied to the running Windows version.
SkinStyle ReadSkinStyle();
bool WriteSkinStyle(SkinStyle style);

// fontinfo.ini: false (font untouched) when the file is missing, short or names a face longer than
// 31 units.
bool ReadFontFile(LOGFONTW* font);
bool WriteFontFile(const LOGFONTW& font);

}  // namespace lvx::shell
