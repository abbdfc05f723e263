// "Lumivex Updater": the progress shown while a check that the user asked for runs. The bar moves
// 10 a second up to 90 and waits there; the check's result ends the dialog. Cancel lets the check
// run on unseen: its result is then not shown.
#pragma once

#include "controls/button_ex.h"
#include "framework/common_controls.h"
#include "framework/dialog.h"

namespace lvx::shell {
class CUpdateChecker;
}

namespace lvx::dialogs {

constexpr UINT_PTR kProgressTimer = 10;
constexpr UINT kProgressStepMs = 1000;
constexpr int kProgressStep = 10;
constexpr int kProgressWait = 90;

class CDialogUpdater : public ui::CDialogBox {
 public:
  CDialogUpdater();

  // The update checker whose manual check this dialog shows (null when none). Set before the dialog
  // is created, or before Begin.
  void SetChecker(shell::CUpdateChecker* checker) { checker_ = checker; }
  // Starts over: bar at 0 of 100, the timer running, centred; with a checker, marks its check as
  // shown and asks it to go.
  void Begin();
  // The check has answered: the timer stops and the dialog hides.
  void Finish();
  int Position() const { return progress_.Position(); }

 protected:
  bool OnInitDialog() override;
  bool OnTimer(UINT_PTR id) override;
  void OnCancel() override;

 private:
  ui::CProgressBar progress_;
  shell::CUpdateChecker* checker_ = nullptr;
  bool ticking_ = false;
};

}  // namespace lvx::dialogs
