// Dialogs from resource templates.
//
// CDialogBox runs a dialog modally (DoModal) or modelessly (CreateModeless). The modal loop is the
// framework's own, not the system's, so that every message of a modal dialog passes through
// RoutePreTranslate like those of the main loop (a list relays to its tooltip, a page hands its keys
// to the main window). IDOK and IDCANCEL reach OnOK and OnCancel unless OnCommand took them;
// WM_CLOSE becomes IDCANCEL as in every dialog.
//
// CChildPage is a dialog hosted in another window: its template is made a frameless child
// (WS_CHILD, DS_CONTROL, WS_EX_CONTROLPARENT) whatever its resource says, so the host's dialog
// navigation runs through the page's controls.
#pragma once

#include <vector>

#include "framework/window.h"

namespace lvx::ui {

class CDialogBox : public CWindow {
 public:
  explicit CDialogBox(UINT templateId) : templateId_(templateId) {}

  // Runs the dialog until EndDialog; returns its result, or -1 when it could not be created. The
  // owner's top-level window is disabled meanwhile.
  INT_PTR DoModal(HWND owner);
  // Creates the dialog and returns; shown when its template carries WS_VISIBLE.
  bool CreateModeless(HWND owner);
  // Modal: ends the loop with the result. Modeless: hides the window (Destroy removes it).
  void EndDialog(INT_PTR result);
  bool IsModal() const { return modal_; }
  INT_PTR Result() const { return result_; }
  UINT TemplateId() const { return templateId_; }

  // Key and mouse messages for the dialog or its controls go through the dialog manager
  // (IsDialogMessage) when this is a top-level dialog.
  bool PreTranslateMessage(MSG* msg) override;

 protected:
  // True lets the system put the focus on the first control.
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override;
  // Creates the window from the template; asChild makes it a frameless child page.
  bool CreateFromTemplate(HWND parent, bool asChild);

 private:
  static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  UINT templateId_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

class CChildPage : public CDialogBox {
 public:
  explicit CChildPage(UINT templateId) : CDialogBox(templateId) {}
  // Creates the page as a hidden child of the host.
  bool CreatePage(HWND host);
  // The host's dialog manager handles the page's keys.
  bool PreTranslateMessage(MSG* msg) override { return false; }
};

// The style words of a dialog template (DLGTEMPLATE or DLGTEMPLATEEX) changed to those of a frameless
// child page; false when the bytes are not a dialog template.
bool MakeChildTemplate(std::vector<uint8_t>* bytes);

}  // namespace lvx::ui
