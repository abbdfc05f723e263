#include "shell/window_look.h"

#include "shell/ini_values.h"

namespace lvx::shell {

SkinStyle ChooseSkinStyle(std::u16string_view style, uint32_t windowsMajorVersion) {
  if (style.empty()) return windowsMajorVersion <= 5 ? SkinStyle::Vista : SkinStyle::Default;
  return EqualsFolded(style, u"vista") ? SkinStyle::Vista : SkinStyle::Default;
}

bool ParseFontFile(const uint8_t* data, size_t size, FontRecord* out) {
  if (size < kLogFontBytes + 4) return false;
  const uint8_t* p = data + kLogFontBytes;
  int32_t n = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
  if (n < 0 || n > kMaxFaceNameChars) return false;
  if (size - (kLogFontBytes + 4) < size_t(n) * 2) return false;
  FontRecord font;
  for (size_t i = 0; i < kLogFontBytes; ++i) font.logFont[i] = data[i];
  p += 4;
  for (int32_t i = 0; i < n; ++i) font.faceName.push_back(char16_t(p[2 * i] | p[2 * i + 1] << 8));
  *out = std::move(font);
  return true;
}

std::vector<uint8_t> SerializeFontFile(const FontRecord& font) {
  std::u16string face = font.faceName.substr(0, kMaxFaceNameChars);
  std::vector<uint8_t> bytes(font.logFont.begin(), font.logFont.end());
  uint32_t n = uint32_t(face.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(n >> (8 * i)));
  for (char16_t c : face) {
    bytes.push_back(uint8_t(c));
    bytes.push_back(uint8_t(c >> 8));
  }
  return bytes;
}

}  // namespace lvx::shell
