// Custom controls and the skin: pages in a tab sheet, the transparent check box's own state, and the
// look of a gradient dialog and of skinned dialogs rendered pixel by pixel (gradient, transparent
// label, frames of flat and skinned push buttons). The skin reaches dialogs that exist at attach and
// dialogs created later; an excluded dialog keeps the plain look across attaches, and detaching gives
// every window its plain look and button types back.
#include <gtest/gtest.h>

#include <tuple>

#include "controls/button_ex.h"
#include "controls/look.h"
#include "controls/tab_sheet.h"
#include "controls/trans_controls.h"
#include "framework/common_controls.h"
#include "skin/skin.h"
#include "ui_test_ids.h"
#include "ui_test_support.h"

namespace lvx::controls {
namespace {

using uitest::ChildRect;
using uitest::Describe;
using uitest::Image;
using uitest::Near;

// A dialog that notes the notifications and button clicks it hears of, with the check box's state
// when it heard of each click.
template <class Base>
class Recording : public Base {
 public:
  explicit Recording(int id) : Base(id) {}
  std::vector<UINT> notifications;
  std::vector<std::pair<int, int>> clicks;  // (id, the check box's state)

 protected:
  bool OnNotify(NMHDR* header, LRESULT*) override {
    notifications.push_back(header->code);
    return false;
  }
  bool OnCommand(int id, int code, HWND) override {
    if (code == BN_CLICKED) clicks.push_back({id, int(::IsDlgButtonChecked(this->Handle(), IDC_CHECK))});
    return id == IDOK;  // stays open
  }
};
using GradientDialog = Recording<CGradientDialog>;
using PlainDialog = Recording<ui::CDialogBox>;

class LookTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(); }
};

