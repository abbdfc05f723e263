// Files and mappings as the cache file uses them, on every backend: mappings that grow a file,
// windowed views and their limits, delete-on-close scratch files, the error codes callers branch
// on, and the fault seam in front of the calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/fault.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace lvx::os {
namespace {

constexpr uint32_t kWindow = 52428800;  // one cache window
constexpr uint32_t kOverlap = 1048576;  // a view's reach into the next window

class FileTest : public ::testing::Test {
 protected:
  void TearDown() override { fault::Reset(); }

  FileHandle OpenRW(const String& path, uint32_t disposition, uint32_t flags = kAttributeNormal) {
    // Shared, so that a test can look at the file through a second handle on Windows too.
    return OpenFile(path, kGenericRead | kGenericWrite, kShareRead | kShareWrite, disposition,
                    flags);
  }
  FileHandle OpenRead(const String& path) {
    return OpenFile(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting, kAttributeNormal);
  }
  uint64_t SizeOf(const String& path) {
    FileHandle f = OpenRead(path);
    uint64_t size = ~0ull;
    EXPECT_TRUE(f.IsValid()) << LastError();
    EXPECT_TRUE(GetFileSize(f, &size));
    CloseFile(f);
    return size;
  }

  test::TempDir dir_;
};

TEST_F(FileTest, ViewsAtWindowOffsetsShareBytesAndStayInsideTheMapping) {
  const uint32_t mapSize = 2 * kWindow + 4000;  // window 2 is a short tail
  String path = dir_.Child("cache.db");
  FileHandle f = OpenRW(path, kCreateAlways);
  ASSERT_TRUE(f.IsValid()) << LastError();
  MappingHandle m = CreateMapping(f, kPageReadWrite, mapSize);
  ASSERT_TRUE(m.IsValid()) << LastError();
  EXPECT_EQ(SizeOf(path), uint64_t(mapSize));  // the mapping grew the empty file

  auto* w0 = static_cast<uint8_t*>(MapView(m, kMapWrite, 0, kWindow + kOverlap));
  auto* w2 = static_cast<uint8_t*>(MapView(m, kMapWrite, 2 * kWindow, 0));
  ASSERT_NE(w0, nullptr) << LastError();
  ASSERT_NE(w2, nullptr) << LastError();
  // Window 1's full view would run past the mapping: refused, and the rest of it maps instead.
  EXPECT_EQ(MapView(m, kMapWrite, kWindow, kWindow + kOverlap), nullptr);
  EXPECT_NE(LastError(), kErrorSuccess);
  auto* w1 = static_cast<uint8_t*>(MapView(m, kMapWrite, kWindow, 0));
  ASSERT_NE(w1, nullptr) << LastError();

  const char record[] = "a record across the end of window 0";
  std::memcpy(w0 + kWindow - 10, record, sizeof record);
  EXPECT_EQ(std::memcmp(w1, record + 10, sizeof record - 10), 0);
  w1[kWindow + 3999] = 0xA5;  // the mapping's last byte, through window 1 ...
  EXPECT_EQ(w2[3999], 0xA5);  // ... is window 2's last byte

  // Offsets at or past the end, and offsets off the allocation grid, map nothing.
  EXPECT_EQ(MapView(m, kMapRead, 3 * kWindow, 0), nullptr);
  EXPECT_NE(LastError(), kErrorSuccess);
  EXPECT_EQ(MapView(m, kMapRead, 2 * kWindow, 4001), nullptr);
  EXPECT_EQ(MapView(m, kMapRead, 4096, 10), nullptr);

  EXPECT_TRUE(UnmapView(w0));
  EXPECT_TRUE(UnmapView(w1));
  EXPECT_TRUE(UnmapView(w2));
  EXPECT_FALSE(UnmapView(w2));  // not a view any more
  EXPECT_TRUE(CloseMapping(m));
  EXPECT_TRUE(CloseFile(f));

  // Size 0 maps the whole file as it now is, and the bytes written through views are there.
  f = OpenRead(path);
  ASSERT_TRUE(f.IsValid());
  m = CreateMapping(f, kPageReadOnly, 0);
  ASSERT_TRUE(m.IsValid()) << LastError();
  auto* all = static_cast<const uint8_t*>(MapView(m, kMapRead, 0, 0));
  ASSERT_NE(all, nullptr) << LastError();
  EXPECT_EQ(std::memcmp(all + kWindow - 10, record, sizeof record), 0);
  EXPECT_EQ(all[mapSize - 1], 0xA5);
  // A read-only mapping gives no writable view.
  EXPECT_EQ(MapView(m, kMapWrite, 0, 0), nullptr);
  EXPECT_TRUE(UnmapView(const_cast<uint8_t*>(all)));
  CloseMapping(m);
  CloseFile(f);
}

TEST_F(FileTest, MappingSizesAgainstTheFileLength) {
  dir_.MakeFile("three.db", 3000000);
  String path = dir_.Child("three.db");
  FileHandle f = OpenRead(path);
  ASSERT_TRUE(f.IsValid());
  // A read-only file cannot be grown by its mapping, nor mapped for writing.
  EXPECT_FALSE(CreateMapping(f, kPageReadOnly, 4000000).IsValid());
  EXPECT_NE(LastError(), kErrorSuccess);
  EXPECT_FALSE(CreateMapping(f, kPageReadWrite, 0).IsValid());
  EXPECT_EQ(SizeOf(path), 3000000u);
  // A mapping smaller than the file leaves the file as it is.
  MappingHandle m = CreateMapping(f, kPageReadOnly, 1000);
  ASSERT_TRUE(m.IsValid()) << LastError();
  EXPECT_EQ(MapView(m, kMapRead, 0, 1001), nullptr);
  void* v = MapView(m, kMapRead, 0, 1000);
  EXPECT_NE(v, nullptr);
  UnmapView(v);
  CloseMapping(m);
  CloseFile(f);
  EXPECT_EQ(SizeOf(path), 3000000u);

  // An empty file has nothing to map at size 0.
  dir_.MakeFile("empty.db", 0);
  f = OpenRead(dir_.Child("empty.db"));
  ASSERT_TRUE(f.IsValid());
  EXPECT_FALSE(CreateMapping(f, kPageReadOnly, 0).IsValid());
  EXPECT_NE(LastError(), kErrorSuccess);
  CloseFile(f);
}

TEST_F(FileTest, MappingOutlivesItsFileHandle) {
  FileHandle f = OpenRW(dir_.Child("m.db"), kCreateAlways);
  ASSERT_TRUE(f.IsValid());
  MappingHandle m = CreateMapping(f, kPageReadWrite, 65536);
  ASSERT_TRUE(m.IsValid());
  CloseFile(f);
  auto* v = static_cast<uint8_t*>(MapView(m, kMapWrite, 0, 0));
  ASSERT_NE(v, nullptr) << LastError();
  v[65535] = 7;
  CloseMapping(m);
  EXPECT_EQ(v[65535], 7);  // a view outlives its mapping handle too
  UnmapView(v);
  EXPECT_EQ(SizeOf(dir_.Child("m.db")), 65536u);
}

TEST_F(FileTest, DeleteOnCloseFileExistsWhileOpenAndCanBeMadeAgain) {
  String path = dir_.Child("cache.db.tmp");
  for (int round = 0; round < 2; ++round) {
    FileHandle f = OpenRW(path, kCreateAlways, kFlagDeleteOnClose | kAttributeNormal);
    ASSERT_TRUE(f.IsValid()) << LastError();
    EXPECT_TRUE(FileExists(path));
    MappingHandle m = CreateMapping(f, kPageReadWrite, 1 << 20);
    ASSERT_TRUE(m.IsValid()) << LastError();
    auto* v = static_cast<uint8_t*>(MapView(m, kMapWrite, 0, 0));
    ASSERT_NE(v, nullptr);
    std::memset(v, 0xCD, 4096);
    // The handle reads what the view wrote.
    uint8_t back[16] = {};
    uint32_t done = 0;
    ASSERT_TRUE(ReadFile(f, back, sizeof back, &done));
    EXPECT_EQ(done, sizeof back);
    EXPECT_EQ(back[15], 0xCD);
    UnmapView(v);
    CloseMapping(m);
    EXPECT_TRUE(CloseFile(f));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(GetFileAttributes(path), kInvalidAttributes);
    EXPECT_EQ(LastError(), kErrorFileNotFound);
  }
  // An ordinary file is kept.
  FileHandle f = OpenRW(path, kCreateNew);
  ASSERT_TRUE(f.IsValid()) << LastError();
  CloseFile(f);
  EXPECT_TRUE(FileExists(path));
}

TEST_F(FileTest, DispositionsAndTheErrorCodesCallersTestFor) {
  String path = dir_.Child("d.db");
  EXPECT_FALSE(OpenRW(path, kOpenExisting).IsValid());
  EXPECT_EQ(LastError(), kErrorFileNotFound);
  FileHandle f = OpenRW(path, kOpenAlways);  // made anew
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(LastError(), kErrorSuccess);
  ASSERT_TRUE(WriteFile(f, "0123456789", 10, nullptr));
  CloseFile(f);
  f = OpenRW(path, kOpenAlways);  // kept as it was
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(LastError(), kErrorAlreadyExists);
  CloseFile(f);
  EXPECT_EQ(SizeOf(path), 10u);
  f = OpenRW(path, kCreateAlways);  // truncated
  ASSERT_TRUE(f.IsValid());
  EXPECT_EQ(LastError(), kErrorAlreadyExists);
  CloseFile(f);
  EXPECT_EQ(SizeOf(path), 0u);
  EXPECT_FALSE(OpenRW(path, kCreateNew).IsValid());
  EXPECT_EQ(LastError(), kErrorFileExists);

  // A missing folder on the way is a missing path, not a missing file.
  String deep = dir_.Child("no/such/folder/x.db");
  EXPECT_FALSE(OpenRW(deep, kCreateAlways).IsValid());
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  EXPECT_EQ(GetFileAttributes(deep), kInvalidAttributes);
  EXPECT_EQ(LastError(), kErrorPathNotFound);
  EXPECT_FALSE(CreateDirectory(dir_.Child("no/such")));
  EXPECT_EQ(LastError(), kErrorPathNotFound);

  // Folders: not files, not openable as files, removable only when empty.
  ASSERT_TRUE(CreateDirectory(dir_.Child("sub")));
  EXPECT_FALSE(CreateDirectory(dir_.Child("sub")));
  EXPECT_EQ(LastError(), kErrorAlreadyExists);
  EXPECT_NE(GetFileAttributes(dir_.Child("sub")) & kAttributeDirectory, 0u);
  EXPECT_FALSE(FileExists(dir_.Child("sub")));
  EXPECT_FALSE(OpenRead(dir_.Child("sub")).IsValid());
  EXPECT_EQ(LastError(), kErrorAccessDenied);
  dir_.MakeFile("sub/inner", 1);
  EXPECT_FALSE(RemoveDirectory(dir_.Child("sub")));
  EXPECT_EQ(LastError(), kErrorDirectoryNotEmpty);
  EXPECT_FALSE(RemoveDirectory(dir_.Child("sub/inner")));  // a file is no folder
  EXPECT_TRUE(DeleteFile(dir_.Child("sub/inner")));
  EXPECT_TRUE(RemoveDirectory(dir_.Child("sub")));
  EXPECT_FALSE(DeleteFile(dir_.Child("sub/inner")));
  EXPECT_EQ(LastError(), kErrorPathNotFound);

  EXPECT_FALSE(CloseFile(FileHandle{}));
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
  EXPECT_FALSE(CreateMapping(FileHandle{}, kPageReadOnly, 0).IsValid());
  EXPECT_EQ(LastError(), kErrorInvalidHandle);
}

TEST_F(FileTest, CopyAndMoveKeepContentsAndNeverEatTheSource) {
  String a = dir_.Child("a.db"), b = dir_.Child("b.db"), c = dir_.Child("c.db");
  FileHandle f = OpenRW(a, kCreateNew);
  ASSERT_TRUE(f.IsValid());
  std::string content(300000, 'x');
  content += "end";
  ASSERT_TRUE(WriteFile(f, content.data(), uint32_t(content.size()), nullptr));
  CloseFile(f);
  dir_.MakeFile("b.db", 5);

  EXPECT_FALSE(CopyFile(a, b, true));
  EXPECT_EQ(LastError(), kErrorFileExists);
  EXPECT_EQ(SizeOf(b), 5u);
  ASSERT_TRUE(CopyFile(a, b, false));
  EXPECT_EQ(SizeOf(b), content.size());
  // A copy onto itself fails and leaves the file whole.
  EXPECT_FALSE(CopyFile(a, a, false));
  EXPECT_EQ(SizeOf(a), content.size());
  EXPECT_FALSE(CopyFile(dir_.Child("missing"), c, false));
  EXPECT_EQ(LastError(), kErrorFileNotFound);
  EXPECT_FALSE(FileExists(c));

  // The move replaces a file, as restoring a backup needs, but never a folder.
  dir_.MakeFile("c.db", 1);
  ASSERT_TRUE(MoveFileReplace(b, c));
  EXPECT_FALSE(FileExists(b));
  EXPECT_EQ(SizeOf(c), content.size());
  dir_.MakeFolder("folder");
  EXPECT_FALSE(MoveFileReplace(c, dir_.Child("folder")));
  EXPECT_TRUE(FileExists(c));
  EXPECT_FALSE(MoveFileReplace(b, c));
  EXPECT_EQ(LastError(), kErrorFileNotFound);

  f = OpenRead(c);
  ASSERT_TRUE(f.IsValid());
  std::string back(content.size() + 10, '\0');
  uint32_t done = 0;
  ASSERT_TRUE(ReadFile(f, back.data(), uint32_t(back.size()), &done));
  back.resize(done);
  EXPECT_EQ(back, content);
  CloseFile(f);
}

TEST_F(FileTest, FaultSeamFailsTheNthOpenMapViewAndWrite) {
  String path = dir_.Child("seam.db");
  fault::Reset();
  fault::FailNth(fault::Op::Open, 2, kErrorTooManyOpenFiles);
  FileHandle f = OpenRW(path, kCreateAlways);
  ASSERT_TRUE(f.IsValid());
  EXPECT_FALSE(OpenRead(path).IsValid());
  EXPECT_EQ(LastError(), kErrorTooManyOpenFiles);
  FileHandle g = OpenRead(path);
  EXPECT_TRUE(g.IsValid());
  CloseFile(g);
  EXPECT_EQ(fault::Calls(fault::Op::Open), 3);

  fault::FailNth(fault::Op::Map, 1, kErrorDiskFull);
  EXPECT_FALSE(CreateMapping(f, kPageReadWrite, 1 << 20).IsValid());
  EXPECT_EQ(LastError(), kErrorDiskFull);
  uint64_t size = 1;
  ASSERT_TRUE(GetFileSize(f, &size));
  EXPECT_EQ(size, 0u);  // the failed mapping did not grow the file
  MappingHandle m = CreateMapping(f, kPageReadWrite, 1 << 20);
  ASSERT_TRUE(m.IsValid());

  fault::FailNth(fault::Op::View, 2, kErrorNotEnoughMemory);
  void* first = MapView(m, kMapWrite, 0, 0);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(MapView(m, kMapWrite, 0, 0), nullptr);
  EXPECT_EQ(LastError(), kErrorNotEnoughMemory);
  UnmapView(first);
  CloseMapping(m);

  fault::FailFrom(fault::Op::Write, 2, kErrorDiskFull);
  EXPECT_TRUE(WriteFile(f, "abc", 3, nullptr));
  uint32_t done = 99;
  EXPECT_FALSE(WriteFile(f, "def", 3, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(SetFileSize(f, 0));
  EXPECT_FALSE(CopyFile(path, dir_.Child("copy.db"), false));
  EXPECT_FALSE(MoveFileReplace(path, dir_.Child("moved.db")));
  CloseFile(f);
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_EQ(LastError(), kErrorDiskFull);
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists(dir_.Child("copy.db")));
  EXPECT_FALSE(FileExists(dir_.Child("moved.db")));
  fault::Reset();
  EXPECT_TRUE(DeleteFile(path));
}

}  // namespace
}  // namespace lvx::os
