// The paint manager on a hidden Win32 window with the real archive: host windows follow their
// controls on WM_SIZE and on a page switch made by the mouse's messages, the layout's smallest size
// holds the window back. What the layout paints, and the message naming a missing archive, are
// checked on the program's window by the app tests.
#include <gtest/gtest.h>

#include <string>

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

// The main window's part in a page switch: the page button of the second page selects it.
struct Receiver : INotifyUI {
  void Notify(TNotifyUI& msg) override {
    if (msg.sType == u"selectchanged" && msg.pSender->GetName() == u"tabSizeDateBtn")
      static_cast<CTabLayoutUI*>(msg.pSender->GetManager()->FindControl(u"tabPagesToolbar"))->SelectItem(1);
  }
};

bool Shown(HWND child) { return (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0; }

TEST(PaintManager, HostWindowsFollowTheirControlsOnEverySizeAndPageSwitch) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TestWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LvxUiTestWindow";
  RegisterClassW(&wc);
  CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
  std::u16string error;
  ASSERT_EQ(CPaintManagerUI::SetResourceZip(u"\\skins\\default.zip", &error), 0) << U8(error);
  HWND window = CreateWindowExW(0, L"LvxUiTestWindow", L"test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 800,
                                600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  CPaintManagerUI manager;
  manager.Init(window);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&manager));
  std::unique_ptr<CControlUI> root = CDialogBuilder().Create(u"AppMain.xml", &manager, &error);
  ASSERT_TRUE(root) << U8(error);
  ASSERT_TRUE(manager.AttachDialog(std::move(root)));
  Receiver receiver;
  manager.AddNotifier(&receiver);
  auto host = [&](const char16_t* name) {
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window, nullptr, nullptr, nullptr);
    static_cast<CWindowCtrlUI*>(manager.FindControl(name))->AttachHostWindow(child);
    return child;
  };
  auto expectAtControl = [&](HWND child, const char16_t* name) {
    const UiRect c = manager.FindControl(name)->GetPos();
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((UiRect{r.left, r.top, r.right, r.bottom}), c) << U8(name);
    EXPECT_GT(c.Width(), 0);
  };

  HWND search = host(u"cbSearch"), list = host(u"listResult"), quick = host(u"tabQuickButtons");
  HWND sizeDate = host(u"tabSizeDate");
  SetWindowPos(window, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(manager.GetClientWidth(), client.right) << "the size change came as WM_SIZE";
  expectAtControl(search, u"cbSearch");
  expectAtControl(list, u"listResult");
  EXPECT_TRUE(Shown(quick));

  // The layout's smallest size holds the window back.
  SetWindowPos(window, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetClientRect(window, &client);
  EXPECT_GE(client.right, manager.GetMinWidth());
  EXPECT_GE(client.bottom, manager.GetMinHeight());

  // The mouse's messages make a click on a page button (selection itself has its own tests), and
  // the page switch shows the other page's window where its control is.
  SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 500));
  const UiRect button = manager.FindControl(u"tabSizeDateBtn")->GetPos();
  const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  SendMessageW(window, WM_MOUSEMOVE, 0, at);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(window, WM_LBUTTONUP, 0, at);
  EXPECT_FALSE(Shown(quick));
  EXPECT_TRUE(Shown(sizeDate));
  expectAtControl(sizeDate, u"tabSizeDate");
  DestroyWindow(window);
}

}  // namespace
}  // namespace lvx::uilib
