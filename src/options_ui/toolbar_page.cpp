#include "options_ui/toolbar_page.h"

#include "options_ui/icon_paths.h"
#include "options_ui/toolbar_layout.h"
#include "resource.h"
#include "shell/settings_files.h"

namespace lvx::options {

CToolbarBtn* CreateToolbarButton(HWND parent, int id, const _TBBTN& record, const std::u16string& programFolder,
                                 int32_t index, bool visible) {
  auto button = std::make_unique<CToolbarBtn>();
  RECT rect = {0, 0, kToolbarButtonSize, kToolbarButtonSize};
  const DWORD style = WS_CHILD | WS_TABSTOP | BS_OWNERDRAW | (visible ? WS_VISIBLE : 0);
  if (!button->CreateControl(L"BUTTON", std::wstring(record.text.begin(), record.text.end()), style, 0, rect, parent, id))
    return nullptr;
  button->SetFont(reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)), false);
  const std::u16string file = IconFilePath(record.iconPath, programFolder);
  button->SetIcons(LoadIconFile(file, kSmallIconSize), kSmallIconSize, LoadIconFile(file, kLargeIconSize), kLargeIconSize);
  button->SetIndex(index);
  return button.release();
}

CToolbarPage::CToolbarPage() : controls::CGradientPage(IDD_TOOLBAR_PAGE) {}

CToolbarPage::~CToolbarPage() {
  ClearButtons();
  if (moreIcon_) ::DestroyIcon(moreIcon_);
}

void CToolbarPage::SetFiles(const std::u16string& settingsFile, const std::u16string& programFolder) {
  settingsFile_ = settingsFile;
  programFolder_ = programFolder;
}

bool CToolbarPage::OnInitDialog() {
  if (settingsFile_.empty()) settingsFile_ = shell::Paths().settings;
  if (programFolder_.empty()) programFolder_ = CurrentProgramFolder();
  LoadButtons();
  return true;
}

void CToolbarPage::LoadButtons() {
  ClearButtons();
  buttons_ = ReadToolbar(settingsFile_);
  for (size_t n = 0; n < buttons_.size(); ++n)
    buttons_[n].button = CreateToolbarButton(Handle(), ID_TOOLBAR_BUTTON, buttons_[n], programFolder_, int32_t(n), false);
  more_ = std::make_unique<controls::CMoreBtn>();
  RECT rect = {0, 0, kMoreWidth, kMoreHeight};
  more_->CreateControl(L"BUTTON", L" ", WS_CHILD | BS_OWNERDRAW, 0, rect, Handle(), ID_TOOLBAR_MORE);
  if (!moreIcon_)
    moreIcon_ = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MORE), IMAGE_ICON, 16, 16, 0));
  more_->SetIcon(moreIcon_, 16);
  LayoutButtons();
}

void CToolbarPage::ClearButtons() {
  for (_TBBTN& record : buttons_) {
    if (record.button) record.button->Destroy();
    delete record.button;
  }
  buttons_.clear();
  if (more_) more_->Destroy();
  more_.reset();
}

void CToolbarPage::LayoutButtons() {
  if (!Handle()) return;
  const RECT client = ClientRect();
  if (!overflow_.Handle()) overflow_.CreatePopup();
  overflow_.Clear();
  const ToolbarLayout layout = LayoutToolbar(client.left, client.right, int(buttons_.size()));
  for (size_t n = 0; n < buttons_.size(); ++n) {
    const ToolbarPlace& place = layout.buttons[n];
    if (CToolbarBtn* button = buttons_[n].button) {
      ::SetWindowPos(button->Handle(), nullptr, place.x, kToolbarMargin, kToolbarButtonSize, kToolbarButtonSize,
                     SWP_NOZORDER | SWP_NOACTIVATE | (place.shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
    if (!place.shown) {
      const std::u16string& text = buttons_[n].text;
      overflow_.Append(UINT(ID_TOOLBAR_OVERFLOW_FIRST + n), std::wstring(text.begin(), text.end()));
    }
  }
  if (!more_ || !more_->Handle()) return;
  if (layout.moreShown)
    ::SetWindowPos(more_->Handle(), HWND_TOP, layout.moreX, 0, kMoreWidth, kMoreHeight, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  else
    ::SetWindowPos(more_->Handle(), nullptr, layout.moreX, 0, kMoreReserve, kMoreReserve,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void CToolbarPage::OnSize(UINT type, int cx, int cy) {
  controls::CGradientPage::OnSize(type, cx, cy);
  LayoutButtons();
}

void CToolbarPage::OnDestroy() {
  ClearButtons();
  controls::CGradientPage::OnDestroy();
}

void CToolbarPage::QuickSearch(int32_t index) {
  ::SendMessageW(::GetAncestor(Handle(), GA_ROOT), WM_QUICK_SEARCH, WPARAM(index), 0);
}

bool CToolbarPage::OnCommand(int id, int code, HWND control) {
  if (id == ID_TOOLBAR_BUTTON && code == BN_CLICKED) {
    QuickSearch(LastClickedButton());
    return true;
  }
  if (id == ID_TOOLBAR_MORE && code == BN_CLICKED) {
    POINT at;
    ::GetCursorPos(&at);
    overflow_.Track(Handle(), at, TPM_RIGHTBUTTON);
    return true;
  }
  if (id >= ID_TOOLBAR_OVERFLOW_FIRST && code == 0 && control == nullptr) {
    // A menu item of a record that is gone (the toolbar was reloaded meanwhile) is ignored.
    const size_t n = size_t(id - ID_TOOLBAR_OVERFLOW_FIRST);
    if (n < buttons_.size() && buttons_[n].button) QuickSearch(buttons_[n].button->Index());
    return false;
  }
  return false;
}

}  // namespace lvx::options
