// Full searches and refines over cache files written by the test, and damaged cache files: a search
// over one ends with -1 and a message, never a crash or an endless walk.
#include <functional>
#include <string>
#include <tuple>

#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;
using cache::NO_BLOCK;

// Everything on C:, in walk order: each folder after its contents.
const Lines kAllOfC = {u"C:\\a.txt",     u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3",
                       u"C:\\Music\\Old", u"C:\\Music",           u"C:\\empty",          u"C:\\notcached",
                       u"C:\\z.mp3.mp3", u"C:"};
const Lines kAllMp3 = {u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3", u"C:\\z.mp3.mp3",
                       u"D:\\d.mp3"};

class SearchRun : public SearchFixture {
 protected:
  void SetUp() override { Write(StandardImage()); }
};

TEST_F(SearchRun, HitsComeInWalkOrderWithTheirFactsAndFolderTotals) {
  ASSERT_EQ(Search(u"*.MP3"), 0);
  EXPECT_EQ(Hits(), kAllMp3);
  EXPECT_EQ(engine_.TotalSizeKB(), 10u + 0 + 5 + 3 + 7);
  EXPECT_GE(int32_t(engine_.EndTick() - engine_.StartTick()), 0);
  ASSERT_EQ(Search(u"*", u"My Computer", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(Hits(), kAllOfC);
  EXPECT_EQ(engine_.TotalSizeKB(), 1u + 10 + 0 + 5 + 5 + 15 + 0 + 0 + 3 + 19);
  // path, name, size (a folder's: its subtree's files), folder flag, time; the icon is left unresolved.
  const std::tuple<const char16_t*, const char16_t*, const char16_t*, uint32_t, int, uint64_t> facts[] = {
      {u"C:\\Music\\song.mp3", u"C:\\Music\\", u"song.mp3", 10, 0, 300},
      {u"C:\\Music", u"C:\\", u"Music", 15, 1, 200},
      {u"C:\\Music\\Old", u"C:\\Music\\", u"Old", 5, 1, 500},
      {u"C:\\notcached", u"C:\\", u"notcached", 0, 1, 800},
      {u"C:", u"", u"C:", 19, 1, 0}};
  for (const auto& [line, path, name, size, folder, time] : facts) {
    const SearchResult& h = Hit(line);
    EXPECT_EQ(std::tuple(std::u16string(h.path), std::u16string(h.name), h.sizeKB, int(h.isFolder), h.modified.Value(),
                         h.iconIndex),
              std::tuple(std::u16string(path), std::u16string(name), size, folder, time, ICON_UNRESOLVED))
        << U8(line);
  }
}

TEST_F(SearchRun, FiltersLocationsAndDrives) {
  struct RunCase {
    const char* what;
    std::u16string pattern, location;
    std::vector<uint32_t> filters;
    uint32_t mask;
    int result;
    Lines hits;
    uint32_t minKB = 0, maxKB = 0;
    uint64_t from = 0, to = 0;
  };
  Lines driveRecords;
  for (char16_t c = u'A'; c <= u'Z'; ++c) driveRecords.push_back(std::u16string{c, u':'});
  const std::vector<uint32_t> name = {NameMatches};
  const RunCase cases[] = {
      {"files only", u"*", u"", {NameMatches, FilesOnly}, kDriveC, 0,
       {u"C:\\a.txt", u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3", u"C:\\z.mp3.mp3"}},
      {"folders only", u"*", u"", {NameMatches, FoldersOnly}, kDriveC, 0,
       {u"C:\\Music\\Old", u"C:\\Music", u"C:\\empty", u"C:\\notcached", u"C:"}},
      {"size range, folders by subtree", u"*", u"", {NameMatches, MinSize, MaxSize}, kDriveC, 0,
       {u"C:\\Music\\song.mp3", u"C:\\Music\\Old\\x.mp3", u"C:\\Music\\Old", u"C:\\Music"}, 5, 15},
      {"folder minimum", u"*", u"", {NameMatches, FoldersOnly, MinSize}, kDriveC, 0, {u"C:\\Music", u"C:"}, 15},
      {"unsigned bounds", u"*", u"", {NameMatches, MinSize, MaxSize}, kDriveC, 0, {}, 0x80000000u, 0xFFFFFFFFu},
      {"date range, ends included", u"*", u"", {NameMatches, ModifiedFrom, ModifiedTo}, kDriveC, 0,
       {u"C:\\Music\\Old\\x.mp3", u"C:\\empty", u"C:\\notcached", u"C:\\z.mp3.mp3"}, 0, 0, 600, 900},
      {"no filters pass everything", u"nothing like it", u"", {}, kDriveC, 0, kAllOfC},
      {"unknown codes passed over", u"a.txt", u"", {NameMatches, 99}, kDriveC, 0, {u"C:\\a.txt"}},
      {"top level of a folder", u"*", u"C:\\Music", {NameMatches, TopLevelOnly}, kDriveC, 0,
       {u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old"}},
      {"top level of My Computer", u"*", u"My Computer", {NameMatches, TopLevelOnly}, kDriveC | kDriveD, 0,
       {u"C:", u"D:"}},
      {"drive mask", u"*", u"", name, kDriveD, 0, {u"D:\\d.mp3", u"D:"}},
      {"uncached drives are hits", u"?:", u"", name, kAllDrives, 0, driveRecords},
      {"location", u"*.mp3", u"C:\\Music", name, kDriveC, 0,
       {u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3"}},
      {"location trimmed, any case, kept as typed", u"*.mp3", u"  c:\\music\\old\\ ", name, kDriveC, 0,
       {u"c:\\music\\old\\x.mp3"}},
      {"drive root", u"*.mp3", u"D:\\", name, kDriveD, 0, {u"D:\\d.mp3"}},
      {"drive without backslash", u"*.mp3", u"D:", name, kDriveD, 0, {u"D:\\d.mp3"}},
      {"empty folder", u"*", u"C:\\empty", name, kDriveC, 0, {}},
      {"location on an unselected drive", u"*", u"D:\\", name, kDriveC, 0, {}},
      {"empty query", u";", u"", name, kDriveC | kDriveD, 0, {}},
      {"location is a file", u"*.mp3", u"C:\\a.txt", name, kDriveC | kDriveD, -2, kAllMp3},
      {"location missing", u"*.mp3", u"C:\\nowhere", name, kDriveC | kDriveD, -2, kAllMp3},
      {"double backslash", u"*.mp3", u"C:\\Music\\\\x", name, kDriveC | kDriveD, -2, kAllMp3},
      {"location past the path buffer", u"*.mp3", u"C:\\" + std::u16string(40000, u'x'), name, kDriveC | kDriveD,
       -2, kAllMp3},
  };
  for (const RunCase& c : cases) {
    request_.minSizeKB = c.minKB;
    request_.maxSizeKB = c.maxKB;
    request_.modifiedFrom = os::FileTime::From(c.from);
    request_.modifiedTo = os::FileTime::From(c.to);
    ASSERT_EQ(Search(c.pattern, c.location, c.filters, c.mask), c.result) << c.what;
    EXPECT_EQ(Hits(), c.hits) << c.what;
  }
  EXPECT_EQ(engine_.TotalSizeKB(), 25u);
}

// When the array or the pool would overflow, the search counts, then collects everything.
TEST_F(SearchRun, OverflowCountsThenCollectsEverything) {
  struct {
    uint32_t array, headroom;
    size_t pool;
    std::u16string pattern;
    std::vector<uint32_t> filters;
    int walks;
    uint32_t hits;
  } const cases[] = {
      {6, 2, 1000, u"*.mp3", {NameMatches}, 1, 4},  // four hits fit a limit of four
      {5, 2, 1000, u"*.mp3", {NameMatches}, 3, 4},  // but not a limit of three
      {2, 0, 1000, u"*", {NameMatches, FoldersOnly}, 3, 5},  // no headroom: a folder hit still fits
      {1000, 0, 30, u"*", {NameMatches}, 3, 10},  // the hits up to C:\Music\LOUD.MP3 take 38 characters
      {4, 2, SearchEngine::kInitialPoolCapacity, u"*", {NameMatches}, 3, 10},  // its hits in full below
  };
  for (const auto& c : cases) {
    engine_.SetCapacities(c.array, c.headroom, c.pool);
    ASSERT_EQ(Search(c.pattern, u"", c.filters, kDriveC), 0);
    EXPECT_EQ(engine_.LastWalkCount(), c.walks) << c.array << "/" << c.pool;
    EXPECT_EQ(engine_.ResultCount(), c.hits) << c.array << "/" << c.pool;
  }
  EXPECT_EQ(Hits(), kAllOfC);
  EXPECT_EQ(engine_.TotalSizeKB(), 58u);
}

// The hits of one folder share one path text, also after a subfolder's hits came between them, in
// a collecting walk whose buffers grow and in the exact walk after an overflow alike.
TEST_F(SearchRun, HitsOfOneFolderShareOnePathText) {
  constexpr int kFiles = 5000;  // past the first array chunk; their names pass the first pool chunk
  std::vector<Node> inside;
  Lines expected;
  for (int i = 0; i < kFiles; ++i) {
    if (i == kFiles / 2) {
      inside.push_back(Folder(u"sub", {File(u"x.txt", 1)}));
      expected.push_back(u"C:\\dir\\sub\\x.txt");
    }
    std::u16string name = U16("file-" + std::to_string(100000 + i) + ".txt");
    inside.push_back(File(name, 1));
    expected.push_back(u"C:\\dir\\" + name);
  }
  Write(CacheImage::FromTree({{u'C', {Folder(u"dir", inside)}}}));
  // "C:\dir\" and "C:\dir\sub\" once each, then every name with its end.
  const size_t characters = 8 + 12 + 6 + size_t(kFiles) * 16;
  ASSERT_GT(characters, SearchEngine::kFirstPoolChunk);
  for (uint32_t array : {SearchEngine::kInitialArrayCapacity, 1000u}) {
    engine_.SetCapacities(array, 0, SearchEngine::kInitialPoolCapacity);
    ASSERT_EQ(Search(u"*.txt", u"", {NameMatches}, kDriveC), 0);
    EXPECT_EQ(engine_.LastWalkCount(), array == 1000u ? 3 : 1);
    EXPECT_EQ(Hits(), expected);
    EXPECT_EQ(engine_.PoolUsed(), characters) << array;
    const SearchResult* r = engine_.Results();
    for (uint32_t i = 1; i < engine_.ResultCount(); ++i) {
      if (i == kFiles / 2) continue;  // x.txt in sub
      EXPECT_EQ(r[i].path, r[0].path) << i;
    }
  }
}

// Totals past 32 bits of KB are exact; a folder of 4 TB or more is listed and filtered at the
// largest 32-bit size, one just below it at its exact size.
TEST_F(SearchRun, TotalsPastFourTerabytesAreExactAndHugeFoldersSaturate) {
  constexpr uint32_t kMax = 0xFFFFFFFFu;
  Write(CacheImage::FromTree({{u'C', {Folder(u"big", {File(u"a.vhd", 3000000000u), File(u"b.vhd", 2000000000u)}),
                                      Folder(u"edge", {File(u"c.vhd", kMax - 2), File(u"d.vhd", 1)}),
                                      Folder(u"over", {File(u"e.vhd", kMax), File(u"f.vhd", 1)})}}}));
  const uint64_t files = 5000000000ull + (kMax - 1ull) + (kMax + 1ull);
  struct {
    const char* what;
    std::vector<uint32_t> filters;
    uint32_t minKB, maxKB;
    Lines hits;
    uint64_t total;
  } const cases[] = {
      {"files", {NameMatches, FilesOnly}, 0, 0, {}, files},
      {"folders", {NameMatches, FoldersOnly}, 0, 0, {u"C:\\big", u"C:\\edge", u"C:\\over", u"C:"}, 3ull * kMax + kMax - 1},
      {"at least the largest size", {NameMatches, MinSize}, kMax, 0, {u"C:\\big", u"C:\\over\\e.vhd", u"C:\\over", u"C:"},
       4ull * kMax},
      {"just below it", {NameMatches, FoldersOnly, MaxSize}, 0, kMax - 1, {u"C:\\edge"}, kMax - 1ull},
  };
  for (const auto& c : cases) {
    request_.minSizeKB = c.minKB;
    request_.maxSizeKB = c.maxKB;
    ASSERT_EQ(Search(u"*", u"", c.filters, kDriveC), 0) << c.what;
    if (!c.hits.empty()) {
      EXPECT_EQ(Hits(), c.hits) << c.what;
    }
    EXPECT_EQ(engine_.TotalSizeKB(), c.total) << c.what;
  }
  ASSERT_EQ(Search(u"*"), 0);
  EXPECT_EQ(Hit(u"C:\\big").sizeKB, kMax);
  EXPECT_EQ(Hit(u"C:\\edge").sizeKB, kMax - 1);
  ASSERT_EQ(Refine(u"*.vhd"), 0);
  EXPECT_EQ(engine_.RefinedTotalSizeKB(), files);
}

// A stop request ends the walk at its next look at the stop flag: the search keeps nothing and shows
// no message; a walk shorter than the interval never looks.
TEST_F(SearchRun, AStopEndsTheWalkAtTheNextPoll) {
  engine_.StopSearchThread();  // no thread runs: only the flag is set
  RecordingMessages messages;
  for (uint32_t interval : {1u, 4u}) {
    engine_.SetStopPollInterval(interval);
    EXPECT_EQ(Search(u"*"), -1) << interval;
    EXPECT_EQ(engine_.Results(), nullptr) << interval;
    EXPECT_EQ(engine_.ResultCount(), 0u) << interval;
  }
  engine_.SetStopPollInterval(1000);
  ASSERT_EQ(Search(u"*.mp3"), 0);
  EXPECT_EQ(Hits(), kAllMp3);
  EXPECT_EQ(messages.Count(), 0u);
}

TEST_F(SearchRun, RefineFiltersTheLastFullSearchAfresh) {
  EXPECT_EQ(Refine(u"a*"), -1);  // nothing to refine yet
  ASSERT_EQ(Search(u"*.mp3"), 0);
  ASSERT_EQ(Refine(u"l*"), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\LOUD.MP3"}));
  ASSERT_EQ(Refine(u"s*"), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\song.mp3"}));
  EXPECT_EQ(engine_.RefinedTotalSizeKB(), 10u);
  EXPECT_EQ(engine_.RefinedResults()[0].name, Hit(u"C:\\Music\\song.mp3").name);  // the same pool
  ASSERT_EQ(Refine(u"*", {NameMatches, MinSize}), 0);
  EXPECT_EQ(engine_.RefinedCount(), 5u);
  ASSERT_EQ(Refine(u"q"), 0);
  EXPECT_EQ(engine_.RefinedCount(), 0u);
  EXPECT_EQ(engine_.ResultCount(), 5u);

  // No subdirectories: the entries directly in the full search's location.
  ASSERT_EQ(Search(u"*", u"C:\\Music"), 0);
  ASSERT_EQ(Refine(u"*", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old"}));
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  ASSERT_EQ(Refine(u"*", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:"}));
  ASSERT_EQ(Search(u"no such name"), 0);
  EXPECT_EQ(Refine(u"*"), -1);
}

TEST_F(SearchRun, TakenOverAndUnknownRecordsArePassedOver) {
  Node taken = Folder(u"taken", {File(u"inside.mp3", 4)});
  taken.typeOverride = cache::RECORD_TAKEN_OVER;
  Node odd = File(u"odd.mp3", 9);
  odd.typeOverride = 7;
  Write(CacheImage::FromTree({{u'C', {taken, odd, File(u"kept.mp3", 2)}}}));
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\kept.mp3", u"C:"}));
  EXPECT_EQ(Hit(u"C:").sizeKB, 2u);
}

TEST_F(SearchRun, RootBlockOfARunningBuild) {
  // A build that is still running has written the root only up to C: (capacity 0, D: not yet in).
  image_.SetU32(cache::kDrivesDoneOffset, 0);
  image_.SetU32(cache::kRootBlockOffset, 0);
  image_.SetU16(cache::kRootRecordsOffset + 3 * cache::kDriveRecordLength, cache::RECORD_END);
  Rewrite();
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, kAllDrives), 0);
  EXPECT_EQ(Hits(), Lines(kAllMp3.begin(), kAllMp3.end() - 1));
  ASSERT_EQ(Search(u"?:", u"", {NameMatches}, kAllDrives), 0);
  EXPECT_EQ(Hits(), (Lines{u"A:", u"B:", u"C:"}));
}

TEST_F(SearchRun, PathsLongerThanTheBufferAreNotEntered) {
  // 140 levels of 250-character names: the path passes 32768 characters around level 130.
  const std::u16string name(250, u'n');
  Node level = Folder(name, {File(u"deep.mp3", 1)});
  for (int i = 1; i < 140; ++i) level = Folder(name, {level, File(u"f.mp3", 1)});
  Write(CacheImage::FromTree({{u'C', {level, File(u"top.mp3", 1)}}}));
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, kDriveC), 0);
  uint32_t longest = 0;
  for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
    longest = std::max(longest, uint32_t(std::char_traits<char16_t>::length(engine_.Results()[i].path)));
    EXPECT_NE(std::u16string(engine_.Results()[i].name), u"deep.mp3");
  }
  EXPECT_LT(longest, SearchEngine::kPathBufferChars);
  EXPECT_GT(longest, SearchEngine::kPathBufferChars - 260);
  EXPECT_EQ(Hits().back(), u"C:\\top.mp3");
  EXPECT_EQ(engine_.ResultCount(), longest / 251 + 1);  // one file per level down to the cut
}

TEST_F(SearchRun, DamagedCacheEndsTheSearchWithAMessage) {
  const CacheImage clean = StandardImage();
  const uint32_t music = clean.BlockOf(u"C:\\Music"), size = uint32_t(clean.bytes.size());
  auto link = [&](const char16_t* folder, uint32_t to) {
    return [=](CacheImage& i) { i.SetU32(i.LinkOf(folder), to); };
  };
  auto capacity = [&](uint32_t value) { return [=](CacheImage& i) { i.SetU32(music, value); }; };
  struct {
    const char* what;
    std::function<void(CacheImage&)> damage;
    bool smallCapacity = false;
  } const cases[] = {
      {"link past the end", link(u"C:\\Music", size + 1000)},
      {"link to the last two bytes", link(u"C:\\Music", size - 2)},
      {"odd link", link(u"C:\\Music", music + 1)},
      {"huge link", link(u"C:\\Music", 0xFFFFFFF0u)},
      {"loop to the parent", link(u"C:\\Music\\Old", music)},
      {"drive linked to the root block", link(u"C:", cache::kRootBlockOffset)},
      // The collecting walk overflows first; the counting walk must still stop.
      {"loop after an overflow", link(u"C:\\Music\\Old", clean.BlockOf(u"C:")), true},
      {"capacity below an empty block", capacity(3)},
      {"capacity past the file", capacity(0x7FFFFFFF)},
      {"records past the capacity", capacity(10)},
      {"unterminated name",
       [](CacheImage& i) {
         uint32_t end = i.BlockOf(u"C:\\Music\\Old") + cache::LoadU32(&i.bytes[i.BlockOf(u"C:\\Music\\Old")]);
         for (uint32_t at = i.RecordOf(u"C:\\Music\\Old\\x.mp3") + 2; at + 1 < end; at += 2) i.SetU16(at, u'x');
       }},
      {"cut in the last block", [](CacheImage& i) { i.Resize(i.BlockOf(u"D:") + 8); }},
      {"cut in the header", [](CacheImage& i) { i.Resize(100); }},
  };
  for (const auto& c : cases) {
    Write(clean);
    c.damage(image_);
    Rewrite();
    engine_.SetCapacities(c.smallCapacity ? 3 : SearchEngine::kInitialArrayCapacity,
                          c.smallCapacity ? 1 : SearchEngine::kCapacityHeadroom, c.smallCapacity ? 1000 : 100000);
    RecordingMessages messages;
    EXPECT_EQ(Search(u"*", u"", {NameMatches}, kAllDrives), -1) << c.what;
    EXPECT_EQ(engine_.ResultCount(), 0u) << c.what;
    EXPECT_EQ(engine_.Results(), nullptr) << c.what;
    EXPECT_TRUE(messages.Contains(u"damaged")) << c.what;
    // The next search over a sound file finds everything again.
    Write(clean);
    ASSERT_EQ(Search(u"*.mp3"), 0) << c.what;
    EXPECT_EQ(Hits(), kAllMp3) << c.what;
  }
}

}  // namespace
}  // namespace lvx::test
