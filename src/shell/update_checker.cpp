#include "shell/update_checker.h"

#include <atomic>
#include <mutex>

#include "platform/file.h"
#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_rules.h"
#include "shell/update_schedule.h"
#include "shell/version.h"

namespace lvx::shell {

struct CUpdateChecker::Shared {
  os::Event requestEvent{false, false};
  std::atomic<bool> stop{false};
  std::atomic<bool> manual{false};
  std::atomic<uint32_t> waitMs{kInfiniteWait};
  std::atomic<uint32_t> checksDone{0};
  // Fixed before the thread starts.
  std::u16string url, version;
  UpdateFiles files;
  UpdateTransport transport;

  // Held while a check's result is recorded and posted; StopUpdateThread sets the stop flag under
  // it. So a stop comes either before the whole of record-and-post or after it, and a version is
  // never remembered in update.ini as announced without the post that announces it.
  std::mutex sinkLock;
  std::shared_ptr<IUpdateResultSink> sink;  // guarded by sinkLock; null once the owner stopped the thread

  void Run();
  // After a completed download, under sinkLock: the result code, or UpdateUnreachable when
  // update.ini could not take the new reply.
  uint32_t Evaluate();
};

void WindowUpdateSink::PostUpdateResult(uint32_t code) {
  PostMessageW(window_, kUpdateResultMessage, WPARAM(code), 0);
}

namespace {

LocalTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace

uint32_t CUpdateChecker::Shared::Evaluate() {
  std::u16string replyMain = ReadIniString(u"Version", u"Main", files.tmpUpdate, u"0.0.0.0");
  std::u16string remembered = ReadIniString(u"Version", u"Main", files.update, u"0.0.0.0");
  UpdateResult code = ResultForReply(replyMain, version, remembered);
  // The reply is remembered before the check time is added to it, so the time survives the copy.
  if (code == UpdateNewVersion && !os::CopyOver(files.tmpUpdate, files.update))
    return UpdateUnreachable;
  WriteIniString(u"Check", u"LastCheckTime", FormatCheckTime(Now()), files.update);
  WriteIniString(u"Info", u"IsChecked", u"TRUE", files.installInfo);
  return code;
}

void CUpdateChecker::Shared::Run() {
  RetrySchedule retry;
  for (;;) {
    waitMs = retry.WaitMs();
    transport.wait(requestEvent, retry.WaitMs());  // a time-out is a retry
    if (stop.load()) break;
    std::u16string query =
        BuildQuery(ChooseQuery(FileExists(files.tmpUpdate),
                               ReadIniString(u"Info", u"InstallType", files.installInfo, u"Installed"),
                               ReadIniString(u"Info", u"IsChecked", files.installInfo, u"FALSE")),
                   url, version);
    DownloadOutcome outcome = transport.fetch(query, files.tmpUpdate, stop);
    if (outcome == DownloadOutcome::Stopped || stop.load()) break;
    // A stopped check records nothing: the owner would not hear of it, and the next check must
    // still announce what this one found.
    std::lock_guard<std::mutex> hold(sinkLock);
    if (!sink || stop.load()) break;
    uint32_t code = outcome == DownloadOutcome::Completed ? Evaluate() : UpdateUnreachable;
    if (code == UpdateUnreachable)
      retry.Failed(manual.load());
    else
      retry.Completed();
    waitMs = retry.WaitMs();
    ++checksDone;
    // Every failure is reported: the main window shows it only for a manual check, which must
    // always end with an answer, and stays silent for an automatic one.
    sink->PostUpdateResult(code);
  }
}

CUpdateChecker::CUpdateChecker(UpdateTransport transport)
    : version_(kRunningVersion), transport_(std::move(transport)) {}

CUpdateChecker::~CUpdateChecker() { StopUpdateThread(); }

bool CUpdateChecker::StartUpdateThread(HWND owner, const std::u16string& url) {
  if (thread_) return true;
  return StartUpdateThread(std::make_shared<WindowUpdateSink>(owner), url);
}

bool CUpdateChecker::StartUpdateThread(std::shared_ptr<IUpdateResultSink> owner, const std::u16string& url) {
  if (thread_) return true;
  if (!owner) return false;
  auto shared = std::make_shared<Shared>();
  shared->url = url;
  shared->version = version_;
  shared->files = hasFiles_ ? files_ : UpdateFiles{Paths().tmpUpdate, Paths().update, Paths().installInfo};
  shared->sink = std::move(owner);
  shared->transport = transport_;
  // The thread holds the state as well: a stop that gives up on it leaves it all it uses.
  auto thread = std::make_unique<os::Thread>([shared] {
    shared->Run();
    return 0u;
  });
  if (!thread->Start()) return false;
  shared_ = std::move(shared);
  thread_ = std::move(thread);
  return true;
}

void CUpdateChecker::RequestUpdateCheck() {
  if (shared_) shared_->requestEvent.Set();
}

void CUpdateChecker::CheckNow() {
  if (!shared_) return;
  shared_->manual = true;
  shared_->requestEvent.Set();
}

void CUpdateChecker::ClearManual() {
  if (shared_) shared_->manual = false;
}

bool CUpdateChecker::IsManual() const { return shared_ && shared_->manual.load(); }

bool CUpdateChecker::StopUpdateThread() {
  if (!thread_) return true;
  {
    std::lock_guard<std::mutex> hold(shared_->sinkLock);
    shared_->stop = true;
  }
  shared_->requestEvent.Set();
  bool ended = thread_->Join(kStopWaitMs);
  std::shared_ptr<IUpdateResultSink> released;  // let go outside the lock
  {
    std::lock_guard<std::mutex> hold(shared_->sinkLock);
    released = std::move(shared_->sink);
  }
  thread_.reset();  // one that has not ended runs on to its end by itself
  return ended;
}

uint32_t CUpdateChecker::RetryWaitMs() const { return shared_ ? shared_->waitMs.load() : kInfiniteWait; }

uint32_t CUpdateChecker::ChecksDone() const { return shared_ ? shared_->checksDone.load() : 0; }

}  // namespace lvx::shell
