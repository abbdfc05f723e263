#include "shell/update_download.h"

#include <algorithm>
#include <cstdint>

#include <windows.h>
#include <wininet.h>

#include "platform/file.h"
#include "shell/update_rules.h"
#include "shell/win_text.h"

namespace lvx::shell {
namespace {

// Closes a WinINet handle on every way out.
struct InternetHandle {
  HINTERNET h = nullptr;
  ~InternetHandle() {
    if (h) InternetCloseHandle(h);
  }
};

// A stalled server must not hold the thread for WinINet's default of minutes.
constexpr DWORD kTimeoutMs = 30000;

// The length the server announced for the body, or -1 when it sent none (a chunked or
// close-delimited reply, whose end only the connection tells).
int64_t AnnouncedLength(HINTERNET request) {
  DWORD announced = 0, size = sizeof announced;
  if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size, nullptr))
    return -1;
  return announced;
}

DownloadOutcome CopyBody(HINTERNET request, os::File file, const std::atomic<bool>& stop) {
  static_assert(kMaxReplyBytes % kReplyBlockBytes == 0);
  char block[kReplyBlockBytes];
  uint32_t total = 0;
  unsigned char first[2] = {};
  for (;;) {
    if (stop.load()) return DownloadOutcome::Stopped;
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return DownloadOutcome::Interrupted;
    if (available == 0) break;  // end of the reply
    DWORD got = 0;
    if (!InternetReadFile(request, block, std::min<DWORD>(available, sizeof block), &got))
      return DownloadOutcome::Interrupted;
    if (got == 0) break;
    if (got > kMaxReplyBytes - total) return DownloadOutcome::Refused;
    for (DWORD i = 0; i < got && total + i < 2; ++i) first[total + i] = uint8_t(block[i]);
    if (!os::WriteTo(file, block, got)) return DownloadOutcome::Interrupted;
    total += got;
  }
  // WinINet ends a reply whose connection dropped as quietly as a finished one; only the announced
  // length tells the two apart, and the first half of a reply must not pass for all of it.
  int64_t announced = AnnouncedLength(request);
  if (announced >= 0 && total < announced) return DownloadOutcome::Interrupted;
  if (total < 2 || first[0] != 0xFF || first[1] != 0xFE) return DownloadOutcome::Refused;
  return DownloadOutcome::Completed;
}

}  // namespace

DownloadOutcome DownloadReply(const std::u16string& url, const std::u16string& path,
                              const std::atomic<bool>& stop) {
  InternetHandle session{InternetOpenW(L"Lumivex", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)};
  if (!session.h) return DownloadOutcome::Unreachable;
  DWORD timeout = kTimeoutMs;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionW(session.h, option, &timeout, sizeof timeout);
  std::u16string headers = kRequestHeaders;
  InternetHandle request{InternetOpenUrlW(session.h, W(url), W(headers), DWORD(-1),
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                              INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                              INTERNET_FLAG_NO_COOKIES,
                                          0)};
  if (!request.h) return DownloadOutcome::Unreachable;
  DWORD status = 0, length = sizeof status;
  if (!HttpQueryInfoW(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) ||
      status != 200)
    return DownloadOutcome::Unreachable;
  if (stop.load()) return DownloadOutcome::Stopped;
  os::File file = os::CreateAnew(path);
  if (!file.IsOpen()) return DownloadOutcome::Unreachable;
  DownloadOutcome outcome = CopyBody(request.h, file, stop);
  os::Close(file);
  // A refused or broken-off reply is not kept: nothing may read a half-written or foreign file as
  // a reply. The file itself stays, emptied: it records that a first check was attempted, which
  // the next query tells the server ("&t=4").
  if (outcome == DownloadOutcome::Refused || outcome == DownloadOutcome::Interrupted) {
    os::File emptied = os::CreateAnew(path);
    if (emptied.IsOpen())
      os::Close(emptied);
    else
      os::RemoveFile(path);
  }
  return outcome;
}

}  // namespace lvx::shell
