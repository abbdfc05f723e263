// Files and mappings as the cache uses them, on every backend: each open's rights, mappings that
// grow a file, window views and their overlap, scratch files, files replaced under a reader, the
// path operations, the error kinds callers tell apart, and the fault seam in front of each call.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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
  uint64_t SizeOn(const String& path) { return std::filesystem::file_size(std::filesystem::path(path)); }
  std::string Read(const String& path) {
    File f = OpenToRead(path);
    std::string bytes(64, '\0');
    uint32_t done = 0;
    EXPECT_TRUE(ReadFrom(f, bytes.data(), uint32_t(bytes.size()), &done));
    Close(f);
    return bytes.substr(0, done);
  }
  void Write(const String& path, const std::string& bytes) {
    File f = CreateAnew(path);
    ASSERT_TRUE(f.IsOpen()) << LastError();
    ASSERT_TRUE(WriteTo(f, bytes.data(), uint32_t(bytes.size())));
    Close(f);
  }
  test::TempDir dir_;
};

TEST_F(FileTest, WindowViewsShareTheBytesOfAMappingThatGrewTheFile) {
  const uint32_t size = 2 * kWindow + 4000;  // window 2 is a short tail
  String path = dir_.Child("cache.db");
  File f = CreateAnew(path);
  Mapping m = Map(f, size, true);
  ASSERT_TRUE(m.IsOpen()) << LastError();
  EXPECT_EQ(SizeOn(path), size);
  uint8_t* w0 = View(m, 0, kWindow + kOverlap);
  uint8_t* w1 = View(m, kWindow, size - kWindow);  // to the end: its overlap would leave the mapping
  uint8_t* w2 = View(m, 2 * kWindow, 4000);
  ASSERT_TRUE(w0 && w1 && w2) << LastError();
  const char record[] = "a record across the end of window 0";
  std::memcpy(w0 + kWindow - 10, record, sizeof record);
  EXPECT_EQ(std::memcmp(w1, record + 10, sizeof record - 10), 0);
  w1[kWindow + 3999] = 0xA5;
  EXPECT_EQ(w2[3999], 0xA5);
  for (uint32_t offset : {4096u, 3 * kWindow}) EXPECT_EQ(View(m, offset, 16), nullptr) << offset;
  Unview(w0, kWindow + kOverlap);
  Unview(w1, size - kWindow);
  Unview(w2, 4000);
  Unmap(m);
  Close(f);

  // Reopened, the whole file maps at size 0 and holds what the views wrote; reading cannot write.
  f = OpenToRead(path);
  m = Map(f, 0, false);
  ASSERT_EQ(m.size, size);
  uint8_t* all = View(m, 0, size);
  ASSERT_NE(all, nullptr) << LastError();
  EXPECT_EQ(std::memcmp(all + kWindow - 10, record, sizeof record), 0);
  EXPECT_EQ(all[size - 1], 0xA5);
  Unview(all, size);
  Unmap(m);
  EXPECT_FALSE(Map(f, size + 4096, false).IsOpen()) << "a read-only file does not grow";
  EXPECT_EQ(SizeOn(path), size);
  Close(f);
  EXPECT_FALSE(f.IsOpen());
}

TEST_F(FileTest, OpensFindTheirFilesAndAnEmptyFileHasNothingToMap) {
  EXPECT_FALSE(OpenToRead(dir_.Child("missing")).IsOpen());
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_FALSE(OpenToUpdate(dir_.Child("no/such/folder/x")).IsOpen());
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  dir_.MakeFolder("folder");
  EXPECT_FALSE(OpenToRead(dir_.Child("folder")).IsOpen()) << "a folder is no file";
  Write(dir_.Child("empty"), "");
  File f = OpenToReadAlone(dir_.Child("empty"));
  ASSERT_TRUE(f.IsOpen());
  EXPECT_FALSE(Map(f, 0, false).IsOpen());
  Close(f);
  // An update writes where a reader of the same file sees it.
  Write(dir_.Child("u"), "0123456789");
  f = OpenToUpdate(dir_.Child("u"));
  ASSERT_TRUE(WriteTo(f, "ab", 2));
  Close(f);
  EXPECT_EQ(Read(dir_.Child("u")), "ab23456789");
}

TEST_F(FileTest, ScratchFilesVanishWhenClosedAndNewFilesReplaceOld) {
  String path = dir_.Child("cache.db.tmp");
  for (int round = 0; round < 2; ++round) {
    File f = CreateScratch(path);
    Mapping m = Map(f, 1 << 20, true);
    uint8_t* v = View(m, 0, 1 << 20);
    ASSERT_NE(v, nullptr) << LastError();
    v[5] = 'x';
    Unview(v, 1 << 20);
    Unmap(m);
    Close(f);
    EXPECT_EQ(KindOf(path), PathKind::Missing) << round;
  }
  Write(path, "old and long");
  Write(path, "new");
  EXPECT_EQ(Read(path), "new");
}

TEST_F(FileTest, AReadersViewKeepsItsBytesWhileAWriterMakesTheFileAnew) {
  String path = dir_.Child("cache.db");
  Write(path, std::string(65536, 'r'));
  File reader = OpenToRead(path);
  Mapping m = Map(reader, 0, false);
  uint8_t* view = View(m, 0, 65536);
  ASSERT_NE(view, nullptr);
  // Windows refuses the writer while the reader has the file; POSIX gives it a new file.
  File writer = CreateAnew(path);
  if (writer.IsOpen()) WriteTo(writer, "w", 1);
  Close(writer);
  EXPECT_EQ(view[65535], 'r');
  Unview(view, 65536);
  Unmap(m);
  Close(reader);
}

