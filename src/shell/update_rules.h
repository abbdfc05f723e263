// The rules of the update check that involve no network and no file: where the check goes, which
// query a check sends, how a reply's version turns into a result code, which reply URLs may be
// opened, and how long a failed automatic check waits before it tries again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lvx::shell {

// WM_APP + 40, wParam = one of the UpdateResult codes, lParam = 0.
constexpr uint32_t kUpdateResultMessage = 0x8000 + 40;

enum UpdateResult : uint32_t {
  UpdateUnreachable = 10,   // no server, no HTTP 200, or no usable reply
  UpdateNewVersion = 11,    // newer than the running one and than the one in update.ini
  UpdateKnownVersion = 12,  // newer than the running one, already announced in update.ini
  UpdateNoNewVersion = 13,  // nothing newer than the running one
};

// The server; settings.ini OPTIONS/UPDATE_URL may name another one (tests, mirrors).
constexpr char16_t kDefaultUpdateServer[] = u"https://www.lumivex.example";
constexpr char16_t kCheckPath[] = u"/lvx/update/checkupdate.php";
constexpr char16_t kDownloadPagePath[] = u"/download.htm";
constexpr char16_t kEdition[] = u"Free";
constexpr char16_t kRequestHeaders[] =
    u"Accept: */*\r\nUser-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n\r\n";
constexpr uint32_t kReplyBlockBytes = 8192;
// A reply is a few hundred bytes of INI text; anything over this is refused unread.
constexpr uint32_t kMaxReplyBytes = 1024 * 1024;
constexpr uint32_t kInfiniteWait = 0xFFFFFFFFu;

// True for "http://" or "https://" (any case) followed by at least one character, with no blank or
// control character anywhere: the only addresses the program hands to the shell or to WinINet.
bool IsWebUrl(std::u16string_view url);
// The configured server when it is a web address (without trailing '/'), else the default.
std::u16string UpdateServer(std::u16string_view configured);
inline std::u16string CheckUrl(const std::u16string& server) { return server + kCheckPath; }
inline std::u16string DownloadPage(const std::u16string& server) { return server + kDownloadPagePath; }
// The reply's FreeUrl when it is a web address; anything else falls back to the download page.
std::u16string SafeFreeUrl(std::u16string_view freeUrl, const std::u16string& server);

enum class QueryKind {
  FirstAfterInstall,  // "&t=0"
  Routine,            // no t
  RetryAfterInstall,  // "&t=4"
  FirstAfterUpgrade,  // "&t=2"
};
// installType is installinfo.ini Info/InstallType (read default "Installed"), isChecked its
// Info/IsChecked (read default "FALSE"); compared ignoring case.
QueryKind ChooseQuery(bool tmpUpdateExists, std::u16string_view installType, std::u16string_view isChecked);
// "%s?ver=%s&edition=%s" and the kind's suffix.
std::u16string BuildQuery(QueryKind kind, const std::u16string& checkUrl, const std::u16string& version,
                          const std::u16string& edition = kEdition);

// Code 11, 12 or 13 for a completed check.
UpdateResult ResultForReply(std::u16string_view replyMain, std::u16string_view runningVersion,
                            std::u16string_view rememberedMain);

// The wait before the next automatic attempt. A failed automatic check is retried after 5, 10, 20,
// 30 and 30 minutes and then waits for the next request; a completed one waits for a request.
class RetrySchedule {
 public:
  uint32_t WaitMs() const { return waitMs_; }
  int Counter() const { return counter_; }
  void Completed();
  // A failed manual check changes nothing.
  void Failed(bool manual);

 private:
  uint32_t waitMs_ = kInfiniteWait;
  int counter_ = 5;
};
// 5 -> 5 min, 4 -> 10 min, 3 -> 20 min, 2 and 1 -> 30 min, anything else -> infinite.
uint32_t RetryWaitMs(int counter);

}  // namespace lvx::shell
