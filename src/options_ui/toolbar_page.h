// The quick-search toolbar page (dialog 131): a row of icon buttons, one per saved search, read
// from settings.ini. A click sends the main window WM_QUICK_SEARCH with the button's index; the
// buttons that do not fit the row are offered in a menu behind the "more" button at its right end.
#pragma once

#include <memory>
#include <vector>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "framework/menu.h"
#include "options_ui/toolbar_btn.h"
#include "options_ui/toolbar_store.h"

namespace lvx::options {

// To the main window: run quick search wParam (a button index; kNoButtonIndex does nothing).
constexpr UINT WM_QUICK_SEARCH = WM_APP + 5;
constexpr int32_t kNoButtonIndex = 10000;

class CToolbarPage : public controls::CGradientPage {
 public:
  CToolbarPage();
  ~CToolbarPage() override;

  // settings.ini and the folder that relative icon paths start from.
  void SetFiles(const std::u16string& settingsFile, const std::u16string& programFolder);
  void LoadButtons();
  void ClearButtons();
  void LayoutButtons();
  const std::vector<_TBBTN>& Buttons() const { return buttons_; }
  // The record of a quick search's index; null for kNoButtonIndex and any index outside the row.
  const _TBBTN* Record(WPARAM index) const { return index < buttons_.size() ? &buttons_[index] : nullptr; }
  HWND MoreButton() const { return more_ ? more_->Handle() : nullptr; }
  HMENU OverflowMenu() const { return overflow_.Handle(); }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDestroy() override;

 private:
  void QuickSearch(int32_t index);

  std::u16string settingsFile_, programFolder_;
  std::vector<_TBBTN> buttons_;  // each record's button is owned by buttons_ and freed by ClearButtons
  std::unique_ptr<controls::CMoreBtn> more_;
  HICON moreIcon_ = nullptr;
  ui::CMenu overflow_;
};

// A button window for the record, with its icons loaded from the record's file (37 and 40 pixels).
CToolbarBtn* CreateToolbarButton(HWND parent, int id, const _TBBTN& record, const std::u16string& programFolder,
                                 int32_t index, bool visible);

}  // namespace lvx::options
