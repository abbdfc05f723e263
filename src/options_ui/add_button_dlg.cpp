#include "options_ui/add_button_dlg.h"

#include "framework/pickers.h"
#include "options_ui/icon_paths.h"
#include "resource.h"

namespace lvx::options {

bool BrowseIcon(HWND owner, std::u16string* path) {
  std::wstring chosen;
  if (!ui::PickOpenFile(owner, L"Icon Files(*.ico)|*.ico|All Files (*.*)|*.*||", L"*.ico", &chosen)) return false;
  path->assign(chosen.begin(), chosen.end());
  return true;
}

std::u16string BrowseLocation(HWND owner) {
  std::wstring folder;
  if (!ui::PickFolder(owner, L"Select Folder", &folder) || folder.empty()) return u"My Computer";
  return std::u16string(folder.begin(), folder.end());
}

std::u16string ItemText(HWND dialog, int id) {
  HWND item = ::GetDlgItem(dialog, id);
  const int length = ::GetWindowTextLengthW(item);
  std::u16string text(size_t(length) + 1, u'\0');
  const int got = ::GetWindowTextW(item, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(size_t(got > 0 ? got : 0));
  return text;
}

void SetItemText(HWND dialog, int id, const std::u16string& text) {
  ::SetDlgItemTextW(dialog, id, reinterpret_cast<const wchar_t*>(text.c_str()));
}

void LoadButtonIcons(CToolbarBtn* button, const std::u16string& iconPath, const std::u16string& programFolder) {
  const std::u16string file = IconFilePath(iconPath, programFolder);
  button->SetIcons(LoadIconFile(file, kSmallIconSize), kSmallIconSize, LoadIconFile(file, kLargeIconSize), kLargeIconSize);
}

CAddTBButtonDlg::CAddTBButtonDlg(const std::u16string& programFolder)
    : controls::CGradientDialog(IDD_ADD_TBBUTTON), programFolder_(programFolder) {
  values_.text = u"NewBtn";
  values_.iconPath = u".\\icons\\default.ico";
  values_.pattern = u"*.mp3";
  values_.location = u"DEFAULT";
}

bool CAddTBButtonDlg::OnInitDialog() {
  preview_.SubclassDlgItem(IDC_ATB_PREVIEW, Handle());
  LoadButtonIcons(&preview_, values_.iconPath, programFolder_);
  // Set in this order, each box's change notification copies its text back unchanged.
  const _TBBTN initial = values_;
  SetItemText(Handle(), IDC_ATB_TEXT, initial.text);
  SetItemText(Handle(), IDC_ATB_ACTION, initial.pattern);
  SetItemText(Handle(), IDC_ATB_LOCATION, initial.location);
  return true;
}

bool CAddTBButtonDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_ATB_TEXT:
      if (code != EN_CHANGE) return false;
      values_.text = ItemText(Handle(), id);
      preview_.SetText(std::wstring(values_.text.begin(), values_.text.end()));
      preview_.Invalidate(false);
      return true;
    case IDC_ATB_ACTION:
      if (code == EN_CHANGE) values_.pattern = ItemText(Handle(), id);
      return code == EN_CHANGE;
    case IDC_ATB_LOCATION:
      if (code == EN_CHANGE) values_.location = ItemText(Handle(), id);
      return code == EN_CHANGE;
    case IDC_ATB_ICON_BROWSE:
      if (code != BN_CLICKED) return false;
      if (BrowseIcon(Handle(), &values_.iconPath)) LoadButtonIcons(&preview_, values_.iconPath, programFolder_);
      return true;
    case IDC_ATB_LOCATION_BROWSE:
      if (code != BN_CLICKED) return false;
      SetItemText(Handle(), IDC_ATB_LOCATION, BrowseLocation(Handle()));  // the box's change copies it
      return true;
    case IDC_ATB_ADD:
      if (code == BN_CLICKED) EndDialog(IDOK);
      return code == BN_CLICKED;
    case IDC_ATB_CANCEL:
      if (code == BN_CLICKED) EndDialog(IDCANCEL);
      return code == BN_CLICKED;
    default:
      return false;
  }
}

}  // namespace lvx::options
