// The update-check thread against a small HTTP server on 127.0.0.1: the codes it posts, the files
// it writes, the queries it sends, its retries, and how it stops. The rules it applies (versions,
// query formats, retry waits, safe addresses, the schedule) are tested natively in update_logic_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <tuple>

#include <winsock2.h>
#include <windows.h>

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

using test::PathExists;

// One thread accepts connections on a free port, records each request head and answers with the
// configured reply, at once or a byte at a time, whole or cut off after cutAfter body bytes (the
// head still announcing the whole body).
class HttpTestServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    bool drip = false;
    size_t cutAfter = size_t(-1);
  };
  HttpTestServer() {
    listen_ = Listen(&port_);
    if (listen_ != INVALID_SOCKET)
      accept_ = std::thread([this] {
        for (SOCKET client; !stop_ && (client = accept(listen_, nullptr, nullptr)) != INVALID_SOCKET;) {
          std::lock_guard<std::mutex> hold(mutex_);
          workers_.emplace_back([this, client] { Serve(client); });
        }
      });
  }
  ~HttpTestServer() {
    stop_ = true;
    closesocket(listen_);
    if (accept_.joinable()) accept_.join();
    for (auto& w : workers_) w.join();  // the accept thread, the only other writer, has ended
  }
  std::u16string BaseUrl() const { return U16("http://127.0.0.1:" + std::to_string(port_)); }
  void SetReply(const Reply& reply) { std::lock_guard<std::mutex> hold(mutex_); reply_ = reply; }
  std::vector<std::string> Requests() const { std::lock_guard<std::mutex> hold(mutex_); return requests_; }
  static SOCKET Listen(int* port) {
    static const bool started = [] { WSADATA data; return WSAStartup(MAKEWORD(2, 2), &data) == 0; }();
    SOCKET s = started ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s != INVALID_SOCKET && (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                                listen(s, 8) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)) {
      closesocket(s);
      s = INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return s;
  }

  SOCKET listen_ = INVALID_SOCKET;

 private:
  static bool Send(SOCKET s, const char* data, size_t size) {
    for (int sent = 0; size > 0; data += sent, size -= size_t(sent))
      if ((sent = send(s, data, int(size), 0)) <= 0) return false;
    return true;
  }
  void Serve(SOCKET client) {
    DWORD timeout = 5000;  // a client that neither sends nor closes cannot hold the server
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string head;
    char buffer[4096];
    for (int n; head.find("\r\n\r\n") == std::string::npos; head.append(buffer, size_t(n)))
      if ((n = recv(client, buffer, sizeof buffer, 0)) <= 0) return (void)closesocket(client);
    Reply reply;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
      reply = reply_;
    }
    std::string start = "HTTP/1.1 " + std::to_string(reply.status) + (reply.status == 200 ? " OK" : " Failed") +
                        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.body.size()) +
                        "\r\nConnection: close\r\n\r\n";
    bool whole = Send(client, start.data(), start.size());
    const size_t bytes = std::min(reply.body.size(), reply.cutAfter);
    for (size_t i = 0; whole && reply.drip && i < bytes && !stop_; ++i, Sleep(20)) whole = Send(client, &reply.body[i], 1);
    if (whole && !reply.drip) Send(client, reply.body.data(), bytes);
    shutdown(client, SD_SEND);
    while (recv(client, buffer, sizeof buffer, 0) > 0) {  // the client closes first: no reset cuts the reply
    }
    closesocket(client);
  }

  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accept_;
  mutable std::mutex mutex_;
  Reply reply_;                        // guarded by mutex_
  std::vector<std::string> requests_;  // guarded by mutex_
  std::vector<std::thread> workers_;   // guarded by mutex_
};

