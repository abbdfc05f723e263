// The pattern and folder history rules, against an in-memory section that records every write.
#include <gtest/gtest.h>

#include <map>

#include "shell/history_list.h"
#include "shell/ini_values.h"

namespace lvx::shell {
namespace {

class MapStore : public IHistoryStore {
 public:
  std::map<std::u16string, std::u16string> keys;
  int writes = 0;

  std::u16string Read(const std::u16string& key, const std::u16string& defaultValue) override {
    auto it = keys.find(key);
    return it == keys.end() ? defaultValue : it->second;
  }
  void Write(const std::u16string& key, const std::u16string& value) override {
    keys[key] = value;
    ++writes;
  }
  void Delete(const std::u16string& key) override {
    keys.erase(key);
    ++writes;
  }

  // A section with maxnumber and the given items stored newest first.
  static MapStore With(int maxNumber, const std::vector<std::u16string>& items) {
    MapStore s;
    s.keys[u"maxnumber"] = IniNumber(maxNumber);
    s.keys[u"hisnumber"] = IniNumber(int64_t(items.size()));
    for (size_t i = 0; i < items.size(); ++i) s.keys[HistoryList::ItemKey(int(i))] = items[i];
    return s;
  }
  std::vector<std::u16string> Stored() {
    std::vector<std::u16string> out;
    int n = IniDecimal(keys[u"hisnumber"]);
    for (int i = 0; i < n; ++i) out.push_back(keys.at(HistoryList::ItemKey(i)));
    return out;
  }
};

std::vector<std::u16string> Numbered(const char* prefix, int count) {
  std::vector<std::u16string> items;
  for (int i = 0; i < count; ++i) {
    std::string s = prefix + std::to_string(i);
    items.emplace_back(s.begin(), s.end());
  }
  return items;
}

using Items = std::vector<std::u16string>;

TEST(PatternHistory, LoadPutsNewestOnTopAndStopsAtMaxNumber) {
  MapStore store = MapStore::With(2, {u"new", u"mid", u"old"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  EXPECT_EQ(list.MaxNumber(), 2);
  EXPECT_EQ(list.Items(), (Items{u"new", u"mid"}));
  EXPECT_EQ(list.Selection(), -1);
}

TEST(PatternHistory, LoadSurvivesDamagedCounts) {
  MapStore store = MapStore::With(10, {u"a"});
  store.keys[u"hisnumber"] = u"99999999999";  // far more than stored: missing keys read as "*.mp3"
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  ASSERT_EQ(list.Items().size(), 10u);
  EXPECT_EQ(list.Items()[0], u"a");
  EXPECT_EQ(list.Items()[9], u"*.mp3");

  store.keys[u"maxnumber"] = u"-3";
  list.Load(store);
  EXPECT_TRUE(list.Items().empty());

  store.keys[u"maxnumber"] = u"2147483647";
  store.keys[u"hisnumber"] = u"2147483647";
  list.Load(store);  // bounded by the history limit, not two billion reads
  EXPECT_EQ(int(list.Items().size()), kHistoryLimit);
}

TEST(PatternHistory, EleventhSearchDropsTheOldestAndKeepsTen) {
  MapStore store = MapStore::With(10, Numbered("p", 10));
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Add(u"eleventh", store);
  Items stored = store.Stored();
  ASSERT_EQ(stored.size(), 10u);
  EXPECT_EQ(stored.front(), u"eleventh");
  EXPECT_EQ(stored.back(), u"p8");
  EXPECT_EQ(store.keys.count(u"PATTERN_10"), 0u);
  EXPECT_EQ(list.Items(), stored);
}

TEST(PatternHistory, SearchingAStoredPatternMovesItToTheTop) {
  MapStore store = MapStore::With(10, Numbered("p", 10));
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Add(u"p6", store);
  Items stored = store.Stored();
  ASSERT_EQ(stored.size(), 10u);
  EXPECT_EQ(stored[0], u"p6");
  EXPECT_EQ(stored[1], u"p0");
  EXPECT_EQ(stored[6], u"p5");
  EXPECT_EQ(stored[7], u"p7");
  EXPECT_EQ(list.Selection(), 0);
}

TEST(PatternHistory, EmptyTextLeavesTheListAlone) {
  MapStore store = MapStore::With(10, {u"a", u"b"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Add(u"", store);
  EXPECT_EQ(list.Items(), (Items{u"a", u"b"}));
  EXPECT_EQ(store.Stored(), (Items{u"a", u"b"}));
}

TEST(PatternHistory, FullListSparesTheSelectedLastItem) {
  MapStore store = MapStore::With(3, {u"a", u"b", u"c"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Select(2);
  list.Add(u"d", store);
  EXPECT_EQ(list.Items(), (Items{u"d", u"a", u"c"}));
  EXPECT_EQ(list.Selection(), 2);  // still "c", moved by nothing but the insert above the deletion
  EXPECT_EQ(list.Items()[size_t(list.Selection())], u"c");
}

TEST(PatternHistory, FullSingleItemListWithThatItemSelectedDoesNotChange) {
  MapStore store = MapStore::With(1, {u"only"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Select(0);
  list.Add(u"new", store);
  EXPECT_EQ(list.Items(), (Items{u"only"}));
  EXPECT_EQ(store.Stored(), (Items{u"only"}));
}

TEST(PatternHistory, PatternsAreNotTrimmedAndMatchExactly) {
  MapStore store = MapStore::With(10, {u"*.txt"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Add(u"*.TXT", store);
  EXPECT_EQ(list.Items(), (Items{u"*.TXT", u"*.txt"}));
}

TEST(PatternHistory, SaveRemovesKeysBeyondTheNewCount) {
  MapStore store = MapStore::With(10, Numbered("p", 6));
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  store.keys[u"maxnumber"] = u"2";
  list.SetMaxNumber(2);
  list.Save(store);
  EXPECT_EQ(store.keys[u"hisnumber"], u"2");
  EXPECT_EQ(store.Stored(), (Items{u"p0", u"p1"}));
  for (int i = 2; i < 6; ++i) EXPECT_EQ(store.keys.count(HistoryList::ItemKey(i)), 0u) << i;
}

TEST(PatternHistory, CleanEmptiesListAndSection) {
  MapStore store = MapStore::With(10, Numbered("p", 4));
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Clean(store);
  EXPECT_TRUE(list.Items().empty());
  EXPECT_EQ(store.keys[u"hisnumber"], u"0");
  EXPECT_EQ(store.keys.count(u"PATTERN_0"), 0u);
  EXPECT_EQ(store.keys[u"maxnumber"], u"10");
}

TEST(FolderHistory, MyComputerIsPinnedOnTop) {
  MapStore store = MapStore::With(10, {u"C:\\a\\", u"D:\\b\\"});
  HistoryList list(HistoryKind::Folder);
  list.Load(store);
  EXPECT_EQ(list.Items(), (Items{kMyComputer, u"C:\\a\\", u"D:\\b\\"}));

  list.Add(u"E:\\c\\", store);
  EXPECT_EQ(list.Items()[0], kMyComputer);
  EXPECT_EQ(list.Items()[1], u"E:\\c\\");
  EXPECT_EQ(store.Stored(), (Items{u"E:\\c\\", u"C:\\a\\", u"D:\\b\\"}));
}

TEST(FolderHistory, FoldersAreTrimmedAndMyComputerLeavesTheFileUntouched) {
  MapStore store = MapStore::With(10, {u"C:\\a\\"});
  HistoryList list(HistoryKind::Folder);
  list.Load(store);
  store.writes = 0;
  list.Add(u"  My Computer ", store);
  EXPECT_EQ(store.writes, 0);
  EXPECT_EQ(list.Items(), (Items{kMyComputer, u"C:\\a\\"}));

  list.Add(u"\tC:\\a\\  ", store);  // found after trimming: moves (already second), no duplicate
  EXPECT_EQ(list.Items(), (Items{kMyComputer, u"C:\\a\\"}));
  EXPECT_EQ(store.Stored(), (Items{u"C:\\a\\"}));
}

TEST(FolderHistory, FullListNeverDeletesMyComputer) {
  MapStore store = MapStore::With(2, {u"X:\\1\\", u"X:\\2\\"});
  HistoryList list(HistoryKind::Folder);
  list.Load(store);
  ASSERT_EQ(list.Items().size(), 3u);
  list.Add(u"X:\\3\\", store);
  EXPECT_EQ(list.Items(), (Items{kMyComputer, u"X:\\3\\", u"X:\\1\\"}));
  EXPECT_EQ(store.Stored(), (Items{u"X:\\3\\", u"X:\\1\\"}));

  // maxnumber 1 with the only folder selected: the item before it is "My Computer", so nothing moves.
  MapStore one = MapStore::With(1, {u"X:\\1\\"});
  HistoryList small(HistoryKind::Folder);
  small.Load(one);
  small.Select(1);
  small.Add(u"X:\\2\\", one);
  EXPECT_EQ(small.Items(), (Items{kMyComputer, u"X:\\1\\"}));
}

TEST(FolderHistory, CleanKeepsMyComputer) {
  MapStore store = MapStore::With(10, {u"C:\\a\\", u"C:\\b\\"});
  HistoryList list(HistoryKind::Folder);
  list.Load(store);
  list.Clean(store);
  EXPECT_EQ(list.Items(), (Items{kMyComputer}));
  EXPECT_EQ(store.keys[u"hisnumber"], u"0");
  EXPECT_EQ(store.keys.count(u"PATTERN_1"), 0u);
}

TEST(HistoryList, SelectionFollowsInsertsAndDeletes) {
  MapStore store = MapStore::With(10, {u"a", u"b", u"c"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);
  list.Select(1);       // "b"
  list.AddToList(u"z");  // inserted above: selection moves down with "b"
  EXPECT_EQ(list.Items()[size_t(list.Selection())], u"b");
  list.AddToList(u"b");  // the selected item itself moves to the top: selection lost, then item 0
  EXPECT_EQ(list.Selection(), 0);
  EXPECT_EQ(list.Items()[0], u"b");
}

}  // namespace
}  // namespace lvx::shell
