// Threads on Windows (wine): bounded joins, and the dispatching join that keeps a window's thread
// answering the messages a worker sends or posts to it while the window waits for that worker.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/file.h"
#include "platform/thread.h"
#include "platform/win32/win32_api.h"

namespace lvx::os {
namespace {

constexpr UINT kPing = WM_APP + 1;

// A message-only window on the test's thread that counts what reaches it.
class PingWindow {
 public:
  PingWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &PingWindow::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LvxPingWindow";
    ::RegisterClassW(&wc);  // fails harmlessly when an earlier test registered it
    hwnd_ = ::CreateWindowExW(0, L"LvxPingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~PingWindow() { ::DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  int pings() const { return pings_; }
  Event handled{true, false};  // set by the window when it has answered a ping
  bool repost = false;         // each ping posts the next one: the queue never runs dry

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<PingWindow*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == kPing && self) {
      ++self->pings_;
      self->handled.Set();
      if (self->repost) ::PostMessageW(h, kPing, 0, 0);
      return 42;
    }
    return ::DefWindowProcW(h, msg, w, l);
  }
  HWND hwnd_ = nullptr;
  int pings_ = 0;  // only the window's thread touches it
};

TEST(Win32Thread, RunsTheBodyAndKeepsItsExitCode) {
  std::atomic<int> ran{0};
  Thread t([&] {
    ran = 1;
    return 7u;
  });
  EXPECT_FALSE(t.Finished());
  EXPECT_EQ(t.ExitCode(), 259u);  // STILL_ACTIVE, as for a thread that has not ended
  EXPECT_EQ(ran.load(), 0);  // nothing runs before Start
  ASSERT_TRUE(t.Start());
  EXPECT_FALSE(t.Start());  // one thread per object
  ASSERT_TRUE(t.Join(kInfinite));
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.ExitCode(), 7u);
  EXPECT_EQ(ran.load(), 1);
}

TEST(Win32Thread, JoinGivesUpAfterItsTime) {
  Event release(true, false);
  Thread t([&] {
    release.Wait(kInfinite);
    return 3u;
  });
  ASSERT_TRUE(t.Start());
  EXPECT_FALSE(t.Join(0));
  EXPECT_FALSE(t.Join(50));
  EXPECT_FALSE(t.JoinDispatching(50));
  EXPECT_FALSE(t.Finished());
  EXPECT_EQ(LastError(), kErrorTimeout);
  EXPECT_EQ(t.ExitCode(), 259u);
  release.Set();
  EXPECT_TRUE(t.Join(10000));
  EXPECT_EQ(t.ExitCode(), 3u);
}

TEST(Win32Thread, DispatchingJoinAnswersAWorkerThatSendsToTheWaitingWindow) {
  PingWindow window;
  ASSERT_NE(window.hwnd(), nullptr);
  LRESULT answer = 0;
  Thread t([&] {
    answer = ::SendMessageW(window.hwnd(), kPing, 0, 0);  // blocks until the window's thread answers
    return 0u;
  });
  ASSERT_TRUE(t.Start());
  // A plain join cannot finish: the worker waits for this thread, which waits for the worker.
  EXPECT_FALSE(t.Join(200));
  EXPECT_TRUE(t.JoinDispatching(10000));
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(window.pings(), 1);
}

TEST(Win32Thread, DispatchingJoinDeliversPostedMessages) {
  PingWindow window;
  Thread t([&] {
    ::PostMessageW(window.hwnd(), kPing, 0, 0);
    // Ends only once the window has seen the message: the join has to dispatch it.
    return window.handled.Wait(10000) ? 0u : 1u;
  });
  ASSERT_TRUE(t.Start());
  EXPECT_TRUE(t.JoinDispatching(20000));
  EXPECT_EQ(t.ExitCode(), 0u);
  EXPECT_EQ(window.pings(), 1);
}

TEST(Win32Thread, DispatchingJoinKeepsToItsTimeWhileMessagesKeepComing) {
  PingWindow window;
  Event release(true, false);
  Thread stuck([&] { return release.Wait(kInfinite) ? 0u : 1u; });
  ASSERT_TRUE(stuck.Start());
  window.repost = true;
  ::PostMessageW(window.hwnd(), kPing, 0, 0);
  EXPECT_FALSE(stuck.JoinDispatching(300));  // returns although the queue is never empty
  EXPECT_GT(window.pings(), 1);
  window.repost = false;
  release.Set();
  EXPECT_TRUE(stuck.Join(10000));
}

