// Images of the layout: Windows bitmaps (.bmp) of 8 bits per pixel with a palette, 24 bits, or 32
// bits with or without alpha, uncompressed. Decoded into top-down rows of premultiplied pixels, the
// form that GDI's alpha blending takes as it is. Every header field is checked against the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lvx::uilib {

struct UiImage {
  int width = 0;
  int height = 0;
  bool hasAlpha = false;         // some pixel is not opaque
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, premultiplied, top row first
};

constexpr int kMaxImageSide = 4096;

// 0, or -1 with the reason in *error.
int DecodeBmp(const uint8_t* data, size_t size, UiImage* out, std::u16string* error);

}  // namespace lvx::uilib
