#include "uilib/dialog_builder.h"

#include <map>

#include "platform/text.h"
#include "uilib/containers.h"
#include "uilib/control_manager.h"
#include "uilib/text_controls.h"
#include "uilib/window_ctrl.h"

namespace lvx::uilib {
namespace {

std::unique_ptr<CControlUI> MakeControl(std::u16string_view kind) {
  if (kind == u"Control") return std::make_unique<CControlUI>();
  if (kind == u"VerticalLayout") return std::make_unique<CVerticalLayoutUI>();
  if (kind == u"HorizontalLayout") return std::make_unique<CHorizontalLayoutUI>();
  if (kind == u"TabLayout") return std::make_unique<CTabLayoutUI>();
  if (kind == u"Label" || kind == u"Text") return std::make_unique<CLabelUI>();
  if (kind == u"Button") return std::make_unique<CButtonUI>();
  if (kind == u"Option") return std::make_unique<COptionUI>();
  if (kind == u"WindowCtrl") return std::make_unique<CWindowCtrlUI>();
  return nullptr;
}

std::u16string Number(int n) { return U16(std::to_string(n)); }

bool IsBlank(const std::u16string& text) {
  return text.find_first_not_of(u" \t\r\n") == std::u16string::npos;
}

// One build: the fault found first, with the place of the element it is about.
class Build {
 public:
  explicit Build(CControlManager* manager) : manager_(manager) {}

  int Fail(const CMarkupNode& node, std::u16string reason) {
    reason_ = u"line " + Number(node.line) + u", column " + Number(node.column) + u": " + std::move(reason);
    return -1;
  }
  // A fault that is not about one element comes as a whole message.
  int FailWhole(std::u16string message) {
    reason_ = std::move(message);
    whole_ = true;
    return -1;
  }
  const std::u16string& Reason() const { return reason_; }
  bool IsWhole() const { return whole_; }

  int Window(const CMarkupNode& node, std::unique_ptr<CControlUI>* root);

 private:
  int Font(const CMarkupNode& node);
  int Control(const CMarkupNode& node, std::unique_ptr<CControlUI>* out);
  int Check(const CMarkupNode& node, CControlUI* control);

