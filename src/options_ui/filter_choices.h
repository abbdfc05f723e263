// What the filter pages hold, and how a search request is made from it. The pages keep the user's
// choices in these plain records; the main window turns them into the request's filter codes each
// time it starts a search.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/os_types.h"
#include "search/search_types.h"

namespace lvx::options {

// The advanced page: kind of items, folder level, one-character search.
struct AdvancedChoices {
  int32_t searchFor = 0;  // 0 files and folders, 1 files only, 2 folders only
  uint8_t noSubdirs = 0;
  uint8_t allowOneChar = 0;
};

// The size/date page. A bound is meaningful only while its use flag is set.
struct SizeDateChoices {
  int32_t minSizeKB = -1;  // -1 after the bound is switched off
  int32_t maxSizeKB = -1;
  uint8_t useMinSize = 0;
  uint8_t useMaxSize = 0;
  os::FileTime modifiedFrom;  // start of the From day, local, in UTC
  os::FileTime modifiedTo;    // end of the To day, local, in UTC
  uint8_t useFrom = 0;
  uint8_t useTo = 0;
};

// Sets the request's filter codes and bounds: the name match, then the folder level, the kind, and
// the size and date bounds in force, in this order.
void ApplyFilters(const AdvancedChoices& advanced, const SizeDateChoices& sizeDate, search::SearchRequest* request);

// The number in a size box: its leading digits, held to 0 .. 2147483647 (a longer number is the
// largest size); -1 when the box starts with no digit.
int32_t SizeFromText(std::u16string_view text);

}  // namespace lvx::options
