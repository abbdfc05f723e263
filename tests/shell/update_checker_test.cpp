// The update-check thread against a small HTTP server on 127.0.0.1: the codes it posts, the files
// it writes, the queries it sends, its retry waits and how it stops.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <windows.h>

#include "http_test_server.h"
#include "ini_test_files.h"
#include "platform/text.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_checker.h"
#include "shell/update_rules.h"
#include "shell/update_schedule.h"
#include "shell/update_settings.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

using test::HttpTestServer;

class RecordingSink : public IUpdateResultSink {
 public:
  void PostUpdateResult(uint32_t code) override {
    std::lock_guard<std::mutex> hold(mutex_);
    codes_.push_back(code);
    changed_.notify_all();
  }
  // Waits until count codes have arrived; false on time-out.
  bool WaitFor(size_t count, int ms = 20000) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return codes_.size() >= count; });
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> hold(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint32_t> codes_;
};

std::string Reply(const std::string& main, const std::string& freeUrl = "https://www.lumivex.example/get.htm") {
  return test::UnicodeBody("[Version]\nMain=" + main + "\nFreeUrl=" + freeUrl +
                           "\nReleaseDate=2024-06-01\nWhatsNew=Faster searches\n[Check]\nShowMsg=TRUE\n");
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
    checker.SetRunningVersion(u"1.6.0.0");
  }
  void Start(const std::u16string& base) { ASSERT_TRUE(checker.StartUpdateThread(sink, CheckUrl(base))); }
  void Start() { Start(server.BaseUrl()); }
  // One automatic check; returns its code.
  uint32_t Check(bool manual = false) {
    size_t before = sink->Codes().size();
    if (manual)
      checker.CheckNow();
    else
      checker.RequestUpdateCheck();
    EXPECT_TRUE(sink->WaitFor(before + 1));
    auto codes = sink->Codes();
    return codes.size() > before ? codes[before] : 0;
  }
  void Serve(const std::string& body, int status = 200) { server.SetReply({status, body}); }
  std::u16string Ini(const std::u16string& file, const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, file, u"<missing>");
  }

  test::TempDir dir;
  HttpTestServer server;
  std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
  CUpdateChecker checker;  // declared last: stopped before the server goes
};

TEST_F(UpdateCheckTest, NewerVersionIsAnnouncedOnceThenKnown) {
  Serve(Reply("1.7.0.0"));
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);
  const SettingsPaths& p = Paths();
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.7.0.0");
  EXPECT_EQ(Ini(p.update, u"Version", u"WhatsNew"), u"Faster searches");
  LocalTime checked;
  EXPECT_TRUE(ParseCheckTime(Ini(p.update, u"Check", u"LastCheckTime"), &checked));
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
  EXPECT_EQ(checker.RetryWaitMs(), kInfiniteWait);
  EXPECT_FALSE(IsUpdateCheckDueNow(kCheckDaily));  // just checked

  EXPECT_EQ(Check(), UpdateKnownVersion);        // the same version again: not announced anew
  EXPECT_EQ(Check(true), UpdateKnownVersion);    // a manual check gets the answer too
  Serve(Reply("1.8"));
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.8");

  UpdateOffer offer = ReadUpdateOffer(server.BaseUrl());
  EXPECT_EQ(offer.main, u"1.8");
  EXPECT_EQ(offer.freeUrl, u"https://www.lumivex.example/get.htm");
  EXPECT_EQ(offer.releaseDate, u"2024-06-01");

  // The first request after the install says so; later ones are routine. Headers as specified.
  auto paths = server.Paths();
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_EQ(paths[0], "/lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free&t=0");
  EXPECT_EQ(paths[1], "/lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free");
  // The system may re-space a header line; the agent text itself goes out unchanged.
  std::string head = server.Requests()[0];
  size_t agent = head.find("User-Agent:");
  ASSERT_NE(agent, std::string::npos) << head;
  std::string line = head.substr(agent + 11, head.find("\r\n", agent) - agent - 11);
  EXPECT_EQ(line.substr(line.find_first_not_of(' ')), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  EXPECT_NE(head.find("Accept: */*"), std::string::npos) << head;
}

TEST_F(UpdateCheckTest, EqualOrOlderVersionIsNoUpdate) {
  Serve(Reply("1.6"));
  Start();
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  Serve(Reply("1.5.9.9"));
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  Serve(test::UnicodeBody("[Other]\nKey=1\n"));  // no Main at all reads as 0.0.0.0
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  const SettingsPaths& p = Paths();
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"<missing>");  // nothing to remember
  EXPECT_NE(Ini(p.update, u"Check", u"LastCheckTime"), u"<missing>");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
}

