#include "options_ui/edit_toolbar_dlg.h"

#include <utility>

#include "framework/message_box.h"
#include "options_ui/add_button_dlg.h"
#include "options_ui/toolbar_page.h"
#include "resource.h"

namespace lvx::options {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

HICON Copy(HICON icon) { return icon ? ::CopyIcon(icon) : nullptr; }

}  // namespace

CEditToolbarDlg::CEditToolbarDlg(const std::u16string& settingsFile, const std::u16string& programFolder)
    : controls::CGradientDialog(IDD_EDIT_TOOLBAR), settingsFile_(settingsFile), programFolder_(programFolder) {}

CEditToolbarDlg::~CEditToolbarDlg() { FreeButtons(); }

void CEditToolbarDlg::FreeButtons() {
  for (_TBBTN& record : buttons_) {
    if (record.button) record.button->Destroy();
    delete record.button;
  }
  buttons_.clear();
}

void CEditToolbarDlg::OnDestroy() {
  FreeButtons();
  controls::CGradientDialog::OnDestroy();
}

bool CEditToolbarDlg::OnInitDialog() {
  list_.Attach(Item(IDC_ETB_LIST));
  preview_.SubclassDlgItem(IDC_ETB_PREVIEW, Handle());
  FreeButtons();
  buttons_ = ReadToolbar(settingsFile_);
  for (size_t n = 0; n < buttons_.size(); ++n) {
    buttons_[n].button = CreateToolbarButton(Handle(), ID_DIALOG_TBBUTTON, buttons_[n], programFolder_, int32_t(n), false);
    list_.Add(Wide(buttons_[n].text));
  }
  list_.Select(0);
  ShowSelected();
  return true;
}

_TBBTN* CEditToolbarDlg::Selected() {
  const int row = list_.Selection();
  return row >= 0 && size_t(row) < buttons_.size() ? &buttons_[size_t(row)] : nullptr;
}

void CEditToolbarDlg::ShowSelected() {
  showing_ = true;
  if (const _TBBTN* record = Selected()) {
    HICON smallIcon = record->button ? Copy(record->button->SmallIcon()) : nullptr;
    HICON largeIcon = record->button ? Copy(record->button->LargeIcon()) : nullptr;
    preview_.SetIcons(smallIcon, kSmallIconSize, largeIcon, kLargeIconSize);
    preview_.SetText(Wide(record->text));
    SetItemText(Handle(), IDC_ETB_TEXT, record->text);
    SetItemText(Handle(), IDC_ETB_ACTION, record->pattern);
    SetItemText(Handle(), IDC_ETB_LOCATION, record->location);
  } else {
    preview_.SetIcons(nullptr, kSmallIconSize, nullptr, kLargeIconSize);
    preview_.SetText(L"TestBtn");
    SetItemText(Handle(), IDC_ETB_TEXT, u"TestBtn");
    SetItemText(Handle(), IDC_ETB_ACTION, u"*");
    SetItemText(Handle(), IDC_ETB_LOCATION, u"DEFAULT");
  }
  preview_.Invalidate(false);
  showing_ = false;
}

void CEditToolbarDlg::TextEdited() {
  _TBBTN* record = Selected();
  if (!record) return;
  const int row = list_.Selection();
  record->text = ItemText(Handle(), IDC_ETB_TEXT);
  preview_.SetText(Wide(record->text));
  preview_.Invalidate(false);
  list_.Delete(row);
  list_.Insert(row, Wide(record->text));
  list_.Select(row);
}

void CEditToolbarDlg::Move(int by) {
  const int row = list_.Selection();
  const int to = row + by;
  if (row < 0 || to < 0 || size_t(row) >= buttons_.size() || size_t(to) >= buttons_.size()) return;
  std::swap(buttons_[size_t(row)], buttons_[size_t(to)]);
  list_.Delete(row);
  list_.Insert(to, Wide(buttons_[size_t(to)].text));
  list_.Select(to);
  ShowSelected();
}

void CEditToolbarDlg::DeleteSelected() {
  const int row = list_.Selection();
  if (row < 0 || size_t(row) >= buttons_.size()) return;
  if (CToolbarBtn* button = buttons_[size_t(row)].button) {
    button->Destroy();
    delete button;
  }
  buttons_.erase(buttons_.begin() + row);
  list_.Delete(row);
  const int count = int(buttons_.size());
  list_.Select(row < count ? row : count - 1);
  ShowSelected();
}

void CEditToolbarDlg::AddButton() {
  CAddTBButtonDlg add(programFolder_);
  if (add.DoModal(Handle()) != IDOK) return;
  _TBBTN record = add.Values();
  record.button = CreateToolbarButton(Handle(), ID_DIALOG_TBBUTTON, record, programFolder_, int32_t(buttons_.size()), false);
  buttons_.push_back(record);
  const int row = list_.Add(Wide(record.text));
  list_.Select(row);
  ShowSelected();
}

void CEditToolbarDlg::Save() {
  if (!WriteToolbar(settingsFile_, buttons_, programFolder_)) {
    ui::MessageBoxFor(Handle(), L"The toolbar could not be saved to the settings file.", L"", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(IDOK);
}

bool CEditToolbarDlg::OnCommand(int id, int code, HWND control) {
  const bool clicked = code == BN_CLICKED;
  switch (id) {
    case IDC_ETB_LIST:
      if (code == LBN_SELCHANGE) ShowSelected();
      return code == LBN_SELCHANGE;
    case IDC_ETB_TEXT:
      if (code == EN_CHANGE && !showing_) TextEdited();
      return code == EN_CHANGE;
    case IDC_ETB_ACTION:
    case IDC_ETB_LOCATION:
      if (code != EN_CHANGE) return false;
      if (_TBBTN* record = Selected(); record && !showing_)
        (id == IDC_ETB_ACTION ? record->pattern : record->location) = ItemText(Handle(), id);
      return true;
    case IDC_ETB_ICON_BROWSE:
      if (!clicked) return false;
      if (_TBBTN* record = Selected(); record && BrowseIcon(Handle(), &record->iconPath)) {
        if (record->button) LoadButtonIcons(record->button, record->iconPath, programFolder_);
        ShowSelected();
      }
      return true;
    case IDC_ETB_LOCATION_BROWSE:
      if (clicked) SetItemText(Handle(), IDC_ETB_LOCATION, BrowseLocation(Handle()));  // its change copies it
      return clicked;
    case IDC_ETB_UP:
    case IDC_ETB_DOWN:
      if (clicked) Move(id == IDC_ETB_UP ? -1 : 1);
      return clicked;
    case IDC_ETB_DEL:
      if (clicked) DeleteSelected();
      return clicked;
    case IDC_ETB_ADD:
      if (clicked) AddButton();
      return clicked;
    case IDC_ETB_SAVE:
      if (clicked) Save();
      return clicked;
    case IDC_ETB_CANCEL:
      if (clicked) EndDialog(IDCANCEL);
      return clicked;
    default:
      return false;
  }
}

}  // namespace lvx::options
