// Opens an arbitrary byte string as the user-interface archive and extracts every entry, decoding
// each as an image too: the reader must refuse what it cannot read with a reason, never read
// outside the bytes, allocate past its limits or hang.
#include <cstdint>
#include <string>
#include <vector>

#include "uilib/bmp_image.h"
#include "uilib/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lvx::uilib::CZipArchive zip;
  std::u16string error;
  if (zip.Open(std::vector<uint8_t>(data, data + size), &error) != 0) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  for (const lvx::uilib::ZipEntry& entry : zip.Entries()) {
    std::vector<uint8_t> bytes;
    if (zip.Extract(entry, &bytes, &error) != 0) continue;
    if (bytes.size() != entry.size) __builtin_trap();
    lvx::uilib::UiImage image;
    if (lvx::uilib::DecodeBmp(bytes.data(), bytes.size(), &image, &error) == 0 &&
        image.pixels.size() != size_t(image.width) * size_t(image.height))
      __builtin_trap();
  }
  return 0;
}
