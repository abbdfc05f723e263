// The update-check thread against a small HTTP server on 127.0.0.1: the codes it posts, the files
// it writes, the queries it sends, its retries, and how it stops. The rules it applies (versions,
// query formats, retry waits, safe addresses) are tested natively in update_logic_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <tuple>

#include <windows.h>

#include "http_test_server.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_checker.h"
#include "shell/update_rules.h"
#include "shell/update_schedule.h"
#include "shell/update_settings.h"
#include "shell_test_files.h"
#include "support/temp_dir.h"

namespace lvx::shell {
namespace {

using test::HttpTestServer;
using test::PathExists;

class RecordingSink : public IUpdateResultSink {
 public:
  void PostUpdateResult(uint32_t code) override {
    std::lock_guard<std::mutex> hold(mutex_);
    codes_.push_back(code);
    changed_.notify_all();
  }
  // Waits until count codes have arrived; false on time-out.
  bool WaitFor(size_t count) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(20), [&] { return codes_.size() >= count; });
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> hold(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint32_t> codes_;  // guarded by mutex_
};

std::string Reply(const std::string& main, const std::string& freeUrl = "https://www.lumivex.example/get.htm") {
  return test::UnicodeText("[Version]\nMain=" + main + "\nFreeUrl=" + freeUrl +
                           "\nReleaseDate=2024-06-01\nWhatsNew=Faster searches\n[Check]\nShowMsg=TRUE\n");
}

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
    checker.SetRunningVersion(u"1.6.0.0");
  }
  void Start(const std::u16string& base = {}) {
    ASSERT_TRUE(checker.StartUpdateThread(sink, CheckUrl(base.empty() ? server.BaseUrl() : base)));
  }
  // One check, automatic or manual; returns its code.
  uint32_t Check(bool manual = false) {
    size_t before = sink->Codes().size();
    manual ? checker.CheckNow() : checker.RequestUpdateCheck();
    EXPECT_TRUE(sink->WaitFor(before + 1));
    auto codes = sink->Codes();
    return codes.size() > before ? codes[before] : 0;
  }
  void Serve(const std::string& body, int status = 200) { server.SetReply({status, body}); }
  std::u16string Ini(const std::u16string& file, const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, file, u"<missing>");
  }
  // A failed check leaves no reply to read, remembers nothing and still counts as unchecked.
  void ExpectNothingKept(const char* what) {
    EXPECT_EQ(Ini(Paths().tmpUpdate, u"Version", u"Main"), u"<missing>") << what;
    EXPECT_FALSE(PathExists(Paths().update)) << what;
    EXPECT_EQ(Ini(Paths().installInfo, u"Info", u"IsChecked"), u"FALSE") << what;
  }

  test::TempDir dir;
  HttpTestServer server;
  std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
  CUpdateChecker checker;  // declared last: stopped before the server goes
};

TEST_F(UpdateCheckTest, CodesFilesAndRequests) {
  const SettingsPaths& p = Paths();
  Serve(Reply("1.7.0.0", "file:///C:/Windows/System32/calc.exe"));
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.7.0.0");
  LocalTime checked;
  EXPECT_TRUE(ParseCheckTime(Ini(p.update, u"Check", u"LastCheckTime"), &checked));
  EXPECT_EQ(Ini(p.installInfo, u"Info", u"IsChecked"), u"TRUE");
  EXPECT_EQ(checker.RetryWaitMs(), kInfiniteWait);
  UpdateOffer offer = ReadUpdateOffer(server.BaseUrl());
  EXPECT_EQ(std::tuple(offer.whatsNew, offer.releaseDate, offer.freeUrl),  // no file address is ever opened
            std::tuple(u"Faster searches", u"2024-06-01", server.BaseUrl() + u"/download.htm"));

  EXPECT_EQ(Check(), UpdateKnownVersion);      // the same version again: not announced anew
  EXPECT_EQ(Check(true), UpdateKnownVersion);  // a manual check gets the answer too
  Serve(Reply("1.8"));
  EXPECT_EQ(Check(), UpdateNewVersion);
  offer = ReadUpdateOffer(server.BaseUrl());
  EXPECT_EQ(std::tuple(offer.main, offer.freeUrl), std::tuple(u"1.8", u"https://www.lumivex.example/get.htm"));
  Serve(Reply("1.6"));
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  Serve(test::UnicodeText("[Other]\nKey=1\n"));  // no Main at all reads as 0.0.0.0
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.8");

  // The first request after the install says so; later ones are routine. The agent text goes out
  // unchanged (the system may re-space a header line).
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 6u);
  auto path = [](const std::string& head) { return head.substr(4, head.find(' ', 4) - 4); };
  EXPECT_EQ(path(requests[0]), "/lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free&t=0");
  EXPECT_EQ(path(requests[1]), "/lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free");
  size_t agent = requests[0].find("User-Agent:") + 11;
  agent = requests[0].find_first_not_of(' ', agent);
  EXPECT_EQ(requests[0].substr(agent, requests[0].find("\r\n", agent) - agent), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  EXPECT_NE(requests[0].find("Accept: */*"), std::string::npos);
}