class RecordingSink : public IUpdateResultSink {
 public:
  void PostUpdateResult(uint32_t code) override {
    std::lock_guard<std::mutex> hold(mutex_);
    codes_.push_back(code);
  }
  // Waits until count codes have arrived; false on time-out.
  bool WaitFor(size_t count) {
    for (int i = 0; i < 2000 && Codes().size() < count; ++i) Sleep(10);
    return Codes().size() >= count;
  }
  std::vector<uint32_t> Codes() {
    std::lock_guard<std::mutex> hold(mutex_);
    return codes_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint32_t> codes_;  // guarded by mutex_
};

std::string Reply(const std::string& main, const std::string& freeUrl = "https://www.lumivex.example/get.htm") {
  return test::UnicodeText("[Version]\nMain=" + main + "\nFreeUrl=" + freeUrl +
                           "\nReleaseDate=2024-06-01\nWhatsNew=Faster searches\n[Check]\nShowMsg=TRUE\n");
}

// Events between a test and the fetch it put in: the fetch has begun; the test lets it go on.
struct HeldFetch {
  HANDLE begun = CreateEventW(nullptr, TRUE, FALSE, nullptr), release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~HeldFetch() { CloseHandle(begun), CloseHandle(release); }
};

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(server.listen_, INVALID_SOCKET);
    ASSERT_TRUE(ReleaseDefaultSettingsIn(dir.Path() + u"user", dir.Path() + u"common"));
    checker.SetRunningVersion(u"1.6.0.0");
  }
  void Start() { ASSERT_TRUE(checker.StartUpdateThread(sink, CheckUrl(server.BaseUrl()))); }
  // One check, automatic or manual; returns its code.
  uint32_t Check(bool manual = false) {
    size_t before = sink->Codes().size();
    manual ? checker.CheckNow() : checker.RequestUpdateCheck();
    EXPECT_TRUE(sink->WaitFor(before + 1));
    auto codes = sink->Codes();
    return codes.size() > before ? codes[before] : 0;
  }
  void Serve(const std::string& body, int status = 200) { server.SetReply({status, body}); }
  static std::u16string Ini(const std::u16string& file, const char16_t* section, const char16_t* key) {
    return ReadIniString(section, key, file, u"<missing>");
  }
  // Nothing remembered, and the install still counts as unchecked.
  static void ExpectNothingKept(const char* what) {
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
  EXPECT_TRUE(ScheduleUpdateCheck(kCheckWeekly, checker));  // the first start after the install
  ASSERT_TRUE(sink->WaitFor(1));
  EXPECT_EQ(sink->Codes()[0], UpdateNewVersion);
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.7.0.0");
  // The check wrote its time and IsChecked=TRUE: none is due now.
  EXPECT_FALSE(ScheduleUpdateCheck(kCheckDaily, checker));
  UpdateOffer offer = ReadUpdateOffer(server.BaseUrl());
  EXPECT_EQ(std::tuple(offer.whatsNew, offer.releaseDate, offer.freeUrl),  // no file address is ever opened
            std::tuple(u"Faster searches", u"2024-06-01", server.BaseUrl() + u"/download.htm"));

  EXPECT_EQ(Check(), UpdateKnownVersion);  // the same version again: not announced anew
  Serve(Reply("1.8"));
  EXPECT_EQ(Check(), UpdateNewVersion);
  EXPECT_EQ(ReadUpdateOffer(server.BaseUrl()).freeUrl, u"https://www.lumivex.example/get.htm");
  Serve(test::UnicodeText("[Other]\nKey=1\n"));  // no Main at all reads as 0.0.0.0
  EXPECT_EQ(Check(), UpdateNoNewVersion);
  EXPECT_EQ(Ini(p.update, u"Version", u"Main"), u"1.8");

  // The first request after the install says so; later ones are routine. The agent text goes out
  // unchanged (the system may re-space a header line).
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find(" HTTP/")), "GET /lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free&t=0");
  EXPECT_EQ(requests[1].substr(0, requests[1].find(" HTTP/")), "GET /lvx/update/checkupdate.php?ver=1.6.0.0&edition=Free");
  size_t agent = requests[0].find_first_not_of(' ', requests[0].find("User-Agent:") + 11);
  EXPECT_EQ(requests[0].substr(agent, requests[0].find("\r\n", agent) - agent), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  EXPECT_NE(requests[0].find("Accept: */*"), std::string::npos);

  WriteIniString(u"Info", u"IsChecked", u"FALSE", p.installInfo);  // a new install: due despite the time
  EXPECT_TRUE(IsUpdateCheckDueNow(kCheckDaily));
  EXPECT_EQ(ReadUpdateServer(), kDefaultUpdateServer);
  WriteIniString(u"OPTIONS", u"UPDATE_URL", server.BaseUrl() + u"/", p.settings);
  EXPECT_EQ(ReadUpdateServer(), server.BaseUrl());
}

