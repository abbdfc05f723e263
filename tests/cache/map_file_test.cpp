// The mapped file's windows, growth and copies, and what its failures report and leave behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cache/map_file.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::cache {
namespace {

constexpr uint32_t kWindow = CDBMapFile::kWindowSize;

class MapFileTest : public ::testing::Test {
 protected:
  ~MapFileTest() override { os::fault::Reset(); }
  std::u16string Path(const char16_t* name) { return dir_.Path() + name; }
  // A sparse file of the given length.
  void MakeFile(const std::u16string& path, uint64_t length) {
    os::FileHandle f = os::OpenFile(path, os::kGenericRead | os::kGenericWrite, 0, os::kCreateAlways,
                                    os::kAttributeNormal);
    ASSERT_TRUE(f.IsValid());
    ASSERT_TRUE(os::SetFileSize(f, length));
    os::CloseFile(f);
  }
  bool OpenExisting(CDBMapFile& file, const std::u16string& path, bool write) {
    return file.OpenMapFile(path, os::kGenericRead | (write ? os::kGenericWrite : 0),
                            os::kShareRead | os::kShareWrite, os::kOpenExisting, os::kAttributeNormal,
                            write ? os::kPageReadWrite : os::kPageReadOnly, 0,
                            write ? os::kMapWrite : os::kMapRead);
  }
  bool CreateNew(CDBMapFile& file, const std::u16string& path, uint32_t size) {
    return file.OpenMapFile(path, os::kGenericRead | os::kGenericWrite, os::kShareRead,
                            os::kCreateAlways, os::kAttributeNormal, os::kPageReadWrite, size,
                            os::kMapWrite);
  }
  uint64_t FileLength(const std::u16string& path) {
    os::FileHandle f = os::OpenFile(path, os::kGenericRead, os::kShareRead | os::kShareWrite,
                                    os::kOpenExisting, os::kAttributeNormal);
    uint64_t size = 0;
    EXPECT_TRUE(f.IsValid());
    EXPECT_TRUE(os::GetFileSize(f, &size));
    os::CloseFile(f);
    return size;
  }

