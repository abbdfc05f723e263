// The owner of a control tree, apart from any window system: it holds the tree and finds its
// controls by name and by point, keeps the option groups, the window's fonts and link colours and
// the images read from the archive, lays the tree out when the window's size or a control's size
// or visibility changes, routes mouse input to the control under it, and sends the controls'
// notifications to the registered receivers. The paint manager of the window system derives from
// it and supplies the three things only it can do: repaint, place host windows, capture the mouse.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "uilib/bmp_image.h"
#include "uilib/control.h"
#include "uilib/notify.h"
#include "uilib/resource_archive.h"
#include "uilib/window_ctrl.h"

namespace lvx::uilib {

class COptionUI;

struct FontSpec {
  std::u16string face;
  int size = 12;  // character height in pixels
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const FontSpec&) const = default;
};

class CControlManager {
 public:
  CControlManager() = default;
  virtual ~CControlManager();
  CControlManager(const CControlManager&) = delete;
  CControlManager& operator=(const CControlManager&) = delete;

  // Where the builder reads the layout and the painter its images (not owned); when there is
  // none, whyNone says why (the archive's message), for whoever asks for a file.
  void SetResources(const CResourceArchive* resources, std::u16string whyNone = {});
  const CResourceArchive* GetResources() const { return resources_; }
  const std::u16string& GetResourceError() const { return resourceError_; }

  // Takes the tree: registers its names and option groups (the first selected option of a group
  // stays selected), and lays it out in the current size. False for no tree.
  bool AttachDialog(std::unique_ptr<CControlUI> root);
  CControlUI* GetRoot() const { return root_.get(); }
  CControlUI* FindControl(std::u16string_view name) const;
  // The innermost shown control under the point.
  CControlUI* FindControl(int x, int y) const;
  const std::vector<COptionUI*>& GetOptionGroup(std::u16string_view group) const;

  void AddNotifier(INotifyUI* receiver);
  void RemoveNotifier(INotifyUI* receiver);
  void SendNotify(CControlUI* sender, std::u16string_view type, uintptr_t wParam = 0, intptr_t lParam = 0);

  // The window as the markup describes it: its first size and its smallest.
  void SetInitSize(int width, int height) { initWidth_ = width, initHeight_ = height; }
  void SetMinInfo(int width, int height) { minWidth_ = width, minHeight_ = height; }
  int GetInitWidth() const { return initWidth_; }
  int GetInitHeight() const { return initHeight_; }
  int GetMinWidth() const { return minWidth_; }
  int GetMinHeight() const { return minHeight_; }

  void SetFonts(std::vector<FontSpec> fonts) { fonts_ = std::move(fonts); }
  const std::vector<FontSpec>& GetFonts() const { return fonts_; }
  // Link colours are given as COLORREF (0x00BBGGRR), as the window system names colours.
  void SetDefaultLinkFontColor(uint32_t colorref);
  void SetDefaultLinkHoverFontColor(uint32_t colorref);
  Color GetLinkColor() const { return linkColor_; }
  Color GetLinkHoverColor() const { return linkHoverColor_; }

  // An image of the archive, decoded once: null with the reason in *error.
  const UiImage* GetImage(const std::u16string& name, std::u16string* error);

  // The client area's size changed: lays the tree out again.
  void Resize(int width, int height);
  int GetClientWidth() const { return width_; }
  int GetClientHeight() const { return height_; }
  // Lays the tree out again now (called by controls when a size or a visibility changed).
  void NeedUpdate();

  // Mouse input in client coordinates.
  void OnMouseMove(int x, int y);
  void OnMouseLeave();
  void OnButtonDown(int x, int y);
  void OnButtonUp(int x, int y);
  // The mouse capture was taken away: a pressed button lets go without a click.
  void OnCaptureLost();
  CControlUI* GetHotControl() const { return hot_; }
  CControlUI* GetPushedControl() const { return pushed_; }

  void Paint(IUiPainter& painter, const UiRect& dirty);

  // What only the window system can do.
  virtual void Invalidate(const UiRect& rect) {}
  virtual void PlaceHostWindow(HostWindow window, const UiRect& rect, bool visible) {}
  virtual void SetMouseCapture(bool capture) {}

 private:
  // The control under the point that takes mouse input (itself or its nearest such ancestor).
  CControlUI* MouseTarget(int x, int y) const;
  void SetHot(CControlUI* control);

  const CResourceArchive* resources_ = nullptr;
  std::u16string resourceError_ = u"No user-interface archive is loaded.";
  std::unique_ptr<CControlUI> root_;
  std::map<std::u16string, CControlUI*, std::less<>> names_;
  std::map<std::u16string, std::vector<COptionUI*>, std::less<>> groups_;
  std::vector<INotifyUI*> notifiers_;
  std::vector<FontSpec> fonts_;
  std::map<std::u16string, std::unique_ptr<UiImage>> images_;
  Color linkColor_ = 0xFF0000FF;
  Color linkHoverColor_ = 0xFF0000FF;
  int initWidth_ = 0, initHeight_ = 0, minWidth_ = 0, minHeight_ = 0;
  int width_ = 0, height_ = 0;
  bool inLayout_ = false;
  CControlUI* hot_ = nullptr;
  CControlUI* pushed_ = nullptr;
};

}  // namespace lvx::uilib
