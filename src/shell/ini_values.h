// How the settings readers interpret the text of an INI value: white-space trimming, the decimal
// conversion of integer keys and the "TRUE" test of boolean keys. Plain text rules, no file access,
// so the readers over the profile functions and the tests share one definition.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace lvx::shell {

// Removes surrounding white space (blank, tab, CR, LF, vertical tab, form feed).
inline std::u16string TrimIniValue(std::u16string_view value) { return Trim(value); }

// Leading white space, an optional sign, then the leading decimal digits; no digits gives 0.
// Values beyond the 32-bit range saturate instead of wrapping.
inline int32_t IniDecimal(std::u16string_view value) { return LeadingDecimal(value); }

// True exactly when the trimmed value equals "TRUE" ignoring case.
bool IniIsTrue(std::u16string_view value);

// "%d" of a number.
std::u16string IniNumber(int64_t value);

inline const char16_t* IniBoolText(bool value) { return value ? u"TRUE" : u"FALSE"; }

}  // namespace lvx::shell
