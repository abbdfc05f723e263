// The drive selection of settings.ini (OPTIONS/SELECT_DRIVES) and the active drive mask made from it:
// bit i stands for drive letter 'A' + i. The stored value 0xffffffff means "the fixed drives only";
// any other value selects the letters whose bits are set, when they are fixed, removable or network
// drives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lvx::shell {

constexpr uint32_t kFixedDrivesOnly = 0xffffffffu;

// Base-16 conversion of the stored text: leading white space, an optional "0x"/"0X", then the
// leading hexadecimal digits; no digits gives 0, more than 32 bits gives 0xffffffff.
uint32_t ParseDriveMask(std::u16string_view text);
// "0X%X".
std::u16string FormatDriveMask(uint32_t mask);

// The letters that are cached and searched. driveType gives the drive type (the Win32 values:
// 2 removable, 3 fixed, 4 remote) of a root path such as "C:\".
uint32_t ActiveDriveMask(uint32_t stored, const std::function<uint32_t(const std::u16string& root)>& driveType);

}  // namespace lvx::shell
