// One quick-search button: owner-drawn, 60 x 60, an icon above its caption. Under the pointer the
// icon grows from 37 to 40 pixels over a light gradient in the rounded frame; pressed, the frame is
// filled. The button owns its two icons.
#pragma once

#include "controls/button_ex.h"

namespace lvx::options {

constexpr int kSmallIconSize = 37;
constexpr int kLargeIconSize = 40;

// The index of the toolbar button clicked last (one per process; the UI thread's).
int32_t LastClickedButton();

class CToolbarBtn : public controls::CButtonEx {
 public:
  CToolbarBtn() = default;
  ~CToolbarBtn() override;

  // Takes both icons over (either may be null); the ones held before are destroyed.
  void SetIcons(HICON smallIcon, int smallSize, HICON largeIcon, int largeSize);
  HICON SmallIcon() const { return smallIcon_; }
  HICON LargeIcon() const { return largeIcon_; }
  void SetIndex(int32_t index) { index_ = index; }
  int32_t Index() const { return index_; }
  void SetToggle(bool toggle) { toggle_ = toggle; }
  bool IsChecked() const { return isChecked_ != 0; }

 protected:
  bool OnReflectCommand(int code) override;
  void DrawFace(HDC dc, const RECT& rect, UINT state) override;

 private:
  int32_t isChecked_ = 0;
  int32_t toggle_ = 0;
  HICON smallIcon_ = nullptr;
  HICON largeIcon_ = nullptr;
  int smallSize_ = kSmallIconSize;
  int largeSize_ = kLargeIconSize;
  int32_t index_ = 0;
};

// An icon file at the given size; null when the file is missing or no icon.
HICON LoadIconFile(const std::u16string& path, int size);

}  // namespace lvx::options
