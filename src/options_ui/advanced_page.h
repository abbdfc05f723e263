// The advanced filter page (dialog 138): what kind of items to find, whether to stay in the
// location's own folder, and whether a one-character pattern may search while typing.
#pragma once

#include "controls/look.h"
#include "controls/trans_controls.h"
#include "framework/basic_controls.h"
#include "options_ui/filter_choices.h"

namespace lvx::options {

class CAdvancedPage : public controls::CGradientPage {
 public:
  CAdvancedPage();
  const AdvancedChoices& Choices() const { return choices_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  AdvancedChoices choices_;
  ui::CComboBox searchFor_;
  controls::CTransCheck noSubdirs_, allowOneChar_;
};

}  // namespace lvx::options
