#include "options_ui/dialogs/select_drives_dlg.h"

#include "resource.h"

namespace lvx::dialogs {

CSelectDrivesDlg::CSelectDrivesDlg() : controls::CGradientDialog(IDD_SELECT_DRIVES), probe_(SystemDriveProbe()) {}

bool CSelectDrivesDlg::OnInitDialog() {
  list_.Attach(Item(IDC_DRIVES_LIST));
  autoRemovable_.SubclassDlgItem(IDC_DRIVES_AUTO_REMOVABLE, Handle());
  for (auto [button, id] : {std::pair{&ok_, IDC_DRIVES_OK}, std::pair{&cancel_, IDC_DRIVES_CANCEL}}) {
    button->SubclassDlgItem(id, Handle());
    button->SetFramed(true);
  }
  list_.InsertColumn(0, L"Drive", 150);
  list_.InsertColumn(1, L"Description", 250);
  DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
  list_.SetExtendedStyle(extended, list_.ExtendedStyle() | extended);
  int row = 0;
  for (const DriveRow& drive : ListDriveRows(probe_)) {
    int at = list_.InsertItem(row, drive.drive);
    if (at < 0) continue;
    list_.SetItemText(at, 1, drive.description);
    list_.SetCheckedItem(at, (driveMask & DriveBit(drive.letter)) != 0);
    ++row;
  }
  autoRemovable_.Send(BM_SETCHECK, autoRefreshRemovable ? BST_CHECKED : BST_UNCHECKED);
  return true;
}

bool CSelectDrivesDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_DRIVES_AUTO_REMOVABLE:
      if (code == BN_CLICKED) autoRefreshRemovable = autoRemovable_.IsChecked() ? 1 : 0;
      return true;
    case IDC_DRIVES_OK:
      Accept();
      return true;
    case IDC_DRIVES_CANCEL:
      OnCancel();
      return true;
    default:
      return false;
  }
}

void CSelectDrivesDlg::Accept() {
  uint32_t mask = 0;
  for (int row = 0; row < list_.Count(); ++row) {
    if (!list_.IsCheckedItem(row)) continue;
    std::wstring text = list_.ItemText(row, 0);
    if (!text.empty()) mask |= DriveBit(wchar_t(text[0] & ~0x20));
  }
  driveMask = mask;
  EndDialog(IDOK);
}

}  // namespace lvx::dialogs