TEST_F(FileTest, PathOperations) {
  Write(dir_.Child("a"), "contents of a");
  std::filesystem::last_write_time(std::filesystem::path(dir_.Child("a")),
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(50));
  auto written = std::filesystem::last_write_time(std::filesystem::path(dir_.Child("a")));
  Write(dir_.Child("b"), "b");
  ASSERT_TRUE(CopyOver(dir_.Child("a"), dir_.Child("b")));
  EXPECT_EQ(Read(dir_.Child("b")), "contents of a");
  EXPECT_EQ(std::filesystem::last_write_time(std::filesystem::path(dir_.Child("b"))), written);
  ASSERT_TRUE(CopyOver(dir_.Child("a"), dir_.Child("c")));
  EXPECT_FALSE(CopyOver(dir_.Child("missing"), dir_.Child("d")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
  EXPECT_EQ(KindOf(dir_.Child("d")), PathKind::Missing);

  ASSERT_TRUE(MoveOver(dir_.Child("c"), dir_.Child("b")));  // replaces b
  EXPECT_EQ(KindOf(dir_.Child("c")), PathKind::Missing);
  EXPECT_EQ(Read(dir_.Child("b")), "contents of a");
  EXPECT_FALSE(MoveOver(dir_.Child("c"), dir_.Child("b")));
  ASSERT_TRUE(MakeFolder(dir_.Child("sub")));
  EXPECT_FALSE(MakeFolder(dir_.Child("sub")));
  EXPECT_EQ(ErrorOf(LastError()), Error::Exists);
  EXPECT_FALSE(MoveOver(dir_.Child("b"), dir_.Child("sub"))) << "a folder is never replaced";
  EXPECT_EQ(KindOf(dir_.Child("sub")), PathKind::Folder);
  EXPECT_TRUE(FileExists(dir_.Child("b")));
  EXPECT_FALSE(FileExists(dir_.Child("sub")));
  ASSERT_TRUE(RemoveFile(dir_.Child("b")));
  EXPECT_FALSE(RemoveFile(dir_.Child("b")));
  EXPECT_EQ(ErrorOf(LastError()), Error::NotFound);
}

// Every call that can fail is failed once through the seam: it reports the armed kind and changes
// nothing, and the next call works.
TEST_F(FileTest, TheFaultSeamFailsEachKindOfCall) {
  String path = dir_.Child("seam.db");
  Write(path, std::string(70000, 's'));
  File f = OpenToUpdate(path);
  Mapping m = Map(f, 0, true);
  uint32_t done = 0;
  char buffer[8];
  uint64_t size = 0;
  struct Case {
    fault::Op op;
    Error error;
    std::function<bool()> call;
  } cases[] = {
      {fault::Op::Open, Error::TooManyFiles, [&] { File g = OpenToRead(path); bool ok = g.IsOpen(); Close(g); return ok; }},
      {fault::Op::Open, Error::InUse, [&] { File g = CreateScratch(path + u".tmp"); bool ok = g.IsOpen(); Close(g); return ok; }},
      {fault::Op::Read, Error::IoError, [&] { return ReadFrom(f, buffer, 8, &done); }},
      {fault::Op::Read, Error::IoError, [&] { return SizeOf(f, &size); }},
      {fault::Op::Write, Error::DiskFull, [&] { return WriteTo(f, "w", 1); }},
      {fault::Op::Write, Error::DiskFull, [&] { return CopyOver(path, path + u".copy") && RemoveFile(path + u".copy"); }},
      {fault::Op::Write, Error::AccessDenied, [&] { return MakeFolder(dir_.Child("f")) && std::filesystem::remove(std::filesystem::path(dir_.Child("f"))); }},
      {fault::Op::Map, Error::DiskFull, [&] { Mapping g = Map(f, 200000, true); bool ok = g.IsOpen(); Unmap(g); return ok; }},
      {fault::Op::View, Error::OutOfMemory, [&] { uint8_t* v = View(m, 65536, 100); Unview(v, 100); return v != nullptr; }},
  };
  for (const Case& c : cases) {
    fault::FailNth(c.op, 1, c.error);
    EXPECT_FALSE(c.call()) << int(c.op);
    EXPECT_EQ(ErrorOf(LastError()), c.error) << int(c.op);
    EXPECT_TRUE(c.call()) << int(c.op) << " " << LastError();
  }
  EXPECT_EQ(SizeOn(path), 200000u) << "only the mapping that was not failed grew the file";
  fault::Reset();
  fault::FailFrom(fault::Op::Write, 2, Error::DiskFull);
  EXPECT_TRUE(WriteTo(f, "a", 1));
  EXPECT_FALSE(WriteTo(f, "b", 1));
  EXPECT_FALSE(WriteTo(f, "c", 1));
  EXPECT_EQ(fault::Calls(fault::Op::Write), 3);
  Unmap(m);
  Close(f);
}

TEST(Errors, KindsAndCodesRoundTripAndCodesHaveTexts) {
  for (Error e : {Error::None, Error::NotFound, Error::Exists, Error::AccessDenied, Error::InUse,
                  Error::DiskFull, Error::OutOfMemory, Error::TooManyFiles, Error::IoError}) {
    EXPECT_EQ(ErrorOf(CodeOf(e)), e) << int(e);
    String text = SystemErrorText(CodeOf(e));
    EXPECT_GT(text.size(), 4u) << int(e);
    EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << int(e);
  }
  SetLastError(CodeOf(Error::DiskFull));
  EXPECT_EQ(ErrorOf(LastError()), Error::DiskFull);
  EXPECT_EQ(SystemErrorText(0x3FFFFFFF), u"") << "no text for a code the system does not know";
}

}  // namespace
}  // namespace lvx::os
