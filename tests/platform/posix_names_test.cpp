// POSIX only: how engine paths become host paths (drive map, separators), how host name bytes
// become UTF-16 and back, and the Win32 error codes and texts the backend reports.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>

#include "platform/dir.h"
#include "platform/drive.h"
#include "platform/file.h"
#include "platform/posix/posix_util.h"
#include "platform/thread.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

class DriveMapTest : public ::testing::Test {
 protected:
  void TearDown() override { ClearDriveMap(); }
};

TEST_F(DriveMapTest, DrivePathsGoThroughTheMapAndOtherPathsStayHostPaths) {
  MapDrive(u'c', "/srv/data/", kDriveFixed);  // lower-case letter, trailing separator
  EXPECT_EQ(HostPath(u"C:\\"), "/srv/data/");
  EXPECT_EQ(HostPath(u"c:"), "/srv/data");
  EXPECT_EQ(HostPath(u"C:\\Windows\\System32\\"), "/srv/data/Windows/System32/");
  EXPECT_EQ(HostPath(u"C:\\a\\b.txt"), "/srv/data/a/b.txt");
  EXPECT_EQ(HostPath(u"C:\\\u00e9\\\U0001F600"), "/srv/data/\xc3\xa9/\xf0\x9f\x98\x80");
  EXPECT_EQ(HostPath(u"D:\\a"), "");  // not mapped
  MapDrive(u'R', "/", kDriveRemote);
  EXPECT_EQ(HostPath(u"R:\\etc\\x"), "/etc/x");
  EXPECT_EQ(HostPath(u"R:\\"), "/");
  MapDrive(u'C', "", kDriveFixed);  // removed
  EXPECT_EQ(HostPath(u"C:\\a"), "");

  // Host paths keep '/', and read the engine's '\' as '/'.
  EXPECT_EQ(HostPath(u"/tmp/x/cache.db"), "/tmp/x/cache.db");
  EXPECT_EQ(HostPath(u"/tmp/x/sub\\child\\"), "/tmp/x/sub/child/");
  EXPECT_EQ(HostPath(u"/tmp/x/cache.db.tmp"), "/tmp/x/cache.db.tmp");
}

TEST_F(DriveMapTest, DriveTypesComeFromTheMapWhileTheFolderExists) {
  test::TempDir dir;
  EXPECT_EQ(GetDriveType(u"E:\\"), kDriveNoRootDir);
  MapDrive(u'E', dir.HostPath(), kDriveRemovable);
  MapDrive(u'F', dir.HostPath() + "/gone", kDriveFixed);
  EXPECT_EQ(GetDriveType(u"E:\\"), kDriveRemovable);
  EXPECT_EQ(GetDriveType(u"e:\\"), kDriveRemovable);
  EXPECT_EQ(GetDriveType(u"E:"), kDriveRemovable);
  EXPECT_EQ(GetDriveType(u"F:\\"), kDriveNoRootDir);  // mapped to a missing folder
  EXPECT_EQ(GetDriveType(u"E:\\sub\\"), kDriveNoRootDir);  // not a root
  EXPECT_EQ(GetDriveType(u"\\"), kDriveNoRootDir);
  EXPECT_TRUE(NetworkNeighbourhoodFolder().empty());

  // Files on a mapped drive open through it; an unmapped drive is a missing path.
  dir.MakeFile("on-e.txt", 3);
  FileHandle f = OpenFile(u"E:\\on-e.txt", kGenericRead, kShareRead, kOpenExisting, 0);
  ASSERT_TRUE(f.IsValid()) << LastError();
  CloseFile(f);
  EXPECT_FALSE(OpenFile(u"G:\\on-e.txt", kGenericRead, kShareRead, kOpenExisting, 0).IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  EXPECT_EQ(GetFileAttributes(u"G:\\"), kInvalidAttributes);
  FindData d;
  EXPECT_FALSE(FindFirstFile(u"G:\\*", &d).IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  // A NUL inside a name is never cut short into another path.
  String withNul = dir.Child("on-e.txt");
  withNul.push_back(u'\0');
  withNul += u"x";
  EXPECT_FALSE(OpenFile(withNul, kGenericRead, kShareRead, kOpenExisting, 0).IsValid());
  EXPECT_EQ(LastError(), kErrorInvalidName);
}

TEST(HostBytes, WellFormedUtf8ConvertsAndEveryOtherByteIsEscaped) {
  EXPECT_EQ(FromHostBytes("plain"), u"plain");
  EXPECT_EQ(FromHostBytes("\xc3\xa9t\xc3\xa9"), u"\u00e9t\u00e9");
  EXPECT_EQ(FromHostBytes("\xe6\x97\xa5"), u"\u65e5");
  EXPECT_EQ(FromHostBytes("\xf0\x9f\x98\x80"), u"\U0001F600");  // a surrogate pair
  EXPECT_EQ(FromHostBytes("a\xffz"), u"a\xDCFFz");
  EXPECT_EQ(FromHostBytes("\xc0\x80"), u"\xDCC0\xDC80");  // overlong NUL
  EXPECT_EQ(FromHostBytes("\xed\xa0\x80"), u"\xDCED\xDCA0\xDC80");  // an encoded surrogate
  EXPECT_EQ(FromHostBytes("\xe6\x97"), u"\xDCE6\xDC97");  // cut short
  EXPECT_EQ(FromHostBytes("\xf4\x90\x80\x80"), u"\xDCF4\xDC90\xDC80\xDC80");  // past U+10FFFF
  EXPECT_EQ(ToHostBytes(u"\xDCFF\xDC80"), "\xff\x80");
  // Lone surrogates that no byte stands for have no byte form of their own.
  EXPECT_EQ(ToHostBytes(u"\xD800"), "\xef\xbf\xbd");
  EXPECT_EQ(ToHostBytes(u"\xDC41"), "\xef\xbf\xbd");
}

TEST(HostBytes, AnyByteStringRoundTrips) {
  std::mt19937 random(12345);
  // Bytes drawn mostly from UTF-8 lead and continuation ranges, so that broken sequences abound.
  const unsigned char pool[] = {'a', 'Z', '/', 0x80, 0x9f, 0xbf, 0xc2, 0xc3, 0xdf, 0xe0, 0xe6,
                                0xed, 0xef, 0xf0, 0xf4, 0xf5, 0xff, 0xa0, 0x90};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = char(pool[random() % sizeof pool]);
    String text = FromHostBytes(bytes);
    ASSERT_EQ(ToHostBytes(text), bytes) << "round " << round;
  }
}

TEST(HostBytes, AnInvalidNameListsAndOpensByTheListedName) {
  test::TempDir dir;
  const std::string raw = "bad\xff\xfe-\xc3\xa9-\xe6\x97.txt";
  int fd = ::open((dir.HostPath() + "/" + raw).c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "12345", 5), 5);
  ::close(fd);

  FindData d;
  FindHandle h = FindFirstFile(dir.Path() + u"*", &d);
  ASSERT_TRUE(h.IsValid());
  String listed;
  do {
    if (!d.IsDirectory()) listed = d.name;
  } while (FindNextFile(h, &d));
  FindClose(h);
  EXPECT_EQ(listed, u"bad\xDCFF\xDCFE-\u00e9-\xDCE6\xDC97.txt");
  FileHandle f = OpenFile(dir.Path() + listed, kGenericRead, kShareRead, kOpenExisting, 0);
  ASSERT_TRUE(f.IsValid()) << LastError();
  uint64_t size = 0;
  EXPECT_TRUE(GetFileSize(f, &size));
  EXPECT_EQ(size, 5u);
  CloseFile(f);
  EXPECT_TRUE(DeleteFile(dir.Path() + listed));
  EXPECT_FALSE(FindFirstFile(dir.Path() + u"bad*", &d).IsValid());
}

