#include "options_ui/dialogs/settings_dialog.h"

#include "resource.h"

namespace lvx::dialogs {

CSettingsDialog::CSettingsDialog() : CDialogBox(IDD_SETTINGS) {}

bool CSettingsDialog::OnInitDialog() {
  if (manager_) {
    if (shell::COptionsEx* current = manager_->GetOptions(shell::OPTIONS_GENERAL)) general_.CopyFrom(*current);
  }
  tabs_.SubclassDlgItem(IDC_SETTINGS_TABS, Handle());
  tabs_.AddPage(L"General", &general_);
  tabs_.SetActivePage(0);
  return true;
}

void CSettingsDialog::OnOK() {
  shell::CGeneralOptions* values = &general_;
  // Mode 1: the manager copies the values and the page keeps its own.
  if (manager_) manager_->SetOptions(shell::OPTIONS_GENERAL, values, 1);
  values->Save();
  EndDialog(IDOK);
}

}  // namespace lvx::dialogs
