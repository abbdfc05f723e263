// Reads an arbitrary byte string as layout markup and, when it is well-formed, builds the control
// tree from it, lays it out in a few sizes, clicks into it and paints it: no input may crash the
// reader or the builder, and a refused document must say where and why.
#include <cstdint>
#include <string>

#include "uilib/control_manager.h"
#include "uilib/dialog_builder.h"

namespace {

class NullPainter : public lvx::uilib::IUiPainter {
 public:
  void FillColor(const lvx::uilib::UiRect&, lvx::uilib::Color) override {}
  void FillGradient(const lvx::uilib::UiRect&, lvx::uilib::Color, lvx::uilib::Color) override {}
  void DrawBorder(const lvx::uilib::UiRect&, lvx::uilib::Color, int) override {}
  void DrawImage(const lvx::uilib::UiRect&, const std::u16string&) override {}
  void DrawText(const lvx::uilib::UiRect&, const std::vector<lvx::uilib::TextRun>&,
                const lvx::uilib::TextStyle&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lvx::uilib::CMarkup markup;
  if (markup.Load(data, size) != 0) {
    if (markup.ErrorLine() < 1 || markup.ErrorColumn() < 1) __builtin_trap();
    return 0;
  }
  lvx::uilib::CControlManager manager;
  std::u16string error;
  auto root = lvx::uilib::CDialogBuilder().Create(markup, u"fuzz.xml", &manager, &error);
  if (!root) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  manager.AttachDialog(std::move(root));
  NullPainter painter;
  for (int side : {0, 37, 800}) {
    manager.Resize(side, side / 2);
    for (int at = 0; at < side; at += 9) {
      manager.OnMouseMove(at, at / 2);
      manager.OnButtonDown(at, at / 2);
      manager.OnButtonUp(at, at / 2);
    }
    manager.Paint(painter, {0, 0, side, side / 2});
  }
  return 0;
}
