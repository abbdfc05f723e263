// The records that cross the search engine's boundary: the request that the main window fills and
// hands over, the hit that the results list shows, sorts and acts on, and the notification codes of
// the search thread (wParam of WM_ENGINE_NOTIFY).
#pragma once

#include <cstdint>
#include <string>

#include "platform/os_types.h"

namespace lvx::search {

// Filters, applied in request order; an entry is a hit when all pass.
enum FilterCode : uint32_t {
  NameMatches = 0,
  TopLevelOnly = 1,  // directly in the location folder
  MinSize = 2,
  MaxSize = 3,
  ModifiedFrom = 4,
  ModifiedTo = 5,
  FilesOnly = 6,
  FoldersOnly = 7,
};
constexpr uint32_t kFilterCodeCount = 8;
constexpr int kMaxFilters = 10;

// Search-thread notifications; 8 and 9 belong to the builder and the location refresh.
enum SearchNotifyCode : uint32_t {
  NotifyState = 0,          // lParam: StateSearching, StateResults or StateNothingFound
  NotifyCount = 1,          // number of entries
  NotifyResults = 2,        // the result array, or 0 to let go of it
  NotifyElapsed = 3,        // milliseconds
  NotifyTotalSize = 4,      // KB
  NotifyRefineNoMemory = 5,
  NotifySearchNoMemory = 6,
  NotifyBadLocation = 7,
};
enum SearchState : intptr_t {
  StateResults = 1,
  StateSearching = 2,
  StateNothingFound = 3,
};

// The message that carries the notifications to the main window.
constexpr uint32_t WM_ENGINE_NOTIFY = 0x801E;

constexpr int32_t ICON_UNRESOLVED = -1024;

// What the main window hands over for one search (copied by value).
struct SearchRequest {
  uint32_t filterCodes[kMaxFilters] = {};
  int32_t filterCount = 0;
  uint32_t minSizeKB = 0;
  uint32_t maxSizeKB = 0;
  os::FileTime modifiedFrom;
  os::FileTime modifiedTo;
  std::u16string location;  // "My Computer" or empty: every cached drive
  std::u16string pattern;
  std::u16string refineBase;
  uint32_t driveMask = 0xFFFFFFFFu;
  uint8_t refine = 0;
};

// One hit. path and name point into the engine's name pool.
struct SearchResult {
  const char16_t* path;  // the folder holding the item, ending in a backslash ("" for a drive)
  int32_t iconIndex;     // ICON_UNRESOLVED until the results list resolves it
  const char16_t* name;
  uint32_t sizeKB;  // a folder's is the total of the files in its cached subtree
  uint8_t isFolder;
  os::FileTime modified;
};

}  // namespace lvx::search
