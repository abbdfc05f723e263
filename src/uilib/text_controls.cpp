#include "uilib/text_controls.h"

#include "uilib/control_manager.h"

namespace lvx::uilib {

int CLabelUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  bool ok = true;
  if (name == u"textcolor") {
    ok = ParseColor(value, &textColor_);
  } else if (name == u"disabledtextcolor") {
    ok = ParseColor(value, &disabledTextColor_);
  } else if (name == u"font") {
    ok = ParseIndex(value, 255, &font_);
  } else if (name == u"textpadding") {
    ok = ParseRect(value, &textPadding_);
  } else if (name == u"showhtml") {
    bool on = false;
    ok = ParseBool(value, &on);
    if (ok) SetShowHtml(on);
  } else if (name == u"align") {
    if (value == u"left") align_ = HAlign::Left;
    else if (value == u"center") align_ = HAlign::Center;
    else if (value == u"right") align_ = HAlign::Right;
    else ok = false;
  } else if (name == u"valign") {
    if (value == u"top") valign_ = VAlign::Top;
    else if (value == u"vcenter") valign_ = VAlign::Center;
    else if (value == u"bottom") valign_ = VAlign::Bottom;
    else ok = false;
  } else {
    return CControlUI::SetAttribute(name, value);
  }
  return ok ? kAttributeTaken : kAttributeBadValue;
}

void CLabelUI::SetText(std::u16string text) {
  CControlUI::SetText(std::move(text));
  ParseRuns();
}

void CLabelUI::SetShowHtml(bool on) {
  if (showHtml_ == on) return;
  showHtml_ = on;
  ParseRuns();
  Invalidate();
}

void CLabelUI::SetTextColor(Color color) {
  textColor_ = color;
  Invalidate();
}

void CLabelUI::ParseRuns() {
  if (showHtml_) {
    runs_ = ParseMarkupText(text_);
  } else {
    runs_.clear();
    if (!text_.empty()) runs_.push_back(TextRun{text_});
  }
}

Color CLabelUI::CurrentTextColor() const { return IsEnabled() ? textColor_ : disabledTextColor_; }

void CLabelUI::PaintText(IUiPainter& painter) {
  if (runs_.empty()) return;
  TextStyle style;
  style.font = font_;
  style.color = CurrentTextColor();
  if (manager_) style.linkColor = LinksHot() ? manager_->GetLinkHoverColor() : manager_->GetLinkColor();
  style.align = align_;
  style.valign = valign_;
  const UiRect r{pos_.left + textPadding_.left, pos_.top + textPadding_.top, pos_.right - textPadding_.right,
                 pos_.bottom - textPadding_.bottom};
  if (!IsEmpty(r)) painter.DrawText(r, runs_, style);
}

int CButtonUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  struct ColorAttribute { const char16_t* name; Color CButtonUI::*field; };
  static const ColorAttribute kColors[] = {{u"hotbkcolor", &CButtonUI::hotBkColor_},
                                           {u"pushedbkcolor", &CButtonUI::pushedBkColor_},
                                           {u"hottextcolor", &CButtonUI::hotTextColor_},
                                           {u"pushedtextcolor", &CButtonUI::pushedTextColor_}};
  for (const ColorAttribute& a : kColors)
    if (name == a.name) return ParseColor(value, &(this->*a.field)) ? kAttributeTaken : kAttributeBadValue;
  std::u16string* image = name == u"normalimage" ? &normalImage_
                          : name == u"hotimage"  ? &hotImage_
                          : name == u"pushedimage" ? &pushedImage_
                                                   : nullptr;
  if (!image) return CLabelUI::SetAttribute(name, value);
  *image = value;
  return value.empty() ? kAttributeBadValue : kAttributeTaken;
}

void CButtonUI::ListImages(std::vector<std::u16string>* names) const {
  CLabelUI::ListImages(names);
  for (const std::u16string* image : {&normalImage_, &hotImage_, &pushedImage_})
    if (!image->empty()) names->push_back(*image);
}

