#include "options_ui/dialogs/updater_dialog.h"

#include "options_ui/dialogs/dialog_util.h"
#include "resource.h"
#include "shell/update_checker.h"

namespace lvx::dialogs {

CDialogUpdater::CDialogUpdater() : CDialogBox(IDD_UPDATER) {}

bool CDialogUpdater::OnInitDialog() {
  progress_.Attach(Item(IDC_UPDATER_PROGRESS));
  Begin();
  return true;
}

void CDialogUpdater::Begin() {
  progress_.SetRange(0, 100);
  progress_.SetPosition(0);
  ticking_ = SetTimer(kProgressTimer, kProgressStepMs);
  CenterOnOwner(Handle());
  // The checker's manual flag is the "dialog shown" flag: set, the thread's result is reported.
  if (checker_) checker_->CheckNow();
}

void CDialogUpdater::Finish() {
  KillTimer(kProgressTimer);
  ticking_ = false;
  Show(SW_HIDE);
}

bool CDialogUpdater::OnTimer(UINT_PTR id) {
  if (id != kProgressTimer) return false;
  // A tick already queued when the timer stopped changes nothing.
  if (!ticking_) return true;
  int position = progress_.Position() + kProgressStep;
  progress_.SetPosition(position);
  if (position >= kProgressWait) {
    KillTimer(kProgressTimer);
    ticking_ = false;
  }
  return true;
}

void CDialogUpdater::OnCancel() {
  KillTimer(kProgressTimer);
  ticking_ = false;
  if (checker_) checker_->ClearManual();
  EndDialog(IDCANCEL);
}

}  // namespace lvx::dialogs