  CControlManager* manager_;
  std::u16string reason_;
  bool whole_ = false;
  std::vector<FontSpec> fonts_;
  std::map<std::u16string, int> names_;  // name -> line of its first use
  int width_ = 0, height_ = 0, minWidth_ = 0, minHeight_ = 0;
};

int Build::Window(const CMarkupNode& node, std::unique_ptr<CControlUI>* root) {
  if (node.name != u"Window") return Fail(node, u"the root element must be <Window>, not <" + node.name + u">");
  for (const auto& [name, value] : node.attributes) {
    const bool ok = name == u"size"      ? ParsePair(value, &width_, &height_)
                    : name == u"mininfo" ? ParsePair(value, &minWidth_, &minHeight_)
                                         : false;
    if (!ok && name != u"size" && name != u"mininfo") return Fail(node, u"<Window> has no attribute \"" + name + u"\"");
    if (!ok) return Fail(node, u"the value \"" + value + u"\" of \"" + name + u"\" is not valid");
  }
  if (!IsBlank(node.text)) return Fail(node, u"<Window> holds text");
  for (const CMarkupNode& child : node.children) {
    if (child.name == u"Font") {
      if (*root) return Fail(child, u"fonts must come before the root control");
      if (Font(child) != 0) return -1;
    } else if (*root) {
      return Fail(child, u"<Window> holds more than one root control");
    } else if (Control(child, root) != 0) {
      return -1;
    }
  }
  if (!*root) return Fail(node, u"<Window> holds no control");
  std::vector<std::u16string> images;
  (*root)->ForEach([&](CControlUI* c) { c->ListImages(&images); });
  for (const std::u16string& image : images) {
    std::u16string error;
    if (!manager_->GetImage(image, &error)) return FailWhole(std::move(error));
  }
  manager_->SetInitSize(width_, height_);
  manager_->SetMinInfo(minWidth_, minHeight_);
  manager_->SetFonts(std::move(fonts_));
  return 0;
}

int Build::Font(const CMarkupNode& node) {
  FontSpec font;
  for (const auto& [name, value] : node.attributes) {
    bool ok;
    if (name == u"name") {
      font.face = value;
      ok = !value.empty() && value.size() < 32;
    } else if (name == u"size") {
      ok = ParseIndex(value, 200, &font.size) && font.size > 0;
    } else if (name == u"bold") {
      ok = ParseBool(value, &font.bold);
    } else if (name == u"italic") {
      ok = ParseBool(value, &font.italic);
    } else if (name == u"underline") {
      ok = ParseBool(value, &font.underline);
    } else {
      return Fail(node, u"<Font> has no attribute \"" + name + u"\"");
    }
    if (!ok) return Fail(node, u"the value \"" + value + u"\" of \"" + name + u"\" is not valid");
  }
  if (font.face.empty()) return Fail(node, u"<Font> needs a name");
  if (!node.children.empty()) return Fail(node, u"<Font> cannot hold elements");
  fonts_.push_back(std::move(font));
  return 0;
}

int Build::Control(const CMarkupNode& node, std::unique_ptr<CControlUI>* out) {
  std::unique_ptr<CControlUI> control = MakeControl(node.name);
  if (!control) return Fail(node, u"<" + node.name + u"> is not a control");
  for (const auto& [name, value] : node.attributes) {
    const int rc = control->SetAttribute(name, value);
    if (rc == kAttributeUnknown) return Fail(node, u"<" + node.name + u"> has no attribute \"" + name + u"\"");
    if (rc == kAttributeBadValue) return Fail(node, u"the value \"" + value + u"\" of \"" + name + u"\" is not valid");
  }
  if (!IsBlank(node.text)) return Fail(node, u"<" + node.name + u"> holds text; give it in the text attribute");
  auto* container = dynamic_cast<CContainerUI*>(control.get());
  if (!container && !node.children.empty()) return Fail(node, u"<" + node.name + u"> cannot hold other controls");
  for (const CMarkupNode& child : node.children) {
    std::unique_ptr<CControlUI> built;
    if (Control(child, &built) != 0) return -1;
    container->Add(std::move(built));
  }
  if (Check(node, control.get()) != 0) return -1;
  *out = std::move(control);
  return 0;
}

int Build::Check(const CMarkupNode& node, CControlUI* control) {
  if (const std::u16string& name = control->GetName(); !name.empty()) {
    auto [it, fresh] = names_.emplace(name, node.line);
    if (!fresh) return Fail(node, u"the name \"" + name + u"\" is already used at line " + Number(it->second));
  }
  if (auto* label = dynamic_cast<CLabelUI*>(control); label && label->GetFont() >= int(fonts_.size()))
    return Fail(node, u"there is no font " + Number(label->GetFont()));
  if (auto* tab = dynamic_cast<CTabLayoutUI*>(control); tab && tab->GetCurSel() >= tab->GetCount())
    return Fail(node, u"the tab layout has no page " + Number(tab->GetCurSel()));
  return 0;
}

}  // namespace

std::unique_ptr<CControlUI> CDialogBuilder::Create(std::u16string_view xmlName, CControlManager* manager,
                                                   std::u16string* error) {
  const CResourceArchive* resources = manager->GetResources();
  if (!resources) {
    *error = manager->GetResourceError();
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (resources->ReadFile(xmlName, &bytes, error) != 0) return nullptr;
  if (markup_.Load(bytes.data(), bytes.size()) != 0) {
    *error = u"The layout \"" + std::u16string(xmlName) + u"\" is not well-formed: " + markup_.GetLastErrorMessage() + u".";
    return nullptr;
  }
  return Create(markup_, xmlName, manager, error);
}

std::unique_ptr<CControlUI> CDialogBuilder::Create(const CMarkup& markup, std::u16string_view xmlName,
                                                   CControlManager* manager, std::u16string* error) {
  Build build(manager);
  std::unique_ptr<CControlUI> root;
  if (build.Window(markup.GetRoot(), &root) != 0) {
    *error = build.IsWhole() ? build.Reason()
                             : u"The layout \"" + std::u16string(xmlName) + u"\" is not valid: " + build.Reason() + u".";
    return nullptr;
  }
  return root;
}

}  // namespace lvx::uilib
