// The base of every control of the layout: a name, a place in the tree and on the window, the
// sizes the layout gives it, a background (colour, vertical gradient, image) and a border.
//
// Visibility has two parts: the control's own switch (SetVisible, the "visible" attribute) and the
// one its parent sets (SetInternVisible: a tab layout hides the pages it does not show, a hidden
// container hides everything inside). A control is shown when both are on.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "uilib/layout_math.h"
#include "uilib/painter.h"
#include "uilib/ui_values.h"

namespace lvx::uilib {

class CControlManager;

// Results of SetAttribute.
constexpr int kAttributeTaken = 0;
constexpr int kAttributeUnknown = -1;
constexpr int kAttributeBadValue = -2;

class CControlUI {
 public:
  CControlUI() = default;
  virtual ~CControlUI() = default;
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual std::u16string_view GetClass() const { return u"ControlUI"; }

  const std::u16string& GetName() const { return name_; }
  void SetName(std::u16string name) { name_ = std::move(name); }
  CControlUI* GetParent() const { return parent_; }
  CControlManager* GetManager() const { return manager_; }
  // Called for every control of a tree when a manager takes it.
  virtual void SetManager(CControlManager* manager, CControlUI* parent);

  // kAttributeTaken, kAttributeUnknown or kAttributeBadValue.
  virtual int SetAttribute(std::u16string_view name, std::u16string_view value);

  const UiRect& GetPos() const { return pos_; }
  // Places the control (and lays out what it holds) in window client coordinates.
  virtual void SetPos(const UiRect& rect);
  // The layout's view of the control along one axis.
  LayoutItem HorizontalItem() const { return {width_, minWidth_, maxWidth_, padding_.left, padding_.right}; }
  LayoutItem VerticalItem() const { return {height_, minHeight_, maxHeight_, padding_.top, padding_.bottom}; }
  void SetFixedWidth(SizeSpec width);
  void SetFixedHeight(SizeSpec height);

  bool IsVisible() const { return visible_ && internVisible_; }
  void SetVisible(bool visible);
  void SetInternVisible(bool visible);
  bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  virtual const std::u16string& GetText() const { return text_; }
  virtual void SetText(std::u16string text);

  // The innermost shown control under the point, or null when the point is outside.
  virtual CControlUI* FindControlAt(int x, int y);
  // This control and everything inside it, parents before children.
  virtual void ForEach(const std::function<void(CControlUI*)>& visit);
  // Whether mouse input over the control is meant for it (buttons), rather than for nobody.
  virtual bool WantsMouse() const { return false; }

  // Mouse input routed by the manager, and the button's action.
  virtual void OnMouseEnter() {}
  virtual void OnMouseLeave() {}
  virtual void OnButtonDown() {}
  virtual void OnButtonUp(bool inside) {}

  // Paints the control when it is shown and meets the dirty rectangle.
  void Paint(IUiPainter& painter, const UiRect& dirty);

  // The images the control names, for the builder to check against the archive.
  virtual void ListImages(std::vector<std::u16string>* names) const;

 protected:
  virtual void DoPaint(IUiPainter& painter, const UiRect& dirty);
  virtual void PaintStatusImage(IUiPainter& painter) {}
  virtual void PaintText(IUiPainter& painter) {}
  // Either part of the visibility changed: containers pass it on, host controls show their window.
  virtual void OnVisibilityChanged() {}
  void Invalidate();
  // The tree must be laid out again (a size or a visibility changed).
  void NeedUpdate();

  std::u16string name_;
  std::u16string text_;
  CControlUI* parent_ = nullptr;
  CControlManager* manager_ = nullptr;
  UiRect pos_;
  SizeSpec width_, height_;
  int minWidth_ = 0, minHeight_ = 0;
  int maxWidth_ = kMaxCoordinate, maxHeight_ = kMaxCoordinate;
  UiRect padding_;
  bool visible_ = true;
  bool internVisible_ = true;
  bool enabled_ = true;
  Color bkColor_ = kNoColor;
  Color bkColor2_ = kNoColor;
  Color borderColor_ = kNoColor;
  int borderSize_ = 0;
  std::u16string bkImage_;
};

// Intersection of two rectangles; empty (right <= left) when they do not meet.
UiRect Intersect(const UiRect& a, const UiRect& b);
inline bool IsEmpty(const UiRect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace lvx::uilib
