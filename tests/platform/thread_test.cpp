// Threads, events, locks and message boxes on every backend, as their Win32 namesakes behave; a
// dropped thread finishes with what it holds; quiet and held-back stretches belong to their thread.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/fault.h"
#include "platform/message.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "support/recording_sink.h"

namespace lvx::os {
namespace {

TEST(ThreadTest, RunsOnceStartedJoinsWithinItsTimeAndKeepsItsExitCode) {
  Event release(true, false);
  std::atomic<int> runs{0};
  Thread t([&] { return release.Wait(kInfinite) ? uint32_t(40 + ++runs) : 0u; });
  Sleep(30);
  EXPECT_FALSE(t.Finished());
  EXPECT_FALSE(t.Join(0)) << "a thread never started has not ended";
  fault::FailNth(fault::Op::Thread, 1, Error::OutOfMemory);
  EXPECT_FALSE(t.Start());
  EXPECT_EQ(ErrorOf(LastError()), Error::OutOfMemory);
  fault::Reset();
  ASSERT_TRUE(t.Start());
  EXPECT_FALSE(t.Start()) << "once only";
  uint32_t before = TickCount();
  EXPECT_FALSE(t.Join(50) || t.JoinDispatching(20));
  EXPECT_GE(TickCount() - before, 50u);  // ticks move in steps of up to 16 ms
  EXPECT_EQ(t.ExitCode(), 259u) << "STILL_ACTIVE while it runs";
  release.Set();
  ASSERT_TRUE(t.JoinDispatching(10000));
  EXPECT_TRUE(t.Finished() && t.Join(0));
  EXPECT_EQ(t.ExitCode(), 41u);
  EXPECT_EQ(runs.load(), 1);
}

TEST(ThreadTest, ADroppedThreadRunsToItsEndWithWhatItHolds) {
  auto release = std::make_shared<Event>(true, false);
  auto done = std::make_shared<Event>(true, false);
  auto value = std::make_shared<std::atomic<int>>(0);
  {
    Thread t([release, done, value] {
      release->Wait(kInfinite);
      value->store(5);
      done->Set();
      return 0u;
    });
    ASSERT_TRUE(t.Start());
  }  // detached, not killed, not waited for
  std::weak_ptr<std::atomic<int>> held = value;
  value.reset();
  release->Set();
  ASSERT_TRUE(done->Wait(10000));
  for (int i = 0; i < 500 && !held.expired(); ++i) Sleep(2);
  EXPECT_TRUE(held.expired()) << "what the body captured goes when it ends";
  std::atomic<bool> ran{false};
  { Thread never([&] { return uint32_t(ran = true); }); }
  Sleep(20);
  EXPECT_FALSE(ran.load()) << "a thread never started runs nothing";
}

TEST(EventTest, AutoResetReleasesOneWaiterManualResetAll) {
  Event automatic(false, true), manual(true, false);
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0)) << "consumed by the first wait";
  EXPECT_FALSE(manual.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0) && manual.Wait(kInfinite)) << "stays set";
  manual.Reset();
  EXPECT_FALSE(manual.Wait(10));
  std::atomic<int> woken{0};
  auto waiter = [&] { return uint32_t(automatic.Wait(600) ? ++woken : 0); };
  Thread a(waiter), b(waiter);
  ASSERT_TRUE(a.Start() && b.Start());
  Sleep(50);
  automatic.Set();
  ASSERT_TRUE(a.Join(10000) && b.Join(10000));
  EXPECT_EQ(woken.load(), 1) << "one Set wakes exactly one of two waiters";
}

TEST(LockTest, ExcludesOtherThreadsAndNestsOnItsOwn) {
  Lock lock;
  lock.Acquire();
  EXPECT_TRUE(lock.TryAcquire()) << "the owner may take it again";
  lock.Release();
  std::atomic<bool> got{true};
  Thread other([&] { return uint32_t(got = lock.TryAcquire()); });
  ASSERT_TRUE(other.Start() && other.Join(10000));
  EXPECT_FALSE(got.load());
  lock.Release();
  { LockGuard hold(lock); }
  ASSERT_TRUE(lock.TryAcquire()) << "a guard lets go";
  lock.Release();
}

TEST(Messages, QuietAndHeldBackStretchesBelongToTheirThreadAndBoxesSayTheCodeTheTextAndWhere) {
  test::RecordingMessages messages;
  auto other = [](const char16_t* text) { std::thread([text] { ErrorBox(text); }).join(); };
  {
    QuietMessages quiet;
    ErrorBox(u"silenced");
    other(u"other thread");
  }
  {
    DeferredMessages outer;
    ErrorBox(u"first");
    {
      DeferredMessages inner;
      ErrorBox(u"second");
    }
    EXPECT_EQ(messages.Count(), 1u) << "held until the outermost stretch ends";
    other(u"other again");
  }
  {
    DeferredMessages held;
    ErrorBox(u"before a fatal end");
    FlushDeferredMessages();
    EXPECT_EQ(messages.Count(), 5u) << "a flush shows them at once";
  }
  EXPECT_EQ(messages.Texts(), (std::vector<String>{u"other thread", u"other again", u"first",
                                                   u"second", u"before a fatal end"}));
  uint32_t code = CodeOf(Error::NotFound);
  SystemErrorBox(code, u" In Somewhere - 000");
  MemoryErrorBox(CodeOf(Error::OutOfMemory), 4096, u" In Elsewhere - 001");
  SystemErrorBox(0x3FFFFFFF, u" nowhere");  // no system text: nothing is shown
  ASSERT_EQ(messages.Count(), 7u);
  EXPECT_EQ(messages.Texts()[5], U16("ErrorCode = " + std::to_string(code) + ", ") +
                                     SystemErrorText(code) + u"\r\n In Somewhere - 000");
  EXPECT_NE(messages.Texts()[6].find(u" In Elsewhere - 001\r\nRequestSize = \t4096 Bytes\r\nMaxFreeBlock"),
            String::npos);
  MemoryFacts facts;
  facts.totalPhys = 16ull << 30;
  facts.availPhys = 5;
  EXPECT_EQ(MemoryText(facts).rfind(u"Memory :\t5 Bytes / 4294967295 Bytes\r\n", 0), 0u);
}

}  // namespace
}  // namespace lvx::os