TEST_F(UpdateCheckTest, FailuresPostCode10AndRetryAutomaticChecks) {
  Serve(Reply("9.0"), 404);
  Start();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);
  EXPECT_FALSE(test::PathExists(Paths().update));
  EXPECT_EQ(Ini(Paths().installInfo, u"Info", u"IsChecked"), u"FALSE");
  EXPECT_EQ(Check(true), UpdateUnreachable);  // manual: the pending retry stays as it was
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);
  checker.ClearManual();
  const uint32_t waits[] = {10, 20, 30, 30};
  for (uint32_t minutes : waits) {
    EXPECT_EQ(Check(), UpdateUnreachable);
    EXPECT_EQ(checker.RetryWaitMs(), minutes * 60000);
  }
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), kInfiniteWait);
  // A reply that works ends the retries for good.
  Serve(Reply("1.0"));
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  EXPECT_EQ(checker.RetryWaitMs(), kInfiniteWait);
}

TEST_F(UpdateCheckTest, ServerDownIsCode10) {
  std::string base = "http://127.0.0.1:" + std::to_string(HttpTestServer::ClosedPort());
  Start(U16(base));
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);
  EXPECT_FALSE(test::PathExists(Paths().tmpUpdate));
}

TEST_F(UpdateCheckTest, HostileFreeUrlFallsBackToTheDownloadPage) {
  Serve(Reply("2.0", "file:///C:/Windows/System32/calc.exe"));
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(ReadUpdateOffer(server.BaseUrl()).freeUrl, server.BaseUrl() + u"/download.htm");
  Serve(Reply("2.1", "C:\\Windows\\System32\\cmd.exe"));
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(ReadUpdateOffer(kDefaultUpdateServer).freeUrl, std::u16string(kDefaultUpdateServer) + u"/download.htm");
}

TEST_F(UpdateCheckTest, OversizedOrNonUnicodeRepliesAreRefused) {
  std::string huge = Reply("9.9") + std::string(kMaxReplyBytes, ';');
  Serve(huge);
  Start();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_FALSE(test::PathExists(Paths().tmpUpdate));
  EXPECT_FALSE(test::PathExists(Paths().update));

  Serve("[Version]\r\nMain=9.9\r\n");  // ANSI text
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_FALSE(test::PathExists(Paths().tmpUpdate));
  EXPECT_EQ(Ini(Paths().installInfo, u"Info", u"IsChecked"), u"FALSE");

  std::string largest = Reply("1.9");
  largest += std::string(kMaxReplyBytes - largest.size(), ' ');  // exactly at the limit: accepted
  Serve(largest);
  EXPECT_EQ(Check(), UpdateNewVersion);
}

TEST_F(UpdateCheckTest, AReplyCutOffByTheConnectionIsNotAReply) {
  // The part that arrives names a newer version and is a well-formed start of a reply; the
  // announced length says the rest is missing.
  std::string body = Reply("9.0") + std::string(2000, ' ');
  HttpTestServer::Reply cut{200, body};
  cut.cutAfter = body.size() / 2;
  server.SetReply(cut);
  Start();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);  // retried like any failed automatic check
  EXPECT_FALSE(test::PathExists(Paths().tmpUpdate));
  EXPECT_FALSE(test::PathExists(Paths().update));
  EXPECT_EQ(Ini(Paths().installInfo, u"Info", u"IsChecked"), u"FALSE");

  Serve(body);  // the whole reply goes through
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(Ini(Paths().update, u"Version", u"Main"), u"9.0");
}

TEST_F(UpdateCheckTest, QueryAfterAnUpgradeAndAfterAnInterruptedFirstCheck) {
  const SettingsPaths& p = Paths();
  Serve(Reply("1.0"));
  WriteIniString(u"Info", u"InstallType", u"Upgrade", p.installInfo);
  Start();
  checker.CheckNow();  // a failure would not retry: this test sends one request per check
  ASSERT_TRUE(sink->WaitFor(1));
  WriteIniString(u"Info", u"InstallType", u"NewInstall", p.installInfo);
  WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);
  EXPECT_EQ(Check(), UpdateNoNewVersion);  // tmpupdate.ini exists now
  auto paths = server.Paths();
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].substr(paths[0].size() - 4), "&t=2");
  EXPECT_EQ(paths[1].substr(paths[1].size() - 4), "&t=4");
}

TEST_F(UpdateCheckTest, StopDuringASlowDownloadPostsNothing) {
  server.SetReply({200, Reply("5.0") + std::string(4000, ' '), HttpTestServer::Pace::Drip});
  Start();
  checker.RequestUpdateCheck();
  for (int i = 0; i < 200 && !test::PathExists(Paths().tmpUpdate); ++i) Sleep(25);
  ASSERT_TRUE(test::PathExists(Paths().tmpUpdate)) << "the download never began";
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(checker.StopUpdateThread());
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  Sleep(300);
  EXPECT_TRUE(sink->Codes().empty());
  EXPECT_FALSE(test::PathExists(Paths().update));
}

TEST_F(UpdateCheckTest, AStopAfterTheDownloadRemembersNothingItCannotTell) {
  // A version is remembered as announced only when the owner is told of it; a check stopped after
  // its download (at exit) must leave the next check to announce it.
  Serve(Reply("9.0"));
  HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(reached, nullptr);
  checker.SetBeforeRecordHook([reached](const std::atomic<bool>& stop) {
    SetEvent(reached);
    for (int i = 0; i < 400 && !stop.load(); ++i) Sleep(10);  // the test stops the thread meanwhile
  });
  Start();
  checker.RequestUpdateCheck();
  ASSERT_EQ(WaitForSingleObject(reached, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(checker.StopUpdateThread());
  CloseHandle(reached);
  EXPECT_TRUE(sink->Codes().empty());
  const SettingsPaths& p = Paths();
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"<missing>");
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"FALSE");

  checker.SetBeforeRecordHook(nullptr);
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);  // the next start tells the user
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"9.0");
}

