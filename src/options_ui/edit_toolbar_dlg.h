// "Customize Toolbar" (dialog 139): the quick-search buttons in a list, moved, deleted and added,
// each one's caption, icon, pattern and location edited with a preview of the button. The dialog
// works on its own copy of the definitions; only "Save" writes them to settings.ini.
#pragma once

#include <vector>

#include "controls/look.h"
#include "framework/basic_controls.h"
#include "options_ui/toolbar_btn.h"
#include "options_ui/toolbar_store.h"

namespace lvx::options {

class CEditToolbarDlg : public controls::CGradientDialog {
 public:
  CEditToolbarDlg(const std::u16string& settingsFile, const std::u16string& programFolder);
  ~CEditToolbarDlg() override;
  const std::vector<_TBBTN>& Buttons() const { return buttons_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnDestroy() override;

 private:
  // Shows the selected record (or the empty state) in the preview and the boxes.
  void ShowSelected();
  void TextEdited();
  void Move(int by);
  void DeleteSelected();
  void AddButton();
  void Save();
  void FreeButtons();
  _TBBTN* Selected();

  std::u16string settingsFile_, programFolder_;
  std::vector<_TBBTN> buttons_;  // the dialog's copy; each hidden button owned here
  ui::CListBox list_;
  CToolbarBtn preview_;
  bool showing_ = false;  // the boxes are being filled, their changes are not edits
};

}  // namespace lvx::options
