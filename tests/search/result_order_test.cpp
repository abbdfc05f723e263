// The five orders and their directions, on plain result arrays: a table of arrangements, and the
// properties that make every order total whatever the sorting algorithm.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/text.h"
#include "search/result_order.h"

namespace lvx::search {
namespace {

using Lines = std::vector<std::u16string>;

struct Item {
  std::u16string path, name;
  uint32_t sizeKB = 0;
  bool folder = false;
  uint64_t time = 0;
};

std::vector<SearchResult> Results(const std::vector<Item>& items) {
  std::vector<SearchResult> out;
  for (const Item& i : items)
    out.push_back(SearchResult{i.path.c_str(), ICON_UNRESOLVED, i.name.c_str(), i.sizeKB, uint8_t(i.folder),
                               os::FileTime::From(i.time)});
  return out;
}

Lines Sorted(const std::vector<Item>& items, SortKey key, bool ascending) {
  std::vector<SearchResult> results = Results(items);
  EXPECT_TRUE(SortResultArray(results.data(), uint32_t(results.size()), key, ascending));
  Lines out;
  for (const SearchResult& r : results) out.push_back(std::u16string(r.path) + r.name);
  return out;
}

TEST(ResultOrder, ArrangementsPerKeyAndDirection) {
  const std::vector<Item> names = {{u"C:\\C\\", u"A.TXT"}, {u"C:\\B\\", u"a.txt"}, {u"C:\\", u"a"}, {u"C:\\", u"_x"},
                                   {u"C:\\", u"\u00E4"},   {u"C:\\", u"\u00C4"},   {u"C:\\", u"Z"}};
  const std::vector<Item> places = {{u"D:\\", u"a"}, {u"C:\\x\\", u"b"}, {u"C:\\x\\", u"A0"}, {u"", u"C:"}};
  const std::vector<Item> sizes = {{u"C:\\", u"b", 10}, {u"C:\\", u"a", 10}, {u"C:\\", u"big", 4000000000u},
                                   {u"C:\\", u"z", 0}};
  // The high half of a FILETIME decides before the low half.
  const std::vector<Item> dates = {{u"C:\\", u"old", 0, false, 0x00000001FFFFFFFFull},
                                   {u"C:\\", u"new", 0, false, 0x0000000200000000ull},
                                   {u"C:\\", u"same", 0, false, 0x0000000200000000ull}};
  const std::vector<Item> types = {{u"C:\\", u"a.doc"},         {u"C:\\", u"x.avi"}, {u"C:\\", u"Makefile"},
                                   {u"C:\\", u"y.ZIP"},         {u"C:\\", u"dir.b", 0, true},
                                   {u"C:\\", u"Dir.a", 0, true}, {u"C:\\", u"s.tar.gz"}};
  const Lines byName = {u"C:\\_x",   u"C:\\a",      u"C:\\B\\a.txt", u"C:\\C\\A.TXT",
                        u"C:\\Z",    u"C:\\\u00C4", u"C:\\\u00E4"};
  const Lines byType = {u"C:\\Dir.a",    u"C:\\dir.b", u"C:\\x.avi",   u"C:\\a.doc",
                        u"C:\\s.tar.gz", u"C:\\y.ZIP", u"C:\\Makefile"};  // no dot: the whole name
  struct {
    const std::vector<Item>& items;
    SortKey key;
    bool ascending;
    Lines expected;
  } const cases[] = {
      {names, SortName, true, byName},
      {names, SortName, false, Lines(byName.rbegin(), byName.rend())},
      {places, SortLocation, true, {u"C:", u"C:\\x\\A0", u"C:\\x\\b", u"D:\\a"}},
      {places, SortLocation, false, {u"D:\\a", u"C:\\x\\b", u"C:\\x\\A0", u"C:"}},
      // Size and date keep their ties A to Z in both directions.
      {sizes, SortSize, false, {u"C:\\big", u"C:\\a", u"C:\\b", u"C:\\z"}},
      {sizes, SortSize, true, {u"C:\\z", u"C:\\a", u"C:\\b", u"C:\\big"}},
      {dates, SortDate, false, {u"C:\\new", u"C:\\same", u"C:\\old"}},
      {dates, SortDate, true, {u"C:\\old", u"C:\\new", u"C:\\same"}},
      {types, SortType, true, byType},
      {types, SortType, false, Lines(byType.rbegin(), byType.rend())},
  };
  for (const auto& c : cases) EXPECT_EQ(Sorted(c.items, c.key, c.ascending), c.expected) << c.key << c.ascending;
  EXPECT_EQ(std::u16string(Extension(u"s.tar.gz")), u".gz");
  EXPECT_EQ(std::u16string(Extension(u"trailing.")), u".");

  const std::vector<Item> ba = {{u"C:\\", u"b"}, {u"C:\\", u"a"}};
  std::vector<SearchResult> two = Results(ba);
  EXPECT_FALSE(SortResultArray(two.data(), 2, SortUnsorted, true));
  EXPECT_EQ(std::u16string(two[0].name), u"b");
  EXPECT_FALSE(SortResultArray(nullptr, 0, SortName, true));
}

// The sort gives exactly what a stable sort with each comparator gives, on random arrays full of
// ties: names equal but for case (and in case-variant folders), non-ASCII and surrogate units, the
// characters between 'Z' and 'a', entries equal on the whole chain (which keep their order), sizes
// and times drawn from a few values; large enough for the radix passes and the helper thread. The
// larger arrays draw their folders from thousands of path texts, a few paths in either case. When
// any one of the sort's buffers cannot be had, it falls back to a way that needs less memory.
TEST(ResultOrder, SortEqualsStableComparatorSort) {
  std::mt19937 rng(7);
  const std::u16string letters = u"aAbB._[`\u00E4\u00C4\u4E2D\xD83D\xDE00";
  std::vector<std::u16string> folders = {u"", u"C:\\", u"C:\\a\\", u"C:\\A\\", u"C:\\ab\\", u"D:\\\u00E4\\"};
  for (size_t i = folders.size(); i < 5000; ++i)
    folders.push_back(folders[i % 6] + (i % 2 ? u"x\\" : u"X\\"));
  using Compare = int (*)(const SearchResult&, const SearchResult&, bool);
  const std::pair<SortKey, Compare> keys[] = {{SortName, CompareByName}, {SortLocation, CompareByLocation},
                                              {SortSize, CompareBySize}, {SortType, CompareByType},
                                              {SortDate, CompareByDate}};
  for (uint32_t count : {0u, 1u, 2u, 40u, 3000u, 70000u}) {
    std::vector<std::u16string> names(count);
    for (std::u16string& name : names) {
      size_t length = rng() % 9;  // long shared stretches reach the later four-unit keys
      for (size_t k = 0; k < length; ++k) name += letters[rng() % (rng() % 4 ? 3 : letters.size())];
      if (count > 60000 && rng() % 5) name = u"one start" + name;  // a run that holds most entries
      if (rng() % 8 == 0 && &name != names.data()) name = *(&name - 1);  // a twin, maybe a full tie
    }
    const size_t folderChoice = count < 1000 ? 6 : folders.size();
    std::vector<SearchResult> walk;
    for (uint32_t i = 0; i < count; ++i)
      walk.push_back(SearchResult{folders[rng() % folderChoice].c_str(), int32_t(i), names[i].c_str(),
                                  uint32_t(rng() % 3) * 2000000000u, uint8_t(rng() % 2),
                                  os::FileTime::From(uint64_t(rng() % 3) << 31)});
    for (const auto& [key, compare] : keys) {
      for (bool ascending : {true, false}) {
        std::vector<SearchResult> reference = walk;
        std::stable_sort(reference.begin(), reference.end(), [&](const SearchResult& a, const SearchResult& b) {
          return compare(a, b, ascending) < 0;
        });
        // failing: the buffer that cannot be had (0: none); six are asked for below the helper's size.
        for (int failing = 0; failing <= (count == 3000 ? 6 : 0); ++failing) {
          if (failing) os::fault::FailNth(os::fault::Op::Alloc, failing, os::Error::OutOfMemory);
          std::vector<SearchResult> sorted = walk;
          EXPECT_EQ(SortResultArray(sorted.data(), count, key, ascending), !sorted.empty());
          EXPECT_GE(os::fault::Calls(os::fault::Op::Alloc), failing);
          os::fault::Reset();
          std::vector<int32_t> got, want;  // the original positions: entries move whole
          for (uint32_t i = 0; i < count; ++i) {
            got.push_back(sorted[i].iconIndex);
            want.push_back(reference[i].iconIndex);
          }
          ASSERT_EQ(got, want) << "key " << key << " ascending " << ascending << " count " << count
                               << " failing " << failing;
        }
      }
    }
  }
}

}  // namespace
}  // namespace lvx::search
