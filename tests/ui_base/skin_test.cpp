// The skin: dialogs that exist at attach and dialogs created later look skinned (gradient, rounded
// push buttons), an excluded dialog keeps the plain look across attaches, and detaching gives every
// window its plain look and button types back. Compared pixel by pixel with the plain render.
#include <gtest/gtest.h>

#include "controls/look.h"
#include "framework/dialog.h"
#include "skin/skin.h"
#include "ui_test_ids.h"
#include "ui_test_support.h"

namespace lvx::skin {
namespace {

using controls::kFrameColour;
using controls::kGradientBottom;
using controls::kGradientTop;
using uitest::Describe;
using uitest::Image;

class PlainDialog : public ui::CDialogBox {
 public:
  PlainDialog() : CDialogBox(IDD_PLAIN) {}
  std::vector<int> clicks;

 protected:
  bool OnCommand(int id, int code, HWND) override {
    if (code == BN_CLICKED) clicks.push_back(id);
    return id == IDOK;  // stays open
  }
};

// The facts a reader sees: the background at the top and bottom, and the push button's left edge.
struct Look {
  COLORREF top, bottom, buttonEdge;
};

Look LookOf(const Image& image, HWND dialog) {
  RECT b = uitest::ChildRect(dialog, IDC_PRESS);
  return {image.At(image.width - 1, 0), image.At(image.width - 1, image.height - 1),
          image.At(b.left, (b.top + b.bottom) / 2)};
}

void ExpectSkinned(const Image& image, HWND dialog, const char* what) {
  Look look = LookOf(image, dialog);
  EXPECT_TRUE(uitest::Near(look.top, kGradientTop, 2)) << what << " top " << Describe(look.top);
  EXPECT_TRUE(uitest::Near(look.bottom, kGradientBottom, 2)) << what << " bottom " << Describe(look.bottom);
  EXPECT_EQ(look.buttonEdge, kFrameColour) << what << " button " << Describe(look.buttonEdge);
  // The label shows the gradient line of its row behind its text.
  RECT label = uitest::ChildRect(dialog, IDC_LABEL);
  int y = label.bottom - 1;
  COLORREF expected = controls::GradientColour(kGradientTop, kGradientBottom, y, image.height);
  EXPECT_TRUE(uitest::Near(image.At(label.right - 2, y), expected, 1)) << what << " label " << Describe(image.At(label.right - 2, y));
}

TEST(SkinTest, AttachExcludeAndDetach) {
  PlainDialog before, after, excluded;
  ASSERT_TRUE(before.CreateModeless(nullptr));
  const Image plain = uitest::Shoot(before.Handle(), "skin_plain");
  Look plainLook = LookOf(plain, before.Handle());
  EXPECT_EQ(plainLook.top, plainLook.bottom) << "a plain dialog is one colour";
  EXPECT_NE(plainLook.buttonEdge, kFrameColour);

  ASSERT_TRUE(SkinAttach());
  EXPECT_TRUE(SkinAttach()) << "attaching twice is harmless";
  ASSERT_TRUE(after.CreateModeless(nullptr));
  ASSERT_TRUE(excluded.CreateModeless(nullptr));
  ASSERT_TRUE(SkinDetachEx(excluded.Handle()));
  EXPECT_FALSE(SkinDetachEx(nullptr));

  const Image skinnedBefore = uitest::Shoot(before.Handle());
  const Image skinnedAfter = uitest::Shoot(after.Handle(), "skin_skinned");
  ExpectSkinned(skinnedBefore, before.Handle(), "existing dialog");
  ExpectSkinned(skinnedAfter, after.Handle(), "new dialog");
  const Image excludedImage = uitest::Shoot(excluded.Handle(), "skin_excluded");
  EXPECT_TRUE(excludedImage == plain) << "an excluded dialog looks plain";

  // A skinned button still works and is still the dialog's default button.
  HWND ok = after.Item(IDOK);
  EXPECT_TRUE(IsSkinned(ok));
  EXPECT_EQ(::GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(::SendMessageW(ok, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
  ::SendMessageW(after.Item(IDC_PRESS), BM_CLICK, 0, 0);
  EXPECT_EQ(after.clicks, std::vector<int>{IDC_PRESS});
  ::SendMessageW(after.Item(IDC_PRESS), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  uitest::Shoot(after.Handle(), "skin_skinned_hover");

  SkinDetach();
  EXPECT_FALSE(IsSkinAttached());
  for (PlainDialog* d : {&before, &after}) {
    EXPECT_FALSE(IsSkinned(d->Handle()));
    EXPECT_EQ(::GetWindowLongPtrW(d->Item(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(uitest::Shoot(d->Handle()) == plain) << "detached";
  }

  // The exclusion outlives a detach; other windows are skinned again.
  ASSERT_TRUE(SkinAttach());
  EXPECT_TRUE(uitest::Shoot(excluded.Handle()) == plain);
  ExpectSkinned(uitest::Shoot(before.Handle()), before.Handle(), "re-attached");
  SkinDetach();
}

}  // namespace
}  // namespace lvx::skin
