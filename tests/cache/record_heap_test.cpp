// The record heap's algorithms on hand-made files: best-fit allocation, freeing whole subtrees,
// in-place and moved replacement, growth, path lookup and take-over.
#include <gtest/gtest.h>

#include <cstring>

#include "cache/map_file.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::cache {
namespace {

using test::CacheImage;
using test::Entry;

class RecordHeapTest : public ::testing::Test {
 protected:
  void Open(const CacheImage& image) {
    path_ = dir_.Path() + u"cache.db";
    image.WriteTo(path_);
    ASSERT_TRUE(file_.OpenMapFile(path_, os::kGenericRead | os::kGenericWrite, os::kShareRead,
                                  os::kOpenExisting, os::kAttributeNormal, os::kPageReadWrite, 0,
                                  os::kMapWrite));
  }
  uint32_t U32(uint32_t offset) {
    uint32_t v = 0;
    EXPECT_TRUE(file_.GetU32(offset, &v));
    return v;
  }
  std::vector<uint32_t> FreeList() {
    std::vector<uint32_t> list;
    for (uint32_t b = U32(kFreeListHeadOffset); b != NO_BLOCK && list.size() < 100; b = U32(b + 4))
      list.push_back(b);
    return list;
  }
  // A block built in memory, as a refresh hands it over.
  static std::vector<uint8_t> MemoryBlock(const std::vector<Entry>& entries) {
    std::vector<uint8_t> block(test::BlockSize(entries));
    StoreU32(block.data(), uint32_t(block.size()));
    uint32_t at = 4;
    for (const Entry& e : entries) {
      CacheItem item{e.name.c_str(), e.sizeOrLink, uint8_t(e.folder), 0, 0};
      at += EncodeRecord(block.data() + at, item);
    }
    StoreU16(block.data() + at, 0);
    return block;
  }

  test::TempDir dir_;
  std::u16string path_;
  CDBMapFile file_;
  test::RecordingMessages messages_;
};

TEST(RecordFormat, SizesAndLengths) {
  EXPECT_EQ(SizeInKB(0, 0), 0u);
  EXPECT_EQ(SizeInKB(0, 1), 1u);
  EXPECT_EQ(SizeInKB(0, 1023), 1u);
  EXPECT_EQ(SizeInKB(0, 1024), 2u);
  EXPECT_EQ(SizeInKB(0, 1048576), 1025u);
  EXPECT_EQ(SizeInKB(1, 0), (1u << 22) + 1);  // 4 GB
  EXPECT_EQ(RecordLength(2), 20u);
  uint8_t buffer[64] = {};
  CacheItem item{u"ab", 77, 1, 0x11223344, 0x55667788};
  ASSERT_EQ(EncodeRecord(buffer, item), 20u);
  EXPECT_EQ(LoadU16(buffer), RECORD_FOLDER);
  EXPECT_EQ(LoadU16(buffer + 2), u'a');
  EXPECT_EQ(LoadU16(buffer + 6), 0);
  EXPECT_EQ(LoadU32(buffer + 8), 77u);
  EXPECT_EQ(LoadU32(buffer + 12), 0x11223344u);
  EXPECT_EQ(LoadU32(buffer + 16), 0x55667788u);
}

TEST_F(RecordHeapTest, AllocBlockTakesTheFirstBestFitAndKeepsTheRestInOrder) {
  CacheImage image(kDataStart + 2000);
  uint32_t a = kDataStart, b = a + 300, c = b + 120, d = c + 120;
  image.SetU32(a, 300);
  image.SetU32(b, 120);
  image.SetU32(c, 120);
  image.SetU32(d, 90);
  image.FreeList({a, b, c, d});
  Open(image);
  EXPECT_EQ(file_.AllocBlock(100), b);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{a, c, d}));
  EXPECT_EQ(U32(b), 120u) << "capacity word unchanged";
  EXPECT_EQ(file_.AllocBlock(301), NO_BLOCK);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{a, c, d})) << "no fit leaves the list alone";
  EXPECT_EQ(file_.AllocBlock(300), a) << "the head can be taken";
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{c, d}));
  EXPECT_EQ(file_.AllocBlock(90), d) << "the tail can be taken";
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{c}));
  EXPECT_EQ(file_.AllocBlock(6), c);
  EXPECT_EQ(U32(kFreeListHeadOffset), NO_BLOCK);
  EXPECT_EQ(file_.AllocBlock(6), NO_BLOCK) << "empty list";
  EXPECT_EQ(messages_.Count(), 0u);
}

