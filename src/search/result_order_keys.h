// The sort behind SortResultArray: each entry's keys are read once per level into a compact array of
// (key, position) slots, which is sorted by those 64-bit keys alone; only entries that tie on a key
// go on to the next four characters of a name or to the next key of the chain. Folder paths are
// ranked once (results of one folder share one path text), so a path is a single number. Ties on
// the whole chain keep the order they had, as a stable sort keeps them.
#pragma once

#include <cstdint>

#include "search/result_order.h"

namespace lvx::search {

// Sorts as a stable sort with the key's comparator would. False when memory for the keys cannot be
// had (the array is unchanged).
bool SortByExtractedKeys(SearchResult* results, uint32_t count, SortKey key, bool sortAscending);

}  // namespace lvx::search