  test::TempDir dir_;
  test::RecordingMessages messages_;
};

TEST_F(MapFileTest, PointersOutsideTheMappingAreNullAndMapNothing) {
  std::u16string path = Path(u"small.db");
  MakeFile(path, 3000000);
  CDBMapFile file;
  ASSERT_TRUE(OpenExisting(file, path, false));
  EXPECT_EQ(file.GetMapSize(), 3000000u) << "size 0 maps the whole file";
  EXPECT_EQ(file.GetPointer(NO_BLOCK), nullptr);
  EXPECT_EQ(file.GetPointer(3000001), nullptr);
  EXPECT_FALSE(file.IsWindowMapped(0));
  EXPECT_NE(file.GetPointer(3000000), nullptr) << "the offset equal to the size is accepted";
  EXPECT_EQ(file.GetPointer(2999999)[0], 0) << "the last byte is readable";
  EXPECT_EQ(file.GetSpan(2999990, 11), nullptr) << "a span past the end";
  EXPECT_NE(file.GetSpan(2999990, 10), nullptr);
  EXPECT_EQ(file.GetSpan(0, CDBMapFile::kOverlap + 1), nullptr) << "longer than the overlap";
}

TEST_F(MapFileTest, WindowsAreMappedLazilyAndOverlapIntoTheNext) {
  std::u16string path = Path(u"big.db");
  MakeFile(path, 3ull * kWindow + 2 * CDBMapFile::kOverlap);
  const char record[] = "a record that crosses a window boundary";
  {
    CDBMapFile writer;
    ASSERT_TRUE(OpenExisting(writer, path, true));
    ASSERT_TRUE(writer.WriteBytes(3 * kWindow - 10, record, sizeof record));
  }
  CDBMapFile file;
  ASSERT_TRUE(OpenExisting(file, path, false));
  uint8_t* p = file.GetPointer(3 * kWindow + 5);
  ASSERT_NE(p, nullptr);
  for (uint32_t w = 0; w < 4; ++w) EXPECT_EQ(file.IsWindowMapped(w), w == 3) << "window " << w;
  p = file.GetPointer(3 * kWindow - 10);
  EXPECT_TRUE(file.IsWindowMapped(2));
  EXPECT_EQ(std::memcmp(p, record, sizeof record), 0) << "read whole through window 2's view";
}

TEST_F(MapFileTest, NewFileTakesTheMappingSize) {
  std::u16string path = Path(u"new.db");
  CDBMapFile file;
  ASSERT_TRUE(CreateNew(file, path, kWindow));
  EXPECT_EQ(file.GetMapSize(), kWindow);
  file.CloseMapFile(false);
  EXPECT_EQ(FileLength(path), kWindow);
}

TEST_F(MapFileTest, TheEndOfAMappingOfWholeWindowsIsTheEndOfTheLastView) {
  std::u16string path = Path(u"whole.db");
  CDBMapFile file;
  ASSERT_TRUE(CreateNew(file, path, kWindow));
  uint8_t* end = file.GetPointer(kWindow);
  ASSERT_NE(end, nullptr) << "no view of its own is mapped for it";
  EXPECT_EQ(end, file.GetPointer(0) + kWindow);
  EXPECT_FALSE(file.IsWindowMapped(1));
}

TEST_F(MapFileTest, CheckMapFileSizeKeepsSixteenMegabytesAhead) {
  std::u16string path = Path(u"grow.db");
  CDBMapFile file;
  ASSERT_TRUE(CreateNew(file, path, kWindow));
  file.PutU32(100, 0xABCDEF01u);
  file.SetAppendPosition(35651584);
  ASSERT_TRUE(file.CheckMapFileSize());
  EXPECT_EQ(file.GetMapSize(), kWindow);
  file.SetAppendPosition(35651585);
  ASSERT_TRUE(file.CheckMapFileSize());
  EXPECT_EQ(file.GetMapSize(), 85983232u);
  uint32_t value = 0;
  ASSERT_TRUE(file.GetU32(100, &value));
  EXPECT_EQ(value, 0xABCDEF01u) << "contents survive the remapping";
  file.PutU32(85983228, 7);
  file.CloseMapFile(false);
  EXPECT_EQ(FileLength(path), 85983232u);
}

TEST_F(MapFileTest, CopyFileContentsCopiesExactlyTheLength) {
  std::u16string from = Path(u"from.db"), to = Path(u"to.db");
  const uint32_t length = 2 * kWindow;
  CDBMapFile source, target;
  ASSERT_TRUE(CreateNew(source, from, length + 4096));
  std::vector<uint8_t> pattern(4096);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i * 7 + 1);
  for (uint32_t at : {0u, kWindow - 2048, kWindow, length - 4096, length})
    ASSERT_TRUE(source.WriteBytes(at, pattern.data(), uint32_t(pattern.size())));
  ASSERT_TRUE(CreateNew(target, to, length));
  ASSERT_TRUE(target.CopyFileContents(source, length));
  for (uint32_t w = 0; w < 3; ++w) EXPECT_FALSE(target.IsWindowMapped(w)) << "unmapped after copy";
  for (uint32_t at : {0u, kWindow - 2048, kWindow, length - 4096})
    EXPECT_EQ(std::memcmp(target.GetPointer(at), pattern.data(), pattern.size()), 0) << at;
  EXPECT_EQ(std::memcmp(target.GetPointer(0), source.GetPointer(0), 1 << 20), 0);
  target.CloseMapFile(false);
  EXPECT_EQ(FileLength(to), length);
}

TEST_F(MapFileTest, WriteBytesAcrossAWindowBoundaryWritesEveryByte) {
  std::u16string path = Path(u"write.db");
  CDBMapFile file;
  ASSERT_TRUE(CreateNew(file, path, 2 * kWindow));
  std::vector<uint8_t> bytes(200);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(255 - i);
  ASSERT_TRUE(file.WriteBytes(52428750, bytes.data(), 200));
  EXPECT_FALSE(file.WriteBytes(2 * kWindow - 100, bytes.data(), 200)) << "past the mapping";
  file.CloseMapFile(false);
  CDBMapFile reader;
  ASSERT_TRUE(OpenExisting(reader, path, false));
  EXPECT_EQ(std::memcmp(reader.GetPointer(52428750), bytes.data(), 200), 0);
}

