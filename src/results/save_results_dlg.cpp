#include "results/save_results_dlg.h"

#include "framework/message_box.h"
#include "framework/pickers.h"
#include "framework/wait_cursor.h"
#include "platform/file.h"
#include "platform/text.h"
#include "resource.h"
#include "results/save_results.h"

namespace lvx::results {

namespace {

std::u16string DialogText(HWND dialog, int id) {
  HWND item = ::GetDlgItem(dialog, id);
  std::wstring text(size_t(::GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(size_t(std::max(0, ::GetWindowTextW(item, text.data(), int(text.size())))));
  return std::u16string(text.begin(), text.end());
}

void SetDialogText(HWND dialog, int id, const std::u16string& text) {
  ::SetDlgItemTextW(dialog, id, std::wstring(text.begin(), text.end()).c_str());
}

}  // namespace

CSaveResultsDlg::CSaveResultsDlg() : controls::CGradientDialog(IDD_SAVE_RESULTS) {}

bool CSaveResultsDlg::OnInitDialog() {
  // Set one after the other: each box's change notification copies its text back unchanged.
  const std::u16string format = format_, filePath = filePath_;
  SetDialogText(Handle(), IDC_SAVE_FORMAT, format);
  SetDialogText(Handle(), IDC_SAVE_FILE_PATH, filePath);
  return true;
}

bool CSaveResultsDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_SAVE_FILE_PATH:
    case IDC_SAVE_FORMAT:
      if (code != EN_CHANGE) return false;
      (id == IDC_SAVE_FILE_PATH ? filePath_ : format_) = DialogText(Handle(), id);
      return true;
    case IDC_SAVE_SELECTED_ONLY:
      if (code != BN_CLICKED) return false;
      selectedOnly_ = ::IsDlgButtonChecked(Handle(), id) == BST_CHECKED;
      return true;
    case IDC_SAVE_BROWSE: {
      if (code != BN_CLICKED) return false;
      std::wstring path = L"SearchResults.txt";
      if (ui::PickSaveFile(Handle(), L"Text Files(*.txt)|*.txt|All Files (*.*)|*.*||", L"", &path)) {
        SetDialogText(Handle(), IDC_SAVE_FILE_PATH, std::u16string(path.begin(), path.end()));
      }
      return true;
    }
    default:
      return false;
  }
}

void CSaveResultsDlg::OnOK() {
  format_ = Trim(format_);
  filePath_ = Trim(filePath_);
  if (format_.empty() || filePath_.empty()) {
    ui::MessageBoxFor(Handle(), L"Invalid information, file path or save format must not be blank.", L"", MB_OK);
    return;
  }
  if (format_.find(u"[FILEDIR]") == std::u16string::npos && format_.find(u"[FILENAME]") == std::u16string::npos) {
    ui::MessageBoxFor(Handle(), L"Invalid save format, format must contain [FILEDIR] or [FILENAME] filed. ", L"", MB_OK);
    return;
  }
  if (os::FileExists(filePath_) &&
      ui::MessageBoxFor(Handle(), L"File already exists. Do you want to overwrite it ?", L"Confirm Message", MB_YESNO) != IDYES) {
    return;
  }
  EndDialog(IDOK);
}

bool SaveResultsCommand(CListCtrlEx& list, HWND owner) {
  CSaveResultsDlg dialog;
  if (dialog.DoModal(owner) != IDOK) return false;
  ui::CWaitCursor wait;
  return SaveResults(list, dialog.FilePath(), dialog.LineFormat(), dialog.SelectedOnly()) == 0;
}

}  // namespace lvx::results
