// lvx search, run in process: arguments to request, the thread's hand-over, status line and hits.
// What the filters and orders do is tested with the engine; here, that each option reaches it.
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/search_command.h"
#include "search_fixture.h"
#include "support/recording_sink.h"

namespace lvx::test {
namespace {

using Args = cli::Args;

class SearchCommand : public SearchFixture {
 protected:
  void SetUp() override { Write(StandardImage()); }

  // Runs the command; the hits and the status line come back as text.
  int Run(Args args) {
    args.insert(args.begin(), cacheFile_);
    const std::string outPath = dir_.HostPath() + "/out.txt", errPath = dir_.HostPath() + "/err.txt";
    std::FILE* out = std::fopen(outPath.c_str(), "wb");
    std::FILE* err = std::fopen(errPath.c_str(), "wb");
    int code = cli::RunSearchCommand(args, out, err);
    std::fclose(out);
    std::fclose(err);
    std::stringstream outText, errText;
    outText << std::ifstream(outPath, std::ios::binary).rdbuf();
    errText << std::ifstream(errPath, std::ios::binary).rdbuf();
    out_ = outText.str(), err_ = errText.str();
    return code;
  }
  void Expect(const std::vector<std::pair<Args, std::string>>& cases) {
    for (const auto& [args, out] : cases) {
      ASSERT_EQ(Run(args), 0) << testing::PrintToString(args) << err_;
      EXPECT_EQ(out_, out) << testing::PrintToString(args);
    }
  }

