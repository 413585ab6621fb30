// Calendar dates of the learning data: conversions between day numbers and dates of our
// four-year-cycle calendar, the month steps and texts the calendar and info panels show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "store/day_number.h"

namespace kelvora::learning {

using store::DayNumber;

// Day 0 is 31 December 1979, day 1 is 1 January 1980, day 65535 is 4 June 2159. Every year
// divisible by 4 is a leap year (no century rule), so 2100 has a 29 February (day 43890).
struct CalendarDate {
  std::uint16_t year;  // full year, e.g. 2004
  std::uint8_t month;  // 1..12
  std::uint8_t day;    // 1..31

  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

inline constexpr DayNumber kFirstDay = 1;      // 1 January 1980
inline constexpr DayNumber kLastDay = 0xFFFF;  // 4 June 2159

// Total for every day number, 0 included (31 December 1979).
CalendarDate dayToDate(DayNumber n);

// The day number of a date. A date of this calendar before 1 January 1980 gives kFirstDay and
// one after 4 June 2159 gives kLastDay, so a far-off date read from a file keeps its meaning of
// "long ago" / "far ahead" instead of wrapping to an arbitrary day. Something that is no date at
// all (month outside 1..12, day 0 or past the end of its month) gives 0, "no date". The wide
// overload takes the three numbers as a file supplies them, before any narrowing.
DayNumber dateToDay(std::uint16_t year, std::uint16_t month, std::uint16_t day);
DayNumber dateToDay(const CalendarDate& date);

// First day of the month holding n. For day 0 this is 0 itself: 1 December 1979 has no number.
DayNumber firstOfMonth(DayNumber n);
// First day of the following / preceding month. Where that month lies outside the day-number
// range (after June 2159, before January 1980) the result is firstOfMonth(n): the calendar stays
// on the last month it can show rather than landing in the middle of some other month.
DayNumber nextMonth(DayNumber n);
DayNumber previousMonth(DayNumber n);

// 1 = Monday .. 7 = Sunday.
int weekday(DayNumber n);
// Length in days (28..31) of the month holding n.
int daysInMonth(DayNumber n);
// Length in days (28..31) of a month, 1..12, of any year of our calendar (every fourth year,
// 2100 included, is a leap year).
int monthLength(std::uint32_t year, std::uint32_t month);

// Month abbreviation, a blank and the year: u"Aug 2004".
std::u16string monthTitle(DayNumber n);

// The platform's short date for a calendar date; the desktop front end hands in its locale's.
using ShortDateFormat = std::function<std::u16string(const CalendarDate&)>;

// "YYYY-MM-DD", the format used when the platform gives none.
std::u16string isoShortDate(const CalendarDate& date);

// The date of n in the given format; an empty format falls back to isoShortDate.
std::u16string shortDateText(DayNumber n, const ShortDateFormat& format);

}  // namespace kelvora::learning
