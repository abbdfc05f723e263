// lvx search, run in process: arguments to request, the thread's hand-over, status line and hits.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/search_command.h"
#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using Args = cli::Args;

// 2020-01-01T00:00:00Z as a FILETIME.
constexpr uint64_t kNewYear2020 = 132223104000000000ull;
constexpr uint64_t kHour = 36000000000ull;

class SearchCommand : public SearchFixture {
 protected:
  void SetUp() override {
    TreeImage image = StandardImage();
    Write(image);
  }

  // Runs the command; the hits and the status line come back as text.
  int Run(Args args) {
    args.insert(args.begin(), cachePath_);
    const std::string outPath = dir_.HostPath() + "/out.txt", errPath = dir_.HostPath() + "/err.txt";
    std::FILE* out = std::fopen(outPath.c_str(), "wb");
    std::FILE* err = std::fopen(errPath.c_str(), "wb");
    int code = cli::RunSearchCommand(args, out, err);
    std::fclose(out);
    std::fclose(err);
    out_ = Slurp(outPath);
    err_ = Slurp(errPath);
    return code;
  }
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string out_, err_;
};

TEST_F(SearchCommand, PrintsHitsAndTheStatusLine) {
  ASSERT_EQ(Run({"*.mp3"}), 0);
  EXPECT_EQ(out_, "C:\\Music\\song.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\Old\\x.mp3\nC:\\z.mp3.mp3\nD:\\d.mp3\n");
  EXPECT_TRUE(std::regex_match(err_, std::regex("5 items found \\(25KB\\), in [0-9]+\\.[0-9]{2}s\n"))) << err_;
  ASSERT_EQ(Run({"*.mp3", "--count"}), 0);
  EXPECT_EQ(out_, "5\n");
  ASSERT_EQ(Run({"*.mp3", "--format", "[FILENAME] in [FILEDIR] ([FILENAME])", "--location", "C:\\Music\\Old"}), 0);
  EXPECT_EQ(out_, "x.mp3 in C:\\Music\\Old\\ (x.mp3)\n");
}

TEST_F(SearchCommand, EmptyPatternFindsNothing) {
  ASSERT_EQ(Run({""}), 0);
  EXPECT_EQ(out_, "");
  EXPECT_TRUE(std::regex_match(err_, std::regex("0 items found \\(0KB\\), in [0-9]+\\.[0-9]{2}s\n"))) << err_;
}

TEST_F(SearchCommand, DefaultDrivesAreTheCachedOnes) {
  ASSERT_EQ(Run({"?:"}), 0);
  EXPECT_EQ(out_, "C:\nD:\n");
  ASSERT_EQ(Run({"?:", "--drives", "0xFFFFFFFF", "--count"}), 0);
  EXPECT_EQ(out_, "26\n");
  ASSERT_EQ(Run({"*.mp3", "--drives", "8"}), 0);
  EXPECT_EQ(out_, "D:\\d.mp3\n");
}

TEST_F(SearchCommand, FiltersInTheMainWindowsOrder) {
  ASSERT_EQ(Run({"*", "--folders", "--min-kb", "15"}), 0);
  EXPECT_EQ(out_, "C:\\Music\nC:\n");
  ASSERT_EQ(Run({"*", "--files", "--max-kb", "3", "--location", "C:\\"}), 0);
  EXPECT_EQ(out_, "C:\\a.txt\nC:\\Music\\LOUD.MP3\nC:\\z.mp3.mp3\n");
  ASSERT_EQ(Run({"*", "--no-subdirs", "--location", "C:\\Music"}), 0);
  EXPECT_EQ(out_, "C:\\Music\\song.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\Old\n");
}

