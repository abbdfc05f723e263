// CListCtrlEx: the results list. A report-style list view with owner data: it holds no rows of its
// own, is told how many rows there are and draws every row from the attached result array of the
// search engine. Each row is two text lines high (name and size; folder and date), with the item's
// shell icon in front. Without an attached array it shows one state row (searching, nothing found,
// cache being built, cache ready).
//
// Icons are looked up on a thread of the list, only for rows that are drawn, and written back into
// the entry so that each hit is looked up once per result set; drives that are not local are never
// touched (the icon comes from the name alone).
//
// The list does not own the array: the main window attaches what the search thread hands over and
// detaches it before the engine frees or replaces it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/common_controls.h"
#include "search/result_order.h"
#include "search/search_types.h"

namespace lvx::results {

enum ListMode : int {
  ModeNone = 0,  // nothing is drawn
  ModeResults = 1,
  ModeSearching = 2,
  ModeNothingFound = 3,
  ModeCacheBuilding = 4,
  ModeCacheReady = 5,
};

class CListCtrlEx : public ui::CListView {
 public:
  // GetTotalSizeKB while no array is attached.
  static constexpr uint64_t kNoTotal = UINT64_MAX;

  CListCtrlEx();
  ~CListCtrlEx() override;

  // Once, after the control exists and is subclassed: image lists, generic icons (probed with a
  // scratch file and folder under probeFolder), the icon thread and the tooltip.
  void InitList(const std::u16string& probeFolder);
  void SetMode(ListMode mode);
  ListMode Mode() const;
  // A null array detaches. The caller sets the row count separately (SetVirtualCount).
  void AttachResults(search::SearchResult* entries, uint32_t count);
  bool GetItemPath(int row, std::u16string* name, std::u16string* path);
  bool GetItemIsFolder(int row, bool* isFolder);
  // Removes a row from the attached array and the row count.
  bool RemoveItem(int row);
  // The sum of the rows' sizes in 64 bits; kNoTotal when no array is attached.
  uint64_t GetTotalSizeKB();
  // Sorts the attached array in place (under the list's lock) and redraws; false when nothing was
  // sorted (no array, or the unsorted key).
  bool SortResults(search::SortKey key, bool ascending);
  void SetListFont(const LOGFONTW& font);
  // Ends the icon thread (waits up to 8 s). Called when the window is destroyed or Windows ends.
  void StopIconThread();
};

}  // namespace lvx::results