TEST_F(UpdateCheckTest, FailuresPostCode10KeepNothingAndAreRetried) {
  Serve(Reply("9.0"), 404);
  Start();
  EXPECT_EQ(Check(), UpdateUnreachable);
  EXPECT_EQ(Check(true), UpdateUnreachable);  // manual: the pending retry stays as it was
  EXPECT_EQ(checker.RetryWaitMs(), 5u * 60000);
  checker.ClearManual();
  // A well-formed start of a reply, cut off by the connection: the announced length tells.
  HttpTestServer::Reply cut{200, Reply("9.0") + std::string(2000, ' ')};
  cut.cutAfter = cut.body.size() / 2;
  const std::pair<const char*, HttpTestServer::Reply> replies[] = {
      {"404", {404, Reply("9.0")}},
      {"over the size limit", {200, Reply("9.9") + std::string(kMaxReplyBytes, ';')}},
      {"ANSI text", {200, "[Version]\r\nMain=9.9\r\n"}},
      {"cut off by the connection", cut}};
  for (const auto& [what, reply] : replies) {
    server.SetReply(reply);
    EXPECT_EQ(Check(), UpdateUnreachable) << what;
    EXPECT_EQ(Ini(Paths().tmpUpdate, u"Version", u"Main"), u"<missing>") << what;
    ExpectNothingKept(what);
  }
  std::string largest = Reply("1.9");
  Serve(largest + std::string(kMaxReplyBytes - largest.size(), ' '));  // exactly at the limit
  EXPECT_EQ(Check(), UpdateNewVersion);
  // The first check of the new install broke off part-way: a later one says it is its retry.
  EXPECT_NE(server.Requests().back().find("&t=4 "), std::string::npos);
}

TEST_F(UpdateCheckTest, StopsPostNothing) {
  // During a slow download: at once.
  server.SetReply({200, Reply("5.0") + std::string(4000, ' '), true});
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
  ExpectNothingKept("stopped");
  Start();
  EXPECT_EQ(Check(), UpdateNewVersion);
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
  std::vector<uint32_t> waits;  // read once the thread has ended
  UpdateTransport transport;
  int fetches = 0;
  transport.fetch = [&fetches](const std::u16string& query, const std::u16string& path, const std::atomic<bool>& stop) {
    return ++fetches == 1 ? DownloadOutcome::Unreachable : DownloadReply(query, path, stop);
  };
  transport.wait = [&](os::Event& request, uint32_t milliseconds) {
    waits.push_back(milliseconds);
    return request.Wait(milliseconds == kInfiniteWait ? milliseconds : 1);
  };
  Serve(Reply("1.7"));
  CUpdateChecker retrying(transport);
  retrying.SetRunningVersion(u"1.6.0.0");
  ASSERT_TRUE(retrying.StartUpdateThread(sink, CheckUrl(server.BaseUrl())));
  retrying.RequestUpdateCheck();
  ASSERT_TRUE(sink->WaitFor(2));
  EXPECT_EQ(sink->Codes(), (std::vector<uint32_t>{UpdateUnreachable, UpdateNewVersion}));
  ASSERT_TRUE(retrying.StopUpdateThread());
  EXPECT_EQ(waits, (std::vector<uint32_t>{kInfiniteWait, 5u * 60000, kInfiniteWait}));
}

// A sink is kept by the thread until it stops, though its owner lets go of it first. (The window
// receiver is the program's: the app tests see its results.)
TEST_F(UpdateCheckTest, ResultsReachTheirReceiver) {
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
}

}  // namespace
}  // namespace lvx::shell
