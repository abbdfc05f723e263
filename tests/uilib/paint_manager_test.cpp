// The paint manager on a hidden Win32 window with the real archive: host windows follow their
// controls on WM_SIZE and on a page switch made by the mouse's messages, the layout's smallest size
// holds the window back. What the layout paints, and the message naming a missing archive, are
// checked on the program's window by the app tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "platform/text.h"
#include "uilib/containers.h"
#include "uilib/dialog_builder.h"
#include "uilib/text_controls.h"
#include "uilib/win32/paint_manager.h"

namespace lvx::uilib {
namespace {

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* manager = reinterpret_cast<CPaintManagerUI*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  LRESULT result = 0;
  if (manager && manager->MessageHandler(message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

// The main window's part in a page switch: the page buttons select the tab layout's pages.
class Receiver : public INotifyUI {
 public:
  explicit Receiver(CPaintManagerUI* manager) : manager_(manager) {}
  void Notify(TNotifyUI& msg) override {
    notes.push_back(U8(msg.sType) + ":" + U8(msg.pSender->GetName()));
    if (msg.sType != u"selectchanged") return;
    const char16_t* buttons[] = {u"tabQuickBtn", u"tabSizeDateBtn", u"tabAdvancedBtn"};
    for (int i = 0; i < 3; ++i)
      if (msg.pSender->GetName() == buttons[i])
        static_cast<CTabLayoutUI*>(manager_->FindControl(u"tabPagesToolbar"))->SelectItem(i);
  }
  std::vector<std::string> notes;

 private:
  CPaintManagerUI* manager_;
};

class PaintManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LvxUiTestWindow";
    RegisterClassW(&wc);
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    std::u16string error;
    ASSERT_EQ(CPaintManagerUI::SetResourceZip(u"\\skins\\default.zip", &error), 0) << U8(error);
    window_ = CreateWindowExW(0, L"LvxUiTestWindow", L"test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800,
                              600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    manager_.Init(window_);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&manager_));
    std::unique_ptr<CControlUI> root = CDialogBuilder().Create(u"AppMain.xml", &manager_, &error);
    ASSERT_TRUE(root) << U8(error);
    ASSERT_TRUE(manager_.AttachDialog(std::move(root)));
    manager_.AddNotifier(&receiver_);
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
  }

  HWND Host(const char16_t* name) {
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window_, nullptr, nullptr, nullptr);
    static_cast<CWindowCtrlUI*>(manager_.FindControl(name))->AttachHostWindow(child);
    return child;
  }
  static RECT InParent(HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  static bool Shown(HWND child) { return (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0; }
  void ExpectAtControl(HWND child, const char16_t* name) {
    const UiRect c = manager_.FindControl(name)->GetPos();
    const RECT r = InParent(child);
    EXPECT_EQ((UiRect{r.left, r.top, r.right, r.bottom}), c) << U8(name);
    EXPECT_GT(c.Width(), 0);
  }

  HWND window_ = nullptr;
  CPaintManagerUI manager_;
  Receiver receiver_{&manager_};
};

TEST_F(PaintManagerTest, HostWindowsFollowTheirControlsOnEverySizeAndPageSwitch) {
  HWND search = Host(u"cbSearch"), list = Host(u"listResult"), quick = Host(u"tabQuickButtons");
  HWND sizeDate = Host(u"tabSizeDate");
  SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 500));
  ExpectAtControl(search, u"cbSearch");
  ExpectAtControl(list, u"listResult");
  EXPECT_EQ(manager_.FindControl(u"listResult")->GetPos().bottom, 500 - 3 - 20 - 6);
  EXPECT_TRUE(Shown(quick));
  EXPECT_FALSE(Shown(sizeDate)) << "only the selected page's window is shown";

  SetWindowPos(window_, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(manager_.GetClientWidth(), client.right) << "the size change came as WM_SIZE";
  ExpectAtControl(list, u"listResult");

  // The layout's smallest size holds the window back.
  SetWindowPos(window_, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetClientRect(window_, &client);
  EXPECT_GE(client.right, manager_.GetMinWidth());
  EXPECT_GE(client.bottom, manager_.GetMinHeight());

  // The mouse's messages make a click on a page button (selection itself has its own tests), and
  // the page switch shows the other page's window where its control is.
  SendMessageW(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 500));
  const UiRect button = manager_.FindControl(u"tabSizeDateBtn")->GetPos();
  const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  SendMessageW(window_, WM_MOUSEMOVE, 0, at);
  SendMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(window_, WM_LBUTTONUP, 0, at);
  EXPECT_EQ(receiver_.notes,
            (std::vector<std::string>{"click:tabSizeDateBtn", "selectchanged:tabSizeDateBtn", "tabselect:tabPagesToolbar"}));
  EXPECT_FALSE(Shown(quick));
  EXPECT_TRUE(Shown(sizeDate));
  ExpectAtControl(sizeDate, u"tabSizeDate");
}

}  // namespace
}  // namespace lvx::uilib
