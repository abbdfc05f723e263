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
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/common_controls.h"
#include "platform/thread.h"
#include "results/row_text.h"
#include "search/result_order.h"
#include "search/search_types.h"

namespace lvx::results {

class IconSource;

// The row a navigation key (VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT, VK_HOME, VK_END) moves the focus to in
// a report list of `count` rows whose page shows `perPage` rows from `top`; -1 for another key or no
// rows.
int NavigationRow(UINT key, int focus, int top, int perPage, int count);

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
  // Hands each row's entry, in list order, to visit under the list's lock (saving the list reads it
  // so); visit returns false to stop. False when no array is attached.
  bool VisitResults(const std::function<bool(const search::SearchResult&)>& visit);
  // Ends the icon thread (waits up to 8 s). Called when the window is destroyed or Windows ends.
  void StopIconThread();

  // Where drive types and icons come from (the shell unless a test sets another); before InitList.
  void SetIconSource(IconSource* source);
  int DefaultFileIcon() const { return defaultFileIcon_; }
  int FolderIcon() const { return folderIcon_; }
  // The column width a divider double-click gives: the widest row text drawn since the last mode
  // change, plus 10, and at least 600.
  uint32_t WidestText() const { return widestText_; }
  int ItemHeight() const { return itemHeight_; }
  HWND ToolTip() const { return toolTip_; }
  // Whether the last StopIconThread saw the thread end within its wait.
  bool IconThreadEnded() const { return iconThreadEnded_; }

  bool PreTranslateMessage(MSG* msg) override;

 protected:
  void OnSubclassed() override;
  void OnSize(UINT type, int cx, int cy) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  bool OnReflectNotify(NMHDR* header, LRESULT* result) override;
  bool OnReflectDrawItem(DRAWITEMSTRUCT* item) override;
  bool OnReflectMeasureItem(MEASUREITEMSTRUCT* item) override;
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;

  // One row: the result row or the state row of the current mode.
  virtual void DrawItem(DRAWITEMSTRUCT* item);
  // The tooltip asks for its text (TTN_GETDISPINFOW); true when the row under the pointer has a tip.
  virtual bool OnToolTipText(NMTTDISPINFOW* info, LRESULT* result);
  // Where the pointer was at the current message, in screen coordinates.
  virtual POINT TipPointer() const;
  // Shows the main window's View menu at the pointer; its commands go to the owner.
  virtual void PopupViewMenu(HMENU menu, POINT screen, HWND owner);

 private:
  void MeasureRow(MEASUREITEMSTRUCT* item);
  // The navigation keys: focus, selection (alone: that row; Shift: the range from the selection
  // mark; Ctrl: focus only) and scrolling; Space alone selects the focused row only. False for other keys and for Shift moves over so many rows
  // that the list view's own handling is left to do them.
  bool OnNavigationKey(UINT key);
  void Notify(UINT key);
  void SelectOnly(int focus, int row);
  // Deselects every row but `row` (-1: every row), starting the search for them at the focus.
  void DeselectAllBut(int focus, int row);
  bool ExtendSelection(int focus, int row);
  // The `selected` selected rows from row `from` on, when there are few and all lie there; else none.
  std::vector<int> SelectedNear(int from, int selected) const;
  void ClearSelection();
  // The list view's selection mark, -1 when it has none or it lies past the rows.
  int SelectionMark() const;
  void Remeasure();
  void DrawResultRow(DRAWITEMSTRUCT* item);
  void DrawStateRow(DRAWITEMSTRUCT* item, const char16_t* text);
  // Draws a left and a right text on one line of the label, with the "... " rule.
  void DrawTextLine(HDC dc, const RECT& line, const std::u16string& left, std::u16string right);
  HFONT ListFont() const;
  void StartIconThread();
  uint32_t IconThreadProc();
  void FindGenericIcons(const std::u16string& probeFolder);
  void CreateToolTip();
  // The number of rows that have an entry: the row count, bounded by the attached array (called
  // under resultLock_).
  uint32_t RowsWithEntries() const;

  IconSource* iconSource_;
  HIMAGELIST largeImages_ = nullptr;
  HIMAGELIST smallImages_ = nullptr;
  std::deque<int32_t> iconQueue_;  // guarded by queueLock_
  os::Lock queueLock_;
  os::Lock resultLock_;
  os::Lock drawLock_;
  os::Event wakeEvent_{false, false};
  os::Event stopEvent_{false, false};
  std::unique_ptr<os::Thread> iconThread_;
  bool iconThreadEnded_ = false;
  HWND iconTarget_ = nullptr;  // the list's window, as the icon thread asks it to redraw
  HWND toolTip_ = nullptr;
  ListMode mode_ = ModeNone;
  int defaultFileIcon_ = 3;
  int folderIcon_ = 3;
  uint32_t widestText_ = 600;
  search::SearchResult* entries_ = nullptr;  // guarded by resultLock_
  uint32_t entryCount_ = 0;                  // guarded by resultLock_
  // Counts every attach, sort and removal (guarded by resultLock_): an icon looked up for an entry
  // is stored only when the entries have not moved meanwhile.
  uint64_t generation_ = 0;
  int itemHeight_ = 0;
  int lastTipItem_ = -1;
  std::wstring tipText_;  // the text the tooltip shows, kept while it shows it
  HFONT font_ = nullptr;
  LOGFONTW logFont_ = {};
};

}  // namespace lvx::results