TEST_F(SearchCommand, SortKeysAndFlip) {
  ASSERT_EQ(Run({"*.mp3", "--sort", "name"}), 0);
  EXPECT_EQ(out_, "D:\\d.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\song.mp3\nC:\\Music\\Old\\x.mp3\nC:\\z.mp3.mp3\n");
  ASSERT_EQ(Run({"*.mp3", "--sort", "size"}), 0);  // largest first
  EXPECT_EQ(out_, "C:\\Music\\song.mp3\nD:\\d.mp3\nC:\\Music\\Old\\x.mp3\nC:\\z.mp3.mp3\nC:\\Music\\LOUD.MP3\n");
  ASSERT_EQ(Run({"*.mp3", "--sort", "size", "--flip"}), 0);
  EXPECT_EQ(out_, "C:\\Music\\LOUD.MP3\nC:\\z.mp3.mp3\nC:\\Music\\Old\\x.mp3\nD:\\d.mp3\nC:\\Music\\song.mp3\n");
  ASSERT_EQ(Run({"*.mp3", "--sort", "date"}), 0);  // newest first
  EXPECT_EQ(out_, "D:\\d.mp3\nC:\\z.mp3.mp3\nC:\\Music\\Old\\x.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\song.mp3\n");
  ASSERT_EQ(Run({"*.mp3", "--sort", "location", "--flip", "--count"}), 0);
  EXPECT_EQ(out_, "5\n");
}

TEST_F(SearchCommand, InvalidLocationWarnsAndStillSucceeds) {
  ASSERT_EQ(Run({"x.mp3;", "--location", "C:\\nowhere"}), 0);
  EXPECT_EQ(out_, "C:\\Music\\Old\\x.mp3\n");
  EXPECT_EQ(err_, " [WARNING] : The search location is invalid!! Default to be My Computer! \n");
}

TEST_F(SearchCommand, FailuresAndUsage) {
  RecordingMessages messages;
  const std::string present = cachePath_;
  cachePath_ = dir_.HostPath() + "/absent.db";
  EXPECT_EQ(Run({"*"}), 1);  // while looking for the cached drives
  EXPECT_EQ(Run({"*", "--drives", "4"}), 1);  // in the search
  EXPECT_EQ(err_, " [WARNING] : Too many files have been found, not enough memory to show all files !\n");
  EXPECT_GE(messages.Count(), 2u);
  cachePath_ = present;
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"a", "b"}), 2);
  EXPECT_EQ(Run({"*", "--files", "--folders"}), 2);
  EXPECT_EQ(Run({"*", "--sort", "colour"}), 2);
  EXPECT_EQ(Run({"*", "--flip"}), 2);
  EXPECT_EQ(Run({"*", "--from", "2020-02-30"}), 2);
  EXPECT_EQ(Run({"*", "--to", "20200101"}), 2);
  EXPECT_EQ(Run({"*", "--min-kb", "-1"}), 2);
  EXPECT_EQ(Run({"*", "--max-kb", "4294967296"}), 2);
  EXPECT_EQ(Run({"*", "--drives", "xyz"}), 2);
  EXPECT_EQ(Run({"*", "--bogus"}), 2);
}

class SearchCommandDates : public SearchCommand {
 protected:
  void SetUp() override {
    TreeImage image;
    image.AddDrive(u'C', {File(u"before.txt", 1, kNewYear2020 - 12 * kHour),
                          File(u"during.txt", 1, kNewYear2020 + 12 * kHour),
                          File(u"after.txt", 1, kNewYear2020 + 36 * kHour),
                          File(u"firstms.txt", 1, kNewYear2020), File(u"lastms.txt", 1, kNewYear2020 + 24 * kHour - 10000),
                          File(u"nextday.txt", 1, kNewYear2020 + 24 * kHour)});
    Write(image);
  }
};

