// File helpers of the shell's wine tests: raw bytes, and UTF-16LE text with a byte-order mark as
// the program writes its INI files and the update server its replies.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/text.h"

namespace lvx::test {

inline std::filesystem::path HostFile(const std::u16string& path) { return std::wstring(path.begin(), path.end()); }
inline bool PathExists(const std::u16string& path) { return std::filesystem::exists(HostFile(path)); }
inline void WriteBytes(const std::u16string& path, const std::string& bytes) {
  std::ofstream(HostFile(path), std::ios::binary | std::ios::trunc) << bytes;
}
inline std::string ReadBytes(const std::u16string& path) {
  std::ifstream in(HostFile(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// UTF-8 text as UTF-16LE with FF FE, "\n" written as "\r\n".
inline std::string UnicodeText(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : U16(text)) {
    if (c == u'\n') bytes.append("\r\0", 2);
    bytes += {char(c & 0xFF), char(c >> 8)};
  }
  return bytes;
}
inline void WriteUnicodeIni(const std::u16string& path, const std::string& text) { WriteBytes(path, UnicodeText(text)); }

}  // namespace lvx::test
