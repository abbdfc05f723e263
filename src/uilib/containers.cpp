#include "uilib/containers.h"

#include "uilib/control_manager.h"

namespace lvx::uilib {

int CContainerUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  bool ok;
  if (name == u"inset")
    ok = ParseRect(value, &inset_);
  else if (name == u"childpadding")
    ok = ParseLength(value, &childPadding_);
  else
    return CControlUI::SetAttribute(name, value);
  return ok ? kAttributeTaken : kAttributeBadValue;
}

void CContainerUI::SetManager(CControlManager* manager, CControlUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (auto& item : items_) item->SetManager(manager, this);
}

void CContainerUI::Add(std::unique_ptr<CControlUI> child) {
  CControlUI* added = child.get();
  items_.push_back(std::move(child));
  added->SetManager(manager_, this);
  added->SetInternVisible(IsVisible() && ShowsChild(int(items_.size()) - 1));
  NeedUpdate();
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  return index >= 0 && index < GetCount() ? items_[size_t(index)].get() : nullptr;
}

int CContainerUI::GetItemIndex(const CControlUI* child) const {
  for (int i = 0; i < GetCount(); ++i)
    if (items_[size_t(i)].get() == child) return i;
  return -1;
}

UiRect CContainerUI::Inside() const {
  UiRect r{pos_.left + inset_.left, pos_.top + inset_.top, pos_.right - inset_.right, pos_.bottom - inset_.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void CContainerUI::SetPos(const UiRect& rect) {
  CControlUI::SetPos(rect);
  LayoutChildren(Inside());
}

void CContainerUI::LayoutChildren(const UiRect& inside) {
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    const Span x = PlaceAcross(inside.Width(), item->HorizontalItem());
    const Span y = PlaceAcross(inside.Height(), item->VerticalItem());
    item->SetPos({inside.left + x.offset, inside.top + y.offset, inside.left + x.offset + x.length,
                  inside.top + y.offset + y.length});
  }
}

void CContainerUI::OnVisibilityChanged() {
  for (int i = 0; i < GetCount(); ++i) items_[size_t(i)]->SetInternVisible(IsVisible() && ShowsChild(i));
}

CControlUI* CContainerUI::FindControlAt(int x, int y) {
  if (!IsVisible() || !pos_.Contains(x, y)) return nullptr;
  // Later children are painted over earlier ones, so they are asked first.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it)
    if (CControlUI* found = (*it)->FindControlAt(x, y)) return found;
  return this;
}

void CContainerUI::ForEach(const std::function<void(CControlUI*)>& visit) {
  visit(this);
  for (auto& item : items_) item->ForEach(visit);
}

void CContainerUI::DoPaint(IUiPainter& painter, const UiRect& dirty) {
  CControlUI::DoPaint(painter, dirty);
  for (auto& item : items_) item->Paint(painter, dirty);
}

namespace {

// Lays the shown children of a linear layout along one axis.
template <bool kVertical>
void LayoutLine(const std::vector<std::unique_ptr<CControlUI>>& items, const UiRect& inside, int gap) {
  std::vector<CControlUI*> shown;
  std::vector<LayoutItem> along;
  for (auto& item : items) {
    if (!item->IsVisible()) continue;
    shown.push_back(item.get());
    along.push_back(kVertical ? item->VerticalItem() : item->HorizontalItem());
  }
  const std::vector<Span> spans = DistributeSpans(kVertical ? inside.Height() : inside.Width(), gap, along);
  for (size_t i = 0; i < shown.size(); ++i) {
    const Span a = spans[i];
    const Span c = kVertical ? PlaceAcross(inside.Width(), shown[i]->HorizontalItem())
                             : PlaceAcross(inside.Height(), shown[i]->VerticalItem());
    if (kVertical)
      shown[i]->SetPos({inside.left + c.offset, inside.top + a.offset, inside.left + c.offset + c.length,
                        inside.top + a.offset + a.length});
    else
      shown[i]->SetPos({inside.left + a.offset, inside.top + c.offset, inside.left + a.offset + a.length,
                        inside.top + c.offset + c.length});
  }
}

}  // namespace

void CVerticalLayoutUI::LayoutChildren(const UiRect& inside) { LayoutLine<true>(items_, inside, childPadding_); }

void CHorizontalLayoutUI::LayoutChildren(const UiRect& inside) { LayoutLine<false>(items_, inside, childPadding_); }

int CTabLayoutUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (name != u"selectedid") return CContainerUI::SetAttribute(name, value);
  return ParseIndex(value, 1000, &curSel_) ? kAttributeTaken : kAttributeBadValue;
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == curSel_) return true;
  const int old = curSel_;
  curSel_ = index;
  OnVisibilityChanged();
  NeedUpdate();
  Invalidate();
  if (manager_) manager_->SendNotify(this, u"tabselect", uintptr_t(index), intptr_t(old));
  return true;
}

}  // namespace lvx::uilib
