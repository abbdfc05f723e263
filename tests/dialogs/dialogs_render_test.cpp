// Each dialog drawn as the user sees it, with the program's own look and with the skin attached,
// into build/<preset>/screenshots/dialogs_<name>_<plain|skinned>.bmp (turned into PNG after the run).
#include "dialogs_test.h"

#include <functional>
#include <memory>

#include "controls/look.h"
#include "options_ui/dialogs/info_dialogs.h"
#include "options_ui/dialogs/select_drives_dlg.h"
#include "options_ui/dialogs/settings_dialog.h"
#include "options_ui/dialogs/update_location_dlg.h"
#include "options_ui/dialogs/updater_dialog.h"
#include "skin/skin.h"
#include "ui_base/ui_test_support.h"

namespace lvx::dialogs::test {
namespace {

struct Shot {
  const char* name;
  bool gradient;  // the program's own look, skin or not
  std::function<std::unique_ptr<ui::CDialogBox>()> make;
};

template <class T, class... Args>
std::function<std::unique_ptr<ui::CDialogBox>()> Make(Args... args) {
  return [=] { return std::unique_ptr<ui::CDialogBox>(new T(args...)); };
}

}  // namespace

TEST_F(DialogTest, EachDialogRendersPlainAndSkinned) {
  const Shot kShots[] = {
      {"select_drives", true, Make<CSelectDrivesDlg>()},
      {"update_location", true, Make<CDlgUpdateLoc>()},
      {"settings", false, Make<CSettingsDialog>()},
      {"updater", false, Make<CDialogUpdater>()},
      {"welcome", true, Make<CWelcomeDlg>()},
      {"about", true, Make<CMyAboutDlg>()},
      {"about_box", true, Make<CMyAboutDlg>(UINT(100))},
  };
  for (bool skinned : {false, true}) {
    if (skinned) ASSERT_TRUE(skin::SkinAttach());
    for (const Shot& shot : kShots) {
      SCOPED_TRACE(std::string(shot.name) + (skinned ? " skinned" : " plain"));
      std::unique_ptr<ui::CDialogBox> dialog = shot.make();
      ASSERT_TRUE(dialog->CreateModeless(nullptr));
      if (auto* updater = dynamic_cast<CDialogUpdater*>(dialog.get())) {
        for (int i = 0; i < 4; ++i) updater->Send(WM_TIMER, kProgressTimer);
      }
      uitest::Image image = uitest::RenderClient(dialog->Handle());
      ASSERT_GT(image.width, 0);
      EXPECT_TRUE(uitest::SaveBmp(image, std::string("dialogs_") + shot.name + (skinned ? "_skinned" : "_plain")));
      // The gradient from white at the top to the bottom colour, seen at the left edge.
      if (shot.gradient || skinned) {
        EXPECT_TRUE(uitest::Near(image.At(1, 1), controls::kGradientTop, 6)) << uitest::Describe(image.At(1, 1));
        COLORREF bottom = image.At(1, image.height - 2);
        EXPECT_TRUE(uitest::Near(bottom, controls::kGradientBottom, 6)) << uitest::Describe(bottom);
      }
      // Something is drawn besides the background: the texts' ink is dark.
      int dark = 0;
      for (uint32_t p : image.pixels) dark += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200;
      EXPECT_GT(dark, 50);
    }
    if (skinned) skin::SkinDetach();
  }
}

}  // namespace lvx::dialogs::test
