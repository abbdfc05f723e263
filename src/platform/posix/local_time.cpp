// The C library's zone (TZ or /etc/localtime) with its rule for the date asked.
#include "platform/local_time.h"

#include <ctime>

namespace lvx::os {
namespace {

int64_t DaysSince1601(int year, int month, int day) {
  static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int64_t years = year - 1601;
  return years * 365 + years / 4 - years / 100 + years / 400 + kBefore[month - 1] + (month > 2 && leap) + day - 1;
}

// How far local time is ahead of UTC (seconds) at a local wall-clock time. Outside the years the C
// library takes, the same time 400 years on or back is asked: the calendar repeats itself then,
// weekdays included, and with it every daylight-saving rule that names a weekday.
bool LocalOffset(int year, int month, int day, int hour, int minute, int second, int64_t* offset) {
  int cycles = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1) {
      while (year + cycles * 400 < 1971) ++cycles;
      while (year + cycles * 400 > 2970) --cycles;
      if (cycles == 0) return false;
    }
    std::tm local{};
    local.tm_year = year + cycles * 400 - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
    const std::time_t utc = std::mktime(&local);
    if (utc == std::time_t(-1)) continue;
    const int64_t wall = (DaysSince1601(year + cycles * 400, month, day) * 24 + hour) * 3600 + minute * 60 + second;
    *offset = wall - (int64_t(utc) + FileTime::kUnixEpochSeconds);
    return true;
  }
  return false;
}

}  // namespace

bool LocalDayToUtc(int year, int month, int day, bool endOfDay, FileTime* utc) {
  if (!IsValidDay(year, month, day)) return false;
  const int hour = endOfDay ? 23 : 0, minute = endOfDay ? 59 : 0, second = endOfDay ? 59 : 0;
  int64_t offset = 0;
  if (!LocalOffset(year, month, day, hour, minute, second, &offset)) return false;
  const int64_t seconds = (DaysSince1601(year, month, day) * 24 + hour) * 3600 + minute * 60 + second - offset;
  if (seconds < 0) return false;
  *utc = FileTime::From(uint64_t(seconds) * 10000000u + (endOfDay ? 9990000 : 0));  // and .999 s
  return true;
}

bool UtcToLocal(FileTime utc, LocalTime* local) {
  const uint64_t units = utc.Value();
  const std::time_t seconds = std::time_t(int64_t(units / 10000000u) - FileTime::kUnixEpochSeconds);
  std::tm wall{};
  if (!localtime_r(&seconds, &wall)) return false;
  *local = {wall.tm_year + 1900, wall.tm_mon + 1, wall.tm_mday, wall.tm_hour, wall.tm_min, wall.tm_sec,
            int(units / 10000u % 1000u)};
  return true;
}

}  // namespace lvx::os
