// Windows only: names that are long or not ASCII reach the system and come back unchanged, and
// the dispatching join keeps a window's thread answering what a worker sends or posts to it while
// it waits for that worker, keeps to its time, and leaves WM_QUIT for the program's own loop.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/dir.h"
#include "platform/file.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/win32/win32.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

TEST(Win32NamesTest, LongAndNonAsciiNamesListOpenAndCopy) {
  test::TempDir dir;
  const String names[] = {u"\u00e9t\u00e9 \u65e5\u672c.txt", u"\U0001F600 smile",
                          String(230, u'n') + u"\u00fc.txt"};  // near the system's 255
  for (const String& name : names) {
    File f = CreateAnew(dir.Path() + name);
    ASSERT_TRUE(f.IsOpen()) << LastError();
    EXPECT_TRUE(WriteTo(f, "abc", 3));
    Close(f);
    EXPECT_TRUE(CopyOver(dir.Path() + name, dir.Path() + name + u"2"));
  }
  FolderListing listing;
  ASSERT_TRUE(listing.Open(dir.Path()));
  std::vector<String> seen;
  for (FolderEntry e; listing.Next(&e);) seen.push_back(e.name);
  for (const String& name : names) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), name), seen.end()) << U8(name);
    EXPECT_EQ(KindOf(dir.Path() + name + u"2"), PathKind::File) << U8(name);
  }
}

constexpr UINT kPing = WM_APP + 1;

// A message-only window on the test's thread that counts and answers pings.
struct PingWindow {
  PingWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
      auto* self = reinterpret_cast<PingWindow*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
      if (msg != kPing || !self) return ::DefWindowProcW(h, msg, w, l);
      ++self->pings;
      if (self->repost) ::PostMessageW(h, kPing, 0, 0);  // the queue never runs dry
      return 42;
    };
    wc.lpszClassName = L"LvxPingWindow";
    ::RegisterClassW(&wc);  // fails harmlessly when an earlier test registered it
    hwnd = ::CreateWindowExW(0, L"LvxPingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~PingWindow() { ::DestroyWindow(hwnd); }
  HWND hwnd = nullptr;
  int pings = 0;  // only the window's thread touches it
  bool repost = false;
};

TEST(Win32JoinTest, TheDispatchingJoinAnswersSentAndPostedMessages) {
  PingWindow window;
  LRESULT answer = 0;
  Thread sender([&] {
    answer = ::SendMessageW(window.hwnd, kPing, 0, 0);  // waits for the window's thread
    ::PostMessageW(window.hwnd, kPing, 0, 0);
    return 0u;
  });
  ASSERT_TRUE(sender.Start());
  EXPECT_FALSE(sender.Join(200)) << "a plain join waits for a worker that waits for it";
  EXPECT_TRUE(sender.JoinDispatching(10000));
  EXPECT_EQ(answer, 42);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  EXPECT_EQ(window.pings, 2);
}

TEST(Win32JoinTest, TheDispatchingJoinKeepsToItsTimeAndLeavesTheQuitMessage) {
  PingWindow window;
  Event release(true, false);
  Thread stuck([&] { return release.Wait(kInfinite) ? 0u : 1u; });
  ASSERT_TRUE(stuck.Start());
  window.repost = true;
  ::PostMessageW(window.hwnd, kPing, 0, 0);
  EXPECT_FALSE(stuck.JoinDispatching(300)) << "returns although the queue is never empty";
  EXPECT_GT(window.pings, 1);
  window.repost = false;
  ::PostQuitMessage(5);
  Thread releaser([&] {
    ::Sleep(100);
    release.Set();
    return 0u;
  });
  ASSERT_TRUE(releaser.Start());
  EXPECT_TRUE(stuck.JoinDispatching(10000));
  MSG msg;
  bool quit = false;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT && msg.wParam == 5;
  EXPECT_TRUE(quit);
  EXPECT_TRUE(releaser.Join(10000));
}

}  // namespace
}  // namespace lvx::os
