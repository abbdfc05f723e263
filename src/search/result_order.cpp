#include "search/result_order.h"

#include <algorithm>

#include "platform/text.h"
#include "search/result_order_keys.h"

namespace lvx::search {

namespace {

inline int Sign(bool ascending, int c) { return ascending ? c : -c; }

inline int NameThenPath(const SearchResult& a, const SearchResult& b) {
  int c = CompareFolded(a.name, b.name);
  return c ? c : CompareFolded(a.path, b.path);
}

template <typename T>
inline int Three(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

uint8_t FirstDirection(SortKey key) { return (key == SortSize || key == SortDate) ? 0 : 1; }

const char16_t* Extension(const char16_t* name) {
  const char16_t* dot = nullptr;
  for (const char16_t* p = name; *p; ++p)
    if (*p == u'.') dot = p;
  return dot ? dot : name;
}

int CompareByName(const SearchResult& a, const SearchResult& b, bool sortAscending) {
  return Sign(sortAscending, NameThenPath(a, b));
}

int CompareByLocation(const SearchResult& a, const SearchResult& b, bool sortAscending) {
  int c = CompareFolded(a.path, b.path);
  if (!c) c = CompareFolded(a.name, b.name);
  return Sign(sortAscending, c);
}

// Size and date reverse only their own key; the name and path that break ties stay A to Z.
int CompareBySize(const SearchResult& a, const SearchResult& b, bool sortAscending) {
  int c = Sign(sortAscending, Three(a.sizeKB, b.sizeKB));
  return c ? c : NameThenPath(a, b);
}

int CompareByDate(const SearchResult& a, const SearchResult& b, bool sortAscending) {
  int c = Sign(sortAscending, Three(a.modified.Value(), b.modified.Value()));
  return c ? c : NameThenPath(a, b);
}

int CompareByType(const SearchResult& a, const SearchResult& b, bool sortAscending) {
  int c = Three(int(b.isFolder != 0), int(a.isFolder != 0));  // folders first
  if (!c) c = CompareFolded(Extension(a.name), Extension(b.name));
  if (!c) c = NameThenPath(a, b);
  return Sign(sortAscending, c);
}

bool SortResultArray(SearchResult* results, uint32_t count, SortKey key, bool sortAscending) {
  int (*compare)(const SearchResult&, const SearchResult&, bool) = nullptr;
  switch (key) {
    case SortName: compare = CompareByName; break;
    case SortLocation: compare = CompareByLocation; break;
    case SortSize: compare = CompareBySize; break;
    case SortType: compare = CompareByType; break;
    case SortDate: compare = CompareByDate; break;
    default: return false;
  }
  if (!results) return false;
  if (SortByExtractedKeys(results, count, key, sortAscending)) return true;
  // Without memory for the keys: the comparator itself, as stable as the sort by keys.
  std::stable_sort(results, results + count, [compare, sortAscending](const SearchResult& a, const SearchResult& b) {
    return compare(a, b, sortAscending) < 0;
  });
  return true;
}

}  // namespace lvx::search