TEST_F(RecordHeapTest, FreeBlockLeavesSmallBlocksAndPushesChildrenFirst) {
  CacheImage image(kDataStart + 2000);
  uint32_t small = kDataStart;
  // capacity 50 with a child: nothing at all happens
  uint32_t smallChild = small + 100;
  image.Block(smallChild, {{u"x", false, 1}}, 60);
  image.Block(small, {{u"sub", true, smallChild}}, 50);
  // capacity 51 whose only folder record has a block of capacity 60
  uint32_t outer = small + 300, inner = outer + 100;
  image.Block(inner, {{u"f", false, 3}}, 60);
  image.Block(outer, {{u"g", true, inner}}, 51);
  Open(image);
  file_.FreeBlock(small);
  EXPECT_TRUE(FreeList().empty());
  file_.FreeBlock(outer);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{outer, inner}));
  EXPECT_EQ(messages_.Count(), 0u);
}

TEST_F(RecordHeapTest, FreeBlockSkipsTakenOverAndSmallSubfoldersAndFreesSiblingsInOrder) {
  CacheImage image(kDataStart + 4000);
  uint32_t top = kDataStart, s1 = top + 400, s2 = s1 + 200, s3 = s2 + 200, tiny = s3 + 200;
  image.Block(s1, {{u"one", false, 1}}, 100);
  image.Block(s2, {{u"two", false, 1}}, 100);
  image.Block(s3, {{u"three", false, 1}}, 100);
  image.Block(tiny, {}, 6);
  image.Block(top, {{u"a", true, s1}, {u"b", true, s2}, {u"c", true, s3}, {u"d", true, tiny},
                    {u"e", true, NO_BLOCK}, {u"file", false, 9}},
              300);
  image.SetU16(image.LinkOffset(top, 1) - 2 * 1 - 4, RECORD_TAKEN_OVER);  // "b" is taken over
  Open(image);
  file_.FreeSubBlock(top);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{s3, s1})) << "top kept, b not followed, tiny kept";
  EXPECT_EQ(U32(top), 300u);

  // The same tree freed whole: children in record order, then the block itself at the head.
  file_.CloseMapFile(false);
  image.FreeList({});
  Open(image);
  file_.FreeBlock(top);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{top, s3, s1}));
  EXPECT_EQ(messages_.Count(), 0u);
}

TEST_F(RecordHeapTest, ReplaceBlockInPlaceKeepsCapacityAndLink) {
  CacheImage image(kDataStart + 4000);
  uint32_t old = kDataStart, child = old + 600;
  image.Block(child, {{u"gone.txt", false, 1}}, 80);
  image.Block(old, {{u"sub", true, child}}, 500);
  image.SetDrive(u'C', old);
  Open(image);
  uint32_t linkOffset = kRootRecordsOffset + 2 * kDriveRecordLength + 8;
  std::vector<Entry> entries;
  for (int i = 0; i < 10; ++i) entries.push_back({u"file-" + std::u16string(10, u'a' + i), false, 1});
  std::vector<uint8_t> block = MemoryBlock(entries);
  ASSERT_LE(block.size(), 500u);
  ASSERT_EQ(file_.ReplaceBlock(block, old, linkOffset), 0);
  EXPECT_EQ(U32(linkOffset), old);
  EXPECT_EQ(U32(old), 500u) << "capacity stays";
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{child})) << "the old subfolder's block is freed";
  uint32_t childOut = 0;
  EXPECT_NE(file_.FindPath(kRootBlockOffset, u"C:\\file-jjjjjjjjjj", &childOut, nullptr), NO_BLOCK);
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\sub", &childOut, nullptr), NO_BLOCK);
}

TEST_F(RecordHeapTest, ReplaceBlockMovesToAFreeBlockOrAppendsAndFreesTheOld) {
  CacheImage image(kDataStart + 4000);
  uint32_t old = kDataStart, freeBig = old + 400;
  image.Block(old, {{u"x", false, 1}}, 300);
  image.SetU32(freeBig, 450);
  image.FreeList({freeBig});
  image.SetDrive(u'C', old);
  Open(image);
  uint32_t linkOffset = kRootRecordsOffset + 2 * kDriveRecordLength + 8;
  std::vector<Entry> entries;
  for (int i = 0; i < 12; ++i) entries.push_back({std::u16string(10, u'a' + i), false, uint32_t(i)});
  std::vector<uint8_t> block = MemoryBlock(entries);
  ASSERT_GT(block.size(), 300u);
  ASSERT_LE(block.size(), 450u);
  ASSERT_EQ(file_.ReplaceBlock(block, old, linkOffset), 0);
  EXPECT_EQ(U32(linkOffset), freeBig);
  EXPECT_EQ(U32(freeBig), 450u) << "a reused free block keeps its capacity";
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{old}));

  // No free block fits: the block is appended at DataEnd, which grows the file.
  uint32_t dataEnd = U32(kDataEndOffset);
  block = MemoryBlock(entries);
  uint32_t again = 0;
  ASSERT_EQ(file_.StoreNewBlock(block, &again), 0);
  EXPECT_EQ(again, dataEnd);
  EXPECT_EQ(U32(kDataEndOffset), dataEnd + block.size());
  EXPECT_EQ(U32(again), block.size());
}