TEST_F(UpdateCheckTest, FailuresPostCode10AndKeepNothing) {
  Serve(Reply("9.0"), 404);
  Start();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);  // an automatic check is retried
  ExpectNothingKept("404");
  EXPECT_EQ(Check(true), UpdateUnreachable);  // manual: the pending retry stays as it was
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);
  checker.ClearManual();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(checker.RetryWaitMs(), 10u * 60000);

  std::string body = Reply("9.0") + std::string(2000, ' ');
  HttpTestServer::Reply cut{200, body};
  cut.cutAfter = body.size() / 2;  // a well-formed start of a reply; the announced length tells
  const std::pair<const char*, HttpTestServer::Reply> replies[] = {
      {"over the size limit", {200, Reply("9.9") + std::string(kMaxReplyBytes, ';')}},
      {"ANSI text", {200, "[Version]\r\nMain=9.9\r\n"}},
      {"cut off by the connection", cut}};
  for (const auto& [what, reply] : replies) {
    server.SetReply(reply);
    EXPECT_EQ(Check(), UpdateUnreachable) << what;
    ExpectNothingKept(what);
  }
  std::string largest = Reply("1.9");
  Serve(largest + std::string(kMaxReplyBytes - largest.size(), ' '));  // exactly at the limit
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(checker.RetryWaitMs(), kInfiniteWait);  // a reply that works ends the retries

  CUpdateChecker down;  // nothing listens on the server's port
  ASSERT_TRUE(down.StartUpdateThread(sink, CheckUrl(U16("http://127.0.0.1:" + std::to_string(HttpTestServer::ClosedPort())))));
  size_t before = sink->Codes().size();
  down.RequestUpdateCheck();
  ASSERT_TRUE(sink->WaitFor(before + 1));
  EXPECT_EQ(sink->Codes().back(), UpdateUnreachable);
  EXPECT_EQ(down.RetryWaitMs(), 5u * 60000);
}

TEST_F(UpdateCheckTest, QueryAfterAnUpgradeAndAfterAnInterruptedFirstCheck) {
  const SettingsPaths& p = Paths();
  Serve(Reply("1.0"));
  WriteIniString(u"Info", u"InstallType", u"Upgrade", p.installInfo);
  Start();
  EXPECT_EQ(Check(true), UpdateNoNewVersion);
  // A new install whose first check breaks off part-way: the next attempt is its retry.
  WriteIniString(u"Info", u"InstallType", u"NewInstall", p.installInfo);
  WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);
  ASSERT_TRUE(std::filesystem::remove(test::HostFile(p.tmpUpdate)));
  std::string body = Reply("9.0") + std::string(2000, ' ');
  HttpTestServer::Reply cut{200, body};
  cut.cutAfter = body.size() / 2;
  server.SetReply(cut);
  EXPECT_EQ(Check(), UpdateUnreachable);
  Serve(Reply("1.0"));
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[0].find("&t=2 "), std::string::npos);
  EXPECT_NE(requests[1].find("&t=0 "), std::string::npos);
  EXPECT_NE(requests[2].find("&t=4 "), std::string::npos);
}

