// The size/date filter page (dialog 137): lower and upper size bounds in KB, each a check box with a
// number box and its spin button, and the modification-date range, each end a check box with a date
// picker. A ticked box enables its controls and puts its bound in force; the number boxes and the
// pickers update the bound as they change.
#pragma once

#include "controls/look.h"
#include "controls/trans_controls.h"
#include "framework/basic_controls.h"
#include "framework/common_controls.h"
#include "options_ui/filter_choices.h"

namespace lvx::options {

// The first or last millisecond, in UTC, of the local day that the picker shows; false when it
// shows no valid day.
bool DayBoundFromPicker(HWND picker, bool endOfDay, os::FileTime* bound);

class CSizeDatePage : public controls::CGradientPage {
 public:
  CSizeDatePage();
  const SizeDateChoices& Choices() const { return choices_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  // One size bound: its check box, number box and spin button, and the fields it sets.
  struct SizeBound {
    int checkId, editId, spinId;
    uint8_t SizeDateChoices::*use;
    int32_t SizeDateChoices::*value;
  };
  struct DateBound {
    int checkId, pickerId;
    bool endOfDay;
    uint8_t SizeDateChoices::*use;
    os::FileTime SizeDateChoices::*value;
  };
  static const SizeBound kSizes[2];
  static const DateBound kDates[2];
  void SizeTicked(const SizeBound& bound);
  void SizeEdited(const SizeBound& bound);
  int32_t SpinValue(const SizeBound& bound);
  void DateTicked(const DateBound& bound);
  void DatePicked(const DateBound& bound);

  SizeDateChoices choices_;
  controls::CTransCheck checks_[4];
};

}  // namespace lvx::options
