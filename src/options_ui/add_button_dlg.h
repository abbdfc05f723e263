// "Add Toolbar Button" (dialog 140): caption, icon, pattern and location of a new quick-search
// button, with a preview of the button. "Add" accepts the values as they are.
#pragma once

#include "controls/look.h"
#include "options_ui/toolbar_btn.h"
#include "options_ui/toolbar_store.h"

namespace lvx::options {

class CAddTBButtonDlg : public controls::CGradientDialog {
 public:
  explicit CAddTBButtonDlg(const std::u16string& programFolder);
  // The values; after "Add", the new button's definition.
  const _TBBTN& Values() const { return values_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::u16string programFolder_;
  _TBBTN values_;
  CToolbarBtn preview_;
};

// Shared by the two toolbar dialogs.
// The open-file dialog for an icon; true with the chosen path.
bool BrowseIcon(HWND owner, std::u16string* path);
// The folder picker "Select Folder"; the chosen folder, or "My Computer" when none was chosen.
std::u16string BrowseLocation(HWND owner);
// The text of a dialog's control.
std::u16string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::u16string& text);
// Loads the record's icons (37 and 40 pixels) into the button.
void LoadButtonIcons(CToolbarBtn* button, const std::u16string& iconPath, const std::u16string& programFolder);

}  // namespace lvx::options
