// Small text helpers used across the engine (portable, no OS calls).
#pragma once

#include <cstdarg>
#include <string>

#include "platform/os_types.h"

namespace lvx {

// UTF-16 from a literal or ASCII/UTF-8 text, and back to UTF-8 (lone surrogates as U+FFFD).
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);

// printf-style formatting into UTF-16; %s takes a UTF-8 const char*, %S... is not supported: convert
// UTF-16 arguments with U8() first.
std::u16string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "1,234,567": groups of three digits from the right, separated by ','.
std::u16string FormatThousands(uint32_t value);

// ASCII-only case folding: only A..Z map to a..z.
inline char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
// Case-insensitive equality and ordering under ASCII folding.
int CompareFolded(const char16_t* a, const char16_t* b);
bool EqualsFolded(const std::u16string& a, const std::u16string& b);

}  // namespace lvx
