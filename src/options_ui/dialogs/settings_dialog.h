// "Settings": a tab control with the general page. The dialog edits the group OPTIONS_GENERAL of the
// options manager it is given; OK stores the page's values into the manager and settings.ini.
#pragma once

#include "controls/button_ex.h"
#include "controls/tab_sheet.h"
#include "framework/dialog.h"
#include "options_ui/dialogs/page_general.h"
#include "shell/options.h"

namespace lvx::dialogs {

class CSettingsDialog : public ui::CDialogBox {
 public:
  CSettingsDialog();

  // Set before the dialog is created; may be null (the page then starts from the defaults).
  void SetOptionsManager(shell::COptionsManager* manager) { manager_ = manager; }
  CPageGeneral& General() { return general_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  controls::CTabSheet tabs_;
  CPageGeneral general_;
  shell::COptionsManager* manager_ = nullptr;
};

}  // namespace lvx::dialogs
