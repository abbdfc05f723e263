// The pattern and folder history rules, against an in-memory section that records every write.
#include <gtest/gtest.h>

#include <map>

#include "shell/history_list.h"
#include "shell/ini_values.h"

namespace lvx::shell {
namespace {

using Items = std::vector<std::u16string>;

class MapStore : public IHistoryStore {
 public:
  MapStore(int maxNumber, const Items& items) {
    keys[u"maxnumber"] = IniNumber(maxNumber);
    keys[u"hisnumber"] = IniNumber(int64_t(items.size()));
    for (size_t i = 0; i < items.size(); ++i) keys[HistoryList::ItemKey(int(i))] = items[i];
  }
  std::u16string Read(const std::u16string& key, const std::u16string& otherwise) override {
    return keys.count(key) ? keys[key] : otherwise;
  }
  void Write(const std::u16string& key, const std::u16string& value) override { keys[key] = value, ++writes; }
  void Delete(const std::u16string& key) override { keys.erase(key), ++writes; }
  // The stored items; a key beyond hisnumber left behind is a fault too.
  Items Stored() {
    Items out;
    int n = IniDecimal(keys[u"hisnumber"]);
    for (int i = 0; i < n; ++i) out.push_back(keys.at(HistoryList::ItemKey(i)));
    EXPECT_EQ(keys.count(HistoryList::ItemKey(n)), 0u) << "a stale key after the last item";
    return out;
  }

  std::map<std::u16string, std::u16string> keys;
  int writes = 0;
};

TEST(History, AddingASearchedText) {
  Items ten;
  for (int i = 0; i < 10; ++i) ten.push_back(u"p" + IniNumber(i));
  const std::u16string mc = kMyComputer;
  const auto P = HistoryKind::Pattern, F = HistoryKind::Folder;
  const struct {
    const char* what;
    HistoryKind kind;
    int maxNumber;
    Items stored;
    int select;
    std::u16string add;
    Items list;  // the folder section holds the list without "My Computer"
    int selection;  // with none before, the top item (as a combo box selects after an add)
  } cases[] = {
      {"an eleventh drops the oldest", P, 10, ten, -1, u"eleventh",
       {u"eleventh", u"p0", u"p1", u"p2", u"p3", u"p4", u"p5", u"p6", u"p7", u"p8"}, 0},
      {"a stored one moves to the top", P, 10, ten, -1, u"p6",
       {u"p6", u"p0", u"p1", u"p2", u"p3", u"p4", u"p5", u"p7", u"p8", u"p9"}, 0},
      {"empty text", P, 10, {u"a", u"b"}, -1, u"", {u"a", u"b"}, 0},
      {"full: the selected last item is spared", P, 3, {u"a", u"b", u"c"}, 2, u"d", {u"d", u"a", u"c"}, 2},
      {"full single item, selected", P, 1, {u"only"}, 0, u"new", {u"only"}, 0},
      {"an insert above moves the selection down", P, 10, {u"a", u"b"}, 1, u"z", {u"z", u"a", u"b"}, 2},
      {"the selected item moves to the top: selected there", P, 10, {u"a", u"b"}, 1, u"b", {u"b", u"a"}, 0},
      {"patterns are neither trimmed nor folded", P, 10, {u"*.txt"}, -1, u"*.TXT", {u"*.TXT", u"*.txt"}, 0},
      {"folders below My Computer", F, 10, {u"C:\\a\\", u"D:\\b\\"}, -1, u"E:\\c\\",
       {mc, u"E:\\c\\", u"C:\\a\\", u"D:\\b\\"}, 0},
      {"folders are trimmed", F, 10, {u"C:\\a\\"}, -1, u"\tC:\\a\\  ", {mc, u"C:\\a\\"}, 0},
      {"full: My Computer stays", F, 2, {u"X:\\1\\", u"X:\\2\\"}, -1, u"X:\\3\\", {mc, u"X:\\3\\", u"X:\\1\\"}, 0},
      {"full, the only folder selected", F, 1, {u"X:\\1\\"}, 1, u"X:\\2\\", {mc, u"X:\\1\\"}, 1},
  };
  for (const auto& c : cases) {
    MapStore store(c.maxNumber, c.stored);
    HistoryList list(c.kind);
    list.Load(store);
    list.Select(c.select);
    list.Add(c.add, store);
    EXPECT_EQ(list.Items(), c.list) << c.what;
    EXPECT_EQ(store.Stored(), Items(c.list.begin() + (c.kind == F), c.list.end())) << c.what;
    EXPECT_EQ(list.Selection(), c.selection) << c.what;
  }
  // "My Computer" itself leaves the file untouched.
  MapStore store(10, {u"C:\\a\\"});
  HistoryList list(F);
  list.Load(store);
  store.writes = 0;
  list.Add(u"  My Computer ", store);
  EXPECT_EQ(store.writes, 0);
  EXPECT_EQ(list.Items(), (Items{kMyComputer, u"C:\\a\\"}));
}

TEST(History, LoadSaveCleanAndDamagedCounts) {
  MapStore store(2, {u"new", u"mid", u"old"});
  HistoryList list(HistoryKind::Pattern);
  list.Load(store);  // newest on top, stops at maxnumber
  EXPECT_EQ(list.Items(), (Items{u"new", u"mid"}));
  store = MapStore(10, {u"p0", u"p1", u"p2", u"p3", u"p4", u"p5"});
  list.Load(store);
  store.keys[u"maxnumber"] = u"2";
  list.SetMaxNumber(2);
  list.Save(store);  // the keys beyond the new count go
  EXPECT_EQ(store.Stored(), (Items{u"p0", u"p1"}));
  for (int i = 2; i < 6; ++i) EXPECT_EQ(store.keys.count(HistoryList::ItemKey(i)), 0u) << i;

  for (HistoryKind kind : {HistoryKind::Pattern, HistoryKind::Folder}) {
    MapStore full(10, {u"C:\\a\\", u"C:\\b\\"});
    HistoryList cleaned(kind);
    cleaned.Load(full);
    cleaned.Clean(full);
    EXPECT_EQ(cleaned.Items(), kind == HistoryKind::Folder ? Items{kMyComputer} : Items{});
    EXPECT_EQ(full.Stored(), Items{});
    EXPECT_EQ(full.keys[u"maxnumber"], u"10");
  }

  // Damaged counts are bounded.
  store = MapStore(10, {u"a"});
  store.keys[u"hisnumber"] = u"99999999999";  // far more than stored: missing keys read as "*.mp3"
  list.Load(store);
  EXPECT_EQ(list.Items(), (Items{u"a", u"*.mp3", u"*.mp3", u"*.mp3", u"*.mp3", u"*.mp3", u"*.mp3", u"*.mp3",
                                 u"*.mp3", u"*.mp3"}));
  store.keys[u"maxnumber"] = u"-3";
  list.Load(store);
  EXPECT_TRUE(list.Items().empty());
  store.keys[u"maxnumber"] = store.keys[u"hisnumber"] = u"2147483647";
  list.Load(store);  // bounded by the history limit, not two billion reads
  EXPECT_EQ(int(list.Items().size()), kHistoryLimit);
}

}  // namespace
}  // namespace lvx::shell