// Events between a test and the fetch it put in: the fetch has begun; the test lets it go on.
struct HeldFetch {
  HANDLE begun = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldFetch() {
    CloseHandle(begun);
    CloseHandle(release);
  }
};

TEST_F(UpdateCheckTest, StopsPostNothing) {
  // During a slow download: at once.
  server.SetReply({200, Reply("5.0") + std::string(4000, ' '), HttpTestServer::Pace::Drip});
  Start();
  checker.RequestUpdateCheck();
  for (int i = 0; i < 200 && !PathExists(Paths().tmpUpdate); ++i) Sleep(25);
  ASSERT_TRUE(PathExists(Paths().tmpUpdate)) << "the download never began";
  EXPECT_TRUE(checker.StopUpdateThread()) << "the thread went on downloading";

  // After a whole download, before its result is recorded (at exit): a version is remembered as
  // announced only when the owner is told of it, so the next check announces it.
  Serve(Reply("9.0"));
  auto held = std::make_shared<HeldFetch>();
  UpdateTransport transport;
  transport.fetch = [held](const std::u16string& query, const std::u16string& path, const std::atomic<bool>& stop) {
    DownloadOutcome outcome = DownloadReply(query, path, stop);
    SetEvent(held->begun);
    for (int i = 0; i < 400 && !stop.load(); ++i) Sleep(10);  // the test stops the thread meanwhile
    return outcome;
  };
  CUpdateChecker stopped(transport);
  stopped.SetRunningVersion(u"1.6.0.0");
  ASSERT_TRUE(stopped.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));
  stopped.RequestUpdateCheck();
  ASSERT_EQ(WaitForSingleObject(held->begun, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(stopped.StopUpdateThread());
  EXPECT_TRUE(sink->Codes().empty());
  EXPECT_FALSE(PathExists(Paths().update));
  EXPECT_EQ(Ini(Paths().installInfo, u"Info", u"IsChecked"), u"FALSE");
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_TRUE(checker.StopUpdateThread());
  EXPECT_TRUE(checker.StopUpdateThread());  // a second stop does nothing
  checker.RequestUpdateCheck();             // no thread: nothing happens
  Sleep(200);
  EXPECT_EQ(server.Requests().size(), 3u);
}

// A fetch that stalls past the stop's wait: the stop gives up (and says so), the checker goes, and
// the thread, once the fetch returns, ends by itself without posting or recording anything.
TEST_F(UpdateCheckTest, AStopGivesUpOnAStalledFetchAndTheThreadEndsQuietlyLater) {
  auto held = std::make_shared<HeldFetch>();
  std::weak_ptr<HeldFetch> alive = held;
  {
    UpdateTransport transport;
    transport.fetch = [held](const std::u16string&, const std::u16string& path, const std::atomic<bool>&) {
      SetEvent(held->begun);
      WaitForSingleObject(held->release, 20000);  // a server that stalls; the stop flag is not seen
      test::WriteBytes(path, Reply("5.0"));
      return DownloadOutcome::Completed;
    };
    CUpdateChecker stalled(transport);
    ASSERT_TRUE(stalled.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));
    stalled.RequestUpdateCheck();
    ASSERT_EQ(WaitForSingleObject(held->begun, 20000), WAIT_OBJECT_0);
    EXPECT_FALSE(stalled.StopUpdateThread()) << "a thread whose fetch still stalls cannot have ended";
  }
  SetEvent(held->release);
  held.reset();
  for (int i = 0; i < 2000 && !alive.expired(); ++i) Sleep(10);
  ASSERT_TRUE(alive.expired()) << "the thread never ended";
  EXPECT_TRUE(sink->Codes().empty());
  EXPECT_FALSE(PathExists(Paths().update));
}

