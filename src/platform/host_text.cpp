// Host names as bytes and as UTF-16 (see drive.h), and the UTF-8 conversions they share with U16/U8.
#include "platform/drive.h"
#include "platform/utf.h"

namespace lvx::os {
namespace utf {

size_t DecodeUtf8(const unsigned char* s, size_t n, uint32_t* cp) {
  unsigned char c = s[0];
  if (c < 0x80) return *cp = c, 1;
  size_t len;
  uint32_t v, min;
  if (c >= 0xC2 && c <= 0xDF)
    len = 2, v = c & 0x1F, min = 0x80;
  else if (c >= 0xE0 && c <= 0xEF)
    len = 3, v = c & 0x0F, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4)
    len = 4, v = c & 0x07, min = 0x10000;
  else
    return 0;
  if (len > n) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((s[k] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (s[k] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

static void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) return out.push_back(char(cp));
  int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;  // continuation bytes after the lead byte
  out.push_back(char((0xFF << (7 - extra)) | (cp >> (6 * extra))));
  for (int k = extra - 1; k >= 0; --k) out.push_back(char(0x80 | ((cp >> (6 * k)) & 0x3F)));
}

std::string EncodeUtf8(std::u16string_view s, bool hostName) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (hostName && cp >= 0xDC80 && cp <= 0xDCFF) {  // alone: the low half of a pair is taken with it
      out.push_back(char(cp - 0xDC00));
      continue;
    }
    if (IsHighSurrogate(cp) && i + 1 < s.size() && IsLowSurrogate(s[i + 1]))
      cp = CombineSurrogates(cp, s[++i]);
    else if (IsSurrogate(cp))
      cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

size_t DecodeHostName(const char* bytes, size_t n, char16_t* out, bool hostName) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
  size_t o = 0, i = 0;
  while (i < n) {
    uint32_t cp = s[i];
    size_t len = cp < 0x80 ? 1 : DecodeUtf8(s + i, n - i, &cp);  // most names are ASCII
    if (len == 0) out[o++] = hostName ? char16_t(0xDC00 + s[i]) : u'\uFFFD';
    if (len != 0) o += EncodeUtf16(cp, out + o);
    i += len == 0 ? 1 : len;
  }
  return o;
}

}  // namespace utf

String FromHostBytes(const std::string& bytes) {
  String out(bytes.size(), u'\0');
  out.resize(utf::DecodeHostName(bytes.data(), bytes.size(), out.data()));
  return out;
}

std::string ToHostBytes(const String& text) { return utf::EncodeUtf8(text, true); }

}  // namespace lvx::os
