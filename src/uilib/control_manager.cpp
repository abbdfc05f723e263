#include "uilib/control_manager.h"

#include <algorithm>

#include "uilib/text_controls.h"

namespace lvx::uilib {

CControlManager::~CControlManager() = default;

void CControlManager::SetResources(const CResourceArchive* resources, std::u16string whyNone) {
  resources_ = resources;
  resourceError_ = whyNone.empty() ? u"No user-interface archive is loaded." : std::move(whyNone);
}

bool CControlManager::AttachDialog(std::unique_ptr<CControlUI> root) {
  if (!root) return false;
  hot_ = pushed_ = nullptr;
  names_.clear();
  groups_.clear();
  root_ = std::move(root);
  root_->SetManager(this, nullptr);
  root_->ForEach([this](CControlUI* control) {
    if (!control->GetName().empty()) names_.emplace(control->GetName(), control);
    auto* option = dynamic_cast<COptionUI*>(control);
    if (!option || option->GetGroup().empty()) return;
    std::vector<COptionUI*>& group = groups_[option->GetGroup()];
    const bool taken = std::any_of(group.begin(), group.end(), [](COptionUI* o) { return o->IsSelected(); });
    if (taken) option->SetSelectedQuietly(false);
    group.push_back(option);
  });
  NeedUpdate();
  return true;
}

CControlUI* CControlManager::FindControl(std::u16string_view name) const {
  auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second;
}

CControlUI* CControlManager::FindControl(int x, int y) const { return root_ ? root_->FindControlAt(x, y) : nullptr; }

const std::vector<COptionUI*>& CControlManager::GetOptionGroup(std::u16string_view group) const {
  static const std::vector<COptionUI*> kNone;
  auto it = groups_.find(group);
  return it == groups_.end() ? kNone : it->second;
}

void CControlManager::AddNotifier(INotifyUI* receiver) {
  if (receiver && std::find(notifiers_.begin(), notifiers_.end(), receiver) == notifiers_.end())
    notifiers_.push_back(receiver);
}

void CControlManager::RemoveNotifier(INotifyUI* receiver) {
  notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), receiver), notifiers_.end());
}

void CControlManager::SendNotify(CControlUI* sender, std::u16string_view type, uintptr_t wParam, intptr_t lParam) {
  TNotifyUI msg{std::u16string(type), sender, wParam, lParam};
  // A receiver may add or remove receivers while it is told.
  const std::vector<INotifyUI*> receivers = notifiers_;
  for (INotifyUI* receiver : receivers)
    if (std::find(notifiers_.begin(), notifiers_.end(), receiver) != notifiers_.end()) receiver->Notify(msg);
}

void CControlManager::SetDefaultLinkFontColor(uint32_t colorref) {
  linkColor_ = ColorFromColorref(colorref);
  Invalidate({0, 0, width_, height_});
}

void CControlManager::SetDefaultLinkHoverFontColor(uint32_t colorref) {
  linkHoverColor_ = ColorFromColorref(colorref);
  Invalidate({0, 0, width_, height_});
}

const UiImage* CControlManager::GetImage(const std::u16string& name, std::u16string* error) {
  auto it = images_.find(name);
  if (it != images_.end()) return it->second.get();
  if (!resources_) {
    *error = resourceError_;
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (resources_->ReadFile(name, &bytes, error) != 0) return nullptr;
  auto image = std::make_unique<UiImage>();
  std::u16string reason;
  if (DecodeBmp(bytes.data(), bytes.size(), image.get(), &reason) != 0) {
    *error = u"The image \"" + name + u"\" of the user-interface archive cannot be used: " + reason + u".";
    return nullptr;
  }
  return images_.emplace(name, std::move(image)).first->second.get();
}

void CControlManager::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  NeedUpdate();
}

void CControlManager::NeedUpdate() {
  if (!root_ || inLayout_) return;
  inLayout_ = true;
  root_->SetPos({0, 0, width_, height_});
  inLayout_ = false;
  Invalidate({0, 0, width_, height_});
}

CControlUI* CControlManager::MouseTarget(int x, int y) const {
  CControlUI* c = FindControl(x, y);
  while (c && !c->WantsMouse()) c = c->GetParent();
  return c;
}

void CControlManager::SetHot(CControlUI* control) {
  if (control == hot_) return;
  CControlUI* old = hot_;
  hot_ = control;
  if (old) old->OnMouseLeave();
  if (hot_) hot_->OnMouseEnter();
}

void CControlManager::OnMouseMove(int x, int y) {
  CControlUI* target = MouseTarget(x, y);
  // While a button is held, only the pressed control can be hot.
  SetHot(pushed_ && target != pushed_ ? nullptr : target);
}

void CControlManager::OnMouseLeave() {
  if (!pushed_) SetHot(nullptr);
}

void CControlManager::OnButtonDown(int x, int y) {
  CControlUI* target = MouseTarget(x, y);
  SetHot(target);
  if (!target) return;
  pushed_ = target;
  SetMouseCapture(true);
  target->OnButtonDown();
}

void CControlManager::OnButtonUp(int x, int y) {
  CControlUI* pressed = pushed_;
  if (!pressed) return;
  pushed_ = nullptr;
  SetMouseCapture(false);
  const bool inside = MouseTarget(x, y) == pressed;
  SetHot(inside ? pressed : MouseTarget(x, y));
  // Last: the click's receivers may change the tree.
  pressed->OnButtonUp(inside);
}

void CControlManager::OnCaptureLost() {
  CControlUI* pressed = pushed_;
  if (!pressed) return;
  pushed_ = nullptr;
  pressed->OnButtonUp(false);
}

void CControlManager::Paint(IUiPainter& painter, const UiRect& dirty) {
  if (root_) root_->Paint(painter, dirty);
}

}  // namespace lvx::uilib
