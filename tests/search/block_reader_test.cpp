// The fast record reader against CDBMapFile::ReadRecord, search by search on random and damaged
// trees (record by record: block_parse_test.cpp).
#include <functional>
#include <random>
#include <tuple>

#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

// A random tree with long and non-ASCII names, and one block longer than a view's overlap (read
// through the file even on the fast path).
CacheImage RandomImage(std::mt19937& rng) {
  const std::u16string letters = u"abcdeMPQ3._ \u00E9\u4E2D";
  auto name = [&](size_t maxLength) {
    std::u16string n(1 + rng() % maxLength, u' ');
    for (char16_t& c : n) c = letters[rng() % letters.size()];
    return n;
  };
  std::function<std::vector<Node>(int)> make = [&](int depth) {
    std::vector<Node> nodes(rng() % 12);
    for (Node& n : nodes) {
      if (depth < 5 && rng() % 4 == 0)
        n = rng() % 8 == 0 ? Uncached(name(20), rng()) : Folder(name(40), make(depth + 1), rng());
      else
        n = File(name(rng() % 10 == 0 ? 250 : 30) + u".mp3", rng() % 5000, rng());
    }
    return nodes;
  };
  std::vector<Node> c = make(0), huge;
  for (int i = 0; i < 24000; ++i) huge.push_back(File(u"bulk" + U16(std::to_string(i)) + u".dat", 1));
  c.push_back(Folder(u"huge", huge));
  return CacheImage::FromTree({{u'C', c}, {u'D', make(1)}});
}

class FastAndSlow : public SearchFixture {
 protected:
  // Buffers sized for these trees: a run does not need the program's 160 MB.
  void SetUp() override { engine_.SetCapacities(200000, 70000, 4000000); }
  // Everything a search leaves: its result, the hits, their facts and the total.
  std::tuple<int, Lines, std::vector<uint64_t>> Run(bool fast, const std::u16string& pattern) {
    engine_.SetFastRecords(fast);
    int result = Search(pattern, u"", {NameMatches}, kAllDrives);
    std::vector<uint64_t> facts{engine_.TotalSizeKB()};
    for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
      const SearchResult& r = engine_.Results()[i];
      facts.insert(facts.end(), {r.sizeKB, r.modified.Value() ^ r.isFolder});
    }
    return {result, Hits(), facts};
  }
  // The outcome, the same for both readers.
  int Compare(const std::u16string& pattern) {
    auto fast = Run(true, pattern), slow = Run(false, pattern);
    EXPECT_EQ(fast, slow) << U8(pattern);
    return std::get<0>(fast);
  }
};

// Clean trees with every kind of query, then damaged ones (random bytes of the tree, sometimes of
// the root block): both readers come to the same end, 0 or -1, never a crash (AddressSanitizer
// watches every read). Small capacities send half the damaged runs through the counting and exact
// walks as well.
TEST_F(FastAndSlow, SameOutcomeOnCleanAndDamagedTrees) {
  std::mt19937 rng(31);
  const std::u16string queries[] = {u"*",     u"mp3",    u"*.mp3",       u"q", u"*q*3;*\u00E9*", u"a?c*", u"\u4E2D",
                                    u"xyzzy", u"??*m*",  u"bulk1;bulk2", u";", u"*e*.mp3;*.dat", u"P q"};
  for (int tree = 0; tree < 6; ++tree) {
    Write(RandomImage(rng));
    for (const std::u16string& q : queries) Compare(q);
  }
  const CacheImage clean = image_;
  const uint32_t data = uint32_t(clean.bytes.size()) - cache::kDataStart;
  RecordingMessages messages;  // keeps the damage messages off the console
  int failures = 0;
  for (int round = 0; round < 100; ++round) {
    image_ = clean;
    for (int c = 2 + int(rng() % 8); c > 0; --c)
      image_.bytes[rng() % 8 ? cache::kDataStart + rng() % data : cache::kRootBlockOffset + rng() % cache::kRootBlockCapacity] =
          uint8_t(rng());
    Rewrite();
    if (round % 2)
      engine_.SetCapacities(5, 2, 64);
    else
      SetUp();
    int result = Compare(round % 3 ? u"*" : u"*a*");
    ASSERT_TRUE(result == 0 || result == -1) << "round " << round;
    failures += result == -1;
  }
  EXPECT_GT(failures, 5);  // the damage was real often enough to matter
}

}  // namespace
}  // namespace lvx::test
