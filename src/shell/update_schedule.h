// Whether the update check is due at start. update.ini [Check] LastCheckTime holds the local time
// of the last completed check as "%Y-%m-%d %H:%M:%S"; whole days since then are compared with the
// CHECKUPDATE interval (0 daily, 1 weekly, 2 monthly, 3 never). The first start after an install or
// upgrade (installinfo.ini missing, or its IsChecked "FALSE") checks regardless of the interval.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lvx::shell {

constexpr int kCheckDaily = 0, kCheckWeekly = 1, kCheckMonthly = 2, kCheckNever = 3;
constexpr char16_t kDefaultLastCheckTime[] = u"2011-01-01 21:04:54";

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "%d-%d-%d %d:%d:%d"; false for text that does not hold six numbers or holds an impossible date.
bool ParseCheckTime(std::u16string_view text, LocalTime* out);
// "%Y-%m-%d %H:%M:%S".
std::u16string FormatCheckTime(const LocalTime& time);
// to - from in seconds, both read as times of one clock (no time zone or daylight saving involved).
int64_t SecondsBetween(const LocalTime& from, const LocalTime& to);

// A last check time that cannot be read, or that lies in the future (the clock was set back), makes
// the check due: otherwise a damaged file or a clock change would silence the check for good.
bool IsUpdateCheckDue(int interval, std::u16string_view lastCheckTime, const LocalTime& now,
                      bool installInfoExists, std::u16string_view isChecked);

}  // namespace lvx::shell