// A day is the user's local day: noon of it is inside in any time zone within twelve hours.
TEST_F(SearchCommandDates, FromAndToTakeWholeLocalDays) {
  ASSERT_EQ(Run({"*.txt", "--from", "2020-01-01", "--to", "2020-01-01"}), 0);
  EXPECT_NE(out_.find("C:\\during.txt\n"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("before"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("after"), std::string::npos) << out_;
}

class SearchCommandFarDates : public SearchCommand {
 protected:
  // Midsummer days, so that no time zone moves them across a bound.
  static constexpr uint64_t k1964 = 114708096000000000ull;  // 1964-07-01T00:00:00Z
  static constexpr uint64_t k1966 = 115338816000000000ull;  // 1966-07-01T00:00:00Z
  static constexpr uint64_t k3600 = 630980064000000000ull;  // 3600-07-01T00:00:00Z
  void SetUp() override {
    TreeImage image;
    image.AddDrive(u'C', {File(u"old.txt", 1, k1964), File(u"mid.txt", 1, k1966), File(u"far.txt", 1, k3600)});
    Write(image);
  }
};

// Days before 1970 and after 3000 are days like any other (the C library of Windows refuses them).
TEST_F(SearchCommandFarDates, DaysBefore1970AndAfter3000) {
  ASSERT_EQ(Run({"*.txt", "--from", "1965-01-01"}), 0) << err_;
  EXPECT_EQ(out_, "C:\\mid.txt\nC:\\far.txt\n");
  ASSERT_EQ(Run({"*.txt", "--to", "1965-01-01"}), 0) << err_;
  EXPECT_EQ(out_, "C:\\old.txt\n");
  ASSERT_EQ(Run({"*.txt", "--from", "1601-01-03", "--to", "3500-01-01"}), 0) << err_;
  EXPECT_EQ(out_, "C:\\old.txt\nC:\\mid.txt\n");
  ASSERT_EQ(Run({"*.txt", "--from", "3500-01-01", "--to", "9999-12-31"}), 0) << err_;
  EXPECT_EQ(out_, "C:\\far.txt\n");
  ASSERT_EQ(Run({"*.txt", "--from", "2000-02-29", "--count"}), 0) << err_;
  EXPECT_EQ(out_, "1\n");
  EXPECT_EQ(Run({"*.txt", "--from", "1900-02-29"}), 2);  // 1900 was no leap year
  EXPECT_EQ(Run({"*.txt", "--to", "1965-13-01"}), 2);
  EXPECT_EQ(Run({"*.txt", "--to", "1965-04-31"}), 2);
  EXPECT_EQ(Run({"*.txt", "--from", "1600-12-31"}), 2);  // before the first FILETIME
}

#ifndef _WIN32
// In a zone three hours behind UTC, midnight UTC of 1966-07-01 is still June 30th.
TEST_F(SearchCommandFarDates, DaysBefore1970AreLocalDays) {
  const char* saved = std::getenv("TZ");
  std::string previous = saved ? saved : "";
  setenv("TZ", "XYZ+3", 1);
  tzset();
  int from = Run({"*.txt", "--from", "1966-07-01", "--to", "1966-07-01"});
  std::string inDay = out_;
  int to = Run({"*.txt", "--to", "1966-06-30"});
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  ASSERT_EQ(from, 0);
  EXPECT_EQ(inDay, "");
  ASSERT_EQ(to, 0);
  EXPECT_EQ(out_, "C:\\old.txt\nC:\\mid.txt\n");
}

// In UTC the bounds are the day's first and last millisecond exactly.
TEST_F(SearchCommandDates, BoundsAreTheFirstAndLastMillisecond) {
  const char* saved = std::getenv("TZ");
  std::string previous = saved ? saved : "";
  setenv("TZ", "UTC", 1);
  tzset();
  int code = Run({"*.txt", "--from", "2020-01-01", "--to", "2020-01-01"});
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
  ASSERT_EQ(code, 0);
  EXPECT_EQ(out_, "C:\\during.txt\nC:\\firstms.txt\nC:\\lastms.txt\n");
}
#endif

}  // namespace
}  // namespace lvx::test
