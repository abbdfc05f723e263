// The mapped file's windows, growth and copies, and what its failures report and leave behind. A
// window that cannot be mapped ends the process: the writer sweeps (tests/indexer) check that.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "cache/map_file.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace lvx::cache {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t W = CDBMapFile::kWindowSize;

class MapFileTest : public ::testing::Test {
 protected:
  ~MapFileTest() override { os::fault::Reset(); }
  // A sparse file of the given length with the header of an empty cache; returns its engine path.
  std::u16string MakeFile(const std::string& name, uint64_t length) {
    uint8_t header[kHeaderSize] = {};
    for (auto [at, value] : {std::pair{kFormatWordOffset, kFormatWord}, {kDataEndOffset, kDataStart},
                             {kMappedSizeOffset, kDataStart}, {kFreeListHeadOffset, NO_BLOCK}})
      StoreU32(header + at, value);
    std::ofstream(Host(name), std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
    fs::resize_file(Host(name), length);
    return dir_.Path() + U16(name);
  }
  fs::path Host(const std::string& name) const { return fs::path(dir_.HostPath()) / name; }

  test::TempDir dir_;
  test::RecordingMessages messages_;
};

TEST_F(MapFileTest, WindowsAreMappedLazilyOverlapAndStopAtTheMapping) {
  CDBMapFile small;
  ASSERT_TRUE(small.OpenForReading(MakeFile("small.db", 3000000)));
  EXPECT_EQ(small.GetMapSize(), 3000000u) << "size 0 maps the whole file";
  EXPECT_EQ(small.GetPointer(NO_BLOCK), nullptr);
  EXPECT_EQ(small.GetPointer(3000001), nullptr);
  EXPECT_FALSE(small.IsWindowMapped(0)) << "nothing is mapped for an offset outside";
  EXPECT_NE(small.GetPointer(3000000), nullptr) << "the offset equal to the size is accepted";
  EXPECT_EQ(small.GetSpan(2999990, 11), nullptr) << "a span past the end";
  EXPECT_NE(small.GetSpan(2999990, 10), nullptr);
  EXPECT_EQ(small.GetSpan(0, CDBMapFile::kOverlap + 1), nullptr) << "longer than the overlap";

  std::u16string big = MakeFile("big.db", 3ull * W + 2 * CDBMapFile::kOverlap);
  const char record[] = "a record that crosses a window boundary";
  CDBMapFile writer, reader;
  ASSERT_TRUE(writer.OpenForUpdate(big));
  ASSERT_TRUE(writer.WriteBytes(3 * W - 10, record, sizeof record));
  writer.CloseMapFile(false);
  ASSERT_TRUE(reader.OpenForReading(big));
  ASSERT_NE(reader.GetPointer(3 * W + 5), nullptr);
  for (uint32_t w = 0; w < 4; ++w) EXPECT_EQ(reader.IsWindowMapped(w), w == 3) << "window " << w;
  EXPECT_EQ(std::memcmp(reader.GetPointer(3 * W - 10), record, sizeof record), 0) << "whole through window 2";
}

TEST_F(MapFileTest, GrowthKeepsSixteenMegabytesAheadUpToFortyWindows) {
  CDBMapFile file;
  ASSERT_TRUE(file.CreateNew(dir_.Path() + u"grow.db", W));
  EXPECT_EQ(fs::file_size(Host("grow.db")), W) << "a new file takes the mapping size";
  EXPECT_EQ(file.GetPointer(W), file.GetPointer(0) + W) << "the end of whole windows ends the last view";
  EXPECT_FALSE(file.IsWindowMapped(1));
  file.PutU32(100, 0xABCDEF01u);
  file.SetAppendPosition(35651584);
  ASSERT_TRUE(file.CheckMapFileSize());
  EXPECT_EQ(file.GetMapSize(), W);
  file.SetAppendPosition(35651585);
  ASSERT_TRUE(file.CheckMapFileSize());
  EXPECT_EQ(file.GetMapSize(), 85983232u);
  uint32_t value = 0;
  EXPECT_TRUE(file.GetU32(100, &value) && value == 0xABCDEF01u) << "contents survive the remapping";
  file.CloseMapFile(false);
  EXPECT_EQ(fs::file_size(Host("grow.db")), 85983232u);

  const uint32_t nearMax = CDBMapFile::kMaxMappingSize - 10 * 1048576;
  ASSERT_TRUE(file.CreateNew(dir_.Path() + u"huge.db", nearMax));
  file.SetAppendPosition(nearMax - 1048576);
  EXPECT_FALSE(file.CheckMapFileSize());
  EXPECT_TRUE(messages_.Contains(u"cannot grow beyond"));
  EXPECT_EQ(file.GetMapSize(), nearMax);
  EXPECT_EQ(file.GetPointer(CDBMapFile::kMaxMappingSize), nullptr);
  EXPECT_NE(file.GetPointer(nearMax - 4), nullptr) << "the file stays usable";
  EXPECT_FALSE(file.GrowMapping(CDBMapFile::kMaxMappingSize + 1));
  EXPECT_TRUE(file.IsOpen()) << "a refused growth keeps the mapping";
}

TEST_F(MapFileTest, CopiesAndWritesCrossWindowsWholly) {
  const uint32_t length = 2 * W;
  CDBMapFile source, target;
  ASSERT_TRUE(source.CreateNew(dir_.Path() + u"from.db", length + 4096));
  std::vector<uint8_t> pattern(4096);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i * 7 + 1);
  for (uint32_t at : {0u, W - 2048, W, length - 4096, length})
    ASSERT_TRUE(source.WriteBytes(at, pattern.data(), uint32_t(pattern.size())));
  EXPECT_FALSE(source.WriteBytes(length + 1, pattern.data(), 4096)) << "past the mapping";
  ASSERT_TRUE(target.CreateNew(dir_.Path() + u"to.db", length));
  ASSERT_TRUE(target.CopyFileContents(source, length));
  for (uint32_t w = 0; w < 3; ++w) EXPECT_FALSE(target.IsWindowMapped(w)) << "unmapped after the copy";
  for (uint32_t at : {0u, W - 2048, W, length - 4096})
    EXPECT_EQ(std::memcmp(target.GetPointer(at), pattern.data(), pattern.size()), 0) << at;
  target.CloseMapFile(false);
  EXPECT_EQ(fs::file_size(Host("to.db")), length);
}