TEST_F(RecordHeapTest, AppendGrowsTheFileInWholeStepsLeavingSixteenMegabytes) {
  CacheImage image(kDataStart + 1000);
  Open(image);
  uint32_t size = U32(kMappedSizeOffset);
  ASSERT_EQ(size, U32(kDataEndOffset));
  std::vector<Entry> entries;
  for (int i = 0; i < 200; ++i) entries.push_back({std::u16string(17, u'q'), false, 1});
  std::vector<uint8_t> block = MemoryBlock(entries);
  ASSERT_GE(block.size(), 10000u);
  uint32_t offset = 0;
  ASSERT_EQ(file_.StoreNewBlock(block, &offset), 0);
  EXPECT_EQ(offset, size);
  EXPECT_EQ(U32(kMappedSizeOffset), size + 33554432u);
  EXPECT_EQ(file_.GetMapSize(), size + 33554432u);
  EXPECT_EQ(U32(kDataEndOffset), size + block.size());
  // Enough room is left: the next small block does not grow the file again.
  block = MemoryBlock({{u"z", false, 1}});
  ASSERT_EQ(file_.StoreNewBlock(block, &offset), 0);
  EXPECT_EQ(U32(kMappedSizeOffset), size + 33554432u);
}

TEST_F(RecordHeapTest, FindPathWalksComponentsWithoutRegardToCase) {
  CacheImage image(kDataStart + 4000);
  uint32_t c = kDataStart, windows = c + 300, empty = windows + 300;
  image.Block(windows, {{u"notepad.exe", false, 200}, {u"System32", true, NO_BLOCK}});
  image.Block(c, {{u"Windows", false, 5}, {u"Windows", true, windows}, {u"Users", true, empty}});
  image.Block(empty, {});
  image.SetDrive(u'C', c);
  Open(image);
  uint32_t child = 0, link = 0;
  // Without a trailing backslash the first equal name wins, here a file; with one, only a folder.
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"c:\\windows", &child, &link), c + 4);
  EXPECT_EQ(child, NO_BLOCK);
  uint32_t rec = file_.FindPath(kRootBlockOffset, u"c:\\windows\\", &child, &link);
  EXPECT_EQ(rec, c + 4 + RecordLength(7));
  EXPECT_EQ(child, windows);
  EXPECT_EQ(link, image.LinkOffset(c, 1));
  child = 0;
  link = 12345;
  rec = file_.FindPath(kRootBlockOffset, u"C:\\Windows\\notepad.exe", &child, &link);
  EXPECT_EQ(rec, windows + 4);
  EXPECT_EQ(child, NO_BLOCK);
  EXPECT_EQ(link, 12345u) << "a file leaves the link offset alone";
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\Windows\\notepad.exe\\", &child, nullptr),
            NO_BLOCK);
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\nothing", &child, nullptr), NO_BLOCK);
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\Windows\\System32\\x.dll", &child, nullptr),
            NO_BLOCK)
      << "through a folder with NO_BLOCK";
  EXPECT_NE(file_.FindPath(kRootBlockOffset, u"C:\\", &child, &link), NO_BLOCK);
  EXPECT_EQ(child, c);
  child = 0;
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"D:\\", &child, &link),
            kRootRecordsOffset + 3 * kDriveRecordLength);
  EXPECT_EQ(child, NO_BLOCK) << "a drive that is not cached";
  EXPECT_EQ(file_.FindPath(NO_BLOCK, u"C:", &child, nullptr), NO_BLOCK);
  // A component longer than any name is refused, not copied.
  std::u16string longPath = u"C:\\" + std::u16string(300, u'x');
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, longPath.c_str(), &child, nullptr), NO_BLOCK);
  std::u16string exact = u"C:\\" + std::u16string(259, u'x');
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, exact.c_str(), &child, nullptr), NO_BLOCK);
}

TEST_F(RecordHeapTest, TakeOverFolderPassesOverFilesAndHidesTheFolderFromLookups) {
  CacheImage image(kDataStart + 4000);
  uint32_t c = kDataStart, sub = c + 300;
  image.Block(sub, {{u"inside-the-taken-over-folder", false, 1}});
  image.Block(c, {{u"docs", false, 1}, {u"DOCS", true, sub}});
  image.SetDrive(u'C', c);
  Open(image);
  EXPECT_EQ(file_.TakeOverFolder(c, u"Docs"), sub);
  uint32_t child = 0;
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\docs\\", &child, nullptr), NO_BLOCK);
  EXPECT_NE(file_.FindPath(kRootBlockOffset, u"C:\\docs", &child, nullptr), NO_BLOCK) << "the file";
  EXPECT_EQ(file_.TakeOverFolder(c, u"docs"), NO_BLOCK) << "already taken over";
  file_.FreeBlock(c);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{c})) << "the taken-over block belongs to another";
}

}  // namespace
}  // namespace lvx::cache