void CButtonUI::OnMouseEnter() {
  hot_ = true;
  Invalidate();
}

void CButtonUI::OnMouseLeave() {
  hot_ = false;
  Invalidate();
}

void CButtonUI::OnButtonDown() {
  pushed_ = true;
  Invalidate();
}

void CButtonUI::OnButtonUp(bool inside) {
  pushed_ = false;
  Invalidate();
  if (inside && IsEnabled() && IsVisible()) Activate();
}

void CButtonUI::Activate() {
  if (manager_) manager_->SendNotify(this, u"click");
}

Color CButtonUI::StateBkColor() const {
  if (pushed_ && hot_ && pushedBkColor_ != kNoColor) return pushedBkColor_;
  if (hot_ && hotBkColor_ != kNoColor) return hotBkColor_;
  return kNoColor;
}

const std::u16string& CButtonUI::StateImage() const {
  if (pushed_ && hot_ && !pushedImage_.empty()) return pushedImage_;
  if (hot_ && !hotImage_.empty()) return hotImage_;
  return normalImage_;
}

void CButtonUI::PaintStatusImage(IUiPainter& painter) {
  if (const Color c = StateBkColor(); c != kNoColor) painter.FillColor(pos_, c);
  if (const std::u16string& image = StateImage(); !image.empty()) painter.DrawImage(pos_, image);
}

Color CButtonUI::CurrentTextColor() const {
  if (!IsEnabled()) return disabledTextColor_;
  if (pushed_ && hot_ && pushedTextColor_ != kNoColor) return pushedTextColor_;
  if (hot_ && hotTextColor_ != kNoColor) return hotTextColor_;
  return textColor_;
}

int COptionUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  bool ok = true;
  if (name == u"group") {
    group_ = value;
    ok = !value.empty();
  } else if (name == u"selected") {
    ok = ParseBool(value, &selected_);
  } else if (name == u"selectedbkcolor") {
    ok = ParseColor(value, &selectedBkColor_);
  } else if (name == u"selectedtextcolor") {
    ok = ParseColor(value, &selectedTextColor_);
  } else if (name == u"selectedimage") {
    selectedImage_ = value;
    ok = !value.empty();
  } else {
    return CButtonUI::SetAttribute(name, value);
  }
  return ok ? kAttributeTaken : kAttributeBadValue;
}

void COptionUI::ListImages(std::vector<std::u16string>* names) const {
  CButtonUI::ListImages(names);
  if (!selectedImage_.empty()) names->push_back(selectedImage_);
}

void COptionUI::SetSelectedQuietly(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  Invalidate();
}

void COptionUI::Selected(bool selected) {
  if (selected_ == selected) return;
  SetSelectedQuietly(selected);
  if (!manager_) return;  // a tree being built: the manager settles the groups when it takes it
  if (!group_.empty()) {
    if (!selected) return;
    for (COptionUI* other : manager_->GetOptionGroup(group_))
      if (other != this) other->SetSelectedQuietly(false);
  }
  manager_->SendNotify(this, u"selectchanged");
}

void COptionUI::Activate() {
  CButtonUI::Activate();
  Selected(group_.empty() ? !selected_ : true);
}

Color COptionUI::StateBkColor() const {
  if (selected_ && selectedBkColor_ != kNoColor && !(hot_ && hotBkColor_ != kNoColor)) return selectedBkColor_;
  return CButtonUI::StateBkColor();
}

const std::u16string& COptionUI::StateImage() const {
  if (selected_ && !selectedImage_.empty()) return selectedImage_;
  return CButtonUI::StateImage();
}

Color COptionUI::CurrentTextColor() const {
  if (IsEnabled() && selected_ && selectedTextColor_ != kNoColor) return selectedTextColor_;
  return CButtonUI::CurrentTextColor();
}

}  // namespace lvx::uilib