// A failed automatic check waits its retry time and then checks again unasked.
TEST_F(UpdateCheckTest, AFailedCheckIsRetriedWhenItsWaitEnds) {
  std::mutex mutex;
  std::vector<uint32_t> waits;  // guarded by mutex
  UpdateTransport transport;
  int fetches = 0;
  transport.fetch = [&fetches](const std::u16string& query, const std::u16string& path, const std::atomic<bool>& stop) {
    return ++fetches == 1 ? DownloadOutcome::Unreachable : DownloadReply(query, path, stop);
  };
  transport.wait = [&](os::Event& request, uint32_t milliseconds) {
    {
      std::lock_guard<std::mutex> hold(mutex);
      waits.push_back(milliseconds);
    }
    return request.Wait(milliseconds == kInfiniteWait ? milliseconds : 1);
  };
  Serve(Reply("1.7"));
  CUpdateChecker retrying(transport);
  retrying.SetRunningVersion(u"1.6.0.0");
  ASSERT_TRUE(retrying.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));
  retrying.RequestUpdateCheck();
  ASSERT_TRUE(sink->WaitFor(2));
  EXPECT_EQ(sink->Codes(), (std::vector<uint32_t>{UpdateUnreachable, UpdateNewVersion}));
  EXPECT_TRUE(retrying.StopUpdateThread());
  std::lock_guard<std::mutex> hold(mutex);
  EXPECT_EQ(waits, (std::vector<uint32_t>{kInfiniteWait, 5u * 60000, kInfiniteWait}));
}

TEST_F(UpdateCheckTest, ResultsReachTheirReceiver) {
  // A sink is kept by the thread until it stops, though its owner lets go of it first.
  auto own = std::make_shared<RecordingSink>();
  std::weak_ptr<RecordingSink> watch = own;
  Serve(Reply("1.7"));
  ASSERT_TRUE(checker.StartUpdateThread(own, CheckUrl(server.BaseUrl())));
  ASSERT_TRUE(checker.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));  // runs already: one thread
  own.reset();
  checker.RequestUpdateCheck();
  ASSERT_TRUE(watch.lock() && watch.lock()->WaitFor(1));
  EXPECT_EQ(watch.lock()->Codes(), std::vector<uint32_t>{UpdateNewVersion});
  EXPECT_TRUE(checker.StopUpdateThread());
  EXPECT_TRUE(watch.expired());  // released by the stop
  EXPECT_TRUE(sink->Codes().empty());

  // An owning window gets WM_APP_UPDATERESULT.
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(checker.StartUpdateThread(window, CheckUrl(server.BaseUrl())));
  checker.RequestUpdateCheck();
  MSG message{};
  bool arrived = false;
  for (int i = 0; i < 2000 && !(arrived = PeekMessageW(&message, window, kUpdateResultMessage, kUpdateResultMessage, PM_REMOVE)); ++i)
    Sleep(10);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(message.wParam, WPARAM(UpdateKnownVersion));
  EXPECT_EQ(message.lParam, 0);
  EXPECT_TRUE(checker.StopUpdateThread());
  DestroyWindow(window);
}

TEST_F(UpdateCheckTest, ScheduleAtStartAndConfiguredServer) {
  const SettingsPaths& p = Paths();
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckWeekly));  // the first start after the install
  WriteIniString(u"Info", u"IsChecked", u"TRUE", p.installInfo);
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckWeekly));  // last check 2011: long ago
  SYSTEMTIME st;
  GetLocalTime(&st);
  WriteIniString(u"Check", u"LastCheckTime",
                 FormatCheckTime({st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond}), p.update);
  EXPECT_FALSE(IsUpdateCheckDueNow(kCheckDaily));
  WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);
  Serve(Reply("1.0"));
  Start();
  EXPECT_TRUE(ScheduleUpdateCheck(kCheckWeekly, checker));
  ASSERT_TRUE(sink->WaitFor(1));
  EXPECT_FALSE(ScheduleUpdateCheck(kCheckWeekly, checker));  // IsChecked is TRUE now

  EXPECT_EQ(ReadUpdateServer(), kDefaultUpdateServer);
  WriteIniString(u"OPTIONS", u"UPDATE_URL", server.BaseUrl() + u"/", p.settings);
  EXPECT_EQ(ReadUpdateServer(), server.BaseUrl());
}

}  // namespace
}  // namespace lvx::shell
