#include "backup/DateTime.h"

namespace ns {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

bool IsValidDate(int year, int month, int day) {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

std::int64_t DayNumber(const TDate& date) {
  // Days since 1 March of year 0: counting years from March puts the leap day
  // at the end of the year, so that every month before it has a fixed offset.
  std::int64_t year = date.Year - (date.Month <= 2 ? 1 : 0);
  std::int64_t month = date.Month <= 2 ? date.Month + 9 : date.Month - 3;
  std::int64_t dayOfYear = (153 * month + 2) / 5 + date.Day - 1;
  return year * 365 + year / 4 - year / 100 + year / 400 + dayOfYear;
}

int IsoWeekday(const TDate& date) {
  // 1 January 2024 was a Monday.
  const std::int64_t monday = DayNumber(TDate{2024, 1, 1});
  std::int64_t offset = (DayNumber(date) - monday) % 7;
  if (offset < 0) offset += 7;
  return static_cast<int>(offset) + 1;
}

}  // namespace ns