TEST_F(MapFileTest, FailuresReportWhereAndCloseTheFile) {
  std::u16string path = MakeFile("file.db", kDataStart + 4096);
  struct {
    const char* what;
    std::function<bool(CDBMapFile&)> fail;
    std::vector<std::u16string> texts;  // parts of the one box; none: nothing is shown
  } rows[] = {
      {"no such file", [&](CDBMapFile& f) { return f.OpenForReading(path + u"x"); },
       {u"ErrorCode = 2, ", u"\r\n In CDBMapFile::OpenMapFile - 000"}},
      {"no mapping at the open",
       [&](CDBMapFile& f) {
         os::fault::FailNth(os::fault::Op::Map, 1, os::Error::OutOfMemory);
         return f.OpenForReading(path);
       },
       {u" In CDBMapFile::OpenMapFile - 001", u"RequestSize = \t135168 Bytes", u"Memory :\t"}},
      {"no mapping for growth",
       [&](CDBMapFile& f) {
         os::fault::FailNth(os::fault::Op::Map, 2, os::Error::OutOfMemory);
         return f.OpenForUpdate(path) && f.CheckMapFileSize();  // less than 16 MB ahead
       },
       {u" In CDBMapFile::CheckMapFileSize - 001"}},
  };
  for (auto& row : rows) {
    test::RecordingMessages messages;
    CDBMapFile file;
    EXPECT_FALSE(row.fail(file)) << row.what;
    os::fault::Reset();
    EXPECT_FALSE(file.IsOpen()) << row.what;
    EXPECT_EQ(file.GetPointer(0), nullptr) << row.what;
    ASSERT_EQ(messages.Count(), row.texts.empty() ? 0u : 1u) << row.what;
    for (const std::u16string& part : row.texts) EXPECT_TRUE(messages.Contains(part)) << row.what;
  }
  CDBMapFile again;
  EXPECT_TRUE(again.OpenForUpdate(path)) << "no handle was left open";
}

}  // namespace
}  // namespace lvx::cache
