// The update check's rules: version comparison, the query a check sends, result codes, the retry
// waits, the addresses the program agrees to open, and the start-up schedule.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "shell/update_rules.h"
#include "shell/update_schedule.h"
#include "shell/version.h"

namespace lvx::shell {
namespace {

TEST(Version, ComparesPartByPartAfterDecimalConversion) {
  const std::tuple<const char16_t*, const char16_t*, int> pairs[] = {
      {u"2.5", u"2.5.0.0", 0},   {u"2.5.0.101", u"2.5.0.100", 1}, {u"2.9", u"2.10", -1},
      {u"3", u"2.99.99.99", 1}, {u"", u"0.0.0.0", 0},           {u"1.6.0.1", u"1.6.0.0", 1}};
  for (const auto& [a, b, sign] : pairs) {
    int c = CompareVersions(a, b);
    EXPECT_EQ((c > 0) - (c < 0), sign) << U8(a) << " " << U8(b);
    EXPECT_EQ(IsNewerVersion(a, b), sign > 0);
  }
  EXPECT_EQ(ParseVersion(u"1.2.3.4.5"), (VersionParts{1, 2, 3, 4}));  // the fourth part is "4.5"
  EXPECT_EQ(ParseVersion(u" 7.x.3b"), (VersionParts{7, 0, 3, 0}));
  EXPECT_EQ(ParseVersion(u"99999999999.1"), (VersionParts{INT32_MAX, 1, 0, 0}));
  EXPECT_EQ(ParseVersion(u"1..2"), (VersionParts{1, 0, 2, 0}));
}

TEST(UpdateQuery, ChosenFromTheInstallState) {
  const std::tuple<bool, const char16_t*, const char16_t*, const char16_t*> cases[] = {
      {false, u"NewInstall", u"FALSE", u"&t=0"}, {false, u"newinstall", u"TRUE", u"&t=0"},
      {true, u"NewInstall", u"TRUE", u""},       {false, u"Installed", u"TRUE", u""},
      {true, u"NewInstall", u"false", u"&t=4"},  {false, u"Upgrade", u"FALSE", u"&t=2"},
      {true, u"Installed", u"FALSE", u"&t=2"}};
  const std::u16string url = CheckUrl(u"http://h");
  for (const auto& [tmpExists, installType, isChecked, suffix] : cases)
    EXPECT_EQ(BuildQuery(ChooseQuery(tmpExists, installType, isChecked), url, u"1.6.0.0"),
              u"http://h/lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free" + std::u16string(suffix));
}

TEST(UpdateResultCode, ComparesWithRunningAndRememberedVersions) {
  const std::tuple<const char16_t*, const char16_t*, UpdateResult> cases[] = {
      {u"1.7", u"0.0.0.0", UpdateNewVersion}, {u"1.7", u"1.7.0.0", UpdateKnownVersion},
      {u"1.7", u"1.8", UpdateKnownVersion},   {u"1.8", u"1.7", UpdateNewVersion},
      {u"1.6.0.0", u"0", UpdateNoNewVersion}, {u"1.5", u"0", UpdateNoNewVersion},
      {u"0.0.0.0", u"0", UpdateNoNewVersion}};
  for (const auto& [reply, remembered, code] : cases)
    EXPECT_EQ(ResultForReply(reply, u"1.6.0.0", remembered), code) << U8(reply);
}

TEST(RetrySchedule, FailedAutomaticChecksRetryAfter5_10_20_30_30Minutes) {
  RetrySchedule retry;
  retry.Failed(true);  // a manual failure changes nothing
  EXPECT_EQ(std::pair(retry.WaitMs(), retry.Counter()), std::pair(kInfiniteWait, 5));
  for (uint32_t wait : {300000u, 600000u, 1200000u, 1800000u, 1800000u, kInfiniteWait, kInfiniteWait}) {
    retry.Failed(false);
    EXPECT_EQ(retry.WaitMs(), wait);
  }
  RetrySchedule again;
  again.Failed(false);
  again.Failed(true);  // in between, a manual failure leaves the pending retry as it was
  EXPECT_EQ(again.WaitMs(), 300000u);
  again.Completed();
  again.Failed(false);  // after a completed check a failure waits for the next request
  EXPECT_EQ(again.WaitMs(), kInfiniteWait);
}

TEST(UpdateUrls, OnlyWebAddressesAreOpened) {
  const std::u16string server = u"https://www.lumivex.example";
  for (const char16_t* web : {u"https://dl.example/lumivex.exe", u"HTTP://dl.example/x"}) EXPECT_EQ(SafeFreeUrl(web, server), web);
  for (const char16_t* hostile :
       {u"file:///C:/Windows/System32/calc.exe", u"C:\\Windows\\System32\\cmd.exe", u"javascript:alert(1)",
        u"calc", u"http://", u"https://a b", u"http://a\tb", u"\\\\server\\share\\x.exe", u"", u"ftp://x/y",
        u"http:/x"})
    EXPECT_EQ(SafeFreeUrl(hostile, server), server + u"/download.htm");
  for (auto [stored, used] : {std::pair<const char16_t*, std::u16string>{u"http://127.0.0.1:8080/", u"http://127.0.0.1:8080"},
                              {u"  https://mirror.example  ", u"https://mirror.example"}, {u"", kDefaultUpdateServer},
                              {u"file://c:/x", kDefaultUpdateServer}})
    EXPECT_EQ(UpdateServer(stored), used) << U8(stored);
}

LocalTime At(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) { return LocalTime{y, mo, d, h, mi, s}; }

TEST(CheckTime, ParsesFormatsAndCounts) {
  LocalTime t;
  ASSERT_TRUE(ParseCheckTime(u"2024-3-5   7:8:9", &t));  // what "%d-%d-%d %d:%d:%d" accepts
  EXPECT_EQ(FormatCheckTime(t), u"2024-03-05 07:08:09");
  for (const char16_t* bad : {u"", u"garbage", u"2011-01-01 21:04", u"2011-02-30 00:00:00",
                              u"2011-13-01 00:00:00", u"2011-01-01 24:00:00", u"2011/01/01 00:00:00"})
    EXPECT_FALSE(ParseCheckTime(bad, &t));
  EXPECT_EQ(SecondsBetween(At(2024, 2, 28), At(2024, 3, 1)), 2 * 86400);
  EXPECT_EQ(SecondsBetween(At(2023, 2, 28), At(2023, 3, 1)), 86400);
  EXPECT_EQ(SecondsBetween(At(2023, 12, 31, 23, 59, 59), At(2024, 1, 1, 0, 0, 0)), 1);
  EXPECT_EQ(SecondsBetween(At(2024, 1, 2), At(2024, 1, 1)), -86400);
}

TEST(UpdateSchedule, DueByIntervalOrAfterInstall) {
  const std::tuple<int, const char16_t*, bool, const char16_t*, bool> cases[] = {
      {kCheckWeekly, u"2024-06-09 12:00:01", true, u"TRUE", false},  // six days and 23:59:59
      {kCheckWeekly, u"2024-06-08 12:00:00", true, u"TRUE", true},
      {kCheckDaily, u"2024-06-14 12:00:01", true, u"TRUE", false},
      {kCheckDaily, u"2024-06-14 12:00:00", true, u"TRUE", true},
      {kCheckMonthly, u"2024-05-17 12:00:00", true, u"TRUE", false},  // 29 days
      {kCheckMonthly, u"2024-05-16 12:00:00", true, u"TRUE", true},
      {kCheckWeekly, kDefaultLastCheckTime, true, u"TRUE", true},
      {kCheckWeekly, u"2024-06-09 12:00:00", true, u"false", true},  // the first start after an install
      {kCheckWeekly, u"2024-06-09 12:00:00", false, u"TRUE", true},  // or without installinfo.ini
      {kCheckNever, kDefaultLastCheckTime, false, u"FALSE", false},  // never means never
      {kCheckMonthly, u"not a time", true, u"TRUE", true},           // unreadable
      {kCheckMonthly, u"2030-01-01 00:00:00", true, u"TRUE", true},  // in the future: the clock went back
  };
  for (const auto& [interval, last, installInfo, checked, due] : cases)
    EXPECT_EQ(IsUpdateCheckDue(interval, last, At(2024, 6, 15), installInfo, checked), due) << U8(last);
}

}  // namespace
}  // namespace lvx::shell
