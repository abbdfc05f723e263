// The orders of the results list: by name, location, size, type and date modified, each in two
// directions. Every order is a chain of keys that ends in the name and the folder path, so it is
// total over distinct items and any comparison sort gives the same arrangement.
#pragma once

#include <cstdint>

#include "search/search_types.h"

namespace lvx::search {

enum SortKey : int {
  SortUnsorted = 0,
  SortName = 1,
  SortLocation = 2,
  SortSize = 3,
  SortType = 4,
  SortDate = 5,
};

// The direction a key takes when it is chosen anew: 1 for name, location and type (A to Z), 0 for
// size and date (largest and newest first).
uint8_t FirstDirection(SortKey key);

// The extension of a name: from its last "." to the end, or the whole name when it has none.
const char16_t* Extension(const char16_t* name);

// The five comparators: < 0 when a comes before b in the key's order for this direction flag.
int CompareByName(const SearchResult& a, const SearchResult& b, bool sortAscending);
int CompareByLocation(const SearchResult& a, const SearchResult& b, bool sortAscending);
int CompareBySize(const SearchResult& a, const SearchResult& b, bool sortAscending);
int CompareByType(const SearchResult& a, const SearchResult& b, bool sortAscending);
int CompareByDate(const SearchResult& a, const SearchResult& b, bool sortAscending);

// Sorts the first count entries in place (entries move whole; their pointers keep pointing into
// the pool). SortUnsorted, or any key outside 1 to 5, leaves the array as it is and returns false.
bool SortResultArray(SearchResult* results, uint32_t count, SortKey key, bool sortAscending);

}  // namespace lvx::search
