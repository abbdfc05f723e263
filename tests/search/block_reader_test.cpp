// The fast record reader against CDBMapFile::ReadRecord, search by search on random and damaged
// trees (record by record: block_parse_test.cpp).
#include <random>

#include "search/block_reader.h"
#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

// A random tree with long and non-ASCII names, and one block longer than a view's overlap (read
// through the file even on the fast path).
TreeImage RandomImage(std::mt19937& rng) {
  const std::u16string letters = u"abcdeMPQ3._ \u00E9\u4E2D";
  auto name = [&](size_t maxLength) {
    std::u16string n;
    size_t length = 1 + rng() % maxLength;
    for (size_t i = 0; i < length; ++i) n += letters[rng() % letters.size()];
    return n;
  };
  std::function<std::vector<Node>(int)> make = [&](int depth) {
    std::vector<Node> nodes;
    int count = int(rng() % 12);
    for (int i = 0; i < count; ++i) {
      if (depth < 5 && rng() % 4 == 0) {
        nodes.push_back(rng() % 8 == 0 ? Uncached(name(20), rng()) : Folder(name(40), make(depth + 1), rng()));
      } else {
        nodes.push_back(File(name(rng() % 10 == 0 ? 250 : 30) + u".mp3", rng() % 5000, rng()));
      }
    }
    return nodes;
  };
  TreeImage image;
  std::vector<Node> c = make(0);
  std::vector<Node> huge;
  for (int i = 0; i < 24000; ++i) huge.push_back(File(u"bulk" + U16(std::to_string(i)) + u".dat", 1));
  c.push_back(Folder(u"huge", huge));
  image.AddDrive(u'C', c);
  image.AddDrive(u'D', make(1));
  return image;
}

class FastAndSlow : public SearchFixture {
 protected:
  // Buffers sized for these trees: a run does not need the program's 160 MB.
  void SetUp() override { engine_.SetCapacities(200000, 70000, 4000000); }
  struct Outcome {
    int result;
    Lines hits;
    std::vector<uint64_t> facts;
    uint32_t total;
  };
  Outcome Run(bool fast, const std::u16string& pattern) {
    engine_.SetFastRecords(fast);
    Outcome o{};
    o.result = Search(pattern, u"", {NameMatches}, 0xFFFFFFFFu);
    o.hits = Hits();
    for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
      const SearchResult& r = engine_.Results()[i];
      o.facts.push_back(r.sizeKB);
      o.facts.push_back(r.modified.Value() ^ r.isFolder);
    }
    o.total = engine_.TotalSizeKB();
    return o;
  }
  void Compare(const std::u16string& pattern, const char* what) {
    Outcome slow = Run(false, pattern), fast = Run(true, pattern);
    ASSERT_EQ(fast.result, slow.result) << what << " " << U8(pattern);
    ASSERT_EQ(fast.hits, slow.hits) << what << " " << U8(pattern);
    ASSERT_EQ(fast.facts, slow.facts) << what;
    ASSERT_EQ(fast.total, slow.total) << what;
  }
};

TEST_F(FastAndSlow, SameHitsOnRandomTrees) {
  std::mt19937 rng(31);
  const std::u16string queries[] = {u"*",     u"mp3",        u"*.mp3",       u"q",     u"*q*3;*\u00E9*",
                                    u"a?c*",  u"\u4E2D",     u"bulk1;bulk2", u";",     u"*e*.mp3;*.dat",
                                    u"xyzzy", u"??*m*",      u"P q"};
  for (int tree = 0; tree < 6; ++tree) {
    TreeImage image = RandomImage(rng);
    Write(image);
    for (const std::u16string& q : queries) Compare(q, "random tree");
  }
}

TEST_F(FastAndSlow, SameOutcomeOnDamagedTrees) {
  std::mt19937 rng(41);
  TreeImage image = RandomImage(rng);
  const std::vector<uint8_t> clean = image.Build();
  RecordingMessages messages;
  for (int round = 0; round < 100; ++round) {
    bytes_ = clean;
    for (int c = 0; c < 4; ++c) bytes_[cache::kDataStart + rng() % (clean.size() - cache::kDataStart)] = uint8_t(rng());
    Rewrite();
    Compare(round % 2 ? u"*" : u"*a*", "damaged tree");
  }
}

}  // namespace
}  // namespace lvx::test
