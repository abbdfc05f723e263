// Small file helpers for the shell's wine tests: INI texts written as the program writes them
// (UTF-16LE with a byte-order mark) or as a user's editor might (ANSI), and raw reads.
#pragma once

#include <string>
#include <vector>

namespace lvx::test {

// Writes text (ASCII or UTF-8, "\n" becomes "\r\n") as UTF-16LE with FF FE.
void WriteUnicodeIni(const std::u16string& path, const std::string& text);
// Writes the bytes unchanged.
void WriteBytes(const std::u16string& path, const std::string& bytes);
std::string ReadBytes(const std::u16string& path);
bool PathExists(const std::u16string& path);
// The text of a UTF-16LE file with a byte-order mark, as UTF-8 (empty when it has none).
std::string ReadUnicodeText(const std::u16string& path);

}  // namespace lvx::test
