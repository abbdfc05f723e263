// Controls that hold controls: the vertical and horizontal layouts, which stack their children
// along their axis (see layout_math.h), and the tab layout, which gives every child its whole
// inside and shows one of them.
#pragma once

#include <memory>
#include <vector>

#include "uilib/control.h"

namespace lvx::uilib {

class CContainerUI : public CControlUI {
 public:
  std::u16string_view GetClass() const override { return u"ContainerUI"; }
  int SetAttribute(std::u16string_view name, std::u16string_view value) override;
  void SetManager(CControlManager* manager, CControlUI* parent) override;

  void Add(std::unique_ptr<CControlUI> child);
  int GetCount() const { return int(items_.size()); }
  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(const CControlUI* child) const;

  void SetPos(const UiRect& rect) override;
  CControlUI* FindControlAt(int x, int y) override;
  void ForEach(const std::function<void(CControlUI*)>& visit) override;

 protected:
  // The rectangle inside the inset, where the children go.
  UiRect Inside() const;
  // Places the shown children inside the rectangle.
  virtual void LayoutChildren(const UiRect& inside);
  // Whether the child at index is shown while this container is.
  virtual bool ShowsChild(int index) const { return true; }
  void OnVisibilityChanged() override;
  void DoPaint(IUiPainter& painter, const UiRect& dirty) override;

  std::vector<std::unique_ptr<CControlUI>> items_;
  UiRect inset_;
  int childPadding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override { return u"VerticalLayoutUI"; }

 protected:
  void LayoutChildren(const UiRect& inside) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override { return u"HorizontalLayoutUI"; }

 protected:
  void LayoutChildren(const UiRect& inside) override;
};

class CTabLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override { return u"TabLayoutUI"; }
  int SetAttribute(std::u16string_view name, std::u16string_view value) override;

  // Shows page index and hides the others; false (nothing changed) for an index out of range.
  // A change sends "tabselect" with wParam = the new page and lParam = the old one.
  bool SelectItem(int index);
  bool SelectItem(const CControlUI* page) { return SelectItem(GetItemIndex(page)); }
  int GetCurSel() const { return curSel_; }

 protected:
  bool ShowsChild(int index) const override { return index == curSel_; }

 private:
  int curSel_ = 0;
};

}  // namespace lvx::uilib
