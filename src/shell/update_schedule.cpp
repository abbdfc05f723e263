#include "shell/update_schedule.h"

#include <cstdio>

#include "shell/ini_values.h"

namespace lvx::shell {
namespace {

// One "%d" of a scanf format: blanks, an optional sign, at least one digit.
bool ScanNumber(std::u16string_view text, size_t* pos, int* out) {
  size_t i = *pos;
  while (i < text.size() && IsBlank(text[i])) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  size_t digits = i;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && i - digits < 9) ++i;
  if (i == digits) return false;
  *out = IniDecimal(text.substr(start, i - start));
  *pos = i;
  return true;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t Seconds(const LocalTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace

bool ParseCheckTime(std::u16string_view text, LocalTime* out) {
  int v[6];
  static const char16_t kSeparators[] = u"-- ::";
  size_t pos = 0;
  for (int i = 0; i < 6; ++i) {
    if (i > 0) {
      // A blank in a scanf format matches any run of white space, including none.
      if (kSeparators[i - 1] == u' ') {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
      } else if (pos < text.size() && text[pos] == kSeparators[i - 1]) {
        ++pos;
      } else {
        return false;
      }
    }
    if (!ScanNumber(text, &pos, &v[i])) return false;
  }
  LocalTime t{v[0], v[1], v[2], v[3], v[4], v[5]};
  if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
      t.minute > 59 || t.second < 0 || t.second > 59)
    return false;
  *out = t;
  return true;
}

std::u16string FormatCheckTime(const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

int64_t SecondsBetween(const LocalTime& from, const LocalTime& to) { return Seconds(to) - Seconds(from); }

bool IsUpdateCheckDue(int interval, std::u16string_view lastCheckTime, const LocalTime& now,
                      bool installInfoExists, std::u16string_view isChecked) {
  if (interval == kCheckNever) return false;
  bool due = true;
  LocalTime last;
  if (ParseCheckTime(lastCheckTime, &last)) {
    int64_t seconds = SecondsBetween(last, now);
    if (seconds >= 0) {
      int64_t days = seconds / 86400;
      due = (interval == kCheckDaily && days >= 1) || (interval == kCheckWeekly && days >= 7) ||
            (interval == kCheckMonthly && days >= 30);
    }
  }
  return due || !installInfoExists || EqualsFolded(isChecked, u"FALSE");
}

}  // namespace lvx::shell
