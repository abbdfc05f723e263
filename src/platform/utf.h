// UTF-8 and UTF-16 building blocks shared by the text helpers and both backends' host names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lvx::os::utf {

// Surrogates: a high one (D800..DBFF) followed by a low one (DC00..DFFF) stands for one code point
// above U+FFFF; either alone is a lone surrogate.
inline bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
inline bool IsSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
inline uint32_t CombineSurrogates(uint32_t high, uint32_t low) {
  return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}
// Writes the code point as one or two UTF-16 units; returns how many.
inline size_t EncodeUtf16(uint32_t cp, char16_t* out) {
  if (cp < 0x10000) {
    out[0] = char16_t(cp);
    return 1;
  }
  cp -= 0x10000;
  out[0] = char16_t(0xD800 + (cp >> 10));
  out[1] = char16_t(0xDC00 + (cp & 0x3FF));
  return 2;
}

// The length of the well-formed UTF-8 sequence at s (n bytes available) and its code point, or 0
// when the bytes there are not one (overlong forms, encoded surrogates, values past U+10FFFF).
size_t DecodeUtf8(const unsigned char* s, size_t n, uint32_t* cp);
// UTF-16 to UTF-8, a lone surrogate as U+FFFD; for a host name, an escaped byte (a lone
// U+DC80..U+DCFF) goes back as itself.
std::string EncodeUtf8(std::u16string_view text, bool hostName);
// UTF-8 bytes to UTF-16 into out (room for n units); returns the units written. Each invalid byte
// b becomes U+FFFD, or for a host name U+DC00 + b, so that the name converts back to the same bytes.
size_t DecodeHostName(const char* bytes, size_t n, char16_t* out, bool hostName = true);

}  // namespace lvx::os::utf
