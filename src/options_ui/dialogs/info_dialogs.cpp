#include "options_ui/dialogs/info_dialogs.h"

#include "options_ui/dialogs/dialog_util.h"
#include "resource.h"
#include "shell/version.h"

namespace lvx::dialogs {
namespace {

void DressLink(CLinkStatic& link, HWND dialog) {
  if (!link.SubclassDlgItem(IDC_WEB_LINK, dialog)) return;
  link.SetAddress(HomePageAddress());
}

}  // namespace

std::wstring AboutVersionLine(const std::u16string& version) {
  shell::VersionParts parts = shell::ParseVersion(version);
  return L"Lumivex Version " + std::to_wstring(parts[0]) + L"." + std::to_wstring(parts[1]) + L"." +
         std::to_wstring(parts[2]) + L" build " + std::to_wstring(parts[3]);
}

CWelcomeDlg::CWelcomeDlg() : controls::CGradientDialog(IDD_WELCOME) {}

bool CWelcomeDlg::OnInitDialog() {
  DressLink(link_, Handle());
  ok_.SubclassDlgItem(IDOK, Handle());
  ok_.SetFramed(true);
  CenterOnOwner(Handle());
  return true;
}

// Modeless: the window goes when it is dismissed, so a later welcome would start afresh.
void CWelcomeDlg::OnOK() {
  if (IsModal()) return controls::CGradientDialog::OnOK();
  Destroy();
}

void CWelcomeDlg::OnCancel() {
  if (IsModal()) return controls::CGradientDialog::OnCancel();
  Destroy();
}

CMyAboutDlg::CMyAboutDlg(UINT templateId) : controls::CGradientDialog(templateId) {}
CMyAboutDlg::CMyAboutDlg() : CMyAboutDlg(IDD_ABOUT) {}

bool CMyAboutDlg::OnInitDialog() {
  if (version_.SubclassDlgItem(IDC_ABOUT_VERSION, Handle())) version_.SetText(AboutVersionLine(shell::kRunningVersion));
  if (Item(IDC_WEB_LINK)) DressLink(link_, Handle());
  ok_.SubclassDlgItem(IDOK, Handle());
  ok_.SetFramed(true);
  return true;
}

}  // namespace lvx::dialogs
