// The system's own rule for the current zone, applied for the date asked (as the shell does when it
// shows a file's date).
#include "platform/local_time.h"

#include "platform/win32/win32.h"

namespace lvx::os {

bool LocalDayToUtc(int year, int month, int day, bool endOfDay, FileTime* utc) {
  if (!IsValidDay(year, month, day)) return false;
  const WORD end = endOfDay;  // 23:59:59.999, else 00:00:00.000
  const SYSTEMTIME local = {WORD(year),     WORD(month),    0,              WORD(day),
                            WORD(23 * end), WORD(59 * end), WORD(59 * end), WORD(999 * end)};
  SYSTEMTIME universal;
  FILETIME ft;
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) || !::SystemTimeToFileTime(&universal, &ft))
    return false;
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
