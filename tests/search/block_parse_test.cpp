// The fast record reader against CDBMapFile::ReadRecord, record by record on random bytes. Built
// twice: with the eight-at-a-time scans and with the scalar loops of the release target.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tree_image.h"
#include "search/block_reader.h"
#include "support/temp_dir.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

TEST(BlockReader, ParseRecordAgreesWithReadRecord) {
  TempDir dir;
  const std::string cachePath = (std::filesystem::path(dir.HostPath()) / "cache.db").string();
  // Bytes that are mostly small, so that terminators and end marks turn up at every distance.
  std::mt19937 rng(21);
  std::vector<uint8_t> bytes(300000);
  for (uint8_t& b : bytes) b = (rng() % 3 == 0) ? 0 : uint8_t(rng() % 4 == 0 ? rng() : u'a' + rng() % 3);
  int satisfied = 0;
  WriteBytes(cachePath, bytes);
  cache::CDBMapFile file;
  ASSERT_TRUE(file.OpenForReading(dir.Child("cache.db")));
  RequiredChars any, all;
  any.count = 2;
  any.chars[0] = u'b';
  any.chars[1] = u'q';
  all.count = 3;
  all.all = true;
  all.chars[0] = u'a';
  all.chars[1] = u'b';
  all.chars[2] = u'c';
  const RequiredChars* sets[] = {nullptr, &any, &all};
  const NameScanner scanners[] = {NameScanner{RequiredChars{}}, NameScanner{any}, NameScanner{all}};
  int valid = 0;
  for (int i = 0; i < 200000; ++i) {
    uint32_t offset = (rng() % uint32_t(bytes.size() - 4000)) & ~1u;
    uint32_t room = rng() % 700;
    cache::Record slow{}, fast{};
    bool slowOk = file.ReadRecord(offset, offset + room, &slow);
    const uint8_t* p = file.GetSpan(offset, room);
    ASSERT_NE(p, nullptr);
    bool holds = false;
    const int which = i % 3;
    bool fastOk = ParseRecord(p, offset, room, scanners[which], &fast, &holds);
    ASSERT_EQ(fastOk, slowOk) << "offset " << offset << " room " << room;
    if (!slowOk) continue;
    ++valid;
    ASSERT_EQ(fast.type, slow.type);
    ASSERT_EQ(fast.length, slow.length);
    if (slow.type == cache::RECORD_END) continue;
    ASSERT_EQ(fast.name, slow.name);
    ASSERT_EQ(fast.nameLength, slow.nameLength);
    ASSERT_EQ(fast.sizeOrLink, slow.sizeOrLink);
    ASSERT_EQ(fast.timeLow, slow.timeLow);
    ASSERT_EQ(fast.timeHigh, slow.timeHigh);
    ASSERT_EQ(fast.linkOffset, slow.linkOffset);
    bool expected = true;
    if (sets[which]) {
      uint32_t seen = 0;
      for (uint32_t k = 0; k < slow.nameLength; ++k) seen |= sets[which]->BitOf(slow.name[k]);
      expected = sets[which]->Satisfied(seen);
    }
    ASSERT_EQ(holds, expected) << "offset " << offset;
    satisfied += which > 0 && holds;
  }
  EXPECT_GT(valid, 20000);
  EXPECT_GT(satisfied, 1000);
}

}  // namespace
}  // namespace lvx::test