TEST_F(LookTest, TabSheetPlacesPagesAndSwitchesOnSelectionChange) {
  GradientDialog dialog(IDD_TABS);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  CTabSheet tabs;
  ASSERT_TRUE(tabs.SubclassDlgItem(IDC_TAB, dialog.Handle()));
  CGradientPage pageA(IDD_PAGE_A), pageB(IDD_PAGE_B);
  EXPECT_EQ(tabs.AddPage(L"A", &pageA), 0);
  EXPECT_EQ(tabs.AddPage(L"B", &pageB), 1);
  EXPECT_FALSE(tabs.SetActivePage(2));

  RECT expected = tabs.PageRect();
  for (ui::CChildPage* page : {&pageA, &pageB}) {
    EXPECT_EQ(page->Style() & (WS_CHILD | WS_CAPTION | WS_POPUP), DWORD(WS_CHILD));
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

// The background runs from the gradient's top to its bottom colour, and the label and the check box
// show the gradient line of their row behind their text; with a frame, the push button's left edge.
void ExpectGradient(const Image& image, HWND dialog, const char* what, bool buttonFramed) {
  const int last = image.height - 1;
  EXPECT_TRUE(Near(image.At(image.width - 1, 0), kGradientTop, 2)) << what << " top " << Describe(image.At(image.width - 1, 0));
  EXPECT_TRUE(Near(image.At(image.width - 1, last), kGradientBottom, 2)) << what << " bottom " << Describe(image.At(image.width - 1, last));
  for (int id : {IDC_LABEL, IDC_CHECK}) {
    RECT r = ChildRect(dialog, id);
    COLORREF expected = image.At(image.width - 1, r.bottom - 1);  // the dialog's own background there
    EXPECT_TRUE(Near(image.At(r.right - 2, r.bottom - 1), expected, 1)) << what << " " << id << ": " << Describe(image.At(r.right - 2, r.bottom - 1));
  }
  RECT b = ChildRect(dialog, IDC_PRESS);
  EXPECT_EQ(image.At(b.left, (b.top + b.bottom) / 2) == kFrameColour, buttonFramed) << what << " button";
}

// The transparent check box keeps its own state for the dialog; a flat button shows its frame only
// while the mouse is over it.
TEST_F(LookTest, TransparentCheckAndTheGradientLook) {
  GradientDialog dialog(IDD_PLAIN);
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  ::CheckDlgButton(dialog.Handle(), IDC_CHECK, BST_CHECKED);  // set before it is taken over
  CTransStatic label;
  CTransCheck check;
  CButtonEx button;
  ASSERT_TRUE(label.SubclassDlgItem(IDC_LABEL, dialog.Handle()));
  ASSERT_TRUE(check.SubclassDlgItem(IDC_CHECK, dialog.Handle()));
  ASSERT_TRUE(button.SubclassDlgItem(IDC_PRESS, dialog.Handle()));
  EXPECT_EQ(check.Style() & BS_TYPEMASK, DWORD(BS_OWNERDRAW));
  check.Send(BM_CLICK);
  check.Send(BM_CLICK);
  ::CheckDlgButton(dialog.Handle(), IDC_CHECK, BST_UNCHECKED);
  check.Send(BM_CLICK);
  // Each click had changed the state (set before the take-over, then unset) before the dialog read it.
  EXPECT_EQ(dialog.clicks, (std::vector<std::pair<int, int>>{{IDC_CHECK, 0}, {IDC_CHECK, 1}, {IDC_CHECK, 1}}));

  ExpectGradient(uitest::Shoot(dialog.Handle(), "controls_look_rest"), dialog.Handle(), "rest", false);
  button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  Image hover = uitest::Shoot(dialog.Handle(), "controls_look_hover");
  RECT b = ChildRect(dialog.Handle(), IDC_PRESS);
  const int midY = (b.top + b.bottom) / 2;
  for (POINT p : {POINT{b.left, midY}, POINT{b.right - 1, midY}, POINT{(b.left + b.right) / 2, b.top}})
    EXPECT_EQ(hover.At(p.x, p.y), kFrameColour) << p.x << "," << p.y << " " << Describe(hover.At(p.x, p.y));
  // Inside the frame the hover gradient starts from its warm top colour.
  EXPECT_TRUE(Near(hover.At((b.left + b.right) / 2, b.top + 1), kHoverTop, 3));
}

TEST_F(LookTest, SkinAttachExcludeAndDetach) {
  PlainDialog before(IDD_PLAIN), after(IDD_PLAIN), excluded(IDD_PLAIN);
  ASSERT_TRUE(before.CreateModeless(nullptr));
  const Image plain = uitest::Shoot(before.Handle(), "skin_plain");
  EXPECT_EQ(plain.At(plain.width - 1, 0), plain.At(plain.width - 1, plain.height - 1)) << "a plain dialog is one colour";

  ASSERT_TRUE(skin::SkinAttach());
  EXPECT_TRUE(skin::SkinAttach()) << "attaching twice is harmless";
  ASSERT_TRUE(after.CreateModeless(nullptr));
  ASSERT_TRUE(excluded.CreateModeless(nullptr));
  ASSERT_TRUE(skin::SkinDetachEx(excluded.Handle()));
  EXPECT_FALSE(skin::SkinDetachEx(nullptr));
  ExpectGradient(uitest::Shoot(before.Handle()), before.Handle(), "existing dialog", true);
  ExpectGradient(uitest::Shoot(after.Handle(), "skin_skinned"), after.Handle(), "new dialog", true);
  EXPECT_TRUE(uitest::Shoot(excluded.Handle(), "skin_excluded") == plain) << "an excluded dialog looks plain";

  // A skinned button still works and is still the dialog's default button.
  HWND ok = after.Item(IDOK);
  EXPECT_EQ(::GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(::SendMessageW(ok, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
  ::SendMessageW(after.Item(IDC_PRESS), BM_CLICK, 0, 0);
  EXPECT_EQ(after.clicks, (std::vector<std::pair<int, int>>{{IDC_PRESS, 0}}));
  ::SendMessageW(after.Item(IDC_PRESS), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  uitest::Shoot(after.Handle(), "skin_skinned_hover");

  skin::SkinDetach();
  EXPECT_FALSE(skin::IsSkinAttached());
  for (PlainDialog* d : {&before, &after}) {
    EXPECT_FALSE(skin::IsSkinned(d->Handle()));
    EXPECT_TRUE(uitest::Shoot(d->Handle()) == plain) << "detached, with the default button's frame";
  }
  // The exclusion outlives a detach; other windows are skinned again.
  ASSERT_TRUE(skin::SkinAttach());
  EXPECT_TRUE(uitest::Shoot(excluded.Handle()) == plain);
  ExpectGradient(uitest::Shoot(before.Handle()), before.Handle(), "re-attached", true);
  skin::SkinDetach();
}

}  // namespace
}  // namespace lvx::controls
