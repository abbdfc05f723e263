// The record heap's rules on hand-made files (sizes in KB, best-fit allocation, freeing whole
// subtrees, in-place and moved replacement, growth, path lookup and take-over), and damaged or
// foreign files: every reader, heap operation and compaction must fail cleanly, report the
// operation's message, and never read outside the mapping or loop for ever. The record layout is
// checked byte for byte by the build's worked example (tests/indexer).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "cache/block_builder.h"
#include "cache/defragmenter.h"
#include "cache/dump.h"
#include "cache/map_file.h"
#include "cache/state_file.h"
#include "platform/fault.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::cache {
namespace {

using test::CacheImage;
using test::Entry;

class RecordHeapTest : public ::testing::Test {
 protected:
  // A damaged header may make the open refuse the file (then mayRefuse says so).
  CDBMapFile& Open(const CacheImage& image, bool mayRefuse = false) {
    file_.CloseMapFile(false);
    image.WriteTo(path_);
    EXPECT_TRUE(file_.OpenForUpdate(path_) || (mayRefuse && file_.Damaged()));
    return file_;
  }
  bool Found(const char16_t* path) {
    uint32_t child = 0;
    return file_.FindPath(kRootBlockOffset, path, &child, nullptr) != NO_BLOCK;
  }
  uint32_t U32(uint32_t offset) {
    uint32_t v = 0;
    EXPECT_TRUE(file_.GetU32(offset, &v));
    return v;
  }
  std::vector<uint32_t> FreeList() {
    std::vector<uint32_t> list;
    for (uint32_t b = U32(kFreeListHeadOffset); b != NO_BLOCK && list.size() < 100; b = U32(b + 4)) list.push_back(b);
    return list;
  }
  // A block built in memory, as a refresh hands it over.
  static std::vector<uint8_t> MemoryBlock(const std::vector<Entry>& entries, uint32_t* length) {
    CacheImage scratch(kDataStart + test::BlockSize(entries));
    *length = scratch.Block(kDataStart, entries);
    return std::vector<uint8_t>(&scratch.bytes[kDataStart], &scratch.bytes[kDataStart] + *length);
  }
  static std::vector<Entry> Files(int count, int nameLength) {
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) entries.push_back({std::u16string(nameLength, u'a' + i % 26), false, 1});
    return entries;
  }

  // C:\ holds "docs" (its block at DataStart + 200, with one.txt and two.txt) and a.txt.
  static CacheImage ValidTree() {
    CacheImage image(kDataStart + 1024);
    image.Block(kDataStart + 200, {{u"one.txt", false, 1}, {u"two.txt", false, 2}});
    image.Block(kDataStart, {{u"docs", true, kDataStart + 200}, {u"a.txt", false, 3}});
    image.SetDrive(u'C', kDataStart);
    return image;
  }

  test::TempDir dir_;
  std::u16string path_ = dir_.Path() + u"cache.db";
  CDBMapFile file_;
  test::RecordingMessages messages_;
};

TEST(RecordFormat, SizesInKilobytes) {
  struct {
    uint32_t high, low, kb;
  } rows[] = {{0, 0, 0}, {0, 1, 1}, {0, 1023, 1}, {0, 1024, 2}, {0, 1048576, 1025}, {1, 0, (1u << 22) + 1},
              // 4 TB and more hold at the largest value instead of wrapping to a small one.
              {1023, 0xFFFFFBFFu, 0xFFFFFFFFu}, {1023, 0xFFFFFC00u, 0xFFFFFFFFu}, {1024, 0, 0xFFFFFFFFu},
              {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}};
  for (auto row : rows) EXPECT_EQ(SizeInKB(row.high, row.low), row.kb) << row.high << ":" << row.low;
}

