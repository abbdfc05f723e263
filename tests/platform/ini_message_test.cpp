// INI values and message boxes on every backend: values read back without regard to the case of
// names, an existing file keeps its other lines and any text, long values are cut, keys go, the
// seam fails reads and writes; the boxes carry the code, the system's text and where, quiet and
// held-back stretches, and the memory text's cap.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "platform/fault.h"
#include "platform/ini.h"
#include "platform/message.h"
#include "platform/text.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

class IniTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  // The program's INI files are UTF-16LE with a byte-order mark.
  void WriteUtf16(const String& text) {
    std::ofstream out(dir_.HostPath() + "/state.ini", std::ios::binary);
    out.write("\xFF\xFE", 2);
    for (char16_t c : text) out.put(char(c & 0xFF)).put(char(c >> 8));
  }
  String ReadUtf16() {
    std::ifstream in(dir_.HostPath() + "/state.ini", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    String text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return text;
  }
  test::TempDir dir_;
  String file_ = dir_.Child("state.ini");
};

TEST_F(IniTest, AFileKeepsItsOtherLinesAndAnyTextWhileKeysChange) {
  EXPECT_EQ(IniRead(u"STATEINFO", u"X", u"fallback", file_), u"fallback");  // no file yet
  WriteUtf16(u"; kept comment\r\n[STATEINFO]\r\nA=1\r\n  Spaced Key  =  spaced value  \r\n\r\n"
             u"[OTHER]\r\nA=other\r\n");
  EXPECT_EQ(IniRead(u"stateinfo", u"spaced key", u"", file_), u"spaced value");
  EXPECT_EQ(IniRead(u"OTHER", u"a", u"", file_), u"other") << "a key of another section";
  const String text = u"\u65e5\u672c \u00e9 \U0001F600";
  ASSERT_TRUE(IniWrite(u"StateInfo", u"NEW", text, file_));
  ASSERT_TRUE(IniWrite(u"STATEINFO", u"a", u"2", file_));
  ASSERT_TRUE(IniWrite(u"THIRD", u"C", u"3", file_));
  ASSERT_TRUE(IniDelete(u"STATEINFO", u"Spaced Key", file_));
  EXPECT_EQ(IniRead(u"STATEINFO", u"NEW", u"", file_), text);
  EXPECT_EQ(IniRead(u"STATEINFO", u"A", u"", file_), u"2");
  EXPECT_EQ(IniRead(u"STATEINFO", u"SPACED KEY", u"gone", file_), u"gone");
  EXPECT_EQ(IniRead(u"THIRD", u"C", u"", file_), u"3");
  String saved = ReadUtf16();
  size_t comment = saved.find(u"; kept comment"), other = saved.find(u"[OTHER]\r\nA=other");
  EXPECT_EQ(comment, 0u) << U8(saved);
  EXPECT_LT(saved.find(u"NEW=" + text), other) << "a new key goes into its own section";
  EXPECT_GT(saved.find(u"[THIRD]"), other);
  EXPECT_FALSE(IniWrite(u"A", u"B", u"C", dir_.Child("no/such/x.ini")));
}

TEST_F(IniTest, LongValuesAreCut) {
  String value(40000, u'v');
  ASSERT_TRUE(IniWrite(u"S", u"K", value, file_));
  ASSERT_TRUE(IniWrite(u"S", u"L", u"short", file_));
  EXPECT_EQ(IniRead(u"S", u"K", u"", file_), value.substr(0, 32767));
  EXPECT_EQ(IniRead(u"S", u"L", u"", file_), u"short");
}

TEST_F(IniTest, TheSeamFailsAWriteThatLeavesTheFileAndAReadThatGivesTheDefault) {
  ASSERT_TRUE(IniWrite(u"S", u"K", u"old", file_));
  fault::FailNth(fault::Op::Write, 1, Error::DiskFull);
  EXPECT_FALSE(IniWrite(u"S", u"K", u"new", file_));
  EXPECT_EQ(ErrorOf(LastError()), Error::DiskFull);
  fault::FailNth(fault::Op::Read, 1, Error::IoError);
  EXPECT_EQ(IniRead(u"S", u"K", u"default", file_), u"default");
  EXPECT_EQ(IniRead(u"S", u"K", u"", file_), u"old");
}

TEST(Messages, SystemAndMemoryBoxesCarryTheCodeTheTextAndWhere) {
  test::RecordingMessages messages;
  uint32_t code = CodeOf(Error::NotFound);
  SystemErrorBox(code, u" In Somewhere - 000");
  MemoryErrorBox(CodeOf(Error::OutOfMemory), 4096, u" In Elsewhere - 001");
  SystemErrorBox(0x3FFFFFFF, u" nowhere");  // no system text: nothing is shown
  ASSERT_EQ(messages.Count(), 2u);
  EXPECT_EQ(messages.Texts()[0], U16("ErrorCode = " + std::to_string(code) + ", ") +
                                     SystemErrorText(code) + u"\r\n In Somewhere - 000");
  String memory = messages.Texts()[1];
  EXPECT_NE(memory.find(u"\r\n In Elsewhere - 001\r\nRequestSize = \t4096 Bytes\r\nMaxFreeBlock = \t"),
            String::npos);
  EXPECT_NE(memory.find(u" Bytes\r\nMemory :\t"), String::npos);
  EXPECT_EQ(memory.substr(memory.size() - 8), u" Bytes\r\n");
  MemoryFacts facts;
  facts.totalPhys = 16ull << 30;
  facts.availPhys = 5;
  EXPECT_EQ(MemoryText(facts).rfind(u"Memory :\t5 Bytes / 4294967295 Bytes\r\n", 0), 0u);
}

TEST(Messages, QuietAndHeldBackStretchesBelongToTheirThread) {
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
}

}  // namespace
}  // namespace lvx::os
