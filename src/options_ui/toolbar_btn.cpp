#include "options_ui/toolbar_btn.h"

#include "controls/look.h"

namespace lvx::options {
namespace {

int32_t lastClickedButton = 0;

}  // namespace

int32_t LastClickedButton() { return lastClickedButton; }

HICON LoadIconFile(const std::u16string& path, int size) {
  if (path.empty()) return nullptr;
  return static_cast<HICON>(::LoadImageW(nullptr, reinterpret_cast<const wchar_t*>(path.c_str()), IMAGE_ICON, size,
                                         size, LR_LOADFROMFILE));
}

CToolbarBtn::~CToolbarBtn() {
  if (smallIcon_) ::DestroyIcon(smallIcon_);
  if (largeIcon_) ::DestroyIcon(largeIcon_);
}

void CToolbarBtn::SetIcons(HICON smallIcon, int smallSize, HICON largeIcon, int largeSize) {
  if (smallIcon_ && smallIcon_ != smallIcon) ::DestroyIcon(smallIcon_);
  if (largeIcon_ && largeIcon_ != largeIcon) ::DestroyIcon(largeIcon_);
  smallIcon_ = smallIcon;
  largeIcon_ = largeIcon;
  smallSize_ = smallSize;
  largeSize_ = largeSize;
  if (Handle()) Invalidate(false);
}

bool CToolbarBtn::OnReflectCommand(int code) {
  if (code != BN_CLICKED) return false;
  if (toggle_) {
    isChecked_ = !isChecked_;
    Invalidate(false);
  }
  lastClickedButton = index_;
  return false;  // the page hears of the click too
}

void CToolbarBtn::DrawFace(HDC dc, const RECT& rect, UINT state) {
  using namespace controls;
  const bool pressed = (state & ODS_SELECTED) != 0;
  // The page's gradient is already under the button (its parent's background, drawn by the base).
  if (toggle_ && isChecked_) {
    DrawRoundFrame(dc, rect, kFrameColour, &kGradientTop);
  } else if (pressed) {
    DrawRoundFrame(dc, rect, kFrameColour, &kPressedFill);
  } else if (hover_) {
    RECT inner = {rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
    FillVerticalGradient(dc, inner, kHoverTop, kGradientTop);
    DrawRoundFrame(dc, rect, kFrameColour, nullptr);
  }
  const bool large = hover_ && !pressed;
  HICON icon = large ? largeIcon_ : smallIcon_;
  const int size = large ? largeSize_ : smallSize_;
  if (icon) ::DrawIconEx(dc, rect.left + (rect.right - rect.left - size) / 2, rect.top + 5, icon, size, size, 0, nullptr, DI_NORMAL);
  std::wstring text = Text();
  RECT area = {rect.left, rect.top + size + 2, rect.right, rect.bottom - 2};
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor((state & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  ::DrawTextW(dc, text.c_str(), int(text.size()), &area, DT_CENTER | DT_SINGLELINE | DT_BOTTOM | DT_END_ELLIPSIS);
}

}  // namespace lvx::options
