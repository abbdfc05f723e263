// "Select Drives to Search ...": the fixed and removable drives of the machine, each with a check box
// for whether it is cached and searched, and whether arriving removable drives are added by
// themselves. The caller sets the fields before DoModal and reads them after OK.
#pragma once

#include <cstdint>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "controls/trans_controls.h"
#include "framework/common_controls.h"
#include "options_ui/dialogs/drive_rows.h"

namespace lvx::dialogs {

class CSelectDrivesDlg : public controls::CGradientDialog {
 public:
  CSelectDrivesDlg();

  // Bit n set: drive letter 'A' + n is selected. After OK only listed drives can be set.
  uint32_t driveMask = 0xFFFFFFFFu;
  uint8_t autoRefreshRemovable = 0;

  // The drives listed; the system's unless a test gives others. Set before the dialog is created.
  void SetDriveProbe(DriveProbe probe) { probe_ = std::move(probe); }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void Accept();

  ui::CListView list_;
  controls::CTransCheck autoRemovable_;
  controls::CButtonEx ok_, cancel_;
  DriveProbe probe_;
};

}  // namespace lvx::dialogs
