#include "uilib/bmp_image.h"

#include <cstdlib>

#include "platform/text.h"

namespace lvx::uilib {
namespace {

constexpr size_t kFileHeaderLength = 14;
constexpr size_t kInfoHeaderLength = 40;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitfields = 3;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int Fail(std::u16string* error, std::u16string reason) {
  *error = std::move(reason);
  return -1;
}

uint32_t Premultiply(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return a << 24 | (r * a + 127) / 255 << 16 | (g * a + 127) / 255 << 8 | (b * a + 127) / 255;
}

}  // namespace

int DecodeBmp(const uint8_t* data, size_t size, UiImage* out, std::u16string* error) {
  if (size < kFileHeaderLength + kInfoHeaderLength || data[0] != 'B' || data[1] != 'M')
    return Fail(error, u"it is not a BMP image");
  const uint32_t pixelOffset = Get32(data + 10);
  const uint32_t headerLength = Get32(data + 14);
  if (headerLength < kInfoHeaderLength || headerLength > size - kFileHeaderLength)
    return Fail(error, u"its BMP header is damaged");
  const uint8_t* h = data + kFileHeaderLength;
  const int32_t width = int32_t(Get32(h + 4));
  const int32_t rawHeight = int32_t(Get32(h + 8));
  const uint16_t planes = Get16(h + 12), bits = Get16(h + 14);
  const uint32_t compression = Get32(h + 16), colorsUsed = Get32(h + 32);
  if (planes != 1 || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
    return Fail(error, u"its BMP header is damaged");
  const bool topDown = rawHeight < 0;
  const int32_t height = std::abs(rawHeight);
  if (width > kMaxImageSide || height > kMaxImageSide)
    return Fail(error, u"it is larger than " + U16(std::to_string(kMaxImageSide)) + u" pixels a side");
  // The 32-bit masks follow a plain info header, or lie inside a longer one.
  bool bitfieldsOk = false;
  if (bits == 32 && compression == kBitfields) {
    const size_t maskAt = kFileHeaderLength + kInfoHeaderLength;
    if (size - maskAt >= 12)
      bitfieldsOk = Get32(data + maskAt) == 0x00FF0000 && Get32(data + maskAt + 4) == 0x0000FF00 &&
                    Get32(data + maskAt + 8) == 0x000000FF;
  }
  const bool supported = (compression == kRgb && (bits == 8 || bits == 24 || bits == 32)) || bitfieldsOk;
  if (!supported)
    return Fail(error, u"it is a BMP image of a kind that is not supported (" + U16(std::to_string(bits)) +
                           u" bits per pixel, compression " + U16(std::to_string(compression)) + u")");
  std::vector<uint32_t> palette;
  if (bits == 8) {
    const uint32_t count = colorsUsed == 0 ? 256 : colorsUsed;
    const size_t paletteAt = kFileHeaderLength + headerLength;
    if (count > 256 || (size - paletteAt) / 4 < count) return Fail(error, u"its BMP palette is damaged");
    for (uint32_t i = 0; i < count; ++i) palette.push_back(Get32(data + paletteAt + 4 * i) | 0xFF000000u);
  }
  const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
  if (pixelOffset > size || (size - pixelOffset) / stride < size_t(height)) return Fail(error, u"its pixels are cut short");

  UiImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(size_t(width) * size_t(height));
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = data + pixelOffset + stride * size_t(topDown ? y : height - 1 - y);
    uint32_t* dst = &image.pixels[size_t(y) * size_t(width)];
    for (int32_t x = 0; x < width; ++x) {
      if (bits == 8) {
        const uint8_t index = row[x];
        if (index >= palette.size()) return Fail(error, u"a pixel names a colour past the BMP palette");
        dst[x] = palette[index];
      } else if (bits == 24) {
        const uint8_t* p = row + 3 * x;
        dst[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      } else {
        dst[x] = Get32(row + 4 * x);
        anyAlpha = anyAlpha || (dst[x] >> 24) != 0;
      }
    }
  }
  if (bits == 32) {
    // A 32-bit image whose alpha bytes are all zero means them unused: opaque.
    for (uint32_t& p : image.pixels) {
      const uint32_t a = anyAlpha ? p >> 24 : 0xFF;
      image.hasAlpha = image.hasAlpha || a != 0xFF;
      p = Premultiply(p & 0xFF, p >> 8 & 0xFF, p >> 16 & 0xFF, a);
    }
  }
  *out = std::move(image);
  return 0;
}

}  // namespace lvx::uilib
