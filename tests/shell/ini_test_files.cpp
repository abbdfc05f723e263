#include "ini_test_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include <windows.h>

#include "platform/text.h"

namespace lvx::test {
namespace {

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace

void WriteBytes(const std::u16string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(Wide(path)), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

void WriteUnicodeIni(const std::u16string& path, const std::string& text) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::u16string wide = U16(crlf);
  std::string bytes = "\xFF\xFE";
  for (char16_t c : wide) {
    bytes += char(c & 0xFF);
    bytes += char(c >> 8);
  }
  WriteBytes(path, bytes);
}

std::string ReadBytes(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(Wide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PathExists(const std::u16string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadUnicodeText(const std::u16string& path) {
  std::string bytes = ReadBytes(path);
  if (bytes.size() < 2 || uint8_t(bytes[0]) != 0xFF || uint8_t(bytes[1]) != 0xFE) return {};
  std::u16string wide;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) wide.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  return U8(wide);
}

}  // namespace lvx::test