TEST_F(UpdateCheckTest, StopGivesUpOnAStalledServerAndTheThreadEndsQuietlyLater) {
  server.SetReply({200, Reply("5.0"), HttpTestServer::Pace::Stall, 7000});
  {
    CUpdateChecker stalled;
    stalled.SetRunningVersion(u"1.6.0.0");
    ASSERT_TRUE(stalled.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));
    stalled.RequestUpdateCheck();
    for (int i = 0; i < 200 && server.Requests().empty(); ++i) Sleep(25);
    ASSERT_EQ(server.Requests().size(), 1u);
    auto begin = std::chrono::steady_clock::now();
    bool ended = stalled.StopUpdateThread();
    auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(waited, std::chrono::milliseconds(6500));
    if (!ended) {
      EXPECT_GE(waited, std::chrono::milliseconds(4900));
    }
  }  // the checker is gone while its thread may still wait for the body
  Sleep(4000);  // the server sends the body; the thread finishes the download and ends
  EXPECT_TRUE(sink->Codes().empty());
  EXPECT_FALSE(test::PathExists(Paths().update));
}

TEST_F(UpdateCheckTest, TheThreadKeepsItsResultReceiverUntilItStops) {
  auto own = std::make_shared<RecordingSink>();
  std::weak_ptr<RecordingSink> watch = own;
  Serve(Reply("1.0"));
  ASSERT_TRUE(checker.StartUpdateThread(own, CheckUrl(server.BaseUrl())));
  own.reset();  // the owner lets go of it first
  checker.RequestUpdateCheck();
  auto alive = watch.lock();
  ASSERT_TRUE(alive);
  ASSERT_TRUE(alive->WaitFor(1));
  EXPECT_EQ(alive->Codes()[0], UpdateNoNewVersion);
  alive.reset();
  EXPECT_TRUE(checker.StopUpdateThread());
  EXPECT_TRUE(watch.expired());  // released by the stop
}

TEST_F(UpdateCheckTest, AnOwningWindowGetsTheResultMessage) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  Serve(Reply("1.7"));
  ASSERT_TRUE(checker.StartUpdateThread(window, CheckUrl(server.BaseUrl())));
  checker.RequestUpdateCheck();
  MSG message{};
  bool arrived = false;
  for (int i = 0; i < 2000 && !arrived; ++i) {
    arrived = PeekMessageW(&message, window, kUpdateResultMessage, kUpdateResultMessage, PM_REMOVE);
    if (!arrived) Sleep(10);
  }
  ASSERT_TRUE(arrived);
  EXPECT_EQ(message.wParam, WPARAM(UpdateNewVersion));
  EXPECT_EQ(message.lParam, 0);
  EXPECT_TRUE(checker.StopUpdateThread());
  DestroyWindow(window);
}

TEST_F(UpdateCheckTest, StartTwiceKeepsOneThreadAndStopIsIdempotent) {
  Serve(Reply("1.0"));
  Start();
  Start();
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(checker.StopUpdateThread());
  EXPECT_TRUE(checker.StopUpdateThread());
  checker.RequestUpdateCheck();  // no thread: nothing happens
  Sleep(200);
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(UpdateCheckTest, ScheduleAtStart) {
  const SettingsPaths& p = Paths();
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckWeekly));  // first start after the install
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckWeekly));  // last check 2011: long ago
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime now{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  WriteIniString(u"Check", u"LastCheckTime", FormatCheckTime(now), p.update);
  EXPECT_FALSE(IsUpdateCheckDueNow(kCheckDaily));
  EXPECT_FALSE(IsUpdateCheckDueNow(kCheckNever));
  WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckMonthly));
  EXPECT_FALSE(IsUpdateCheckDueNow(kCheckNever));

  Serve(Reply("1.0"));
  Start();
  EXPECT_TRUE(ScheduleUpdateCheck(kCheckWeekly, checker));
  ASSERT_TRUE(sink->WaitFor(1));
  EXPECT_FALSE(ScheduleUpdateCheck(kCheckWeekly, checker));  // IsChecked is TRUE now
}

TEST_F(UpdateCheckTest, ConfiguredServer) {
  EXPECT_EQ(ReadUpdateServer(), kDefaultUpdateServer);
  WriteIniString(u"OPTIONS", u"UPDATE_URL", server.BaseUrl() + u"/", Paths().settings);
  EXPECT_EQ(ReadUpdateServer(), server.BaseUrl());
  WriteIniString(u"OPTIONS", u"UPDATE_URL", u"ftp://elsewhere", Paths().settings);
  EXPECT_EQ(ReadUpdateServer(), kDefaultUpdateServer);
}

}  // namespace
}  // namespace lvx::shell
