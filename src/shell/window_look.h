// Two pieces of the main window's look that are kept in the data folder: the skin style of
// skininfo.ini and the results font of fontinfo.ini.
//
// fontinfo.ini is binary despite its name: a 92-byte LOGFONTW, then n (signed 32-bit little-endian),
// then n UTF-16 code units of the face name without a terminator. A file with n outside 0..31 or
// shorter than it claims keeps the built-in font.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx::shell {

enum class SkinStyle { Vista, Default };

// skininfo.ini SKIN_INFO/Style: empty means "vista" up to Windows major version 5 and "default"
// later; any other text means "vista" exactly when it equals "vista" ignoring case.
SkinStyle ChooseSkinStyle(std::u16string_view style, uint32_t windowsMajorVersion);
inline const char16_t* SkinStyleText(SkinStyle style) {
  return style == SkinStyle::Vista ? u"vista" : u"default";
}

constexpr size_t kLogFontBytes = 92;
constexpr int32_t kMaxFaceNameChars = 31;  // lfFaceName holds 32 units with the terminator

struct FontRecord {
  std::array<uint8_t, kLogFontBytes> logFont{};
  std::u16string faceName;
};

// False (out untouched) for a short file or a face-name length outside 0..31.
bool ParseFontFile(const uint8_t* data, size_t size, FontRecord* out);
// The file as the Font... command writes it; a longer face name is cut to 31 units.
std::vector<uint8_t> SerializeFontFile(const FontRecord& font);

}  // namespace lvx::shell
