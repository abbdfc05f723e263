// The update check's settings and files as the main window uses them: the server address, the
// start-up schedule, and the offer remembered in update.ini that codes 11 and 12 announce.
#pragma once

#include <string>

#include "shell/update_checker.h"

namespace lvx::shell {

// settings.ini OPTIONS/UPDATE_URL when it is a web address, else the maker's server.
std::u16string ReadUpdateServer();

// The start-up schedule with the CHECKUPDATE interval: reads update.ini's last check time and
// installinfo.ini; true (and the checker's request event set) when a check is due.
bool ScheduleUpdateCheck(int checkUpdate, CUpdateChecker& checker);
// The same decision at the current local time, without a request.
bool IsUpdateCheckDueNow(int checkUpdate);

struct UpdateOffer {
  std::u16string main;         // [Version] Main, default "0.0.0.0"
  std::u16string freeUrl;      // [Version] FreeUrl when it is a web address, else the download page
  std::u16string releaseDate;  // [Version] ReleaseDate
  std::u16string whatsNew;     // [Version] WhatsNew
};
// update.ini as the main window reads it for codes 11 and 12.
UpdateOffer ReadUpdateOffer(const std::u16string& server);

}  // namespace lvx::shell