// A folder of 5,000 longest names outgrows the builder's first megabyte three times. When memory runs
// out at a growth, the append says so and the records taken so far are whole.
TEST_F(RecordHeapTest, ABlockBuiltInMemoryGrowsAndStopsCleanlyWhenMemoryRunsOut) {
  const std::vector<Entry> entries = Files(5000, 259);
  for (int failingGrowth : {0, 1, 3}) {
    SCOPED_TRACE(failingGrowth);
    BlockBuilder block;
    ASSERT_TRUE(block.Start());
    if (failingGrowth) os::fault::FailNth(os::fault::Op::Alloc, failingGrowth, os::Error::OutOfMemory);
    size_t taken = 0;
    for (const Entry& e : entries) {
      if (!block.Append({e.name.c_str(), e.sizeOrLink})) break;
      ++taken;
    }
    os::fault::Reset();
    EXPECT_EQ(taken < entries.size(), failingGrowth != 0);
    uint32_t length = 0;
    const std::vector<Entry> kept(entries.begin(), entries.begin() + taken);
    const std::vector<uint8_t> expected = MemoryBlock(kept, &length);
    const std::span<const uint8_t> built = block.Finish();
    EXPECT_TRUE(std::equal(built.begin(), built.end(), expected.begin(), expected.end()));
  }
}

TEST_F(RecordHeapTest, AllocBlockTakesTheFirstBestFitAndKeepsTheRestInOrder) {
  CacheImage image(kDataStart + 2000);
  uint32_t a = kDataStart, b = a + 300, c = b + 120, d = c + 120;
  for (auto [block, capacity] : {std::pair{a, 300u}, {b, 120u}, {c, 120u}, {d, 90u}}) image.SetU32(block, capacity);
  image.FreeList({a, b, c, d});
  Open(image);
  EXPECT_EQ(file_.AllocBlock(100), b);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{a, c, d}));
  EXPECT_EQ(U32(b), 120u) << "capacity word unchanged";
  EXPECT_EQ(file_.AllocBlock(301), NO_BLOCK);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{a, c, d})) << "no fit leaves the list alone";
  EXPECT_EQ(file_.AllocBlock(300), a) << "the head";
  EXPECT_EQ(file_.AllocBlock(90), d) << "the tail";
  EXPECT_EQ(file_.AllocBlock(6), c);
  EXPECT_EQ(file_.AllocBlock(6), NO_BLOCK) << "an empty list";
  EXPECT_EQ(messages_.Count(), 0u);
}

TEST_F(RecordHeapTest, FreeingGoesChildrenFirstAndLeavesSmallAndTakenOverBlocks) {
  CacheImage image(kDataStart + 4000);
  // Capacity 50 with a child: nothing at all happens. Capacity 51 with a child of 60: both go,
  // the inner first, so that the outer ends up at the head.
  uint32_t small = kDataStart, smallChild = small + 100, outer = small + 300, inner = outer + 100;
  image.Block(smallChild, {{u"x", false, 1}}, 60);
  image.Block(small, {{u"sub", true, smallChild}}, 50);
  image.Block(inner, {{u"f", false, 3}}, 60);
  image.Block(outer, {{u"g", true, inner}}, 51);
  // Siblings in record order; b is taken over, d too small, e has no block.
  uint32_t top = kDataStart + 1000, s1 = top + 400, s2 = s1 + 200, s3 = s2 + 200, tiny = s3 + 200;
  for (uint32_t s : {s1, s2, s3}) image.Block(s, {{u"one", false, 1}}, 100);
  image.Block(tiny, {}, 6);
  image.Block(top, {{u"a", true, s1}, {u"b", true, s2}, {u"c", true, s3}, {u"d", true, tiny}, {u"e", true, NO_BLOCK},
                    {u"file", false, 9}}, 300);
  image.SetU16(image.LinkOffset(top, 1) - 6, RECORD_TAKEN_OVER);
  Open(image);
  file_.FreeBlock(small);
  EXPECT_TRUE(FreeList().empty());
  file_.FreeBlock(outer);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{outer, inner}));
  file_.FreeSubBlock(top);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{s3, s1, outer, inner})) << "top itself is kept";
  image.FreeList({});
  Open(image);
  file_.FreeBlock(top);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{top, s3, s1}));
  EXPECT_EQ(messages_.Count(), 0u);
}

