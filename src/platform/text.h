// Small text helpers used across the engine (portable, no OS calls).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/os_types.h"

namespace lvx {

// UTF-16 from a literal or ASCII/UTF-8 text, and back to UTF-8 (lone surrogates as U+FFFD).
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);

// printf-style formatting into UTF-16; %s takes a UTF-8 const char*, %S... is not supported: convert
// UTF-16 arguments with U8() first.
std::u16string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "1,234,567": groups of three digits from the right, separated by ','. Full width: totals of sizes
// in KB pass 32 bits on large disks.
std::u16string FormatThousands(uint64_t value);

// ASCII-only case folding: only A..Z map to a..z.
inline char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
// Case-insensitive equality and ordering under ASCII folding.
int CompareFolded(const char16_t* a, const char16_t* b);
bool EqualsFolded(std::u16string_view a, std::u16string_view b);
// 0 to 25 for the drive letters A to Z in either case, -1 for any other character.
inline int DriveIndex(char16_t letter) {
  char16_t folded = FoldAscii(letter);
  return folded >= u'a' && folded <= u'z' ? folded - u'a' : -1;
}

// White space as the C runtime's isspace sees it: blank, tab, LF, VT, FF and CR.
inline bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
std::u16string Trim(std::u16string_view text);

// "." and "..", which a folder listing gives and the cache never holds.
inline bool IsDotOrDotDot(const char16_t* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// Numbers in text. The readers take digits from the start of the text and return how many
// characters they read (0: there was no digit). A number past 32 bits reads as kNumberTooLarge, so
// every caller bounds its values by the same rule: saturate, or refuse.
constexpr uint64_t kNumberTooLarge = 0x100000000ull;
size_t ReadDecimal(std::u16string_view text, uint64_t* value);
// A drive mask as SELECT_DRIVES holds it: an optional "0x" or "0X" (taken only before a digit),
// then hexadecimal digits.
size_t ReadHexMask(std::u16string_view text, uint64_t* value);
// The leading number of a settings or state value, as the C runtime reads one: white space, an
// optional sign, decimal digits. No digit gives 0; the value saturates at the 32-bit bounds.
int32_t LeadingDecimal(std::u16string_view text);

}  // namespace lvx
