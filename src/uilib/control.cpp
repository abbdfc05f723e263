#include "uilib/control.h"

#include <algorithm>

#include "uilib/control_manager.h"

namespace lvx::uilib {

UiRect Intersect(const UiRect& a, const UiRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

void CControlUI::SetManager(CControlManager* manager, CControlUI* parent) {
  manager_ = manager;
  parent_ = parent;
}

int CControlUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  bool ok;
  if (name == u"name") {
    name_ = value;
    ok = !value.empty();
  } else if (name == u"text") {
    SetText(std::u16string(value));
    ok = true;
  } else if (name == u"width") {
    ok = ParseSize(value, &width_);
  } else if (name == u"height") {
    ok = ParseSize(value, &height_);
  } else if (name == u"minwidth") {
    ok = ParseLength(value, &minWidth_);
  } else if (name == u"minheight") {
    ok = ParseLength(value, &minHeight_);
  } else if (name == u"maxwidth") {
    ok = ParseLength(value, &maxWidth_);
  } else if (name == u"maxheight") {
    ok = ParseLength(value, &maxHeight_);
  } else if (name == u"padding") {
    ok = ParseRect(value, &padding_);
  } else if (name == u"visible") {
    ok = ParseBool(value, &visible_);
  } else if (name == u"enabled") {
    ok = ParseBool(value, &enabled_);
  } else if (name == u"bkcolor") {
    ok = ParseColor(value, &bkColor_);
  } else if (name == u"bkcolor2") {
    ok = ParseColor(value, &bkColor2_);
  } else if (name == u"bordercolor") {
    ok = ParseColor(value, &borderColor_);
  } else if (name == u"bordersize") {
    ok = ParseIndex(value, 100, &borderSize_);
  } else if (name == u"bkimage") {
    bkImage_ = value;
    ok = !value.empty();
  } else {
    return kAttributeUnknown;
  }
  return ok ? kAttributeTaken : kAttributeBadValue;
}

void CControlUI::SetPos(const UiRect& rect) {
  if (!(rect == pos_)) {
    Invalidate();
    pos_ = rect;
  }
  Invalidate();
}

void CControlUI::SetFixedWidth(SizeSpec width) {
  width_ = width;
  NeedUpdate();
}

void CControlUI::SetFixedHeight(SizeSpec height) {
  height_ = height;
  NeedUpdate();
}

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  Invalidate();
  visible_ = visible;
  OnVisibilityChanged();
  NeedUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
  if (internVisible_ == visible) return;
  internVisible_ = visible;
  OnVisibilityChanged();
}

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

void CControlUI::SetText(std::u16string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Invalidate();
}

CControlUI* CControlUI::FindControlAt(int x, int y) { return IsVisible() && pos_.Contains(x, y) ? this : nullptr; }

void CControlUI::ForEach(const std::function<void(CControlUI*)>& visit) { visit(this); }

void CControlUI::Paint(IUiPainter& painter, const UiRect& dirty) {
  if (!IsVisible() || IsEmpty(Intersect(pos_, dirty))) return;
  DoPaint(painter, dirty);
}

void CControlUI::DoPaint(IUiPainter& painter, const UiRect& dirty) {
  if (bkColor_ != kNoColor) {
    if (bkColor2_ != kNoColor)
      painter.FillGradient(pos_, bkColor_, bkColor2_);
    else
      painter.FillColor(pos_, bkColor_);
  }
  if (!bkImage_.empty()) painter.DrawImage(pos_, bkImage_);
  PaintStatusImage(painter);
  PaintText(painter);
  if (borderColor_ != kNoColor && borderSize_ > 0) painter.DrawBorder(pos_, borderColor_, borderSize_);
}

void CControlUI::ListImages(std::vector<std::u16string>* names) const {
  if (!bkImage_.empty()) names->push_back(bkImage_);
}

void CControlUI::Invalidate() {
  if (manager_ && IsVisible()) manager_->Invalidate(pos_);
}

void CControlUI::NeedUpdate() {
  if (manager_) manager_->NeedUpdate();
}

}  // namespace lvx::uilib
