// UTF-8 <-> UTF-16 building blocks shared by the text helpers and both backends' host names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lvx::os::utf {

// The length of the well-formed UTF-8 sequence at s (n bytes available) and its code point, or 0
// when the bytes there are not one (overlong forms, encoded surrogates, values past U+10FFFF).
size_t DecodeUtf8(const unsigned char* s, size_t n, uint32_t* cp);
void AppendUtf8(std::string& out, uint32_t cp);
// Host name bytes to UTF-16 into out (room for n units), each invalid byte b as U+DC00 + b so that
// the name converts back to the same bytes. Returns the units written.
size_t DecodeHostName(const char* bytes, size_t n, char16_t* out);

}  // namespace lvx::os::utf
