// A damaged cache file ends a search with -1 and a message: no crash, no endless walk.
#include <random>

#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;
using cache::NO_BLOCK;

class SearchDamage : public SearchFixture {
 protected:
  void SetUp() override {
    image_ = StandardImage();
    Write(image_);
  }
  // The link word of a folder record.
  uint32_t LinkWord(const std::u16string& path) const {
    size_t slash = path.rfind(u'\\');
    size_t nameLength = slash == std::u16string::npos ? path.size() : path.size() - slash - 1;
    return image_.RecordOf(path) + 2 + 2 * uint32_t(nameLength) + 2;
  }
  void ExpectDamaged(const char* what) {
    RecordingMessages messages;
    EXPECT_EQ(Search(u"*", u"", {NameMatches}, 0xFFFFFFFFu), -1) << what;
    EXPECT_EQ(engine_.ResultCount(), 0u) << what;
    EXPECT_EQ(engine_.Results(), nullptr) << what;
    EXPECT_TRUE(messages.Contains(u"damaged")) << what;
  }
  TreeImage image_;
};

TEST_F(SearchDamage, LinkOutsideTheFile) {
  Put32(bytes_, LinkWord(u"C:\\Music"), uint32_t(bytes_.size()) + 1000);
  Rewrite();
  ExpectDamaged("link past the end");
  Put32(bytes_, LinkWord(u"C:\\Music"), uint32_t(bytes_.size()) - 2);
  Rewrite();
  ExpectDamaged("link to the last two bytes");
  Put32(bytes_, LinkWord(u"C:\\Music"), image_.BlockOf(u"C:\\Music") + 1);
  Rewrite();
  ExpectDamaged("odd link");
}

TEST_F(SearchDamage, FolderLinkingBackToAnAncestor) {
  // Old links back to Music: the walk would go round for ever.
  Put32(bytes_, LinkWord(u"C:\\Music\\Old"), image_.BlockOf(u"C:\\Music"));
  Rewrite();
  ExpectDamaged("loop to the parent");
  // A drive whose root links to the root block.
  Write(image_);
  Put32(bytes_, LinkWord(u"C:"), cache::kRootBlockOffset);
  Rewrite();
  ExpectDamaged("loop to the root block");
}

TEST_F(SearchDamage, LoopFoundInEveryPass) {
  // A loop below a small capacity: the collecting walk overflows first, the counting walk must
  // still stop.
  engine_.SetCapacities(3, 1, 1000);
  Put32(bytes_, LinkWord(u"C:\\Music\\Old"), image_.BlockOf(u"C:"));
  Rewrite();
  ExpectDamaged("loop after overflow");
}

TEST_F(SearchDamage, ImpossibleCapacities) {
  const uint32_t block = image_.BlockOf(u"C:\\Music");
  Put32(bytes_, block, 3);
  Rewrite();
  ExpectDamaged("capacity below an empty block");
  Put32(bytes_, block, 0x7FFFFFFF);
  Rewrite();
  ExpectDamaged("capacity past the file");
  // Capacity too small for the records: the first record runs out of its block.
  Put32(bytes_, block, 10);
  Rewrite();
  ExpectDamaged("records past the capacity");
}

TEST_F(SearchDamage, NameWithoutTerminator) {
  const uint32_t record = image_.RecordOf(u"C:\\Music\\Old\\x.mp3");
  // Overwrite the terminator and everything up to the block's end with letters.
  const uint32_t block = image_.BlockOf(u"C:\\Music\\Old");
  uint32_t end = block + 4 + 16 + 2 * 5 + 2;
  for (uint32_t at = record + 2; at + 1 < end; at += 2) Put16(bytes_, at, u'x');
  Rewrite();
  ExpectDamaged("unterminated name");
}

TEST_F(SearchDamage, TruncatedFile) {
  bytes_.resize(image_.BlockOf(u"D:") + 8);
  Rewrite();
  ExpectDamaged("cut in the last block");
  bytes_.resize(100);
  Rewrite();
  ExpectDamaged("cut in the header");
}

TEST_F(SearchDamage, SearchAfterDamageRecovers) {
  Put32(bytes_, LinkWord(u"C:\\Music"), 0xFFFFFFF0u);
  Rewrite();
  ExpectDamaged("bad link");
  Write(image_);
  ASSERT_EQ(Search(u"*.mp3"), 0);
  EXPECT_EQ(engine_.ResultCount(), 5u);
}

// Random bytes of a larger tree are changed; whatever the search makes of it, it returns one of
// its results and every hit points into its pool. Small capacities send half the runs through the
// counting and exact walks as well.
TEST_F(SearchDamage, RandomCorruptionNeverCrashes) {
  TreeImage big;
  std::vector<Node> top;
  for (int i = 0; i < 12; ++i) {
    std::vector<Node> inner;
    for (int k = 0; k < 8; ++k) inner.push_back(File(u"f" + U16(std::to_string(k)) + u".mp3", uint32_t(k)));
    inner.push_back(Folder(u"sub", {File(u"deep.txt", 3), Uncached(u"u")}));
    top.push_back(Folder(u"dir" + U16(std::to_string(i)), inner));
  }
  big.AddDrive(u'C', top);
  const std::vector<uint8_t> clean = big.Build();
  std::mt19937 rng(11);
  RecordingMessages messages;  // keep the damage messages off the console
  int failures = 0;
  for (int round = 0; round < 400; ++round) {
    bytes_ = clean;
    int changes = 1 + int(rng() % 6);
    for (int c = 0; c < changes; ++c) {
      // Mostly the data area, sometimes the root block.
      uint32_t at = (rng() % 8 == 0) ? cache::kRootBlockOffset + rng() % cache::kRootBlockCapacity
                                     : cache::kDataStart + rng() % uint32_t(clean.size() - cache::kDataStart);
      bytes_[at] = uint8_t(rng());
    }
    Rewrite();
    if (round % 2)
      engine_.SetCapacities(5, 2, 64);
    else
      engine_.SetCapacities(SearchEngine::kInitialArrayCapacity, SearchEngine::kCapacityHeadroom, 100000);
    int result = Search(round % 3 ? u"*" : u"f?.mp3", u"", {NameMatches}, 0xFFFFFFFFu);
    ASSERT_TRUE(result == 0 || result == -1) << "round " << round;
    failures += result == -1;
    for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
      const SearchResult& r = engine_.Results()[i];
      ASSERT_NE(r.path, nullptr);
      ASSERT_NE(r.name, nullptr);
      ASSERT_LT(std::char_traits<char16_t>::length(r.path), SearchEngine::kPathBufferChars);
    }
  }
  EXPECT_GT(failures, 10);  // the damage was real often enough to matter
}

}  // namespace
}  // namespace lvx::test
