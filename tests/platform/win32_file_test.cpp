// The Win32 file and mapping behaviour the cache file relies on, checked against the real system
// (wine): mappings that grow files, windowed views with overlap, delete-on-close scratch files,
// the error codes callers test for, and the fault seam in front of the calls.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/fault.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

constexpr uint32_t kWindow = 52428800;   // one cache window
constexpr uint32_t kOverlap = 1048576;   // the overlap of a window's view into the next one

class Win32File : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }

  FileHandle OpenRW(const String& path, uint32_t disposition, uint32_t flags = kAttributeNormal) {
    return OpenFile(path, kGenericRead | kGenericWrite, kShareRead | kShareWrite, disposition, flags);
  }
  uint64_t SizeOf(FileHandle f) {
    uint64_t size = ~0ull;
    EXPECT_TRUE(GetFileSize(f, &size));
    return size;
  }

  test::TempDir dir_;
};

TEST_F(Win32File, MappingAboveTheFileLengthExtendsTheFile) {
  FileHandle f = OpenRW(dir_.Child("grow.db"), kCreateAlways);
  ASSERT_TRUE(f.IsValid()) << LastError();
  EXPECT_EQ(SizeOf(f), 0u);
  MappingHandle m = CreateMapping(f, kPageReadWrite, kWindow);
  ASSERT_TRUE(m.IsValid()) << LastError();
  EXPECT_EQ(SizeOf(f), uint64_t(kWindow));
  // The new bytes read as zeros.
  auto* view = static_cast<const unsigned char*>(MapView(m, kMapWrite, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 0);
  EXPECT_EQ(view[kWindow - 1], 0);
  EXPECT_TRUE(UnmapView(const_cast<unsigned char*>(view)));
  EXPECT_TRUE(CloseMapping(m));
  EXPECT_TRUE(CloseFile(f));
}

TEST_F(Win32File, SizeZeroMapsTheWholeFileAndAnEmptyFileCannotBeMapped) {
  dir_.MakeFile("three.db", 3000000);
  FileHandle f = OpenFile(dir_.Child("three.db"), kGenericRead, kShareRead, kOpenExisting,
                          kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  MappingHandle m = CreateMapping(f, kPageReadOnly, 0);
  ASSERT_TRUE(m.IsValid()) << LastError();
  // Length 0 runs to the end of the mapping: the last byte of the file is reachable.
  auto* view = static_cast<const unsigned char*>(MapView(m, kMapRead, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[2999999], 0);
  // A view longer than the mapping is refused, which is why the last window maps to the end.
  EXPECT_EQ(MapView(m, kMapRead, 0, 3000001), nullptr);
  EXPECT_TRUE(UnmapView(const_cast<unsigned char*>(view)));
  CloseMapping(m);
  CloseFile(f);

  dir_.MakeFile("empty.db", 0);
  f = OpenFile(dir_.Child("empty.db"), kGenericRead, kShareRead, kOpenExisting, kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  EXPECT_FALSE(CreateMapping(f, kPageReadOnly, 0).IsValid());
  EXPECT_NE(LastError(), 0u);
  CloseFile(f);
}

TEST_F(Win32File, WindowViewsOverlapByOneMegabyte) {
  const uint32_t mapSize = 2 * kWindow + 5 * kOverlap;  // window 2 is a short tail
  FileHandle f = OpenRW(dir_.Child("windows.db"), kCreateAlways);
  ASSERT_TRUE(f.IsValid());
  MappingHandle m = CreateMapping(f, kPageReadWrite, mapSize);
  ASSERT_TRUE(m.IsValid()) << LastError();
  auto* w0 = static_cast<unsigned char*>(MapView(m, kMapWrite, 0, kWindow + kOverlap));
  auto* w1 = static_cast<unsigned char*>(MapView(m, kMapWrite, kWindow, kWindow + kOverlap));
  auto* w2 = static_cast<unsigned char*>(MapView(m, kMapWrite, 2 * kWindow, 0));
  ASSERT_NE(w0, nullptr) << LastError();
  ASSERT_NE(w1, nullptr) << LastError();
  ASSERT_NE(w2, nullptr) << LastError();

  // A record that starts 10 bytes before the end of window 0 is whole in window 0's view ...
  const char record[] = "a record that crosses the window boundary";
  std::memcpy(w0 + kWindow - 10, record, sizeof record);
  // ... and the same bytes are seen through window 1's view.
  EXPECT_EQ(std::memcmp(w1, record + 10, sizeof record - 10), 0);
  // The last byte of window 1's overlap is the first megabyte of window 2.
  w2[kOverlap - 1] = 0x5A;
  EXPECT_EQ(w1[kWindow + kOverlap - 1], 0x5A);
  w2[mapSize - 2 * kWindow - 1] = 0xA5;  // the mapping's last byte

  for (void* v : {static_cast<void*>(w0), static_cast<void*>(w1), static_cast<void*>(w2)})
    EXPECT_TRUE(UnmapView(v));
  CloseMapping(m);
  CloseFile(f);

  // What was written through the views is in the file.
  f = OpenFile(dir_.Child("windows.db"), kGenericRead, kShareRead, kOpenExisting, kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(SizeOf(f), uint64_t(mapSize));
  m = CreateMapping(f, kPageReadOnly, 0);
  ASSERT_TRUE(m.IsValid());
  auto* r = static_cast<const unsigned char*>(MapView(m, kMapRead, 0, 0));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::memcmp(r + kWindow - 10, record, sizeof record), 0);
  EXPECT_EQ(r[2 * kWindow + kOverlap - 1], 0x5A);
  EXPECT_EQ(r[mapSize - 1], 0xA5);
  UnmapView(const_cast<unsigned char*>(r));
  CloseMapping(m);
  CloseFile(f);
}

TEST_F(Win32File, TwoMappingsOfOneFileSeeTheSameBytes) {
  String path = dir_.Child("shared.db");
  FileHandle a = OpenRW(path, kCreateAlways);
  FileHandle b = OpenRW(path, kOpenExisting);
  ASSERT_TRUE(a.IsValid());
  ASSERT_TRUE(b.IsValid()) << LastError();
  MappingHandle ma = CreateMapping(a, kPageReadWrite, 1 << 20);
  MappingHandle mb = CreateMapping(b, kPageReadWrite, 0);
  ASSERT_TRUE(ma.IsValid());
  ASSERT_TRUE(mb.IsValid()) << LastError();
  auto* va = static_cast<unsigned char*>(MapView(ma, kMapWrite, 0, 0));
  auto* vb = static_cast<unsigned char*>(MapView(mb, kMapWrite, 0, 0));
  ASSERT_TRUE(va && vb);
  va[12345] = 0x77;
  EXPECT_EQ(vb[12345], 0x77);
  vb[1] = 0x11;
  EXPECT_EQ(va[1], 0x11);
  UnmapView(va);
  UnmapView(vb);
  CloseMapping(ma);
  CloseMapping(mb);
  CloseFile(a);
  CloseFile(b);
}

TEST_F(Win32File, DeleteOnCloseRemovesTheScratchFileAfterItsMappingIsGone) {
  String path = dir_.Child("cache.db.tmp");
  FileHandle f = OpenFile(path, kGenericRead | kGenericWrite, kShareNone, kCreateAlways,
                          kFlagDeleteOnClose | kAttributeNormal);
  ASSERT_TRUE(f.IsValid()) << LastError();
  MappingHandle m = CreateMapping(f, kPageReadWrite, 1 << 20);
  ASSERT_TRUE(m.IsValid());
  void* v = MapView(m, kMapWrite, 0, 0);
  ASSERT_NE(v, nullptr);
  std::memset(v, 0xCD, 4096);
  EXPECT_TRUE(FileExists(path));
  // Opened without sharing: a second opener is turned away while the scratch file is in use.
  FileHandle other = OpenFile(path, kGenericRead, kShareRead | kShareWrite | kShareDelete,
                              kOpenExisting, kAttributeNormal);
  EXPECT_FALSE(other.IsValid());
  EXPECT_EQ(LastError(), kErrorSharingViolation);
  UnmapView(v);
  CloseMapping(m);
  CloseFile(f);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(GetFileAttributes(path), kInvalidAttributes);
  EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST_F(Win32File, ReadWriteAndSetFileSizeKeepThePosition) {
  FileHandle f = OpenRW(dir_.Child("rw.bin"), kCreateAlways);
  ASSERT_TRUE(f.IsValid());
  uint32_t done = 0;
  ASSERT_TRUE(WriteFile(f, "0123456789", 10, &done));
  EXPECT_EQ(done, 10u);
  // Growing adds zeros; the next write still goes to offset 10.
  ASSERT_TRUE(SetFileSize(f, 100));
  EXPECT_EQ(SizeOf(f), 100u);
  ASSERT_TRUE(WriteFile(f, "AB", 2, nullptr));
  ASSERT_TRUE(SetFileSize(f, 20));
  EXPECT_EQ(SizeOf(f), 20u);
  CloseFile(f);

  f = OpenFile(dir_.Child("rw.bin"), kGenericRead, kShareRead, kOpenExisting, kAttributeNormal);
  ASSERT_TRUE(f.IsValid());
  char buffer[64] = {};
  ASSERT_TRUE(ReadFile(f, buffer, sizeof buffer, &done));
  EXPECT_EQ(done, 20u);
  EXPECT_EQ(std::memcmp(buffer, "0123456789AB\0\0\0\0\0\0\0\0", 20), 0);
  ASSERT_TRUE(ReadFile(f, buffer, sizeof buffer, &done));  // end of file: success, nothing read
  EXPECT_EQ(done, 0u);
  // A handle opened for reading only cannot write or resize.
  EXPECT_FALSE(WriteFile(f, "x", 1, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  EXPECT_FALSE(SetFileSize(f, 0));
  CloseFile(f);
}

TEST_F(Win32File, ErrorCodesCallersTestFor) {
  EXPECT_FALSE(OpenRW(dir_.Child("missing.db"), kOpenExisting).IsValid());
  EXPECT_EQ(LastError(), kErrorFileNotFound);
  EXPECT_FALSE(OpenRW(dir_.Child("no\\such\\folder\\x.db"), kCreateAlways).IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  EXPECT_EQ(GetFileAttributes(dir_.Child("no\\such\\folder\\x.db")), kInvalidAttributes);
  EXPECT_EQ(LastError(), kErrorPathNotFound);

  dir_.MakeFile("exists.db", 10);
  EXPECT_FALSE(OpenRW(dir_.Child("exists.db"), kCreateNew).IsValid());
  EXPECT_EQ(LastError(), kErrorFileExists);

  ASSERT_TRUE(CreateDirectory(dir_.Child("sub")));
  EXPECT_FALSE(CreateDirectory(dir_.Child("sub")));
  EXPECT_EQ(LastError(), kErrorAlreadyExists);
  EXPECT_NE(GetFileAttributes(dir_.Child("sub")) & kAttributeDirectory, 0u);
  EXPECT_FALSE(FileExists(dir_.Child("sub")));  // a folder is not a file
  dir_.MakeFile("sub/inner", 1);
  EXPECT_FALSE(RemoveDirectory(dir_.Child("sub")));
  EXPECT_EQ(LastError(), kErrorDirectoryNotEmpty);
  ASSERT_TRUE(DeleteFile(dir_.Child("sub\\inner")));
  EXPECT_TRUE(RemoveDirectory(dir_.Child("sub")));

  // The layer's null handle is never taken for one of the system's own (NULL as "no file" or
  // the page file): every call refuses it alike.
  uint64_t size = 0;
  uint32_t done = 0;
  char byte = 0;
  SetLastError(0);
  EXPECT_FALSE(CloseFile(FileHandle{}));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(GetFileSize(FileHandle{}, &size));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(ReadFile(FileHandle{}, &byte, 1, &done));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(WriteFile(FileHandle{}, &byte, 1, &done));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(SetFileSize(FileHandle{}, 1));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(CreateMapping(FileHandle{}, kPageReadWrite, 4096).IsValid());
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_EQ(MapView(MappingHandle{}, kMapRead, 0, 0), nullptr);
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  SetLastError(0);
  EXPECT_FALSE(CloseMapping(MappingHandle{}));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_FALSE(UnmapView(nullptr));
  EXPECT_FALSE(DeleteFile(dir_.Child("missing.db")));
  EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST_F(Win32File, CopyAndMoveReplace) {
  dir_.MakeFile("a.db", 1000);
  dir_.MakeFile("b.db", 5);
  EXPECT_FALSE(CopyFile(dir_.Child("a.db"), dir_.Child("b.db"), true));
  EXPECT_EQ(LastError(), kErrorFileExists);
  ASSERT_TRUE(CopyFile(dir_.Child("a.db"), dir_.Child("c.db"), true));
  ASSERT_TRUE(CopyFile(dir_.Child("b.db"), dir_.Child("c.db"), false));
  // The move replaces an existing target, as the backup and restore of the cache file need.
  ASSERT_TRUE(MoveFileReplace(dir_.Child("a.db"), dir_.Child("c.db")));
  EXPECT_FALSE(FileExists(dir_.Child("a.db")));
  FileHandle f = OpenFile(dir_.Child("c.db"), kGenericRead, kShareRead, kOpenExisting, 0);
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(SizeOf(f), 1000u);
  CloseFile(f);
  EXPECT_FALSE(MoveFileReplace(dir_.Child("a.db"), dir_.Child("d.db")));
  EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST_F(Win32File, SystemErrorTextHasTheSystemsWordsAndKeepsTheLastError) {
  SetLastError(kErrorDiskFull);
  String text = SystemErrorText(kErrorFileNotFound);
  EXPECT_EQ(LastError(), kErrorDiskFull);
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
  EXPECT_NE(text, SystemErrorText(kErrorAccessDenied));
  EXPECT_TRUE(SystemErrorText(0x2BADF00Du).empty());
  EXPECT_EQ(LastError(), kErrorDiskFull);  // not even when the system had nothing to say
}

// The seam makes exactly the chosen call fail with the chosen code, before the system is touched.
TEST_F(Win32File, FaultSeamFailsTheNthCallOfEachKind) {
  String path = dir_.Child("seam.db");
  fault::Reset();
  fault::FailNth(fault::Op::Open, 2, kErrorTooManyOpenFiles);
  FileHandle f = OpenRW(path, kCreateAlways);
  ASSERT_TRUE(f.IsValid());
  EXPECT_FALSE(OpenRW(path, kOpenExisting).IsValid());
  EXPECT_EQ(LastError(), kErrorTooManyOpenFiles);
  FileHandle g = OpenRW(path, kOpenExisting);  // only the second one failed
  EXPECT_TRUE(g.IsValid());
  CloseFile(g);
  EXPECT_EQ(fault::Calls(fault::Op::Open), 3);

  fault::FailNth(fault::Op::Write, 2, kErrorDiskFull);
  uint32_t done = 99;
  EXPECT_TRUE(WriteFile(f, "abc", 3, &done));
  EXPECT_FALSE(WriteFile(f, "def", 3, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(LastError(), kErrorDiskFull);
  uint64_t size = 0;
  ASSERT_TRUE(GetFileSize(f, &size));
  EXPECT_EQ(size, 3u);  // the failed write wrote nothing

  fault::FailNth(fault::Op::Map, 1, kErrorNotEnoughMemory);
  EXPECT_FALSE(CreateMapping(f, kPageReadWrite, 1 << 16).IsValid());
  EXPECT_EQ(LastError(), kErrorNotEnoughMemory);
  ASSERT_TRUE(GetFileSize(f, &size));
  EXPECT_EQ(size, 3u);  // a failed mapping did not grow the file
  MappingHandle m = CreateMapping(f, kPageReadWrite, 1 << 16);
  ASSERT_TRUE(m.IsValid());

  fault::FailNth(fault::Op::View, 1, kErrorNotEnoughMemory);
  EXPECT_EQ(MapView(m, kMapWrite, 0, 0), nullptr);
  EXPECT_EQ(LastError(), kErrorNotEnoughMemory);
  void* v = MapView(m, kMapWrite, 0, 0);
  EXPECT_NE(v, nullptr);
  UnmapView(v);
  CloseMapping(m);

  CloseFile(f);
  // The seam's Write failures of copy, move and delete are checked by the backend-neutral suite.
}

}  // namespace
}  // namespace lvx::os
