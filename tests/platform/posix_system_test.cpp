// POSIX only: what the backend adds to the system's file calls (delete-on-close that spares a
// replaced path, mapped files that cannot be cut short), the profile file's encodings, and the
// memory facts.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/file.h"
#include "platform/message.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

TEST(PosixFile, AMappedFileIsNotCutShortWhileItsViewsLive) {
  test::TempDir dir;
  String path = dir.Child("cache.db");
  FileHandle f = OpenFile(path, kGenericRead | kGenericWrite, kShareRead, kCreateAlways, 0);
  ASSERT_TRUE(f.IsValid());
  MappingHandle m = CreateMapping(f, kPageReadWrite, 1 << 20);
  ASSERT_TRUE(m.IsValid());
  auto* view = static_cast<uint8_t*>(MapView(m, kMapWrite, 0, 0));
  ASSERT_NE(view, nullptr);
  CloseMapping(m);  // the view alone keeps the file mapped
  view[(1 << 20) - 1] = 1;

  // Recreating, shrinking or copying over it would make the view fault; all are refused.
  FileHandle again = OpenFile(path, kGenericRead | kGenericWrite, kShareRead, kCreateAlways, 0);
  EXPECT_FALSE(again.IsValid());
  EXPECT_EQ(LastError(), 1224u);
  EXPECT_FALSE(SetFileSize(f, 100));
  EXPECT_EQ(LastError(), 1224u);
  EXPECT_TRUE(SetFileSize(f, 2 << 20));  // growing is harmless
  dir.MakeFile("small", 10);
  EXPECT_FALSE(CopyFile(dir.Child("small"), path, false));
  EXPECT_EQ(LastError(), 1224u);
  EXPECT_EQ(view[(1 << 20) - 1], 1);

  EXPECT_TRUE(UnmapView(view));
  again = OpenFile(path, kGenericRead | kGenericWrite, kShareRead, kCreateAlways, 0);
  ASSERT_TRUE(again.IsValid()) << LastError();
  uint64_t size = 1;
  EXPECT_TRUE(GetFileSize(again, &size));
  EXPECT_EQ(size, 0u);
  CloseFile(again);
  CloseFile(f);
}

TEST(PosixFile, CreateAlwaysTruncatesEvenWithoutWriteAccess) {
  test::TempDir dir;
  dir.MakeFile("full", 1000);
  FileHandle f = OpenFile(dir.Child("full"), kGenericRead, kShareRead, kCreateAlways, 0);
  ASSERT_TRUE(f.IsValid()) << LastError();
  EXPECT_EQ(LastError(), kErrorAlreadyExists);
  uint64_t size = 1;
  EXPECT_TRUE(GetFileSize(f, &size));
  EXPECT_EQ(size, 0u);
  CloseFile(f);
}

TEST(PosixFile, DeleteOnCloseSparesAFileThatTookThePath) {
  test::TempDir dir;
  String path = dir.Child("scratch.tmp");
  FileHandle f = OpenFile(path, kGenericRead | kGenericWrite, kShareNone, kCreateAlways,
                          kFlagDeleteOnClose | kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  dir.MakeFile("other", 9);
  ASSERT_EQ(::rename((dir.HostPath() + "/other").c_str(), (dir.HostPath() + "/scratch.tmp").c_str()), 0);
  CloseFile(f);
  EXPECT_TRUE(FileExists(path));  // not the file the handle had
}

TEST(PosixProfile, NewFilesAreUtf16AndOtherEncodingsAreReadAndKept) {
  test::TempDir dir;
  auto bytesOf = [&](const std::string& name) {
    std::ifstream in(dir.HostPath() + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  auto put = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir.HostPath() + "/" + name, std::ios::binary) << bytes;
  };

  ASSERT_TRUE(WriteProfileString(u"S", u"K", u"\u00e9", dir.Child("new.ini")));
  EXPECT_EQ(bytesOf("new.ini"), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0\xE9\0\r\0\n\0", 22));

  // UTF-8 without a mark, as an editor saves it; it stays UTF-8.
  put("utf8.ini", "[S]\nK=\xc3\xa9t\xc3\xa9\n");
  EXPECT_EQ(GetProfileString(u"S", u"K", u"", dir.Child("utf8.ini")), u"\u00e9t\u00e9");
  ASSERT_TRUE(WriteProfileString(u"S", u"N", u"1", dir.Child("utf8.ini")));
  EXPECT_EQ(bytesOf("utf8.ini"), "[S]\r\nK=\xc3\xa9t\xc3\xa9\r\nN=1\r\n");

  // Not UTF-8: the Windows ANSI page, kept on writing.
  put("ansi.ini", "[S]\r\nK=\x80 \xe9\r\n");
  EXPECT_EQ(GetProfileString(u"S", u"K", u"", dir.Child("ansi.ini")), u"\u20ac \u00e9");
  ASSERT_TRUE(WriteProfileString(u"S", u"K", u"\u00e9\u20ac\u65e5", dir.Child("ansi.ini")));
  EXPECT_EQ(bytesOf("ansi.ini"), "[S]\r\nK=\xe9\x80?\r\n");

  // Through a link, the file it names is written and the link stays.
  ASSERT_EQ(::symlink("utf8.ini", (dir.HostPath() + "/link.ini").c_str()), 0);
  ASSERT_TRUE(WriteProfileString(u"S", u"N", u"2", dir.Child("link.ini")));
  struct stat st;
  ASSERT_EQ(::lstat((dir.HostPath() + "/link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(GetProfileInt(u"S", u"N", 0, dir.Child("utf8.ini")), 2);
}

TEST(PosixProfile, WritesKeepTheFilesModeAndNewFilesFollowTheUmask) {
  test::TempDir dir;
  mode_t previous = ::umask(022);
  ASSERT_TRUE(WriteProfileString(u"S", u"K", u"1", dir.Child("new.ini")));
  ::umask(previous);
  struct stat st;
  ASSERT_EQ(::stat((dir.HostPath() + "/new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  ASSERT_EQ(::chmod((dir.HostPath() + "/new.ini").c_str(), 0600), 0);
  ASSERT_TRUE(WriteProfileString(u"S", u"K", u"2", dir.Child("new.ini")));
  ASSERT_EQ(::stat((dir.HostPath() + "/new.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(GetProfileInt(u"S", u"K", 0, dir.Child("new.ini")), 2);
}

TEST(PosixMemory, FactsAreConsistent) {
  MemoryFacts f = GetMemoryFacts();
  EXPECT_GT(f.totalPhys, 0u);
  EXPECT_LE(f.availPhys, f.totalPhys);
  EXPECT_GT(f.totalPageFile, 0u);
  EXPECT_LE(f.availPageFile, f.totalPageFile);
  EXPECT_GT(f.availVirtual, 0u);
  EXPECT_LE(f.availVirtual, f.totalVirtual);
  uint64_t largest = LargestFreeBlock();
  EXPECT_GT(largest, uint64_t(1) << 30);  // a 64-bit address space is mostly free
  EXPECT_LE(largest, f.totalVirtual);
}

TEST(PosixMemoryDeathTest, ExitProcessNowEndsAtOnceWithTheCode) {
  EXPECT_EXIT(ExitProcessNow(3), ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(ExitProcessNow(0), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lvx::os