TEST(Errors, ErrnoValuesBecomeWin32CodesWithWindowsTexts) {
  using posix::ErrorFromErrno;
  EXPECT_EQ(ErrorFromErrno(ENOENT), kErrorFileNotFound);
  EXPECT_EQ(ErrorFromErrno(EACCES), kErrorAccessDenied);
  EXPECT_EQ(ErrorFromErrno(EPERM), kErrorAccessDenied);
  EXPECT_EQ(ErrorFromErrno(ENOSPC), kErrorDiskFull);
  EXPECT_EQ(ErrorFromErrno(ENAMETOOLONG), kErrorFilenameTooLong);
  EXPECT_EQ(ErrorFromErrno(ENOMEM), kErrorNotEnoughMemory);
  EXPECT_EQ(ErrorFromErrno(EMFILE), kErrorTooManyOpenFiles);
  EXPECT_EQ(ErrorFromErrno(EEXIST), kErrorAlreadyExists);

  EXPECT_EQ(SystemErrorText(kErrorFileNotFound), u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemErrorText(kErrorPathNotFound), u"The system cannot find the path specified.\r\n");
  EXPECT_EQ(SystemErrorText(kErrorAccessDenied), u"Access is denied.\r\n");
  EXPECT_EQ(SystemErrorText(kErrorNotEnoughMemory),
            u"Not enough memory resources are available to process this command.\r\n");
  EXPECT_EQ(SystemErrorText(kErrorDiskFull), u"There is not enough space on the disk.\r\n");
  EXPECT_TRUE(SystemErrorText(0x2BADF00Du).empty());
  // An errno without a Win32 code still has a text, so no failure goes unreported.
  uint32_t odd = ErrorFromErrno(EDOM);
  EXPECT_NE(odd & posix::kErrnoBase, 0u);
  String text = SystemErrorText(odd);
  ASSERT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
}

TEST(Errors, LastErrorBelongsToItsThread) {
  SetLastError(kErrorDiskFull);
  uint32_t seen = 0;
  Thread other([&] {
    seen = LastError();
    SetLastError(kErrorAccessDenied);
    return uint32_t(0);
  });
  ASSERT_TRUE(other.Start());
  ASSERT_TRUE(other.Join(10000));
  EXPECT_EQ(seen, kErrorSuccess);
  EXPECT_EQ(LastError(), kErrorDiskFull);
}

}  // namespace
}  // namespace lvx::os
