// Local calendar days as UTC file times. A day's bounds are converted with the time-zone offset in
// force on that day (daylight-saving time or not), as Explorer shows the dates of files, so that a
// file written on a summer day falls inside that day's bounds also when asked in winter.
#pragma once

#include "platform/os_types.h"

namespace lvx::os {

// The first (00:00:00.000) or last (23:59:59.999) millisecond of a local calendar day in UTC.
// False for a day that does not exist (February 30), a year before 1601, or when the time lies
// before the first file time once in UTC.
bool LocalDayToUtc(int year, int month, int day, bool endOfDay, FileTime* utc);

// A wall-clock time of the local zone.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// A UTC file time as the local wall-clock time by the rule in force at that moment, the way a
// file's date is shown (the results list does so, so that the dates it shows and the bounds above
// agree). False when the time cannot be expressed.
bool UtcToLocal(FileTime utc, LocalTime* local);

// True for a Gregorian date from 1601 to 30827 (the years a SYSTEMTIME holds).
inline bool IsValidDay(int year, int month, int day) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= (month == 2 && leap ? 29 : kDays[month - 1]);
}

}  // namespace lvx::os
