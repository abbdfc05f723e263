// The system's own rule for the current zone, applied for the date asked (as the shell does when it
// shows a file's date).
#include "platform/local_time.h"

#include "platform/win32/win32.h"

namespace lvx::os {

bool LocalDayToUtc(int year, int month, int day, bool endOfDay, FileTime* utc) {
  if (!IsValidDay(year, month, day)) return false;
  SYSTEMTIME local = {};
  local.wYear = WORD(year);
  local.wMonth = WORD(month);
  local.wDay = WORD(day);
  if (endOfDay) {
    local.wHour = 23;
    local.wMinute = 59;
    local.wSecond = 59;
    local.wMilliseconds = 999;
  }
  SYSTEMTIME universal;
  FILETIME ft;
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal)) return false;
  if (!::SystemTimeToFileTime(&universal, &ft)) return false;
  *utc = FileTime{ft.dwLowDateTime, ft.dwHighDateTime};
  return true;
}

bool UtcToLocal(FileTime utc, LocalTime* local) {
  const FILETIME ft = {utc.low, utc.high};
  SYSTEMTIME universal, wall;
  if (!::FileTimeToSystemTime(&ft, &universal) || !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &wall))
    return false;
  *local = {wall.wYear, wall.wMonth, wall.wDay, wall.wHour, wall.wMinute, wall.wSecond, wall.wMilliseconds};
  return true;
}

}  // namespace lvx::os