  std::string cacheFile_ = dir_.HostPath() + "/cache.db";
  std::string out_, err_;
};

TEST_F(SearchCommand, StatusLine) {
  ASSERT_EQ(Run({"*.mp3"}), 0);
  EXPECT_TRUE(std::regex_match(err_, std::regex("5 items found \\(25KB\\), in [0-9]+\\.[0-9]{2}s\n"))) << err_;
  ASSERT_EQ(Run({""}), 0);
  EXPECT_EQ(out_, "");
  EXPECT_TRUE(std::regex_match(err_, std::regex("0 items found \\(0KB\\), in [0-9]+\\.[0-9]{2}s\n"))) << err_;
  ASSERT_EQ(Run({"x.mp3;", "--location", "C:\\nowhere"}), 0);
  EXPECT_EQ(out_, "C:\\Music\\Old\\x.mp3\n");
  EXPECT_EQ(err_, " [WARNING] : The search location is invalid!! Default to be My Computer! \n");
  // A total past 32 bits of KB is shown in full (how totals are summed: the engine's tests).
  Write(CacheImage::FromTree({{u'C', {Folder(u"data", {File(u"f0", 0xFFFFFFFFu), File(u"f1", 1)})}}}));
  ASSERT_EQ(Run({"*", "--files"}), 0);
  EXPECT_EQ(err_.substr(0, err_.find(", in ")), "2 items found (4,294,967,296KB)");
}

TEST_F(SearchCommand, OptionsReachTheSearch) {
  Expect({
      {{"*.mp3", "--format", "[FILENAME] in [FILEDIR] ([FILENAME])", "--location", "C:\\Music\\Old"},
       "x.mp3 in C:\\Music\\Old\\ (x.mp3)\n"},
      {{"?:"}, "C:\nD:\n"},  // without --drives, the drives the cache holds
      {{"?:", "--drives", "0xFFFFFFFF", "--count"}, "26\n"},
      {{"*", "--folders", "--min-kb", "15"}, "C:\\Music\nC:\n"},
      {{"*", "--files", "--max-kb", "3", "--location", "C:\\"}, "C:\\a.txt\nC:\\Music\\LOUD.MP3\nC:\\z.mp3.mp3\n"},
      {{"*", "--no-subdirs", "--location", "C:\\Music"}, "C:\\Music\\song.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\Old\n"},
      {{"*.mp3", "--sort", "name"}, "D:\\d.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\song.mp3\nC:\\Music\\Old\\x.mp3\nC:\\z.mp3.mp3\n"},
      {{"*.mp3", "--sort", "size", "--flip"}, "C:\\Music\\LOUD.MP3\nC:\\z.mp3.mp3\nC:\\Music\\Old\\x.mp3\nD:\\d.mp3\nC:\\Music\\song.mp3\n"},
      {{"*.mp3", "--sort", "date"}, "D:\\d.mp3\nC:\\z.mp3.mp3\nC:\\Music\\Old\\x.mp3\nC:\\Music\\LOUD.MP3\nC:\\Music\\song.mp3\n"},
      {{"*", "--sort", "type", "--location", "C:\\Music"}, "C:\\Music\\Old\nC:\\Music\\LOUD.MP3\nC:\\Music\\song.mp3\nC:\\Music\\Old\\x.mp3\n"},
      {{"*", "--sort", "location", "--flip", "--location", "C:\\Music"}, "C:\\Music\\Old\\x.mp3\nC:\\Music\\song.mp3\nC:\\Music\\Old\nC:\\Music\\LOUD.MP3\n"},
  });
}

TEST_F(SearchCommand, FailuresAndUsage) {
  const std::vector<Args> usage = {
      {}, {"a", "b"}, {"*", "--files", "--folders"}, {"*", "--sort", "colour"}, {"*", "--flip"},
      {"*", "--from", "2020-02-30"}, {"*", "--to", "20200101"}, {"*", "--min-kb", "-1"},
      {"*", "--max-kb", "4294967296"}, {"*", "--drives", "xyz"}, {"*", "--bogus"},
      {"*", "--from", "1900-02-29"},  // 1900 was no leap year
      {"*", "--to", "1965-13-01"}, {"*", "--to", "1965-04-31"},
      {"*", "--from", "1600-12-31"}};  // before the first FILETIME
  for (const Args& args : usage)
    EXPECT_EQ(Run(args), 2) << (args.empty() ? "" : args.back());
  RecordingMessages messages;
  cacheFile_ = dir_.HostPath() + "/absent.db";
  EXPECT_EQ(Run({"*"}), 1);  // while looking for the cached drives
  EXPECT_EQ(Run({"*", "--drives", "4"}), 1);  // in the search
  EXPECT_EQ(err_, " [WARNING] : Too many files have been found, not enough memory to show all files !\n");
}

// Midsummer days, so that no time zone moves them across a bound; days before 1970 and after 3000
// are days like any other (the C library of Windows refuses them). How a day's bounds follow the
// time zone is the local-time rules' own test (options_logic_test); here, that the options reach it.
constexpr uint64_t k1964 = 114708096000000000ull;     // 1964-07-01T00:00:00Z
constexpr uint64_t k1966 = 115338816000000000ull;     // 1966-07-01T00:00:00Z
constexpr uint64_t k2020 = 132223104000000000ull;     // 2020-01-01T00:00:00Z
constexpr uint64_t k3600 = 630980064000000000ull;     // 3600-07-01T00:00:00Z
constexpr uint64_t kHour = 36000000000ull;

class SearchCommandDates : public SearchCommand {
 protected:
  void SetUp() override {
    Write(CacheImage::FromTree(
        {{u'C', {File(u"old.txt", 1, k1964), File(u"mid.txt", 1, k1966), File(u"before.txt", 1, k2020 - 12 * kHour),
                 File(u"during.txt", 1, k2020 + 12 * kHour), File(u"firstms.txt", 1, k2020),
                 File(u"lastms.txt", 1, k2020 + 24 * kHour - 10000), File(u"nextday.txt", 1, k2020 + 24 * kHour),
                 File(u"after.txt", 1, k2020 + 36 * kHour), File(u"far.txt", 1, k3600)}}}));
  }
};

TEST_F(SearchCommandDates, FromAndToTakeWholeLocalDays) {
  // Noon of the day is inside in any time zone within twelve hours; the neighbours are not.
  ASSERT_EQ(Run({"*.txt", "--from", "2020-01-01", "--to", "2020-01-01"}), 0);
  EXPECT_NE(out_.find("C:\\during.txt\n"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("before"), std::string::npos) << out_;
  EXPECT_EQ(out_.find("after"), std::string::npos) << out_;
  Expect({{{"*.txt", "--from", "1965-01-01", "--to", "1967-01-01"}, "C:\\mid.txt\n"},
          {{"*.txt", "--to", "1965-01-01"}, "C:\\old.txt\n"},
          {{"*.txt", "--from", "3500-01-01", "--to", "9999-12-31"}, "C:\\far.txt\n"},
          {{"*.txt", "--from", "1601-01-03", "--to", "1967-01-01", "--count"}, "2\n"},
          {{"*.txt", "--from", "2000-02-29", "--count"}, "7\n"}});
}

}  // namespace
}  // namespace lvx::test
