// The update-check thread. It sleeps on an auto-reset request event; each request downloads the
// server's reply into tmpupdate.ini, compares the reply's version with the running one and with the
// one remembered in update.ini, writes update.ini and installinfo.ini, and posts a result code
// (10 to 13) to the owner. A failed automatic check is retried after 5, 10, 20, 30 and 30 minutes.
//
// The thread and the object share one reference-counted state block, which also owns the result
// receiver (a copy of the owning window's handle, or a shared sink), so nothing the thread uses
// can be deleted under it. A stop that gives up after 5000 ms (a server that stalls a read) leaves
// that block alive for the thread, which then ends on its own without posting anything, instead of
// running on over a deleted object.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "platform/thread.h"
#include "shell/update_download.h"

namespace lvx::shell {

// Receives the result codes, on the update thread, while the checker's stop waits: it must return
// at once (post, never send) and must not call back into the checker.
class IUpdateResultSink {
 public:
  virtual ~IUpdateResultSink() = default;
  virtual void PostUpdateResult(uint32_t code) = 0;
};

// Posts WM_APP_UPDATERESULT (WM_APP + 40), wParam = code, lParam = 0, to the owning window.
class WindowUpdateSink : public IUpdateResultSink {
 public:
  explicit WindowUpdateSink(HWND window) : window_(window) {}
  void PostUpdateResult(uint32_t code) override;

 private:
  HWND window_;
};

struct UpdateFiles {
  std::u16string tmpUpdate, update, installInfo;
};

// The thread's ties to the world outside: how a reply is fetched into a file, and how it waits for
// the next request (true when the request came, false when the time ran out). The program uses
// WinINet and the real clock; tests put in a fetch they control and short waits.
struct UpdateTransport {
  std::function<DownloadOutcome(const std::u16string& query, const std::u16string& path,
                                const std::atomic<bool>& stop)>
      fetch = DownloadReply;
  std::function<bool(os::Event& request, uint32_t milliseconds)> wait =
      [](os::Event& request, uint32_t milliseconds) { return request.Wait(milliseconds); };
};

class CUpdateChecker {
 public:
  static constexpr uint32_t kStopWaitMs = 5000;

  explicit CUpdateChecker(UpdateTransport transport = {});
  ~CUpdateChecker();
  CUpdateChecker(const CUpdateChecker&) = delete;
  CUpdateChecker& operator=(const CUpdateChecker&) = delete;

  // Starts the thread (created suspended, then resumed) unless it runs; url is the check URL. The
  // codes go to the owning window as WM_APP_UPDATERESULT, or to a sink that the thread holds until
  // it stops. The files are those of the data folder unless SetFiles named others. False when the
  // thread could not be created.
  bool StartUpdateThread(HWND owner, const std::u16string& url);
  bool StartUpdateThread(std::shared_ptr<IUpdateResultSink> owner, const std::u16string& url);
  // Asks for a check (the start-up schedule).
  void RequestUpdateCheck();
  // The thread side of Help > Check for updates: marks the check manual and asks for it.
  void CheckNow();
  // Cleared by the main window once the result is shown or the updater dialog is cancelled.
  void ClearManual();
  bool IsManual() const;
  // Sets the stop flag, wakes the thread and waits up to 5000 ms. Nothing is posted to the owner
  // after this returns. True when the thread has ended.
  bool StopUpdateThread();
  bool IsRunning() const { return thread_ != nullptr; }

  // Set before StartUpdateThread; the defaults are the program's version and data folder.
  void SetRunningVersion(const std::u16string& version) { version_ = version; }
  void SetFiles(const UpdateFiles& files) { files_ = files; hasFiles_ = true; }

  // What the thread will wait for next: a retry time, or kInfiniteWait. Changes after each check.
  uint32_t RetryWaitMs() const;
  // Checks the thread has finished (whatever the outcome), for observers that wait on them.
  uint32_t ChecksDone() const;

 private:
  struct Shared;

  std::shared_ptr<Shared> shared_;
  std::unique_ptr<os::Thread> thread_;
  std::u16string version_;
  UpdateFiles files_;
  bool hasFiles_ = false;
  UpdateTransport transport_;
};

}  // namespace lvx::shell
