#include "options_ui/dialogs/update_location_dlg.h"

#include "framework/message_box.h"
#include "framework/pickers.h"
#include "options_ui/dialogs/dialog_util.h"
#include "resource.h"
#include "shell/settings_files.h"

namespace lvx::dialogs {

CDlgUpdateLoc::CDlgUpdateLoc() : controls::CGradientDialog(IDD_UPDATE_LOCATION) {}

bool CDlgUpdateLoc::OnInitDialog() {
  edit_.Attach(Item(IDC_UPDLOC_LOCATION));
  edit_.SetLimit(MAX_PATH - 1);
  edit_.SetText(location);
  noSubdirsBox_.SubclassDlgItem(IDC_UPDLOC_NO_SUBDIRS, Handle());
  noSubdirsBox_.Send(BM_SETCHECK, noSubdirs ? BST_CHECKED : BST_UNCHECKED);
  for (auto [button, id] : {std::pair{&browse_, IDC_UPDLOC_BROWSE}, std::pair{&ok_, int(IDOK)},
                            std::pair{&cancel_, int(IDCANCEL)}}) {
    button->SubclassDlgItem(id, Handle());
    button->SetFramed(true);
  }
  return true;
}

bool CDlgUpdateLoc::OnCommand(int id, int code, HWND control) {
  if (id != IDC_UPDLOC_BROWSE || code != BN_CLICKED) return false;
  std::wstring picked;
  if (ui::PickFolder(Handle(), kPickFolderTitle, &picked)) {
    location = picked;
    edit_.SetText(picked);
  }
  return true;
}

void CDlgUpdateLoc::OnOK() {
  // What the box shows is what is refreshed, picked or typed.
  std::wstring typed = TrimBlanks(edit_.Text());
  if (!IsFullPath(typed) || !shell::FileExists(std::u16string(typed.begin(), typed.end()))) {
    ui::MessageBoxFor(Handle(), kInvalidPathMessage, L"Lumivex", MB_OK | MB_ICONEXCLAMATION);
    edit_.SelectAll();
    ::SetFocus(edit_.Handle());
    return;
  }
  location = typed;
  noSubdirs = noSubdirsBox_.IsChecked() ? 1 : 0;
  EndDialog(IDOK);
}

}  // namespace lvx::dialogs
