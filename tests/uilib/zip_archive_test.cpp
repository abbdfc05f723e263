// The resource archive reader against good archives of both methods and against damaged ones: every
// fault must come back as a message that names what is wrong, never as a crash or a wrong file.
#include <gtest/gtest.h>

#include <functional>

#include "platform/text.h"
#include "support/temp_dir.h"
#include "uilib/resource_archive.h"
#include "uilib/zip_maker.h"

namespace lvx::uilib {
namespace {

using test::MakeZip;
using test::Put16;
using test::Put32;
using test::ZipLayout;

const std::string kText = "<Window>" + std::string(300, 'x') + "</Window>";

std::u16string ReadOne(const ZipLayout& zip, const char16_t* name, std::vector<uint8_t>* out) {
  CResourceArchive archive;
  std::u16string error;
  if (archive.LoadBytes(zip.bytes, u"C:\\skins\\default.zip", &error) != 0) return error;
  if (archive.ReadFile(name, out, &error) != 0) return error;
  return u"";
}

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesByNameWithoutRegardToCaseOrSlash) {
  for (bool descriptor : {false, true}) {
    ZipLayout zip = MakeZip({{"AppMain.xml", kText, 8}, {"img/a.bmp", "BMxyz", 0}, {"empty", "", 8}}, descriptor,
                            "archive comment");
    for (auto [name, text] : {std::pair{u"appmain.XML", kText}, {u"IMG\\A.bmp", "BMxyz"}, {u"empty", ""}}) {
      std::vector<uint8_t> out{1};
      EXPECT_EQ(ReadOne(zip, name, &out), u"");
      EXPECT_EQ(std::string(out.begin(), out.end()), text) << U8(name);
    }
  }
}

// A field of the first entry in its local header and, two bytes further on, in its directory entry.
void Both32(ZipLayout& z, size_t at, uint32_t v) { Put32(z.bytes, z.localAt[0] + at, v), Put32(z.bytes, z.centralAt[0] + at + 2, v); }
void Both16(ZipLayout& z, size_t at, uint16_t v) { Put16(z.bytes, z.localAt[0] + at, v), Put16(z.bytes, z.centralAt[0] + at + 2, v); }
enum Field { kMethod = 8, kCrc = 14, kPackedSize = 18, kSize = 22 };
const uint32_t kLen = uint32_t(kText.size());

TEST(ZipArchive, DamagedArchivesAreRefusedWithTheReason) {
  const struct {
    const char* what;
    uint16_t method;
    std::function<void(ZipLayout&)> apply;
    const char16_t* expected;  // part of the message
  } kDamages[] = {
      {"last byte missing", 8, [](ZipLayout& z) { z.bytes.pop_back(); }, u"no ZIP end record"},
      {"shorter than an end record", 8, [](ZipLayout& z) { z.bytes.resize(10); }, u"too short"},
      {"directory past the end", 8, [](ZipLayout& z) { Put32(z.bytes, z.endAt + 16, 0x7FFFFFF0); },
       u"directory lies outside the file"},
      {"directory entry cut", 8, [](ZipLayout& z) { Put32(z.bytes, z.endAt + 12, 20); }, u"entry 1 of 1 is damaged"},
      {"name runs past the directory", 8, [](ZipLayout& z) { Put16(z.bytes, z.centralAt[0] + 28, 500); },
       u"runs past the directory"},
      {"wrong CRC in both headers", 8, [](ZipLayout& z) { Both32(z, kCrc, 0x12345678); }, u"fails its CRC check"},
      {"stored data changed", 0, [](ZipLayout& z) { z.bytes[z.localAt[0] + 30 + 11 + 5] ^= 1; }, u"fails its CRC check"},
      {"deflated data garbled", 8, [](ZipLayout& z) { z.bytes[z.localAt[0] + 30 + 11] = 0xFF; }, u"is damaged"},
      {"recorded size one too large", 8, [](ZipLayout& z) { Both32(z, kSize, kLen + 1); },
       u"does not inflate to its recorded size"},
      {"recorded size one too small", 8, [](ZipLayout& z) { Both32(z, kSize, kLen - 1); },
       u"does not inflate to its recorded size"},
      {"compressed size past the data", 8, [](ZipLayout& z) { Both32(z, kPackedSize, 100000); },
       u"runs past the end of the data area"},
      {"stored sizes differ", 0, [](ZipLayout& z) { Put32(z.bytes, z.centralAt[0] + 24, 3); }, u"two different sizes"},
      {"local size differs from the directory", 8, [](ZipLayout& z) { Put32(z.bytes, z.localAt[0] + kSize, 7); },
       u"local header of the entry \"AppMain.xml\" differs"},
      {"local header moved", 8, [](ZipLayout& z) { Put32(z.bytes, z.centralAt[0] + 42, 3); }, u"no local header"},
      {"method 12", 8, [](ZipLayout& z) { Both16(z, kMethod, 12); }, u"compression method 12, which is not supported"},
      {"encrypted", 8, [](ZipLayout& z) { Put16(z.bytes, z.centralAt[0] + 8, 1); }, u"is encrypted"},
      {"several disks", 8, [](ZipLayout& z) { Put16(z.bytes, z.endAt + 4, 1); }, u"several disks"},
      {"ZIP64 sizes", 8, [](ZipLayout& z) { Put32(z.bytes, z.centralAt[0] + 24, 0xFFFFFFFF); }, u"ZIP64"},
      {"inflates past the size limit", 8, [](ZipLayout& z) { Both32(z, kSize, CZipArchive::kMaxEntrySize + 1); },
       u"is larger than 64 MB"},
  };
  for (const auto& d : kDamages) {
    SCOPED_TRACE(d.what);
    ZipLayout zip = MakeZip({{"AppMain.xml", kText, d.method}});
    d.apply(zip);
    std::vector<uint8_t> out{1, 2, 3};
    const std::u16string error = ReadOne(zip, u"AppMain.xml", &out);
    EXPECT_NE(error.find(d.expected), std::u16string::npos) << U8(error);
    EXPECT_NE(error.find(u"C:\\skins\\default.zip"), std::u16string::npos) << U8(error);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3})) << "a failed read leaves the output alone";
  }
}

TEST(ZipArchive, ArchivesThatCannotBeOpenedAndMissingEntriesAreNamed) {
  lvx::test::TempDir dir;
  CResourceArchive archive;
  std::u16string error;
  const std::u16string path = dir.Path() + u"default.zip";
  EXPECT_EQ(archive.Load(path, &error), -1);
  EXPECT_NE(error.find(u"\"" + path + u"\" cannot be opened: "), std::u16string::npos) << U8(error);
  EXPECT_GT(error.size(), error.find(u"opened: ") + 8) << "the system's reason follows";
  EXPECT_FALSE(archive.IsLoaded());
  std::vector<uint8_t> out;
  EXPECT_EQ(ReadOne(MakeZip({{"other.xml", kText}}), u"AppMain.xml", &out), u"The user-interface archive "
            u"\"C:\\skins\\default.zip\" has no file \"AppMain.xml\".");
}

}  // namespace
}  // namespace lvx::uilib
