// Drives, memory facts, the process exit and INI files on Windows (wine).
#include <gtest/gtest.h>

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/drive.h"
#include "platform/message.h"
#include "platform/profile.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

TEST(Win32Drive, TheSystemKnowsItsDrives) {
  EXPECT_EQ(GetDriveType(u"C:\\"), kDriveFixed);
  // Wine gives every prefix C: and Z:; a letter far from both is not in use.
  EXPECT_EQ(GetDriveType(u"Q:\\"), kDriveNoRootDir);
  // The map is a POSIX matter: it changes nothing here.
  MapDrive(u'Q', "/tmp", kDriveFixed);
  EXPECT_EQ(GetDriveType(u"Q:\\"), kDriveNoRootDir);
  ClearDriveMap();
  EXPECT_EQ(HostPath(u"C:\\Users\\\u00e9t\u00e9\\a.txt"), "C:\\Users\\\xc3\xa9t\xc3\xa9\\a.txt");
}

TEST(Win32Drive, HostBytesRoundTripEvenWhenInvalid) {
  // Valid UTF-8 of one, two, three and four bytes; then a lone continuation byte, an overlong "/",
  // an encoded surrogate, a cut-off sequence and a byte that never starts one.
  const std::string bytes =
      "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80|\x80|\xc0\xaf|\xed\xa0\x80|\xe6\x97|\xff";
  String text = FromHostBytes(bytes);
  EXPECT_EQ(text, String(u"a\u00e9\u65e5\U0001F600|\xDC80|\xDCC0\xDCAF|\xDCED\xDCA0\xDC80|"
                         u"\xDCE6\xDC97|\xDCFF"));
  EXPECT_EQ(ToHostBytes(text), bytes);
  // A lone surrogate that stands for no byte becomes U+FFFD.
  EXPECT_EQ(ToHostBytes(String(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
}

TEST(Win32Drive, NetworkNeighbourhoodIsAFullPathWithoutTrailingSeparator) {
  String folder = NetworkNeighbourhoodFolder();
  if (folder.empty()) GTEST_SKIP() << "this prefix has no network neighbourhood folder";
  ASSERT_GE(folder.size(), 4u);
  EXPECT_EQ(folder.substr(1, 2), u":\\");
  EXPECT_NE(folder.back(), u'\\');
}

TEST(Win32Memory, FactsAreConsistent) {
  MemoryFacts f = GetMemoryFacts();
  EXPECT_GT(f.totalPhys, 0u);
  EXPECT_GT(f.totalVirtual, 0u);
  EXPECT_LE(f.availPhys, f.totalPhys);
  EXPECT_LE(f.availPageFile, f.totalPageFile);
  EXPECT_LE(f.availVirtual, f.totalVirtual);
  uint64_t largest = LargestFreeBlock();
  EXPECT_GT(largest, 0u);
  EXPECT_EQ(largest % 4096, 0u);  // regions are whole pages
  EXPECT_LE(largest, f.totalVirtual);
  // The memory text is made of these facts.
  EXPECT_NE(MemoryText(f).find(u"Memory :\t"), String::npos);
}

TEST(Win32Memory, MemoryErrorBoxCarriesTheSystemTextAndTheFacts) {
  test::RecordingMessages boxes;
  MemoryErrorBox(kErrorNotEnoughMemory, 52428800, u" In CDBMapFile::MapFilePos - 002");
  ASSERT_EQ(boxes.Count(), 1u);
  String text = boxes.Texts()[0];
  EXPECT_EQ(text.rfind(u"ErrorCode = 8, ", 0), 0u);
  EXPECT_NE(text.find(u"\r\n In CDBMapFile::MapFilePos - 002\r\nRequestSize = \t52428800 Bytes"),
            String::npos);
  EXPECT_NE(text.find(u"MaxFreeBlock = \t"), String::npos);
  // A code the system has no text for shows nothing at all.
  SystemErrorBox(0x2BADF00Du, u" where");
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST(Win32MemoryDeathTest, ExitProcessNowEndsAtOnceWithTheCode) {
  EXPECT_EXIT(ExitProcessNow(3), ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(ExitProcessNow(0), ::testing::ExitedWithCode(0), "");
}

class Win32Profile : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }
  test::TempDir dir_;
  String ini_ = dir_.Child("settings.ini");
};

TEST_F(Win32Profile, RoundTripWithCaseInsensitiveNames) {
  EXPECT_EQ(GetProfileString(u"SETTINGS", u"LANGUAGE", u"English", ini_), u"English");
  ASSERT_TRUE(WriteProfileString(u"SETTINGS", u"LANGUAGE", u"Deutsch", ini_));
  ASSERT_TRUE(WriteProfileString(u"SETTINGS", u"SELECT_DRIVES", u"0000000c", ini_));
  ASSERT_TRUE(WriteProfileString(u"STATEINFO", u"CacheFileSize", u"123", ini_));
  EXPECT_EQ(GetProfileString(u"settings", u"language", u"", ini_), u"Deutsch");
  EXPECT_EQ(GetProfileString(u"SETTINGS", u"SELECT_DRIVES", u"", ini_), u"0000000c");
  ASSERT_TRUE(WriteProfileString(u"Settings", u"Language", u"Fran\u00e7ais", ini_));
  EXPECT_EQ(GetProfileString(u"SETTINGS", u"LANGUAGE", u"", ini_).substr(0, 4), u"Fran");
  EXPECT_EQ(GetProfileInt(u"STATEINFO", u"CacheFileSize", -1, ini_), 123);
  EXPECT_EQ(GetProfileInt(u"STATEINFO", u"Missing", -1, ini_), -1);
  EXPECT_EQ(GetProfileInt(u"NOSECTION", u"CacheFileSize", 9, ini_), 9);
  ASSERT_TRUE(WriteProfileString(u"STATEINFO", u"Mixed", u"42abc", ini_));
  EXPECT_EQ(GetProfileInt(u"STATEINFO", u"Mixed", -1, ini_), 42);
  EXPECT_EQ(GetProfileString(u"STATEINFO", u"Mixed", u"", dir_.Child("other.ini")), u"");
}

TEST_F(Win32Profile, AFileStartedAsUtf16KeepsAnyText) {
  // The settings files are laid down with a UTF-16LE byte-order mark; the profile functions then
  // keep every character, not only those of the ANSI code page.
  FileHandle f = OpenFile(ini_, kGenericWrite, 0, kCreateAlways, kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  const unsigned char bom[] = {0xFF, 0xFE};
  ASSERT_TRUE(WriteFile(f, bom, 2, nullptr));
  CloseFile(f);
  const String value = u"C:\\\u65e5\u672c\\\u00e9t\u00e9\\\U0001F600\\";
  ASSERT_TRUE(WriteProfileString(u"HISTORY", u"Location0", value, ini_));
  EXPECT_EQ(GetProfileString(u"HISTORY", u"Location0", u"", ini_), value);
}

TEST_F(Win32Profile, LongValuesAreCutToTheBuffer) {
  String longValue(40000, u'v');
  ASSERT_TRUE(WriteProfileString(u"S", u"K", longValue, ini_));
  String read = GetProfileString(u"S", u"K", u"", ini_);
  EXPECT_EQ(read.size(), size_t(kProfileBufferChars - 1));
  EXPECT_EQ(read, longValue.substr(0, kProfileBufferChars - 1));
}

}  // namespace
}  // namespace lvx::os
