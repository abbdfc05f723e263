#include "shell/update_settings.h"

#include <windows.h>

#include "shell/ini_store.h"
#include "shell/settings_files.h"
#include "shell/update_rules.h"
#include "shell/update_schedule.h"

namespace lvx::shell {

std::u16string ReadUpdateServer() {
  return UpdateServer(ReadIniString(u"OPTIONS", u"UPDATE_URL", Paths().settings, kDefaultUpdateServer));
}

bool IsUpdateCheckDueNow(int checkUpdate) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime now{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  const SettingsPaths& p = Paths();
  return IsUpdateCheckDue(checkUpdate, ReadIniString(u"Check", u"LastCheckTime", p.update, kDefaultLastCheckTime),
                          now, FileExists(p.installInfo),
                          ReadIniString(u"Info", u"IsChecked", p.installInfo, u"FALSE"));
}

bool ScheduleUpdateCheck(int checkUpdate, CUpdateChecker& checker) {
  if (!IsUpdateCheckDueNow(checkUpdate)) return false;
  checker.RequestUpdateCheck();
  return true;
}

UpdateOffer ReadUpdateOffer(const std::u16string& server) {
  const std::u16string& file = Paths().update;
  UpdateOffer offer;
  offer.main = ReadIniString(u"Version", u"Main", file, u"0.0.0.0");
  offer.freeUrl = SafeFreeUrl(ReadIniString(u"Version", u"FreeUrl", file, u""), server);
  offer.releaseDate = ReadIniString(u"Version", u"ReleaseDate", file, u"");
  offer.whatsNew = ReadIniString(u"Version", u"WhatsNew", file, u"");
  return offer;
}

}  // namespace lvx::shell
