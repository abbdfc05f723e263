// The main window's search rules that need no window: when typing starts a search, how a request is
// made from the boxes, the filter pages and refine mode, the status texts of a search's outcome and
// how the sort key and direction follow the user's choices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "options_ui/filter_choices.h"
#include "search/result_order.h"
#include "search/search_types.h"

namespace lvx::shell {

// A keystroke in the pattern box searches when one-character search is allowed, refine mode is on,
// or the pattern has two characters or more and its second-to-last is not ';' (so the first
// character of a new alternative waits for the second).
bool TypingStartsSearch(std::u16string_view pattern, bool allowOneChar, bool refineOn);

// What a search is made from besides the filter pages.
struct SearchInputs {
  std::u16string pattern;
  std::u16string location;
  bool refineOn = false;
  std::u16string refineBase;
  uint32_t driveMask = 0;
};

// The request for the inputs. In refine mode the typed pattern refines the last full search when
// that search was for the refine base; otherwise a full search for the base runs first. Every full
// search's pattern becomes *lastFullPattern.
search::SearchRequest BuildSearchRequest(const options::AdvancedChoices& advanced,
                                         const options::SizeDateChoices& sizeDate, const SearchInputs& inputs,
                                         std::u16string* lastFullPattern);

// "1,234 items found (5,678KB), in 0.12s"; the total is full width (a cache may hold more than 4 TB).
std::u16string FoundStatusText(uint32_t count, uint64_t totalKB, uint32_t elapsedMs);
// The status text of notifications 5 to 7; null for any other code.
const char16_t* SearchWarningText(uint32_t code);

// The sort key and its direction flag.
struct SortChoice {
  search::SortKey key = search::SortUnsorted;
  bool ascending = true;
};
// The choice after the user picks a key: the selected key again flips the direction, another key
// takes its first direction, the unsorted key only becomes the key.
SortChoice ChooseSort(SortChoice current, search::SortKey picked);
// A sort button's markup text: plain, or with the direction arrow when it is the selected key's.
std::u16string SortButtonText(search::SortKey key, bool selected, bool ascending);

}  // namespace lvx::shell
