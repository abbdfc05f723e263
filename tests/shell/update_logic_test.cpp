// Version comparison, the query a check sends, result codes, the retry waits, the addresses the
// program agrees to open, and the start-up schedule.
#include <gtest/gtest.h>

#include "shell/update_rules.h"
#include "shell/update_schedule.h"
#include "shell/version.h"

namespace lvx::shell {
namespace {

TEST(Version, ComparesPartByPart) {
  EXPECT_EQ(CompareVersions(u"2.5", u"2.5.0.0"), 0);
  EXPECT_GT(CompareVersions(u"2.5.0.101", u"2.5.0.100"), 0);
  EXPECT_LT(CompareVersions(u"2.9", u"2.10"), 0);
  EXPECT_GT(CompareVersions(u"3", u"2.99.99.99"), 0);
  EXPECT_EQ(CompareVersions(u"", u"0.0.0.0"), 0);
  EXPECT_TRUE(IsNewerVersion(u"1.6.0.1", u"1.6.0.0"));
  EXPECT_FALSE(IsNewerVersion(u"1.6.0.0", u"1.6.0.0"));
}

TEST(Version, ReadsEachPartByDecimalConversion) {
  EXPECT_EQ(ParseVersion(u"1.2.3.4.5"), (VersionParts{1, 2, 3, 4}));  // fourth part "4.5"
  EXPECT_EQ(ParseVersion(u" 7.x.3b"), (VersionParts{7, 0, 3, 0}));
  EXPECT_EQ(ParseVersion(u"99999999999.1"), (VersionParts{INT32_MAX, 1, 0, 0}));
  EXPECT_EQ(ParseVersion(u"1..2"), (VersionParts{1, 0, 2, 0}));
}

TEST(UpdateQuery, ChoosesTheFormatFromTheInstallState) {
  EXPECT_EQ(ChooseQuery(false, u"NewInstall", u"FALSE"), QueryKind::FirstAfterInstall);
  EXPECT_EQ(ChooseQuery(false, u"newinstall", u"TRUE"), QueryKind::FirstAfterInstall);
  EXPECT_EQ(ChooseQuery(true, u"NewInstall", u"TRUE"), QueryKind::Routine);
  EXPECT_EQ(ChooseQuery(false, u"Installed", u"TRUE"), QueryKind::Routine);
  EXPECT_EQ(ChooseQuery(true, u"NewInstall", u"false"), QueryKind::RetryAfterInstall);
  EXPECT_EQ(ChooseQuery(false, u"Upgrade", u"FALSE"), QueryKind::FirstAfterUpgrade);
  EXPECT_EQ(ChooseQuery(true, u"Installed", u"FALSE"), QueryKind::FirstAfterUpgrade);
}

TEST(UpdateQuery, BuildsTheFourFormats) {
  std::u16string url = CheckUrl(u"http://h");
  EXPECT_EQ(url, u"http://h/lvx/update/checkupdate.php");
  EXPECT_EQ(BuildQuery(QueryKind::FirstAfterInstall, url, u"1.6.0.0"), url + u"?ver=1.6.0.0&edition=Free&t=0");
  EXPECT_EQ(BuildQuery(QueryKind::Routine, url, u"1.6.0.0"), url + u"?ver=1.6.0.0&edition=Free");
  EXPECT_EQ(BuildQuery(QueryKind::RetryAfterInstall, url, u"1.6.0.0"), url + u"?ver=1.6.0.0&edition=Free&t=4");
  EXPECT_EQ(BuildQuery(QueryKind::FirstAfterUpgrade, url, u"1.6.0.0"), url + u"?ver=1.6.0.0&edition=Free&t=2");
}

TEST(UpdateResultCode, ComparesWithRunningAndRememberedVersions) {
  EXPECT_EQ(ResultForReply(u"1.7", u"1.6.0.0", u"0.0.0.0"), UpdateNewVersion);
  EXPECT_EQ(ResultForReply(u"1.7", u"1.6.0.0", u"1.7.0.0"), UpdateKnownVersion);
  EXPECT_EQ(ResultForReply(u"1.7", u"1.6.0.0", u"1.8"), UpdateKnownVersion);
  EXPECT_EQ(ResultForReply(u"1.8", u"1.6.0.0", u"1.7"), UpdateNewVersion);
  EXPECT_EQ(ResultForReply(u"1.6.0.0", u"1.6.0.0", u"0"), UpdateNoNewVersion);
  EXPECT_EQ(ResultForReply(u"1.5", u"1.6.0.0", u"0"), UpdateNoNewVersion);
  EXPECT_EQ(ResultForReply(u"0.0.0.0", u"1.6.0.0", u"0"), UpdateNoNewVersion);
}

TEST(RetrySchedule, FailedAutomaticChecksRetryAfter5_10_20_30_30Minutes) {
  RetrySchedule retry;
  EXPECT_EQ(retry.WaitMs(), kInfiniteWait);
  const uint32_t expected[] = {300000, 600000, 1200000, 1800000, 1800000, kInfiniteWait, kInfiniteWait};
  for (uint32_t wait : expected) {
    retry.Failed(false);
    EXPECT_EQ(retry.WaitMs(), wait);
  }
}

TEST(RetrySchedule, ManualFailuresAndCompletedChecksStopRetrying) {
  RetrySchedule retry;
  retry.Failed(true);
  EXPECT_EQ(retry.WaitMs(), kInfiniteWait);
  EXPECT_EQ(retry.Counter(), 5);
  retry.Failed(false);
  retry.Failed(true);  // a manual failure in between leaves the pending retry as it was
  EXPECT_EQ(retry.WaitMs(), 300000u);
  retry.Completed();
  EXPECT_EQ(retry.WaitMs(), kInfiniteWait);
  retry.Failed(false);  // after a completed check a failure waits for the next request
  EXPECT_EQ(retry.WaitMs(), kInfiniteWait);
}

TEST(UpdateUrls, OnlyWebAddressesAreOpened) {
  const std::u16string server = u"https://www.lumivex.example";
  EXPECT_EQ(SafeFreeUrl(u"https://dl.example/lumivex.exe", server), u"https://dl.example/lumivex.exe");
  EXPECT_EQ(SafeFreeUrl(u"HTTP://dl.example/x", server), u"HTTP://dl.example/x");
  for (const char16_t* hostile :
       {u"file:///C:/Windows/System32/calc.exe", u"C:\\Windows\\System32\\cmd.exe", u"javascript:alert(1)",
        u"calc", u"http://", u"https://a b", u"http://a\tb", u"\\\\server\\share\\x.exe", u"", u"ftp://x/y",
        u"http:/x"})
    EXPECT_EQ(SafeFreeUrl(hostile, server), server + u"/download.htm");
}

TEST(UpdateUrls, ConfiguredServerFallsBackToTheDefault) {
  EXPECT_EQ(UpdateServer(u"http://127.0.0.1:8080/"), u"http://127.0.0.1:8080");
  EXPECT_EQ(UpdateServer(u"  https://mirror.example  "), u"https://mirror.example");
  EXPECT_EQ(UpdateServer(u""), kDefaultUpdateServer);
  EXPECT_EQ(UpdateServer(u"file://c:/x"), kDefaultUpdateServer);
}

LocalTime At(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) { return LocalTime{y, mo, d, h, mi, s}; }

TEST(CheckTime, ParsesAndFormats) {
  LocalTime t;
  ASSERT_TRUE(ParseCheckTime(u"2011-01-01 21:04:54", &t));
  EXPECT_EQ(t.year, 2011);
  EXPECT_EQ(t.second, 54);
  EXPECT_EQ(FormatCheckTime(t), u"2011-01-01 21:04:54");
  EXPECT_EQ(FormatCheckTime(At(2024, 3, 5, 7, 8, 9)), u"2024-03-05 07:08:09");
  ASSERT_TRUE(ParseCheckTime(u"2024-3-5   7:8:9", &t));  // what "%d-%d-%d %d:%d:%d" accepts
  EXPECT_EQ(FormatCheckTime(t), u"2024-03-05 07:08:09");
  for (const char16_t* bad : {u"", u"garbage", u"2011-01-01 21:04", u"2011-02-30 00:00:00",
                              u"2011-13-01 00:00:00", u"2011-01-01 24:00:00", u"2011/01/01 00:00:00"})
    EXPECT_FALSE(ParseCheckTime(bad, &t));
}

TEST(CheckTime, CountsSecondsAcrossMonthsAndLeapDays) {
  EXPECT_EQ(SecondsBetween(At(2024, 2, 28), At(2024, 3, 1)), 2 * 86400);
  EXPECT_EQ(SecondsBetween(At(2023, 2, 28), At(2023, 3, 1)), 86400);
  EXPECT_EQ(SecondsBetween(At(2023, 12, 31, 23, 59, 59), At(2024, 1, 1, 0, 0, 0)), 1);
  EXPECT_EQ(SecondsBetween(At(2024, 1, 2), At(2024, 1, 1)), -86400);
}

TEST(UpdateSchedule, DueByIntervalOrAfterInstall) {
  LocalTime now = At(2024, 6, 15, 12, 0, 0);
  auto due = [&](int interval, const char16_t* last, bool installInfo = true, const char16_t* checked = u"TRUE") {
    return IsUpdateCheckDue(interval, last, now, installInfo, checked);
  };
  EXPECT_FALSE(due(kCheckWeekly, u"2024-06-09 12:00:01"));  // six days and 23:59:59
  EXPECT_TRUE(due(kCheckWeekly, u"2024-06-08 12:00:00"));
  EXPECT_FALSE(due(kCheckDaily, u"2024-06-14 12:00:01"));
  EXPECT_TRUE(due(kCheckDaily, u"2024-06-14 12:00:00"));
  EXPECT_FALSE(due(kCheckMonthly, u"2024-05-17 12:00:00"));  // 29 days
  EXPECT_TRUE(due(kCheckMonthly, u"2024-05-16 12:00:00"));
  EXPECT_TRUE(due(kCheckWeekly, kDefaultLastCheckTime));
  // Six days ago, but the first start after an install or upgrade checks anyway.
  EXPECT_TRUE(due(kCheckWeekly, u"2024-06-09 12:00:00", true, u"false"));
  EXPECT_TRUE(due(kCheckWeekly, u"2024-06-09 12:00:00", false));
  // Never means never, even after an install.
  EXPECT_FALSE(due(kCheckNever, kDefaultLastCheckTime, false, u"FALSE"));
}

TEST(UpdateSchedule, UnreadableOrFutureTimesMakeTheCheckDue) {
  LocalTime now = At(2024, 6, 15);
  EXPECT_TRUE(IsUpdateCheckDue(kCheckMonthly, u"not a time", now, true, u"TRUE"));
  EXPECT_TRUE(IsUpdateCheckDue(kCheckMonthly, u"2030-01-01 00:00:00", now, true, u"TRUE"));
}

}  // namespace
}  // namespace lvx::shell
