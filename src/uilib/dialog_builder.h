// Builds a control tree from layout markup:
//
//   <Window size="760,560" mininfo="560,420">
//     <Font name="Tahoma" size="13" bold="true"/>      fonts 0, 1, ... in order
//     <VerticalLayout ...> ... </VerticalLayout>        the one root control
//   </Window>
//
// Controls: Control (an empty space), VerticalLayout, HorizontalLayout, TabLayout, Label (also
// Text), Button, Option and WindowCtrl (a host control). Every attribute must be one the control
// takes, with a value it can read, every name unique, every font index and image present; the first
// fault ends the build with a message naming the layout, the line and the column.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "uilib/control.h"
#include "uilib/xml_reader.h"

namespace lvx::uilib {

class CControlManager;

class CDialogBuilder {
 public:
  // The layout file xmlName of the manager's archive. On success the manager has the window's
  // sizes and fonts and the caller has the tree, for AttachDialog; else null and *error.
  std::unique_ptr<CControlUI> Create(std::u16string_view xmlName, CControlManager* manager, std::u16string* error);
  // The same from markup already read; xmlName names it in messages.
  std::unique_ptr<CControlUI> Create(const CMarkup& markup, std::u16string_view xmlName, CControlManager* manager,
                                     std::u16string* error);

  const CMarkup& GetMarkup() const { return markup_; }

 private:
  CMarkup markup_;
};

}  // namespace lvx::uilib
