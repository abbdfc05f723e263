// Custom controls: pages in a tab sheet, the transparent check box's own state, and the look of a
// gradient dialog rendered pixel by pixel (gradient, transparent label, hover frame).
#include <gtest/gtest.h>

#include <tuple>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "controls/tab_sheet.h"
#include "controls/trans_controls.h"
#include "framework/common_controls.h"
#include "ui_test_ids.h"
#include "ui_test_support.h"

namespace lvx::controls {
namespace {

using uitest::ChildRect;
using uitest::Describe;
using uitest::Near;

class RecordingDialog : public CGradientDialog {
 public:
  using CGradientDialog::CGradientDialog;
  std::vector<UINT> notifications;
  std::vector<std::pair<int, int>> checkAtClick;  // (id, the box's state when the dialog heard of it)

 protected:
  bool OnNotify(NMHDR* header, LRESULT* result) override {
    notifications.push_back(header->code);
    return false;
  }
  bool OnCommand(int id, int code, HWND control) override {
    if (code == BN_CLICKED && id == IDC_CHECK) checkAtClick.push_back({id, int(::IsDlgButtonChecked(Handle(), id))});
    return false;
  }
};

class ControlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(); }
};

TEST_F(ControlsTest, TabSheetPlacesPagesAndSwitchesOnSelectionChange) {
  RecordingDialog dialog(IDD_TABS);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  CTabSheet tabs;
  ASSERT_TRUE(tabs.SubclassDlgItem(IDC_TAB, dialog.Handle()));
  CGradientPage pageA(IDD_PAGE_A), pageB(IDD_PAGE_B);
  EXPECT_EQ(tabs.AddPage(L"A", &pageA), 0);
  EXPECT_EQ(tabs.AddPage(L"B", &pageB), 1);
  EXPECT_FALSE(tabs.SetActivePage(2));

  RECT expected = tabs.PageRect();
  for (ui::CChildPage* page : {&pageA, &pageB}) {
    DWORD style = page->Style();
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(style & (WS_CAPTION | WS_POPUP));
    EXPECT_TRUE(::GetWindowLongPtrW(page->Handle(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_EQ(page->Parent(), tabs.Handle());
    RECT at = page->RectInParent();
    EXPECT_TRUE(::EqualRect(&at, &expected)) << at.left << "," << at.top << "," << at.right << "," << at.bottom;
  }
  for (int select : {1, 0}) {
    tabs.Select(select);  // as a click does: the control selects, then tells its parent
    NMHDR header = {tabs.Handle(), UINT_PTR(IDC_TAB), UINT(TCN_SELCHANGE)};
    dialog.Send(WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(std::tuple(bool(pageA.Style() & WS_VISIBLE), bool(pageB.Style() & WS_VISIBLE)),
              std::tuple(select == 0, select == 1)) << "select " << select;
  }
  // The sheet switched pages and the dialog still heard of both changes.
  EXPECT_EQ(std::count(dialog.notifications.begin(), dialog.notifications.end(), UINT(TCN_SELCHANGE)), 2);
}

// The transparent check box keeps its own state for the dialog, and the dialog looks as the
// program's dialogs do.
TEST_F(ControlsTest, TransparentCheckAndTheGradientLook) {
  RecordingDialog dialog(IDD_LOOK);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  ::CheckDlgButton(dialog.Handle(), IDC_CHECK, BST_CHECKED);  // set before it is taken over
  CTransStatic label;
  CTransCheck check;
  CButtonEx button;
  ASSERT_TRUE(label.SubclassDlgItem(IDC_LABEL, dialog.Handle()));
  ASSERT_TRUE(check.SubclassDlgItem(IDC_CHECK, dialog.Handle()));
  ASSERT_TRUE(button.SubclassDlgItem(IDC_PRESS, dialog.Handle()));
  EXPECT_EQ(check.Style() & BS_TYPEMASK, DWORD(BS_OWNERDRAW));
  EXPECT_TRUE(check.IsChecked());
  check.Send(BM_CLICK);
  check.Send(BM_CLICK);
  ::CheckDlgButton(dialog.Handle(), IDC_CHECK, BST_UNCHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dialog.Handle(), IDC_CHECK), UINT(BST_UNCHECKED));
  check.Send(BM_CLICK);
  // Each click had changed the state before the dialog's handler read it.
  EXPECT_EQ(dialog.checkAtClick, (std::vector<std::pair<int, int>>{{IDC_CHECK, 0}, {IDC_CHECK, 1}, {IDC_CHECK, 1}}));

  uitest::Image rest = uitest::Shoot(dialog.Handle(), "controls_look_rest");
  ASSERT_GT(rest.height, 20);
  int last = rest.height - 1;
  EXPECT_TRUE(Near(rest.At(rest.width - 1, 0), kGradientTop, 2)) << Describe(rest.At(rest.width - 1, 0));
  EXPECT_TRUE(Near(rest.At(rest.width - 1, last), kGradientBottom, 2)) << Describe(rest.At(rest.width - 1, last));
  // The label and the check box show the gradient line of their row behind their text.
  for (int id : {IDC_LABEL, IDC_CHECK}) {
    RECT r = ChildRect(dialog.Handle(), id);
    int y = r.bottom - 1;
    COLORREF expected = GradientColour(kGradientTop, kGradientBottom, y, rest.height);
    EXPECT_TRUE(Near(rest.At(r.right - 2, y), expected, 1)) << id << ": " << Describe(rest.At(r.right - 2, y));
  }
  RECT b = ChildRect(dialog.Handle(), IDC_PRESS);
  int midY = (b.top + b.bottom) / 2;
  EXPECT_FALSE(Near(rest.At(b.left, midY), kFrameColour, 0)) << "a flat button has no frame at rest";

  button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(button.IsHover());
  uitest::Image hover = uitest::Shoot(dialog.Handle(), "controls_look_hover");
  for (POINT p : {POINT{b.left, midY}, POINT{b.right - 1, midY}, POINT{(b.left + b.right) / 2, b.top}})
    EXPECT_EQ(hover.At(p.x, p.y), kFrameColour) << p.x << "," << p.y << " " << Describe(hover.At(p.x, p.y));
  // Inside the frame the hover gradient starts from its warm top colour.
  EXPECT_TRUE(Near(hover.At((b.left + b.right) / 2, b.top + 1), kHoverTop, 3));
}

}  // namespace
}  // namespace lvx::controls