TEST_F(MapFileTest, GrowthBeyondFortyWindowsIsRefused) {
  std::u16string path = Path(u"huge.db");
  CDBMapFile file;
  const uint32_t nearMax = CDBMapFile::kMaxMappingSize - 10 * 1048576;
  ASSERT_TRUE(CreateNew(file, path, nearMax));
  file.SetAppendPosition(nearMax - 1048576);
  EXPECT_FALSE(file.CheckMapFileSize());
  EXPECT_TRUE(messages_.Contains(u"cannot grow beyond"));
  EXPECT_EQ(file.GetMapSize(), nearMax);
  EXPECT_EQ(file.GetPointer(CDBMapFile::kMaxMappingSize), nullptr);
  EXPECT_NE(file.GetPointer(nearMax - 4), nullptr) << "the file stays usable";
}

TEST_F(MapFileTest, OpenFailuresReportWhereAndLeaveNothingOpen) {
  std::u16string path = Path(u"missing.db");
  CDBMapFile file;
  EXPECT_FALSE(OpenExisting(file, path, false));
  EXPECT_TRUE(messages_.Contains(u"ErrorCode = 2, "));
  EXPECT_TRUE(messages_.Contains(u"\r\n In CDBMapFile::OpenMapFile - 000"));
  EXPECT_FALSE(file.IsOpen());

  MakeFile(path, 4096);
  os::fault::FailNth(os::fault::Op::Map, 1, os::kErrorNotEnoughMemory);
  EXPECT_FALSE(OpenExisting(file, path, false));
  EXPECT_TRUE(messages_.Contains(u" In CDBMapFile::OpenMapFile - 001"));
  EXPECT_TRUE(messages_.Contains(u"RequestSize = \t4096 Bytes"));
  EXPECT_TRUE(messages_.Contains(u"Memory :\t"));
  EXPECT_FALSE(file.IsOpen());
  os::fault::Reset();
  // The file handle was closed: the file can be deleted and opened again.
  EXPECT_TRUE(OpenExisting(file, path, false));
}

TEST_F(MapFileTest, GrowthFailuresCloseTheFile) {
  std::u16string path = Path(u"growfail.db");
  CDBMapFile file;
  ASSERT_TRUE(CreateNew(file, path, kWindow));
  file.SetAppendPosition(kWindow - 1);
  os::fault::FailNth(os::fault::Op::Map, 1, os::kErrorNotEnoughMemory);
  EXPECT_FALSE(file.CheckMapFileSize());
  EXPECT_TRUE(messages_.Contains(u" In CDBMapFile::CheckMapFileSize - 001"));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.GetPointer(0), nullptr);

  size_t before = messages_.Count();
  ASSERT_TRUE(CreateNew(file, path, kWindow));
  os::fault::FailNth(os::fault::Op::Map, 1, os::kErrorNotEnoughMemory);
  EXPECT_FALSE(file.ResizeMapping(2 * kWindow));
  EXPECT_EQ(messages_.Count(), before) << "ResizeMapping tells only its caller";
  EXPECT_FALSE(file.IsOpen());
}

static_assert(CDBMapFile::kMappingFailedExitCode != 0, "a failed mapping must not end as a success");

TEST_F(MapFileTest, AFailedWindowMappingEndsTheProcessWithAFailureCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::u16string path = Path(u"view.db");
  MakeFile(path, 4096);
  EXPECT_EXIT(
      {
        CDBMapFile file;
        if (!OpenExisting(file, path, false)) std::exit(3);
        os::fault::FailNth(os::fault::Op::View, 1, os::kErrorNotEnoughMemory);
        file.GetPointer(0);
        std::exit(4);
      },
      ::testing::ExitedWithCode(int(CDBMapFile::kMappingFailedExitCode)), "");

}

}  // namespace
}  // namespace lvx::cache
