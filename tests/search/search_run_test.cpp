// Full searches and refines over cache files written by the test.
#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using namespace lvx::search;

class SearchRun : public SearchFixture {
 protected:
  void SetUp() override {
    TreeImage image = StandardImage();
    Write(image);
  }
};

// Everything on C:, in walk order: each folder after its contents.
const Lines kAllOfC = {u"C:\\a.txt",         u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3",
                       u"C:\\Music\\Old\\x.mp3", u"C:\\Music\\Old",  u"C:\\Music",
                       u"C:\\empty",         u"C:\\notcached",      u"C:\\z.mp3.mp3",
                       u"C:"};

TEST_F(SearchRun, FindsMatchingFilesInWalkOrder) {
  ASSERT_EQ(Search(u"*.MP3"), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3",
                           u"C:\\z.mp3.mp3", u"D:\\d.mp3"}));
  EXPECT_EQ(engine_.TotalSizeKB(), 10u + 0 + 5 + 3 + 7);
  EXPECT_EQ(engine_.LastWalkCount(), 1);
  const SearchResult& song = Hit(u"C:\\Music\\song.mp3");
  EXPECT_EQ(std::u16string(song.path), u"C:\\Music\\");
  EXPECT_EQ(std::u16string(song.name), u"song.mp3");
  EXPECT_EQ(song.sizeKB, 10u);
  EXPECT_EQ(song.isFolder, 0);
  EXPECT_EQ(song.modified.Value(), 300u);
  EXPECT_EQ(song.iconIndex, ICON_UNRESOLVED);
  EXPECT_GE(int32_t(engine_.EndTick() - engine_.StartTick()), 0);
}

TEST_F(SearchRun, FoldersFollowTheirContentsWithSubtreeTotals) {
  ASSERT_EQ(Search(u"*", u"My Computer", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(Hits(), kAllOfC);
  EXPECT_EQ(Hit(u"C:\\Music\\Old").sizeKB, 5u);
  EXPECT_EQ(Hit(u"C:\\Music").sizeKB, 15u);
  EXPECT_EQ(Hit(u"C:\\Music").isFolder, 1);
  EXPECT_EQ(Hit(u"C:\\Music").modified.Value(), 200u);
  EXPECT_EQ(Hit(u"C:\\empty").sizeKB, 0u);
  EXPECT_EQ(Hit(u"C:\\notcached").sizeKB, 0u);
  EXPECT_EQ(Hit(u"C:").sizeKB, 19u);
  EXPECT_EQ(std::u16string(Hit(u"C:").path), u"");
  // Every hit counts once in the total, folders with their subtree sizes.
  EXPECT_EQ(engine_.TotalSizeKB(), 1u + 10 + 0 + 5 + 5 + 15 + 0 + 0 + 3 + 19);
}

TEST_F(SearchRun, DriveMaskSkipsWholeDrivesAtTheTop) {
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveD), 0);
  EXPECT_EQ(Hits(), (Lines{u"D:\\d.mp3", u"D:"}));
  // With every bit set, the records of drives that are not cached are hits of their own.
  ASSERT_EQ(Search(u"?:", u"", {NameMatches}, 0xFFFFFFFFu), 0);
  EXPECT_EQ(engine_.ResultCount(), 26u);
  EXPECT_EQ(Hit(u"A:").sizeKB, 0u);
  EXPECT_EQ(Hit(u"D:").sizeKB, 7u);
}

