// A tab control that hosts child pages: each tab shows one page (a CChildPage created as a child of
// the tab control) in the control's display area; a selection change shows the chosen page and hides
// the others. The parent still receives TCN_SELCHANGE after the page was switched. The pages stay
// their owner's (usually the dialog that holds the sheet) and must live as long as the sheet is used.
#pragma once

#include <vector>

#include "framework/common_controls.h"
#include "framework/dialog.h"

namespace lvx::controls {

class CTabSheet : public ui::CTabControl {
 public:
  // Adds a tab and its page; the page is created inside the tab control when it has no window yet.
  // The first page added is shown. Returns the tab's index, -1 on failure.
  int AddPage(std::wstring_view title, ui::CChildPage* page);
  int PageCount() const { return int(pages_.size()); }
  ui::CChildPage* Page(int index) const;
  // Selects the tab and shows its page; false for an index out of range.
  bool SetActivePage(int index);
  int ActivePage() const { return Selection(); }
  // The rectangle a page takes, in the tab control's client coordinates.
  RECT PageRect() const { return AdjustRect(ClientRect(), false); }

 protected:
  void OnSubclassed() override;
  bool OnReflectNotify(NMHDR* header, LRESULT* result) override;
  void OnSize(UINT type, int cx, int cy) override;

 private:
  void ShowPage(int index);
  std::vector<ui::CChildPage*> pages_;
};

}  // namespace lvx::controls
