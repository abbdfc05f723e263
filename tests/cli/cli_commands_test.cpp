// The lvx cache commands as a user runs them: exit codes, what they print, and what they refuse.
#include <gtest/gtest.h>

#include "cache/state_file.h"
#include "cli/cache_commands.h"
#include "cli/monitor_commands.h"
#include "platform/drive.h"
#include "platform/text.h"
#include "support/cache_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "support/test_drive.h"

namespace lvx::cli {
namespace {

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    drive_.MakeFile("docs/report.doc", 3000);
    drive_.MakeFile("docs/old/notes.txt", 10);
    drive_.MakeFile("music/a.mp3", 1);
  }
  // Runs a command and keeps what it printed.
  int Run(int (*command)(const Args&), Args args) {
    ::testing::internal::CaptureStdout();
    int result = command(args);
    out_ = ::testing::internal::GetCapturedStdout();
    return result;
  }
  std::string Mask() const {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", drive_.Mask());
    return text;
  }
  // The test drive's letter mapped to its folder where the drive is not a real one.
  Args Mapped(Args args) {
#ifndef _WIN32
    args.insert(args.end(), {"--map", std::string(1, char(drive_.Letter())) + "=" + drive_.HostRoot()});
#endif
    return args;
  }
  std::string Path(const std::string& relative) { return U8(drive_.Path(relative)); }

  test::TempDir dir_;
  test::TestDrive drive_;
  std::string cache_ = os::ToHostBytes(dir_.Path()) + "lumivex.db";
  std::string out_;
  test::RecordingMessages messages_;
};

TEST_F(CliTest, DamagedAndMissingFilesAreRefusedByDump) {
  test::CacheImage image;
  image.SetDrive(u'C', 0x7FFFFFF0);
  image.WriteTo(U16(cache_));
  EXPECT_EQ(Run(RunDump, {cache_}), kExitFailed);
  EXPECT_EQ(Run(RunDump, {dir_.HostPath() + "/no-such.db"}), kExitFailed);
}

// A deep chain of folders prints a bounded number of bytes per record: the output grows with the
// file, not with the square of the depth.
TEST_F(CliTest, TheDumpOfADeepChainGrowsWithTheFile) {
  constexpr uint32_t kDepth = 5000, kBlock = 24;  // one folder record "d" per block
  test::CacheImage image(cache::kDataStart + kDepth * kBlock);
  for (uint32_t i = 0, at = cache::kDataStart; i < kDepth; ++i, at += kBlock)
    image.Block(at, {{u"d", true, i + 1 < kDepth ? at + kBlock : cache::NO_BLOCK}});
  image.SetDrive(u'C', cache::kDataStart);
  image.SetU32(cache::kDrivesBusyOffset, 0x4);
  image.WriteTo(U16(cache_));
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(Run(RunDump, {cache_}), kExitOk);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("warning: a refresh of C: did not finish"), std::string::npos);
  EXPECT_NE(out_.find("[5000] d  -> NO_BLOCK"), std::string::npos);
  EXPECT_LT(out_.size(), 80u * kDepth);
}

#ifndef _WIN32
// A --map folder that does not exist would read as an empty drive: the command stops before it
// touches the cache.
TEST_F(CliTest, AMapToAMissingFolderIsRefused) {
  ASSERT_EQ(Run(RunBuild, Mapped({cache_, "--drives", Mask()})), kExitOk);
  auto contents = [this] { return test::CacheImage::ReadFrom(U16(cache_)); };
  const std::vector<uint8_t> before = contents();
  const std::string typo = std::string(1, char(drive_.Letter())) + "=" + dir_.HostPath() + "/typo";
  const struct {
    int (*command)(const Args&);
    Args args;
  } kRows[] = {{RunBuild, {cache_, "--drives", Mask(), "--map", typo}},
               {RunRefresh, {cache_, "#" + Path("docs/"), "--map", typo}},
               {RunWatch, {cache_, "--map", typo}}};
  for (const auto& row : kRows) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(row.command, row.args), kExitFailed);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("there is no folder " + dir_.HostPath() + "/typo"),
              std::string::npos);
    EXPECT_EQ(contents(), before);
  }
}
#endif

TEST_F(CliTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run(RunBuild, {}), kExitUsage);
  EXPECT_EQ(Run(RunBuild, {cache_, "--drives", "0xZZ"}), kExitUsage);
  EXPECT_EQ(Run(RunBuild, {cache_, "--drives", "123456789"}), kExitUsage) << "more than 32 bits";
  EXPECT_EQ(Run(RunBuild, {cache_, "--frobnicate"}), kExitUsage);
  EXPECT_EQ(Run(RunBuild, {cache_, "--map", "C"}), kExitUsage);
  EXPECT_EQ(Run(RunDump, {}), kExitUsage);
  EXPECT_EQ(Run(RunFind, {cache_}), kExitUsage);
  EXPECT_EQ(Run(RunRefresh, {cache_, "docs"}), kExitUsage) << "not a folder path";
  EXPECT_EQ(Run(RunCompact, {}), kExitUsage);
  EXPECT_EQ(Run(RunWatch, {cache_, "--drives", "x"}), kExitUsage);
}

TEST_F(CliTest, BuildDumpFindRefreshAndCompact) {
  ASSERT_EQ(Run(RunBuild, Mapped({cache_, "--drives", Mask()})), kExitOk);
  cache::StateFile state(cache::StateFile::BesideCacheFile(U16(cache_)));
  EXPECT_EQ(state.ReadState(u"UpdateCacheExit", u""), u"TRUE");
  ASSERT_EQ(Run(RunDump, {cache_}), kExitOk);
  EXPECT_NE(out_.find("DrivesDone   0xFFFFFFFF"), std::string::npos);
  EXPECT_NE(out_.find("report.doc  3 KB"), std::string::npos);
  EXPECT_NE(out_.find("4 folder blocks, 6 entries"), std::string::npos) << out_;
  ASSERT_EQ(Run(RunFind, {cache_, Path("DOCS/old")}), kExitOk);
  EXPECT_NE(out_.find("folder  old"), std::string::npos);
  EXPECT_EQ(Run(RunFind, {cache_, Path("docs/missing.txt")}), kExitFailed);
  EXPECT_EQ(out_, "NO_BLOCK\n");
  drive_.MakeFile("docs/new.txt", 1);
  ASSERT_EQ(Run(RunRefresh, Mapped({cache_, "#" + Path("docs/")})), kExitOk);
  EXPECT_EQ(out_, "refreshed " + Path("docs/") + "\n");
  ASSERT_EQ(Run(RunFind, {cache_, Path("docs/new.txt")}), kExitOk);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run(RunRefresh, {cache_, Path("nowhere/")}), kExitFailed);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lvx: not refreshed: the location is not in the cache\n");
  ASSERT_EQ(Run(RunCompact, {cache_}), kExitOk);
  ASSERT_EQ(Run(RunDump, {cache_}), kExitOk);
  EXPECT_NE(out_.find("FreeListHead NO_BLOCK"), std::string::npos);
  EXPECT_NE(out_.find("new.txt"), std::string::npos);
}

}  // namespace
}  // namespace lvx::cli
