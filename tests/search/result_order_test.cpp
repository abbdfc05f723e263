// The five orders and their directions, on plain result arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "search/result_order.h"

namespace lvx::search {
namespace {

// Owns the strings that a test's results point to.
class Results {
 public:
  Results& Add(const std::u16string& path, const std::u16string& name, uint32_t sizeKB = 0,
               bool folder = false, uint64_t time = 0) {
    strings_.push_back(std::make_unique<std::u16string>(path));
    const char16_t* p = strings_.back()->c_str();
    strings_.push_back(std::make_unique<std::u16string>(name));
    const char16_t* n = strings_.back()->c_str();
    items_.push_back(SearchResult{p, ICON_UNRESOLVED, n, sizeKB, uint8_t(folder), os::FileTime::From(time)});
    return *this;
  }
  std::vector<std::u16string> Sorted(SortKey key, bool ascending) {
    std::vector<SearchResult> copy = items_;
    EXPECT_TRUE(SortResultArray(copy.data(), uint32_t(copy.size()), key, ascending));
    std::vector<std::u16string> out;
    for (const SearchResult& r : copy) out.push_back(std::u16string(r.path) + r.name);
    return out;
  }
  std::vector<SearchResult>& Items() { return items_; }

 private:
  std::vector<std::unique_ptr<std::u16string>> strings_;
  std::vector<SearchResult> items_;
};

using Lines = std::vector<std::u16string>;

TEST(ResultOrder, FirstDirectionPerKey) {
  EXPECT_EQ(FirstDirection(SortName), 1);
  EXPECT_EQ(FirstDirection(SortLocation), 1);
  EXPECT_EQ(FirstDirection(SortSize), 0);
  EXPECT_EQ(FirstDirection(SortType), 1);
  EXPECT_EQ(FirstDirection(SortDate), 0);
}

TEST(ResultOrder, NameThenPathWithAsciiFolding) {
  Results r;
  r.Add(u"C:\\C\\", u"A.TXT").Add(u"C:\\B\\", u"a.txt").Add(u"C:\\", u"a").Add(u"C:\\", u"_x");
  EXPECT_EQ(r.Sorted(SortName, true), (Lines{u"C:\\_x", u"C:\\a", u"C:\\B\\a.txt", u"C:\\C\\A.TXT"}));
  EXPECT_EQ(r.Sorted(SortName, false), (Lines{u"C:\\C\\A.TXT", u"C:\\B\\a.txt", u"C:\\a", u"C:\\_x"}));
}

TEST(ResultOrder, NonAsciiLettersSortByCodeUnit) {
  Results r;
  r.Add(u"C:\\", u"\u00E4").Add(u"C:\\", u"\u00C4").Add(u"C:\\", u"Z");
  EXPECT_EQ(r.Sorted(SortName, true), (Lines{u"C:\\Z", u"C:\\\u00C4", u"C:\\\u00E4"}));
}

TEST(ResultOrder, LocationThenName) {
  Results r;
  r.Add(u"D:\\", u"a").Add(u"C:\\x\\", u"b").Add(u"C:\\x\\", u"A0").Add(u"", u"C:");
  EXPECT_EQ(r.Sorted(SortLocation, true), (Lines{u"C:", u"C:\\x\\A0", u"C:\\x\\b", u"D:\\a"}));
  EXPECT_EQ(r.Sorted(SortLocation, false), (Lines{u"D:\\a", u"C:\\x\\b", u"C:\\x\\A0", u"C:"}));
}

TEST(ResultOrder, SizeKeepsTieBreaksAToZInBothDirections) {
  Results r;
  r.Add(u"C:\\", u"b", 10).Add(u"C:\\", u"a", 10).Add(u"C:\\", u"big", 4000000000u).Add(u"C:\\", u"z", 0);
  EXPECT_EQ(r.Sorted(SortSize, false), (Lines{u"C:\\big", u"C:\\a", u"C:\\b", u"C:\\z"}));
  EXPECT_EQ(r.Sorted(SortSize, true), (Lines{u"C:\\z", u"C:\\a", u"C:\\b", u"C:\\big"}));
}

TEST(ResultOrder, DateComparesWholeFileTimes) {
  Results r;
  // The high half decides before the low half.
  r.Add(u"C:\\", u"old", 0, false, 0x00000001FFFFFFFFull)
      .Add(u"C:\\", u"new", 0, false, 0x0000000200000000ull)
      .Add(u"C:\\", u"same", 0, false, 0x0000000200000000ull);
  EXPECT_EQ(r.Sorted(SortDate, false), (Lines{u"C:\\new", u"C:\\same", u"C:\\old"}));
  EXPECT_EQ(r.Sorted(SortDate, true), (Lines{u"C:\\old", u"C:\\new", u"C:\\same"}));
}

TEST(ResultOrder, TypePutsFoldersFirstThenExtensions) {
  Results r;
  r.Add(u"C:\\", u"a.doc").Add(u"C:\\", u"x.avi").Add(u"C:\\", u"Makefile").Add(u"C:\\", u"y.ZIP")
      .Add(u"C:\\", u"dir.b", 0, true).Add(u"C:\\", u"Dir.a", 0, true).Add(u"C:\\", u"s.tar.gz");
  EXPECT_EQ(r.Sorted(SortType, true), (Lines{u"C:\\Dir.a", u"C:\\dir.b", u"C:\\x.avi", u"C:\\a.doc",
                                             u"C:\\s.tar.gz", u"C:\\y.ZIP", u"C:\\Makefile"}));
  EXPECT_EQ(r.Sorted(SortType, false), (Lines{u"C:\\Makefile", u"C:\\y.ZIP", u"C:\\s.tar.gz",
                                              u"C:\\a.doc", u"C:\\x.avi", u"C:\\dir.b", u"C:\\Dir.a"}));
  EXPECT_EQ(std::u16string(Extension(u"s.tar.gz")), u".gz");
  EXPECT_EQ(std::u16string(Extension(u"Makefile")), u"Makefile");
  EXPECT_EQ(std::u16string(Extension(u"trailing.")), u".");
}

TEST(ResultOrder, UnsortedKeyLeavesTheArray) {
  Results r;
  r.Add(u"C:\\", u"b").Add(u"C:\\", u"a");
  EXPECT_FALSE(SortResultArray(r.Items().data(), 2, SortUnsorted, true));
  EXPECT_EQ(std::u16string(r.Items()[0].name), u"b");
  EXPECT_FALSE(SortResultArray(nullptr, 0, SortName, true));
}

// Every comparator is antisymmetric, calls items equal only when their names and paths are equal,
// and (for name, location and type) turns the whole chain round with the direction flag; so the
// arrangement does not depend on the input order.
TEST(ResultOrder, OrdersAreTotalAndMirrored) {
  Results r;
  std::mt19937 rng(7);
  const std::u16string letters = u"aAbB._";
  std::set<std::u16string> seen;  // distinct items: no two equal without regard to case
  while (seen.size() < 120) {
    std::u16string name, path = u"C:\\";
    for (int k = 0; k < 3; ++k) name += letters[rng() % letters.size()];
    for (int k = 0; k < 2; ++k) path += letters[rng() % letters.size()];
    path += u"\\";
    std::u16string key = path + u"|" + name;
    for (char16_t& c : key) c = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    if (!seen.insert(key).second) continue;
    r.Add(path, name, rng() % 3, rng() % 2, rng() % 3);
  }
  using Compare = int (*)(const SearchResult&, const SearchResult&, bool);
  const std::pair<SortKey, Compare> keys[] = {{SortName, CompareByName},
                                              {SortLocation, CompareByLocation},
                                              {SortSize, CompareBySize},
                                              {SortType, CompareByType},
                                              {SortDate, CompareByDate}};
  const auto& items = r.Items();
  for (const auto& [key, cmp] : keys) {
    for (const SearchResult& a : items) {
      for (const SearchResult& b : items) {
        for (bool asc : {true, false}) {
          int ab = cmp(a, b, asc);
          EXPECT_EQ(ab > 0, cmp(b, a, asc) < 0);
          if (ab == 0) {
            EXPECT_EQ(CompareFolded(a.name, b.name), 0);
            EXPECT_EQ(CompareFolded(a.path, b.path), 0);
          }
        }
        if (key == SortName || key == SortLocation || key == SortType) {
          EXPECT_EQ(cmp(a, b, true) < 0, cmp(a, b, false) > 0);
        }
      }
    }
    for (bool asc : {true, false}) {
      Lines once = r.Sorted(key, asc);
      std::shuffle(r.Items().begin(), r.Items().end(), rng);
      EXPECT_EQ(r.Sorted(key, asc), once) << "key " << key;
    }
  }
}

}  // namespace
}  // namespace lvx::search
