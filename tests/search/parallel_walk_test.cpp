// The parallel walk against the one-thread walk on random trees, patterns, filters, locations and
// limits: the result arrays must be the same, entry for entry.
#include <random>
#include <string>
#include <tuple>

#include "search_fixture.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

std::u16string RandomName(std::mt19937& random) {
  static const char16_t kUnits[] = u"abAB.mp3x\u00e4";
  std::u16string name;
  for (int n = 1 + int(random() % 7); n > 0; --n) name += kUnits[random() % 10];
  return name;
}

std::vector<Node> RandomContents(std::mt19937& random, int depth) {
  std::vector<Node> contents;
  for (int n = int(random() % 7); n > 0; --n) {
    const uint64_t time = random() % 5;
    if (depth < 4 && random() % 3 == 0) {
      contents.push_back(random() % 6 == 0 ? Uncached(RandomName(random), time)
                                           : Folder(RandomName(random), RandomContents(random, depth + 1), time));
    } else {
      contents.push_back(File(RandomName(random), uint32_t(random() % 4), time));
    }
  }
  return contents;
}

std::u16string RandomPattern(std::mt19937& random) {
  static const char16_t kUnits[] = u"ab.mp3*?;A";
  std::u16string pattern;
  for (int n = 1 + int(random() % 5); n > 0; --n) pattern += kUnits[random() % 10];
  return pattern;
}

// Everything a hit shows, and the run's outcome.
using Snapshot = std::tuple<int, uint32_t, uint64_t, std::vector<std::tuple<std::u16string, uint32_t, uint8_t, uint64_t, int32_t>>>;

class ParallelWalk : public SearchFixture {
 protected:
  Snapshot Run(int walkers, const std::u16string& pattern, const std::u16string& location,
               const std::vector<uint32_t>& filters, uint32_t mask) {
    engine_.SetWalkers(walkers);
    const int result = Search(pattern, location, filters, mask);
    Snapshot snapshot{result, engine_.ResultCount(), engine_.TotalSizeKB(), {}};
    for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
      const SearchResult& r = engine_.Results()[i];
      std::get<3>(snapshot).emplace_back(std::u16string(r.path) + r.name, r.sizeKB, r.isFolder,
                                         r.modified.Value(), r.iconIndex);
    }
    return snapshot;
  }
};

TEST_F(ParallelWalk, GivesTheOneThreadArray) {
  std::mt19937 random(20261206);
  int split = 0;
  for (int tree = 0; tree < 40; ++tree) {
    Write(CacheImage::FromTree({{u'C', RandomContents(random, 0)}, {u'D', RandomContents(random, 0)},
                                {u'E', RandomContents(random, 1)}}));
    for (int query = 0; query < 8; ++query) {
      const std::u16string pattern = query == 0 ? u"*" : RandomPattern(random);
      std::vector<uint32_t> filters = {NameMatches};
      for (uint32_t code : {TopLevelOnly, FilesOnly, FoldersOnly, MinSize, ModifiedTo})
        if (random() % 5 == 0) filters.push_back(code);
      request_.minSizeKB = 1;
      request_.modifiedTo = os::FileTime::From(2);
      const std::u16string location = random() % 4 == 0 ? u"C:\\" : u"";
      const uint32_t mask = random() % 3 == 0 ? kDriveC | kDriveD : kAllDrives;
      const bool small = random() % 3 == 0;
      engine_.SetCapacities(small ? 6 : SearchEngine::kInitialArrayCapacity, small ? 2 : SearchEngine::kCapacityHeadroom,
                            small ? 40 : SearchEngine::kInitialPoolCapacity);
      const Snapshot one = Run(1, pattern, location, filters, mask);
      const Snapshot three = Run(3, pattern, location, filters, mask);
      ASSERT_EQ(one, three) << "tree " << tree << ", pattern " << U8(pattern) << ", location " << U8(location);
      split += std::get<1>(one) > 0;
    }
  }
  EXPECT_GT(split, 100);  // most runs found something to compare
}

}  // namespace
}  // namespace lvx::test
