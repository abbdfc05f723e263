// The fast record reader against CDBMapFile::ReadRecord, record by record on random bytes. Built
// twice: with the vector scans and with the scalar loops of the release target.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "search/block_reader.h"
#include "support/cache_image.h"
#include "support/temp_dir.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

TEST(BlockReader, ParseRecordAgreesWithReadRecord) {
  TempDir dir;
  // Bytes that are mostly small, so that terminators and end marks turn up at every distance.
  std::mt19937 rng(21);
  CacheImage image;
  image.bytes.resize(300000);
  for (uint8_t& b : image.bytes) b = (rng() % 3 == 0) ? 0 : uint8_t(rng() % 4 == 0 ? rng() : u'a' + rng() % 3);
  const CacheImage sound(uint32_t(image.bytes.size()));  // the open refuses a file without a sound header
  std::copy_n(sound.bytes.begin(), cache::kRootRecordsOffset, image.bytes.begin());
  image.WriteTo(dir.Child("cache.db"));
  cache::CDBMapFile file;
  ASSERT_TRUE(file.OpenForReading(dir.Child("cache.db")));
  // No required characters; any one of b and q; all of a, b and c.
  const RequiredChars sets[] = {RequiredChars{}, CompileQuery(u"b;q").Required(), CompileQuery(u"abc").Required()};
  const NameScanner scanners[] = {NameScanner{sets[0]}, NameScanner{sets[1]}, NameScanner{sets[2]}};
  int valid = 0, satisfied = 0;
  for (int i = 0; i < 200000; ++i) {
    uint32_t offset = (rng() % uint32_t(image.bytes.size() - 4000)) & ~1u;
    uint32_t room = rng() % 700;
    cache::Record slow{}, fast{};
    bool slowOk = file.ReadRecord(offset, offset + room, &slow);
    const uint8_t* p = file.GetSpan(offset, room);
    ASSERT_NE(p, nullptr);
    bool holds = false;
    const int which = i % 3;
    ASSERT_EQ(ParseRecord(p, offset, room, scanners[which], &fast, &holds), slowOk)
        << "offset " << offset << " room " << room;
    if (!slowOk) continue;
    ++valid;
    auto facts = [](const cache::Record& r) {
      bool end = r.type == cache::RECORD_END;  // an end mark's other fields mean nothing
      return std::tuple(r.type, r.length, end ? nullptr : r.name, end ? 0 : r.nameLength, end ? 0 : r.sizeOrLink,
                        end ? 0 : r.timeLow, end ? 0 : r.timeHigh, end ? 0 : r.linkOffset);
    };
    ASSERT_EQ(facts(fast), facts(slow)) << "offset " << offset;
    if (slow.type == cache::RECORD_END) continue;
    uint32_t seen = 0;
    for (uint32_t k = 0; k < slow.nameLength; ++k) seen |= sets[which].BitOf(slow.name[k]);
    ASSERT_EQ(holds, sets[which].Satisfied(seen)) << "offset " << offset;
    satisfied += which > 0 && holds;
  }
  EXPECT_GT(valid, 20000);
  EXPECT_GT(satisfied, 1000);
}

}  // namespace
}  // namespace lvx::test
