// Controls with a text: the label, the button (hot and pushed looks, "click" when clicked) and the
// option button (selected or not; the options of one group have one selected at most).
#pragma once

#include <vector>

#include "uilib/control.h"
#include "uilib/markup_text.h"

namespace lvx::uilib {

class CLabelUI : public CControlUI {
 public:
  std::u16string_view GetClass() const override { return u"LabelUI"; }
  int SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void SetText(std::u16string text) override;

  // The text as it is drawn: runs of the markup when "showhtml" is on, else one plain run.
  const std::vector<TextRun>& GetRuns() const { return runs_; }
  bool IsShowHtml() const { return showHtml_; }
  int GetFont() const { return font_; }
  void SetShowHtml(bool on);
  void SetTextColor(Color color);

 protected:
  void PaintText(IUiPainter& painter) override;
  virtual Color CurrentTextColor() const;
  virtual bool LinksHot() const { return false; }

  std::vector<TextRun> runs_;
  bool showHtml_ = false;
  Color textColor_ = 0xFF000000;
  Color disabledTextColor_ = 0xFFA7A6AA;
  int font_ = -1;
  HAlign align_ = HAlign::Left;
  VAlign valign_ = VAlign::Center;
  UiRect textPadding_;

 private:
  void ParseRuns();
};

class CButtonUI : public CLabelUI {
 public:
  CButtonUI() { align_ = HAlign::Center; }
  std::u16string_view GetClass() const override { return u"ButtonUI"; }
  int SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void ListImages(std::vector<std::u16string>* names) const override;

  bool WantsMouse() const override { return IsEnabled(); }
  void OnMouseEnter() override;
  void OnMouseLeave() override;
  void OnButtonDown() override;
  void OnButtonUp(bool inside) override;
  // What a click does: "click" to the receivers.
  virtual void Activate();

  bool IsHot() const { return hot_; }
  bool IsPushed() const { return pushed_; }

 protected:
  void PaintStatusImage(IUiPainter& painter) override;
  Color CurrentTextColor() const override;
  bool LinksHot() const override { return hot_; }
  virtual Color StateBkColor() const;
  virtual const std::u16string& StateImage() const;

  bool hot_ = false;
  bool pushed_ = false;
  Color hotBkColor_ = kNoColor, pushedBkColor_ = kNoColor;
  Color hotTextColor_ = kNoColor, pushedTextColor_ = kNoColor;
  std::u16string normalImage_, hotImage_, pushedImage_;
};

class COptionUI : public CButtonUI {
 public:
  std::u16string_view GetClass() const override { return u"OptionUI"; }
  int SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void ListImages(std::vector<std::u16string>* names) const override;

  const std::u16string& GetGroup() const { return group_; }
  bool IsSelected() const { return selected_; }
  // Selecting an option of a group clears the others of the group and sends "selectchanged" for
  // it; outside a group every change sends "selectchanged". Clearing a grouped option sends none.
  void Selected(bool selected);
  // A click sends "click", then selects the option (in a group) or switches it (outside one).
  void Activate() override;

  // For the manager settling a group: changes the state without notifying.
  void SetSelectedQuietly(bool selected);

 protected:
  Color StateBkColor() const override;
  const std::u16string& StateImage() const override;
  Color CurrentTextColor() const override;

 private:
  std::u16string group_;
  bool selected_ = false;
  Color selectedBkColor_ = kNoColor, selectedTextColor_ = kNoColor;
  std::u16string selectedImage_;
};

}  // namespace lvx::uilib
