// The first-run welcome (modeless) and the about boxes: texts from the resource script, the running
// version, and a link to the maker's web page.
#pragma once

#include <string>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "options_ui/dialogs/web_link.h"

namespace lvx::dialogs {

// "Lumivex Version 1.6.0 build 0": the first three numbers of the version, then the fourth.
std::wstring AboutVersionLine(const std::u16string& version);

class CWelcomeDlg : public controls::CGradientDialog {
 public:
  CWelcomeDlg();

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  CLinkStatic link_;
  controls::CButtonEx ok_;
};

// Help > About (dialog 156, the default) and the system menu's about box (dialog 100, which has no
// link).
class CMyAboutDlg : public controls::CGradientDialog {
 public:
  explicit CMyAboutDlg(UINT templateId);
  CMyAboutDlg();

 protected:
  bool OnInitDialog() override;

 private:
  controls::CTransStatic version_;
  CLinkStatic link_;
  controls::CButtonEx ok_;
};

}  // namespace lvx::dialogs
