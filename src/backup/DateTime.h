#pragma once
// A local calendar date and time as the system clock gives it. The worker
// reads the clock (GetLocalTime) and passes the values in, so the rules that
// use them need no operating system.
#include <compare>
#include <cstdint>

namespace ns {

struct TDate {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31

  auto operator<=>(const TDate&) const = default;
};

struct TDateTime {
  TDate Date;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
};

// True for a day that exists in the Gregorian calendar.
bool IsValidDate(int year, int month, int day);

// Consecutive numbers for consecutive days, so that dates can be set apart
// by a number of days. Valid dates only.
std::int64_t DayNumber(const TDate& date);

// The day of the week of a valid date: 1 for Monday to 7 for Sunday.
int IsoWeekday(const TDate& date);

}  // namespace ns
