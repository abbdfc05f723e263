// Threads, events and locks on every backend: a thread runs only once started, every join is
// bounded, a thread object dropped while its body runs leaves the body to finish safely, a start
// can be failed through the seam, and events and locks behave as their Win32 namesakes.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/fault.h"
#include "platform/thread.h"

namespace lvx::os {
namespace {

TEST(ThreadTest, BodyRunsOnlyAfterStartAndKeepsItsExitCode) {
  std::atomic<int> runs{0};
  Thread t([&] {
    ++runs;
    return uint32_t(42);
  });
  Sleep(30);
  EXPECT_EQ(runs.load(), 0);  // created suspended
  EXPECT_FALSE(t.Finished());
  EXPECT_FALSE(t.Join(0));  // a thread never started has not ended
  ASSERT_TRUE(t.Start());
  EXPECT_FALSE(t.Start());  // once only
  ASSERT_TRUE(t.Join(10000));
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.ExitCode(), 42u);
  EXPECT_EQ(runs.load(), 1);
  EXPECT_TRUE(t.JoinDispatching(0));  // joining again is harmless

  Thread failed([&] { return uint32_t(++runs); });
  fault::FailNth(fault::Op::Thread, 1, Error::OutOfMemory);
  EXPECT_FALSE(failed.Start());
  EXPECT_EQ(ErrorOf(LastError()), Error::OutOfMemory);
  fault::Reset();
  EXPECT_TRUE(failed.Start() && failed.Join(10000));
  EXPECT_EQ(runs.load(), 2);
}

TEST(ThreadTest, JoinGivesUpAfterItsTimeAndSucceedsLater) {
  Event release(true, false);
  Thread t([&] {
    release.Wait(kInfinite);
    return uint32_t(7);
  });
  ASSERT_TRUE(t.Start());
  uint32_t before = TickCount();
  EXPECT_FALSE(t.Join(50));
  EXPECT_GE(TickCount() - before, 30u);  // the Windows tick moves in steps of up to 16 ms
  EXPECT_FALSE(t.Finished());
  EXPECT_NE(t.ExitCode(), 7u);
  release.Set();
  EXPECT_TRUE(t.JoinDispatching(10000));
  EXPECT_EQ(t.ExitCode(), 7u);
}

TEST(ThreadTest, DroppingARunningThreadLeavesItRunningToItsEnd) {
  // The body holds its own references: the test's locals may be gone by the time it ends.
  auto release = std::make_shared<Event>(true, false);
  auto done = std::make_shared<Event>(true, false);
  auto value = std::make_shared<std::atomic<int>>(0);
  {
    Thread t([release, done, value] {
      release->Wait(kInfinite);
      value->store(5);
      done->Set();
      return uint32_t(0);
    });
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Join(10));
  }  // destroyed while the body waits: detached, not killed, not waited for
  release->Set();
  ASSERT_TRUE(done->Wait(10000));
  EXPECT_EQ(value->load(), 5);
  // Dropping a thread that was never started runs nothing.
  std::atomic<bool> ran{false};
  { Thread never([&] { ran = true; return uint32_t(0); }); }
  Sleep(20);
  EXPECT_FALSE(ran.load());
}

TEST(EventTest, AutoResetReleasesOneWaitManualResetAll) {
  Event automatic(false, true);
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));  // consumed by the first wait
  automatic.Set();
  automatic.Reset();
  uint32_t before = TickCount();
  EXPECT_FALSE(automatic.Wait(60));
  EXPECT_GE(TickCount() - before, 40u) << "a wait keeps to its time";

  Event manual(true, false);
  EXPECT_FALSE(manual.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(kInfinite));  // stays set
  manual.Reset();
  EXPECT_FALSE(manual.Wait(10));
}

TEST(EventTest, OneSetOfAnAutoResetEventWakesExactlyOneOfTwoWaiters) {
  Event event(false, false);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (event.Wait(600)) ++woken;
    return uint32_t(0);
  };
  Thread a(waiter), b(waiter);
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  Sleep(50);
  event.Set();
  ASSERT_TRUE(a.Join(10000));
  ASSERT_TRUE(b.Join(10000));
  EXPECT_EQ(woken.load(), 1);
}

TEST(LockTest, ExcludesOtherThreadsAndNestsOnItsOwn) {
  Lock lock;
  lock.Acquire();
  EXPECT_TRUE(lock.TryAcquire());  // the owner may take it again, as a critical section
  lock.Release();
  std::atomic<bool> got{true};
  Thread other([&] {
    got = lock.TryAcquire();
    if (got) lock.Release();
    return uint32_t(0);
  });
  ASSERT_TRUE(other.Start());
  ASSERT_TRUE(other.Join(10000));
  EXPECT_FALSE(got.load());
  lock.Release();

  // Many threads adding under the lock lose no update.
  long counter = 0;
  auto add = [&] {
    for (int i = 0; i < 20000; ++i) {
      LockGuard hold(lock);
      ++counter;
    }
    return uint32_t(0);
  };
  Thread t1(add), t2(add), t3(add);
  ASSERT_TRUE(t1.Start() && t2.Start() && t3.Start());
  ASSERT_TRUE(t1.Join(30000) && t2.Join(30000) && t3.Join(30000));
  EXPECT_EQ(counter, 60000);
}

}  // namespace
}  // namespace lvx::os
