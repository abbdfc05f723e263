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

TEST(Win32Test, LongAndNonAsciiNamesListOpenAndCopy) {
  test::TempDir dir;
  const String names[] = {u"\u00e9t\u00e9 \u65e5\u672c.txt", u"\U0001F600 smile",
                          String(230, u'n') + u"\u00fc.txt"};  // near the system's 255
  for (const String& name : names) {
    File f = CreateAnew(dir.Path() + name);
    EXPECT_TRUE(f.IsOpen() && WriteTo(f, "abc", 3)) << LastError();
    Close(f);
    EXPECT_TRUE(CopyOver(dir.Path() + name, dir.Path() + name + u"2"));
  }
  FolderListing listing;
  ASSERT_TRUE(listing.Open(dir.Path()));
  std::vector<String> seen;
  for (FolderEntry e; listing.Next(&e);) seen.push_back(e.name);
  for (const String& name : names) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), name), seen.end()) << U8(name);
    EXPECT_NE(std::find(seen.begin(), seen.end(), name + u"2"), seen.end()) << U8(name);
  }
}

constexpr UINT kPing = WM_APP + 1;
int gPings = 0;  // only the window's thread touches it
bool gRepost = false;  // each ping posts the next: the queue never runs dry

LRESULT CALLBACK PingProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg != kPing) return ::DefWindowProcW(h, msg, w, l);
  ++gPings;
  if (gRepost) ::PostMessageW(h, kPing, 0, 0);
  return 42;
}

TEST(Win32Test, TheDispatchingJoinAnswersKeepsToItsTimeAndLeavesTheQuitMessage) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = PingProc;
  wc.lpszClassName = L"LvxPingWindow";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, L"LvxPingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  LRESULT answer = 0;
  Thread sender([&] {
    answer = ::SendMessageW(window, kPing, 0, 0);  // waits for the window's thread
    ::PostMessageW(window, kPing, 0, 0);
    return 0u;
  });
  ASSERT_TRUE(sender.Start());
  EXPECT_FALSE(sender.Join(200)) << "a plain join waits for a worker that waits for it";
  EXPECT_TRUE(sender.JoinDispatching(10000));
  EXPECT_EQ(answer, 42);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  EXPECT_EQ(gPings, 2);

  Event release(true, false);
  Thread stuck([&] { return release.Wait(kInfinite) ? 0u : 1u; });
  ASSERT_TRUE(stuck.Start());
  gRepost = true;
  ::PostMessageW(window, kPing, 0, 0);
  EXPECT_FALSE(stuck.JoinDispatching(300)) << "returns although the queue is never empty";
  EXPECT_GT(gPings, 3);
  gRepost = false;
  ::PostQuitMessage(5);
  Thread releaser([&] {
    ::Sleep(100);
    release.Set();
    return 0u;
  });
  ASSERT_TRUE(releaser.Start());
  EXPECT_TRUE(stuck.JoinDispatching(10000));
  bool quit = false;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT && msg.wParam == 5;
  EXPECT_TRUE(quit) << "kept for the program's loop";
  EXPECT_TRUE(releaser.Join(10000));
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace lvx::os
