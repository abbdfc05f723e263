#include "shell/update_rules.h"

#include "shell/ini_values.h"
#include "shell/version.h"

namespace lvx::shell {
namespace {

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsFolded(text.substr(0, prefix.size()), prefix);
}

}  // namespace

bool IsWebUrl(std::u16string_view url) {
  size_t scheme = StartsWithIgnoreCase(url, u"http://")    ? 7
                  : StartsWithIgnoreCase(url, u"https://") ? 8
                                                           : 0;
  if (scheme == 0 || url.size() == scheme) return false;
  for (char16_t c : url)
    if (c <= u' ' || c == 0x7F) return false;
  return true;
}

std::u16string UpdateServer(std::u16string_view configured) {
  std::u16string server = TrimIniValue(configured);
  while (!server.empty() && server.back() == u'/') server.pop_back();
  return IsWebUrl(server) ? server : std::u16string(kDefaultUpdateServer);
}

std::u16string SafeFreeUrl(std::u16string_view freeUrl, const std::u16string& server) {
  std::u16string url = TrimIniValue(freeUrl);
  return IsWebUrl(url) ? url : DownloadPage(server);
}

QueryKind ChooseQuery(bool tmpUpdateExists, std::u16string_view installType, std::u16string_view isChecked) {
  bool newInstall = EqualsFolded(installType, u"NewInstall");
  if (!tmpUpdateExists && newInstall) return QueryKind::FirstAfterInstall;
  if (!EqualsFolded(isChecked, u"FALSE")) return QueryKind::Routine;
  if (tmpUpdateExists && newInstall) return QueryKind::RetryAfterInstall;
  return QueryKind::FirstAfterUpgrade;
}

std::u16string BuildQuery(QueryKind kind, const std::u16string& checkUrl, const std::u16string& version,
                          const std::u16string& edition) {
  std::u16string query = checkUrl + u"?ver=" + version + u"&edition=" + edition;
  switch (kind) {
    case QueryKind::FirstAfterInstall: return query + u"&t=0";
    case QueryKind::Routine: return query;
    case QueryKind::RetryAfterInstall: return query + u"&t=4";
    case QueryKind::FirstAfterUpgrade: return query + u"&t=2";
  }
  return query;
}

UpdateResult ResultForReply(std::u16string_view replyMain, std::u16string_view runningVersion,
                            std::u16string_view rememberedMain) {
  if (!IsNewerVersion(replyMain, runningVersion)) return UpdateNoNewVersion;
  return IsNewerVersion(replyMain, rememberedMain) ? UpdateNewVersion : UpdateKnownVersion;
}

uint32_t RetryWaitMs(int counter) {
  switch (counter) {
    case 5: return 5 * 60000;
    case 4: return 10 * 60000;
    case 3: return 20 * 60000;
    case 2:
    case 1: return 30 * 60000;
    default: return kInfiniteWait;
  }
}

void RetrySchedule::Completed() {
  waitMs_ = kInfiniteWait;
  counter_ = 0;
}

void RetrySchedule::Failed(bool manual) {
  if (manual) return;
  if (counter_ > 0) {
    waitMs_ = RetryWaitMs(counter_);
    --counter_;
  } else {
    waitMs_ = kInfiniteWait;
  }
}

}  // namespace lvx::shell
