// Drive letters and host names on Win32. The system knows the drives, so the drive map is a no-op
// and a host path is the path itself as UTF-8. The byte conversions still keep their promise of
// round-tripping invalid UTF-8 (each bad byte b becomes U+DC00 + b and back), so that text moved
// between the two forms by the CLI or a saved list comes back unchanged.
#include "platform/win32/win32_api.h"

#include <shlobj.h>

#include "platform/drive.h"

namespace lvx::os {

uint32_t GetDriveType(const String& root) { return ::GetDriveTypeW(win32::W(root)); }

void MapDrive(char16_t, const std::string&, uint32_t) {}

void ClearDriveMap() {}

std::string HostPath(const String& path) { return ToHostBytes(path); }

namespace {

// The length of the well-formed UTF-8 sequence at s[i] and its code point, or 0 when the bytes
// there are not one (overlong forms, encoded surrogates and values above U+10FFFF included).
size_t DecodeOne(const std::string& s, size_t i, uint32_t* cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  auto cont = [&](size_t k) { return k < s.size() && (byte(k) & 0xC0) == 0x80; };
  unsigned char c = byte(i);
  if (c < 0x80) {
    *cp = c;
    return 1;
  }
  size_t len;
  uint32_t v, min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  for (size_t k = 1; k < len; ++k) {
    if (!cont(i + k)) return 0;
    v = (v << 6) | (byte(i + k) & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

String FromHostBytes(const std::string& bytes) {
  String out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    uint32_t cp = 0;
    size_t len = DecodeOne(bytes, i, &cp);
    if (len == 0) {
      out.push_back(char16_t(0xDC00 + static_cast<unsigned char>(bytes[i])));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string ToHostBytes(const String& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(char(c - 0xDC00));  // an escaped byte goes back as itself
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);  // any other lone surrogate has no byte form
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

String NetworkNeighbourhoodFolder() {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_NETHOOD, &pidl)) || pidl == nullptr)
    return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  ::CoTaskMemFree(pidl);
  if (!ok) return {};
  String out(win32::U(path));
  // The caller appends the separator itself; a root such as "C:\" keeps its own.
  while (out.size() > 3 && out.back() == u'\\') out.pop_back();
  return out;
}

}  // namespace lvx::os