TEST_F(RecordHeapTest, ReplaceBlockWritesInPlaceMovesOrAppendsWithGrowth) {
  CacheImage image(kDataStart + 4000);
  uint32_t c = kDataStart, child = c + 600, d = c + 800, freeBig = c + 1200;
  image.Block(child, {{u"gone.txt", false, 1}}, 80);
  image.Block(c, {{u"sub", true, child}}, 500);
  image.Block(d, {{u"x", false, 1}}, 300);
  image.SetU32(freeBig, 450);
  image.FreeList({freeBig});
  image.SetDrive(u'C', c);
  image.SetDrive(u'D', d);
  Open(image);
  uint32_t cLink = kRootRecordsOffset + 2 * 20 + 8, dLink = cLink + 20, length = 0, child0 = 0;
  // 400 bytes over a capacity of 500: in place, capacity and link kept, the old subfolder freed.
  std::vector<uint8_t> buffer = MemoryBlock(Files(10, 10), &length);
  ASSERT_EQ(file_.ReplaceBlock(buffer, c, cLink), 0);
  EXPECT_EQ(U32(cLink), c);
  EXPECT_EQ(U32(c), 500u);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{child, freeBig}));
  EXPECT_NE(file_.FindPath(kRootBlockOffset, u"C:\\jjjjjjjjjj", &child0, nullptr), NO_BLOCK);
  EXPECT_EQ(file_.FindPath(kRootBlockOffset, u"C:\\sub", &child0, nullptr), NO_BLOCK);
  // Over a capacity of 300: into the free block of 450 (kept as it is), the old block freed.
  buffer = MemoryBlock(Files(12, 10), &length);
  ASSERT_EQ(file_.ReplaceBlock(buffer, d, dLink), 0);
  EXPECT_EQ(U32(dLink), freeBig);
  EXPECT_EQ(U32(freeBig), 450u);
  EXPECT_EQ(FreeList(), (std::vector<uint32_t>{d, child}));
  // No free block fits: appended at DataEnd, which grows the file by whole steps, once.
  uint32_t size = U32(kMappedSizeOffset), offset = 0;
  buffer = MemoryBlock(Files(200, 17), &length);
  ASSERT_EQ(file_.StoreNewBlock(buffer, &offset), 0);
  EXPECT_EQ(offset, size);
  EXPECT_EQ(U32(offset), length);
  EXPECT_EQ(U32(kDataEndOffset), size + length);
  EXPECT_EQ(U32(kMappedSizeOffset), size + 33554432u);
  EXPECT_EQ(file_.GetMapSize(), size + 33554432u);
  uint32_t first = length;
  buffer = MemoryBlock(Files(10, 30), &length);
  ASSERT_EQ(file_.StoreNewBlock(buffer, &offset), 0);
  EXPECT_EQ(offset, size + first) << "appended after the first";
  EXPECT_EQ(U32(kMappedSizeOffset), size + 33554432u) << "16 MB were left: no second growth";
}

TEST_F(RecordHeapTest, FindPathWalksComponentsWithoutRegardToCaseAndSkipsWhatIsTakenOver) {
  CacheImage image(kDataStart + 4000);
  uint32_t c = kDataStart, windows = c + 300;
  image.Block(windows, {{u"notepad.exe", false, 200}, {u"System32", true, NO_BLOCK}});
  image.Block(c, {{u"Windows", false, 5}, {u"Windows", true, windows}});
  image.SetDrive(u'C', c);
  Open(image);
  const uint32_t fileRecord = c + 4, folderRecord = c + 4 + RecordLength(7);
  struct {
    std::u16string path;
    uint32_t record, child, link;  // link: the link offset returned (12345: untouched)
  } rows[] = {
      {u"c:\\windows", fileRecord, NO_BLOCK, 12345},  // the first equal name wins: a file
      {u"c:\\windows\\", folderRecord, windows, image.LinkOffset(c, 1)},
      {u"C:\\Windows\\notepad.exe", windows + 4, NO_BLOCK, 12345},
      {u"C:\\Windows\\notepad.exe\\", NO_BLOCK, 0, 12345},
      {u"C:\\nothing", NO_BLOCK, 0, 12345},
      {u"C:\\Windows\\System32\\x.dll", NO_BLOCK, 0, 12345},  // through a folder with NO_BLOCK
      {u"C:\\", kRootRecordsOffset + 2 * 20, c, kRootRecordsOffset + 2 * 20 + 8},
      {u"D:", kRootRecordsOffset + 3 * 20, NO_BLOCK, kRootRecordsOffset + 3 * 20 + 8},  // not cached
      {u"C:\\" + std::u16string(259, u'x'), NO_BLOCK, 0, 12345},  // longer than any name: refused
      {u"C:\\" + std::u16string(300, u'x'), NO_BLOCK, 0, 12345},
  };
  for (const auto& row : rows) {
    uint32_t child = 0, link = 12345;
    EXPECT_EQ(file_.FindPath(kRootBlockOffset, row.path.c_str(), &child, &link), row.record) << row.path.size();
    if (row.record != NO_BLOCK) { EXPECT_EQ(child, row.child) << row.path.size(); }
    EXPECT_EQ(link, row.link) << row.path.size();
  }
  uint32_t child = 0;
  EXPECT_EQ(file_.FindPath(NO_BLOCK, u"C:", &child, nullptr), NO_BLOCK);
  // A folder taken over (as a refresh marks it) is hidden from lookups; the file of its name is not.
  file_.PutU16(folderRecord, RECORD_TAKEN_OVER);
  EXPECT_FALSE(Found(u"C:\\Windows\\") || Found(u"C:\\Windows\\notepad.exe"));
  EXPECT_TRUE(Found(u"C:\\Windows")) << "the file";
  file_.FreeBlock(c);
  EXPECT_EQ(FreeList(), std::vector<uint32_t>{c}) << "the taken-over block belongs to another record";
}