TEST_F(SearchRun, FiltersApplyInRequestOrder) {
  ASSERT_EQ(Search(u"*", u"", {NameMatches, FilesOnly}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\a.txt", u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3",
                           u"C:\\Music\\Old\\x.mp3", u"C:\\z.mp3.mp3"}));
  ASSERT_EQ(Search(u"*", u"", {NameMatches, FoldersOnly}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\Old", u"C:\\Music", u"C:\\empty", u"C:\\notcached", u"C:"}));

  request_.minSizeKB = 5;
  request_.maxSizeKB = 15;
  ASSERT_EQ(Search(u"*", u"", {NameMatches, MinSize, MaxSize}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\Old\\x.mp3", u"C:\\Music\\Old", u"C:\\Music"}));

  request_.modifiedFrom = os::FileTime::From(600);
  request_.modifiedTo = os::FileTime::From(900);
  ASSERT_EQ(Search(u"*", u"", {NameMatches, ModifiedFrom, ModifiedTo}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\Old\\x.mp3", u"C:\\empty", u"C:\\notcached", u"C:\\z.mp3.mp3"}));

  // No filters at all: every entry passes, the name included.
  ASSERT_EQ(Search(u"nothing like it", u"", {}, kDriveC), 0);
  EXPECT_EQ(Hits(), kAllOfC);
  // Unknown codes are passed over.
  ASSERT_EQ(Search(u"a.txt", u"", {NameMatches, 99}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\a.txt"}));
}

TEST_F(SearchRun, SizeFilterSeesFolderTotalsAndCompareUnsigned) {
  request_.minSizeKB = 15;
  ASSERT_EQ(Search(u"*", u"", {NameMatches, FoldersOnly, MinSize}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music", u"C:"}));
  request_.maxSizeKB = 0xFFFFFFFFu;
  request_.minSizeKB = 0x80000000u;  // no wrap to a negative bound
  ASSERT_EQ(Search(u"*", u"", {NameMatches, MinSize, MaxSize}, kDriveC), 0);
  EXPECT_EQ(engine_.ResultCount(), 0u);
}

TEST_F(SearchRun, TopLevelOnlyMeansDirectlyInTheLocation) {
  ASSERT_EQ(Search(u"*", u"C:\\Music", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old"}));
  ASSERT_EQ(Search(u"*", u"My Computer", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:", u"D:"}));
}

TEST_F(SearchRun, LocationNarrowsTheWalk) {
  ASSERT_EQ(Search(u"*.mp3", u"C:\\Music"), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3"}));
  // White space is trimmed, case does not matter for the lookup, and the path is kept as typed.
  ASSERT_EQ(Search(u"*.mp3", u"  c:\\music\\old\\ "), 0);
  EXPECT_EQ(Hits(), (Lines{u"c:\\music\\old\\x.mp3"}));
  ASSERT_EQ(Search(u"*.mp3", u"D:\\"), 0);
  EXPECT_EQ(Hits(), (Lines{u"D:\\d.mp3"}));
  ASSERT_EQ(Search(u"*.mp3", u"D:"), 0);
  EXPECT_EQ(Hits(), (Lines{u"D:\\d.mp3"}));
  ASSERT_EQ(Search(u"*", u"C:\\empty"), 0);
  EXPECT_EQ(engine_.ResultCount(), 0u);
}

TEST_F(SearchRun, InvalidLocationSearchesEverySelectedDrive) {
  const Lines all = {u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3",
                     u"C:\\z.mp3.mp3", u"D:\\d.mp3"};
  for (const char16_t* place : {u"C:\\a.txt", u"C:\\notcached", u"C:\\nowhere", u"C:\\Music\\\\x",
                                u"C:\\Music\\song.mp3\\"}) {
    ASSERT_EQ(Search(u"*.mp3", place), -2) << U8(place);
    EXPECT_EQ(Hits(), all) << U8(place);
  }
  std::u16string huge = u"C:\\" + std::u16string(40000, u'x');
  ASSERT_EQ(Search(u"*.mp3", huge), -2);
  EXPECT_EQ(Hits(), all);
}

TEST_F(SearchRun, LocationOnAnUnselectedDriveFindsNothing) {
  ASSERT_EQ(Search(u"*", u"D:\\", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(engine_.ResultCount(), 0u);
  ASSERT_EQ(Search(u"*", u"e:\\anything", {NameMatches}, kDriveC | kDriveD), 0);
  EXPECT_EQ(engine_.ResultCount(), 0u);
}

TEST_F(SearchRun, EmptyQueryFindsNothing) {
  ASSERT_EQ(Search(u";"), 0);
  EXPECT_EQ(engine_.ResultCount(), 0u);
  EXPECT_EQ(engine_.TotalSizeKB(), 0u);
}

TEST_F(SearchRun, OverflowCountsThenCollectsEverything) {
  engine_.SetCapacities(4, 2, SearchEngine::kInitialPoolCapacity);
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(engine_.LastWalkCount(), 3);
  EXPECT_EQ(Hits(), kAllOfC);
  EXPECT_EQ(engine_.TotalSizeKB(), 58u);
}

TEST_F(SearchRun, HitLimitBoundary) {
  // Four file hits on C: fit a limit of four (capacity 6, headroom 2) ...
  engine_.SetCapacities(6, 2, 1000);
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(engine_.LastWalkCount(), 1);
  EXPECT_EQ(engine_.ResultCount(), 4u);
  // ... but not a limit of three.
  engine_.SetCapacities(5, 2, 1000);
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(engine_.LastWalkCount(), 3);
  EXPECT_EQ(engine_.ResultCount(), 4u);
  // Without headroom a folder hit still never writes past the array.
  engine_.SetCapacities(2, 0, 1000);
  ASSERT_EQ(Search(u"*", u"", {NameMatches, FoldersOnly}, kDriveC), 0);
  EXPECT_EQ(engine_.ResultCount(), 5u);
}

TEST_F(SearchRun, FullNamePoolOverflowsLikeTheHitLimit) {
  // "C:\Music\song.mp3" alone takes 18 characters with its two terminators.
  engine_.SetCapacities(1000, 0, 30);
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(engine_.LastWalkCount(), 3);
  EXPECT_EQ(Hits(), kAllOfC);
}

TEST_F(SearchRun, RefineFiltersTheLastFullSearchAfresh) {
  ASSERT_EQ(Search(u"*.mp3"), 0);
  ASSERT_EQ(Refine(u"l*"), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\LOUD.MP3"}));
  ASSERT_EQ(Refine(u"s*"), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\song.mp3"}));
  EXPECT_EQ(engine_.RefinedTotalSizeKB(), 10u);
  // Refined entries are the full search's entries: same pool.
  EXPECT_EQ(engine_.RefinedResults()[0].name, Hit(u"C:\\Music\\song.mp3").name);
  ASSERT_EQ(Refine(u"*", {NameMatches, MinSize}), 0);
  EXPECT_EQ(engine_.RefinedCount(), 5u);
  ASSERT_EQ(Refine(u"q"), 0);
  EXPECT_EQ(engine_.RefinedCount(), 0u);
  EXPECT_EQ(engine_.ResultCount(), 5u);
}

TEST_F(SearchRun, RefineWithNoSubdirectoriesKeepsTheLocationsOwnEntries) {
  ASSERT_EQ(Search(u"*", u"C:\\Music"), 0);
  ASSERT_EQ(Refine(u"*", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old"}));
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  ASSERT_EQ(Refine(u"*", {NameMatches, TopLevelOnly}), 0);
  EXPECT_EQ(Refined(), (Lines{u"C:"}));
}

TEST_F(SearchRun, RefineNeedsAFullResultSet) {
  EXPECT_EQ(Refine(u"a*"), -1);
  ASSERT_EQ(Search(u"no such name"), 0);
  EXPECT_EQ(Refine(u"*"), -1);
}

TEST_F(SearchRun, MissingCacheFileFails) {
  RecordingMessages messages;
  context_.SetPath(dir_.Child("absent.db"));
  EXPECT_EQ(Search(u"*"), -1);
  EXPECT_EQ(engine_.ResultCount(), 0u);
  EXPECT_GE(messages.Count(), 1u);
}

class SearchRecords : public SearchFixture {};

TEST_F(SearchRecords, TakenOverAndUnknownRecordsArePassedOver) {
  TreeImage image;
  Node taken = Folder(u"taken", {File(u"inside.mp3", 4)});
  taken.typeOverride = cache::RECORD_TAKEN_OVER;
  Node odd = File(u"odd.mp3", 9);
  odd.typeOverride = 7;
  image.AddDrive(u'C', {taken, odd, File(u"kept.mp3", 2)});
  Write(image);
  ASSERT_EQ(Search(u"*", u"", {NameMatches}, kDriveC), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\kept.mp3", u"C:"}));
  EXPECT_EQ(Hit(u"C:").sizeKB, 2u);
}

TEST_F(SearchRecords, RootBlockOfARunningBuild) {
  TreeImage image = StandardImage();
  image.SetRootUnfinished(u'C');  // D: is not in the root yet
  Write(image);
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, 0xFFFFFFFFu), 0);
  EXPECT_EQ(Hits(), (Lines{u"C:\\Music\\song.mp3", u"C:\\Music\\LOUD.MP3", u"C:\\Music\\Old\\x.mp3",
                           u"C:\\z.mp3.mp3"}));
  ASSERT_EQ(Search(u"?:", u"", {NameMatches}, 0xFFFFFFFFu), 0);
  EXPECT_EQ(Hits(), (Lines{u"A:", u"B:", u"C:"}));
}

TEST_F(SearchRecords, PathsLongerThanTheBufferAreNotEntered) {
  // 140 levels of 250-character names: the path passes 32768 characters around level 130.
  const std::u16string name(250, u'n');
  Node deepest = File(u"deep.mp3", 1);
  Node level = Folder(name, {deepest});
  for (int i = 1; i < 140; ++i) level = Folder(name, {level, File(u"f.mp3", 1)});
  TreeImage image;
  image.AddDrive(u'C', {level, File(u"top.mp3", 1)});
  Write(image);
  ASSERT_EQ(Search(u"*.mp3", u"", {NameMatches}, kDriveC), 0);
  uint32_t longest = 0;
  for (uint32_t i = 0; i < engine_.ResultCount(); ++i) {
    uint32_t length = uint32_t(std::char_traits<char16_t>::length(engine_.Results()[i].path));
    longest = std::max(longest, length);
    EXPECT_NE(std::u16string(engine_.Results()[i].name), u"deep.mp3");
  }
  EXPECT_LT(longest, SearchEngine::kPathBufferChars);
  EXPECT_GT(longest, SearchEngine::kPathBufferChars - 260);
  EXPECT_EQ(Hits().back(), u"C:\\top.mp3");
  // The files of the levels that fit are all found: one per level down to the cut.
  EXPECT_EQ(engine_.ResultCount(), longest / 251 + 1);
}

}  // namespace
}  // namespace lvx::test