TEST(Win32Thread, DispatchingJoinLeavesTheQuitMessageForTheProgramsLoop) {
  Event release(true, false);
  Thread t([&] {
    release.Wait(kInfinite);
    return 0u;
  });
  ASSERT_TRUE(t.Start());
  ::PostQuitMessage(5);
  Thread releaser([&] {
    ::Sleep(100);
    release.Set();
    return 0u;
  });
  ASSERT_TRUE(releaser.Start());
  EXPECT_TRUE(t.JoinDispatching(10000));
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_TRUE(releaser.Join(10000));
}

TEST(Win32Thread, DestroyingARunningThreadLeavesItRunningToItsEnd) {
  Event go(true, false), done(true, false);
  auto payload = std::make_shared<int>(11);
  std::weak_ptr<int> watch = payload;
  {
    Thread t([&go, &done, payload] {
      go.Wait(kInfinite);
      if (*payload == 11) done.Set();  // the body and what it captured are still alive
      return 0u;
    });
    ASSERT_TRUE(t.Start());
  }
  payload.reset();
  EXPECT_FALSE(watch.expired());  // the running thread keeps its body alive
  go.Set();
  EXPECT_TRUE(done.Wait(10000));
  for (int i = 0; i < 1000 && !watch.expired(); ++i) os::Sleep(10);
  EXPECT_TRUE(watch.expired());  // and lets it go when it ends
}

TEST(Win32Thread, AnEndedBodyReleasesWhatItCapturedAtOnce) {
  auto payload = std::make_shared<int>(1);
  std::weak_ptr<int> watch = payload;
  Thread t([payload] { return uint32_t(*payload); });
  payload.reset();
  ASSERT_TRUE(t.Start());
  ASSERT_TRUE(t.Join(10000));
  EXPECT_EQ(t.ExitCode(), 1u);
  for (int i = 0; i < 1000 && !watch.expired(); ++i) os::Sleep(10);
  EXPECT_TRUE(watch.expired());  // while the Thread object still exists
}

TEST(Win32Thread, AThreadNeverStartedHasNotEndedAndIsNotWaitedFor) {
  Thread t([] { return 1u; });
  EXPECT_FALSE(t.Join(kInfinite));
  EXPECT_FALSE(t.JoinDispatching(kInfinite));
  EXPECT_FALSE(t.Finished());
  Thread empty{std::function<uint32_t()>()};
  EXPECT_FALSE(empty.Start());  // no body, nothing to run
  EXPECT_EQ(LastError(), kErrorInvalidParameter);
}

TEST(Win32Event, AutoAndManualReset) {
  Event autoReset(false, false);
  EXPECT_FALSE(autoReset.Wait(0));
  autoReset.Set();
  EXPECT_TRUE(autoReset.Wait(0));
  EXPECT_FALSE(autoReset.Wait(0));  // one waiter took it

  Event manual(true, true);
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(10));
  // The native handle is the system's event, usable by the system's own waits.
  manual.Set();
  EXPECT_EQ(::WaitForSingleObject(static_cast<HANDLE>(manual.NativeHandle()), 0), WAIT_OBJECT_0);
}

TEST(Win32Event, SetFromAnotherThreadWakesTheWaiter) {
  Event e(false, false);
  Thread t([&] {
    os::Sleep(20);
    e.Set();
    return 0u;
  });
  ASSERT_TRUE(t.Start());
  EXPECT_TRUE(e.Wait(10000));
  EXPECT_TRUE(t.Join(10000));
}

TEST(Win32Lock, ExcludesOtherThreads) {
  Lock lock;
  int counter = 0;  // guarded by lock
  constexpr int kRounds = 20000;
  auto body = [&] {
    for (int i = 0; i < kRounds; ++i) {
      LockGuard hold(lock);
      ++counter;
    }
    return 0u;
  };
  Thread a(body), b(body);
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  EXPECT_TRUE(a.Join(30000));
  EXPECT_TRUE(b.Join(30000));
  EXPECT_EQ(counter, 2 * kRounds);

  lock.Acquire();
  std::atomic<int> tried{-1};
  Thread other([&] {
    tried = lock.TryAcquire() ? 1 : 0;
    if (tried == 1) lock.Release();
    return 0u;
  });
  ASSERT_TRUE(other.Start());
  EXPECT_TRUE(other.Join(10000));
  EXPECT_EQ(tried.load(), 0);
  lock.Release();
}

TEST(Win32Tick, AdvancesAcrossASleep) {
  uint32_t before = TickCount();
  os::Sleep(100);
  uint32_t elapsed = TickCount() - before;  // unsigned difference survives the 49-day wrap
  // The tick moves in steps of about 16 ms on Windows, so only a loose lower bound holds.
  EXPECT_GE(elapsed, 60u);
}

}  // namespace
}  // namespace lvx::os