// Damage behind a sound header (a damaged header is refused by the open: the lifecycle tests).
TEST_F(RecordHeapTest, DamageIsRefusedWhereItIsAndWhatLiesBeforeItStaysReadable) {
  const uint32_t docs = kDataStart + 200;
  auto link = [](uint32_t value) { return [=](CacheImage& i) { i.SetU32(i.LinkOffset(kDataStart, 0), value); }; };
  auto freeList = [](std::vector<uint32_t> blocks, uint32_t lastNext) {
    return [=](CacheImage& i) {
      for (uint32_t b : blocks) i.SetU32(b, 100);
      i.SetU32(kDataEndOffset, kDataStart + 900);
      i.FreeList(blocks);
      i.SetU32(blocks.back() + 4, lastNext);
    };
  };
  const std::u16string alloc = u"Error in AllocBlock", free = u"Error in FreeBlock";
  struct {
    const char* what;
    std::function<void(CacheImage&)> damage;
    const char16_t *lost, *kept;  // a path behind the damage, one before it
    bool treeDamaged;
    std::vector<std::u16string> messages;  // of StoreNewBlock and FreeBlock(the drive's block)
  } rows[] = {
      {"a link past the file", link(0x7FFFFFF0), u"C:\\docs\\one.txt", u"C:\\a.txt", true, {free}},
      {"an odd link", link(kDataStart + 1), u"C:\\docs\\one.txt", u"C:\\a.txt", true, {free}},
      {"a link to no block", link(kDataStart + 1020), u"C:\\docs\\one.txt", u"C:\\a.txt", true, {free}},
      {"a capacity too small for the records", [=](CacheImage& i) { i.SetU32(docs, 20); }, u"C:\\docs\\one.txt",
       u"C:\\docs", true, {}},
      {"a capacity of 0 below the root", [](CacheImage& i) { i.SetU32(kDataStart, 0); }, u"C:\\a.txt", nullptr, true,
       {free}},
      {"a name without its end",
       [=](CacheImage& i) {
         i.SetU32(docs, kDataStart + 1024 - docs);
         for (uint32_t at = docs + 6; at < kDataStart + 1024; at += 2) i.SetU16(at, u'x');
       },
       u"C:\\docs\\one.txt", u"C:\\a.txt", true, {free}},
      {"a free list that loops", freeList({kDataStart + 400, kDataStart + 500}, kDataStart + 400), nullptr,
       u"C:\\docs\\two.txt", false, {alloc}},
      {"a free list that leaves the file", freeList({kDataStart + 400}, 0x7FFFFF00u), nullptr, u"C:\\docs", false,
       {alloc}},
  };
  StateFile state(dir_.Path() + u"stateinfo.ini");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    CacheImage image = ValidTree();
    row.damage(image);
    test::RecordingMessages messages;
    CDBMapFile& file = Open(image);
    EXPECT_EQ(DumpCache(file, nullptr).ok, !row.treeDamaged);
    EXPECT_TRUE(!row.lost || !Found(row.lost)) << "found behind the damage";
    EXPECT_TRUE(!row.kept || Found(row.kept)) << "lost before the damage";
    std::vector<uint8_t> block(6, 0);
    StoreU32(block.data(), 6);
    uint32_t at = 0;
    bool stored = file.StoreNewBlock(block, &at) == 0;
    EXPECT_TRUE(!stored || (at >= kDataStart && at <= file.GetMapSize() - 6)) << "stored at " << at;
    file.FreeBlock(kDataStart);
    EXPECT_EQ(messages.Texts(), row.messages);
    // Compaction refuses a damaged tree and leaves the file as it was.
    file.CloseMapFile(false);
    if (row.lost == nullptr) continue;
    image.WriteTo(path_);
    EXPECT_EQ(CacheDefragmenter().Defragment(path_, state), -1);
    EXPECT_TRUE(messages.Contains(u"cannot be compacted"));
    EXPECT_EQ(CacheImage::ReadFrom(path_), image.bytes);
  }
}

