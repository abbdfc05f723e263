// Damaged and foreign cache files: every reader and heap operation must fail cleanly, report the
// operation's message, and never read outside the mapping or loop for ever.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "cache/dump.h"
#include "cache/map_file.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::cache {
namespace {

using test::CacheImage;

class DamagedFileTest : public ::testing::Test {
 protected:
  CDBMapFile& Open(const CacheImage& image) {
    file_.CloseMapFile(false);
    image.WriteTo(path_);
    EXPECT_TRUE(file_.OpenMapFile(path_, os::kGenericRead | os::kGenericWrite, os::kShareRead,
                                  os::kOpenExisting, os::kAttributeNormal, os::kPageReadWrite, 0,
                                  os::kMapWrite));
    return file_;
  }
  // A small valid tree: C:\ holds "docs" (with two files) and "a.txt".
  CacheImage ValidTree() {
    CacheImage image(kDataStart + 1024);
    uint32_t c = kDataStart, docs = c + 200;
    image.Block(docs, {{u"one.txt", false, 1}, {u"two.txt", false, 2}});
    image.Block(c, {{u"docs", true, docs}, {u"a.txt", false, 3}});
    image.SetDrive(u'C', c);
    return image;
  }

  test::TempDir dir_;
  std::u16string path_ = dir_.Path() + u"damaged.db";
  CDBMapFile file_;
  test::RecordingMessages messages_;
};

TEST_F(DamagedFileTest, TheValidTreeReadsBack) {
  CDBMapFile& file = Open(ValidTree());
  DumpResult dump = DumpCache(file, nullptr);
  EXPECT_TRUE(dump.ok) << dump.error;
  EXPECT_EQ(dump.blocks, 2u);
  EXPECT_EQ(dump.records, 4u);
  uint32_t child = 0;
  EXPECT_NE(file.FindPath(kRootBlockOffset, u"C:\\docs\\two.txt", &child, nullptr), NO_BLOCK);
}

TEST_F(DamagedFileTest, ATruncatedFileIsRefusedEverywhere) {
  CacheImage image = ValidTree();
  image.Resize(120);  // the header is cut before DataEnd and the free list head
  CDBMapFile& file = Open(image);
  EXPECT_FALSE(DumpCache(file, nullptr).ok);
  uint32_t child = 0;
  EXPECT_EQ(file.FindPath(kRootBlockOffset, u"C:\\docs", &child, nullptr), NO_BLOCK);
  EXPECT_EQ(file.AllocBlock(10), NO_BLOCK);
  EXPECT_TRUE(messages_.Contains(u"Error in AllocBlock"));
  uint8_t block[6];
  StoreU32(block, 6);
  StoreU16(block + 4, 0);
  uint32_t offset = 0;
  EXPECT_EQ(file.StoreNewBlock(block, &offset), -1);

  image = ValidTree();
  image.Resize(kDataStart + 150);  // the docs block is cut off
  CDBMapFile& cut = Open(image);
  DumpResult dump = DumpCache(cut, nullptr);
  EXPECT_FALSE(dump.ok);
  EXPECT_EQ(cut.FindPath(kRootBlockOffset, u"C:\\docs\\one.txt", &child, nullptr), NO_BLOCK);
  EXPECT_NE(cut.FindPath(kRootBlockOffset, u"C:\\docs", &child, nullptr), NO_BLOCK)
      << "what is still there is found";
}

TEST_F(DamagedFileTest, ForeignFilesAreNotCaches) {
  CacheImage image = ValidTree();
  image.SetU32(kFormatWordOffset, 0x46445025);  // "%PDF"
  DumpResult dump = DumpCache(Open(image), nullptr);
  EXPECT_FALSE(dump.ok);
  EXPECT_NE(dump.error.find("format"), std::string::npos);
  image = ValidTree();
  image.SetU32(kDataEndOffset, 0x7FFFFFFF);
  EXPECT_FALSE(DumpCache(Open(image), nullptr).ok);
}

TEST_F(DamagedFileTest, LinksOutsideTheFileOrOddAreDamage) {
  for (uint32_t bad : {0x7FFFFFF0u, kDataStart + 1u, kDataStart + 1020u}) {
    CacheImage image = ValidTree();
    image.SetU32(image.LinkOffset(kDataStart, 0), bad);
    CDBMapFile& file = Open(image);
    EXPECT_FALSE(DumpCache(file, nullptr).ok) << bad;
    uint32_t child = 0;
    EXPECT_EQ(file.FindPath(kRootBlockOffset, u"C:\\docs\\one.txt", &child, nullptr), NO_BLOCK);
  }
}

TEST_F(DamagedFileTest, RecordsRunningPastTheirBlockOrTheFileStopTheWalk) {
  CacheImage image = ValidTree();
  image.SetU32(kDataStart + 200, 20);  // docs' capacity too small for its first record
  CDBMapFile& file = Open(image);
  uint32_t child = 0;
  EXPECT_EQ(file.FindPath(kRootBlockOffset, u"C:\\docs\\one.txt", &child, nullptr), NO_BLOCK);
  EXPECT_FALSE(DumpCache(file, nullptr).ok);

  // A name with no terminator up to the end of the file.
  CacheImage tail(kDataStart + 64);
  tail.SetDrive(u'C', kDataStart);
  tail.SetU32(kDataStart, 0);  // capacity 0 below the root is impossible
  CDBMapFile& t = Open(tail);
  EXPECT_FALSE(DumpCache(t, nullptr).ok);
  tail.SetU32(kDataStart, 64);
  tail.SetU16(kDataStart + 4, RECORD_FILE);
  for (uint32_t at = kDataStart + 6; at < kDataStart + 64; at += 2) tail.SetU16(at, u'x');
  CDBMapFile& t2 = Open(tail);
  EXPECT_FALSE(DumpCache(t2, nullptr).ok);
  EXPECT_EQ(t2.FindPath(kRootBlockOffset, u"C:\\xxxx", &child, nullptr), NO_BLOCK);
}

TEST_F(DamagedFileTest, ALoopingFreeListIsDetected) {
  CacheImage image(kDataStart + 1024);
  uint32_t a = kDataStart, b = a + 100;
  image.SetU32(a, 100);
  image.SetU32(b, 100);
  image.FreeList({a, b});
  image.SetU32(b + 4, a);  // b points back to a
  CDBMapFile& file = Open(image);
  EXPECT_EQ(file.AllocBlock(500), NO_BLOCK);
  EXPECT_TRUE(messages_.Contains(u"Error in AllocBlock"));

  image.FreeList({a});
  image.SetU32(a + 4, 0x7FFFFF00u);  // next beyond the file
  EXPECT_EQ(Open(image).AllocBlock(500), NO_BLOCK);
  EXPECT_EQ(messages_.Count(), 2u);
}

TEST_F(DamagedFileTest, AFreeListIntoTheHeaderOrPastDataEndIsRefused) {
  for (uint32_t bad : {100u, kRootBlockOffset, kDataStart + 1000u}) {
    CacheImage image(kDataStart + 2048);
    image.SetU32(kDataEndOffset, kDataStart + 900);
    image.SetU32(bad, 400);
    image.FreeList({bad});
    CDBMapFile& file = Open(image);
    EXPECT_EQ(file.AllocBlock(10), NO_BLOCK) << bad;
    uint32_t format = 0;
    file.GetU32(kFormatWordOffset, &format);
    EXPECT_EQ(format, kFormatWord);
  }
  EXPECT_EQ(messages_.Count(), 3u);
}

TEST_F(DamagedFileTest, ATreeThatLoopsIsNotFreedForEver) {
  CacheImage image(kDataStart + 1024);
  uint32_t top = kDataStart, sub = top + 200;
  image.Block(sub, {{u"back", true, top}, {u"pad", false, 1}}, 80);
  image.Block(top, {{u"sub", true, sub}, {u"pad", false, 1}}, 80);
  image.SetDrive(u'C', top);
  CDBMapFile& file = Open(image);
  file.FreeBlock(top);
  EXPECT_TRUE(messages_.Contains(u"Error in FreeBlock"));
  file.FreeSubBlock(sub);
  EXPECT_TRUE(messages_.Contains(u"Error in FreeSubBlock"));
  DumpResult dump = DumpCache(file, nullptr);
  EXPECT_FALSE(dump.ok);
  EXPECT_NE(dump.error.find("twice"), std::string::npos);
  uint32_t child = 0;
  // The lookup follows the path, not the loop: it ends with the path.
  EXPECT_NE(file.FindPath(kRootBlockOffset, u"C:\\sub\\back\\sub\\back\\pad", &child, nullptr),
            NO_BLOCK);
}

// Random damage to a valid file: nothing may crash, hang or touch memory outside the mapping (the
// sanitizers watch); results are whatever the damage allows.
TEST_F(DamagedFileTest, RandomDamageNeverCrashes) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 300; ++round) {
    CacheImage image = ValidTree();
    int hits = 1 + int(random() % 8);
    for (int i = 0; i < hits; ++i) {
      uint32_t at = random() % 2 ? kDataStart + random() % 400 : random() % 700;
      image.bytes[at] = uint8_t(random());
    }
    if (random() % 5 == 0) image.Resize(uint32_t(random() % image.bytes.size()) + 4);
    CDBMapFile& file = Open(image);
    if (!file.IsOpen()) continue;
    DumpCache(file, nullptr);
    uint32_t child = 0, link = 0;
    file.FindPath(kRootBlockOffset, u"C:\\docs\\one.txt", &child, &link);
    file.AllocBlock(uint32_t(random() % 200));
    file.FreeBlock(kDataStart);
    file.TakeOverFolder(kDataStart, u"docs");
  }
}

}  // namespace
}  // namespace lvx::cache
