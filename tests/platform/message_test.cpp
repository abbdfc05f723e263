// The message boxes' texts and where they go.
#include <gtest/gtest.h>

#include <thread>

#include "platform/file.h"
#include "platform/message.h"
#include "support/recording_sink.h"

namespace lvx::os {
namespace {

TEST(Messages, SystemAndMemoryBoxesCarryTheCodeTheTextAndWhere) {
  test::RecordingMessages messages;
  SystemErrorBox(kErrorFileNotFound, u" In Somewhere - 000");
  ASSERT_EQ(messages.Count(), 1u);
  std::u16string text = messages.Texts()[0];
  EXPECT_EQ(text.rfind(u"ErrorCode = 2, ", 0), 0u);
  EXPECT_NE(text.find(u"\r\n In Somewhere - 000"), std::u16string::npos);
  MemoryErrorBox(kErrorNotEnoughMemory, 4096, u" In Elsewhere - 001");
  ASSERT_EQ(messages.Count(), 2u);
  text = messages.Texts()[1];
  EXPECT_NE(text.find(u"\r\n In Elsewhere - 001\r\nRequestSize = \t4096 Bytes\r\nMaxFreeBlock = \t"),
            std::u16string::npos);
  EXPECT_NE(text.find(u"Memory :\t"), std::u16string::npos);
  EXPECT_NE(text.find(u"VirtualMemory :\t"), std::u16string::npos);
  SystemErrorBox(0x3FFFFFFF, u" nowhere");  // no system text: nothing is shown
  EXPECT_EQ(messages.Count(), 2u);
}

TEST(Messages, MemoryNumbersAboveFourGigabytesShowTheCap) {
  MemoryFacts facts;
  facts.totalPhys = 16ull << 30;
  facts.availPhys = 5;
  EXPECT_EQ(MemoryText(facts).rfind(u"Memory :\t5 Bytes / 4294967295 Bytes\r\n", 0), 0u);
}

TEST(Messages, QuietMessagesSilenceOnlyTheirOwnThread) {
  test::RecordingMessages messages;
  {
    QuietMessages quiet;
    ErrorBox(u"expected failure");
    std::thread other([] { ErrorBox(u"from another thread"); });
    other.join();
    {
      QuietMessages nested;
      ErrorBox(u"nested");
    }
    ErrorBox(u"still quiet");
  }
  ErrorBox(u"heard again");
  EXPECT_EQ(messages.Texts(), (std::vector<std::u16string>{u"from another thread", u"heard again"}));
}

TEST(Messages, DeferredMessagesWaitForTheEndOfTheOutermostScope) {
  test::RecordingMessages messages;
  {
    DeferredMessages outer;
    ErrorBox(u"first");
    {
      DeferredMessages inner;
      ErrorBox(u"second");
    }
    EXPECT_EQ(messages.Count(), 0u) << "held until the outermost scope ends";
    std::thread other([] { ErrorBox(u"other thread"); });
    other.join();
    EXPECT_EQ(messages.Texts(), std::vector<std::u16string>{u"other thread"});
  }
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::u16string>{u"other thread", u"first", u"second"}));
  {
    DeferredMessages held;
    ErrorBox(u"before a fatal end");
    FlushDeferredMessages();
    EXPECT_EQ(messages.Count(), 4u) << "a flush shows them at once";
  }
  EXPECT_EQ(messages.Count(), 4u) << "and only once";
}

}  // namespace
}  // namespace lvx::os