TEST_F(RecordHeapTest, ATreeThatLoopsIsNeitherFreedNorCompactedForEver) {
  CacheImage image(kDataStart + 1024);
  uint32_t top = kDataStart, sub = top + 200;
  image.Block(sub, {{u"back", true, top}, {u"pad", false, 1}}, 80);
  image.Block(top, {{u"sub", true, sub}, {u"pad", false, 1}}, 80);
  image.SetDrive(u'C', top);
  CDBMapFile& file = Open(image);
  file.FreeBlock(top);
  file.FreeSubBlock(sub);
  EXPECT_EQ(messages_.Texts(), (std::vector<std::u16string>{u"Error in FreeBlock", u"Error in FreeSubBlock"}));
  DumpResult dump = DumpCache(file, nullptr);
  EXPECT_NE(dump.error.find("twice"), std::string::npos);
  EXPECT_TRUE(Found(u"C:\\sub\\back\\sub\\back\\pad")) << "the lookup follows the path, not the loop";
  file.CloseMapFile(false);
  StateFile state(dir_.Path() + u"stateinfo.ini");
  EXPECT_EQ(CacheDefragmenter().Defragment(path_, state), -1);
  // Without the loop, a taken-over record is dropped with its block (another record owns it now).
  uint32_t gone = top + 400;
  image.Block(sub, {{u"kept.txt", false, 1}});
  image.Block(gone, {{u"lost.txt", false, 1}});
  image.Block(top, {{u"sub", true, sub}, {u"gone", true, gone}, {u"a.txt", false, 2}});
  image.SetU16(image.LinkOffset(top, 1) - 2 * 4 - 4, RECORD_TAKEN_OVER);
  image.WriteTo(path_);
  ASSERT_EQ(CacheDefragmenter().Defragment(path_, state), 0);
  CacheImage compacted;
  compacted.bytes = CacheImage::ReadFrom(path_);
  Open(compacted);
  EXPECT_TRUE(Found(u"C:\\sub\\kept.txt") && Found(u"C:\\a.txt"));
  EXPECT_FALSE(Found(u"C:\\gone") || Found(u"C:\\gone\\lost.txt"));
  EXPECT_EQ(DumpCache(file, nullptr).blocks, 2u) << "the drive's block and sub's";
}

// Random damage to a valid file: nothing may crash, hang or touch memory outside the mapping (the
// sanitizers watch); results are whatever the damage allows.
TEST_F(RecordHeapTest, RandomDamageNeverCrashes) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 300; ++round) {
    CacheImage image = ValidTree();
    for (int i = 0, hits = 1 + int(random() % 8); i < hits; ++i)
      image.bytes[random() % 2 ? kDataStart + random() % 400 : random() % 700] = uint8_t(random());
    if (random() % 5 == 0) image.Resize(uint32_t(random() % image.bytes.size()) + 4);
    CDBMapFile& file = Open(image, true);
    if (!file.IsOpen()) continue;
    DumpCache(file, nullptr);
    uint32_t child = 0, link = 0;
    file.FindPath(kRootBlockOffset, u"C:\\docs\\one.txt", &child, &link);
    file.AllocBlock(uint32_t(random() % 200));
    file.FreeBlock(kDataStart);
  }
}

}  // namespace
}  // namespace lvx::cache
