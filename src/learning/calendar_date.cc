// Day-number arithmetic of the learning calendar: four-year cycles of 1461 days starting with
// a leap year at 1980, and the month steps built on them.
#include "learning/calendar_date.h"

#include <array>
#include <string>

#include "store/utf16_text.h"

namespace kelvora::learning {
namespace {

constexpr int kEpochYear = 1980;  // year of day 1
constexpr int kCycleDays = 1461;  // one leap year and three common years
constexpr std::array<int, 12> kMonthLengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr std::array<const char16_t*, 12> kMonthAbbreviations = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};

bool isLeapYear(int year) { return year % 4 == 0; }
int yearLength(int year) { return isLeapYear(year) ? 366 : 365; }

// Day count of a valid date without the 16-bit limit: 1 January 1980 is 1, earlier dates go
// to 0 and below. Whole years are counted from the start of the date's four-year cycle.
long dayCount(int year, int month, int day) {
  const int yearsSinceEpoch = year - kEpochYear;
  int cycles = yearsSinceEpoch / 4;
  int yearInCycle = yearsSinceEpoch % 4;
  if (yearInCycle < 0) {  // round toward minus infinity for years before 1980
    yearInCycle += 4;
    --cycles;
  }
  long n = static_cast<long>(cycles) * kCycleDays;
  for (int i = 0; i < yearInCycle; ++i) n += i == 0 ? 366 : 365;
  for (int m = 1; m < month; ++m) n += monthLength(year, m);
  return n + day;
}

}  // namespace

CalendarDate dayToDate(DayNumber n) {
  const int cycles = n / kCycleDays;
  int rest = n % kCycleDays;
  if (rest == 0) {  // the last day of the previous cycle
    return {static_cast<std::uint16_t>(kEpochYear - 1 + 4 * cycles), 12, 31};
  }
  int year = kEpochYear + 4 * cycles;
  while (rest > yearLength(year)) {
    rest -= yearLength(year);
    ++year;
  }
  int month = 1;
  while (month < 12 && rest > monthLength(year, month)) {
    rest -= monthLength(year, month);
    ++month;
  }
  return {static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(month),
          static_cast<std::uint8_t>(rest)};
}

DayNumber dateToDay(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  if (month < 1 || month > 12 || day < 1 || day > monthLength(year, month)) return 0;
  const long n = dayCount(year, month, day);
  if (n < kFirstDay) return kFirstDay;
  if (n > kLastDay) return kLastDay;
  return static_cast<DayNumber>(n);
}

DayNumber dateToDay(const CalendarDate& date) { return dateToDay(date.year, date.month, date.day); }

DayNumber firstOfMonth(DayNumber n) {
  const int day = dayToDate(n).day;
  return n < day ? 0 : static_cast<DayNumber>(n - day + 1);
}

DayNumber nextMonth(DayNumber n) {
  const CalendarDate date = dayToDate(n);
  const bool december = date.month == 12;
  const long first = dayCount(date.year + (december ? 1 : 0), december ? 1 : date.month + 1, 1);
  return first > kLastDay ? firstOfMonth(n) : static_cast<DayNumber>(first);
}

DayNumber previousMonth(DayNumber n) {
  const CalendarDate date = dayToDate(n);
  const bool january = date.month == 1;
  const long first = dayCount(date.year - (january ? 1 : 0), january ? 12 : date.month - 1, 1);
  return first < kFirstDay ? firstOfMonth(n) : static_cast<DayNumber>(first);
}

int weekday(DayNumber n) { return n % 7 + 1; }

int monthLength(std::uint32_t year, std::uint32_t month) {
  return month == 2 && isLeapYear(static_cast<int>(year)) ? 29 : kMonthLengths[month - 1];
}

int daysInMonth(DayNumber n) {
  const CalendarDate date = dayToDate(n);
  return monthLength(date.year, date.month);
}

std::u16string monthTitle(DayNumber n) {
  const CalendarDate date = dayToDate(n);
  return kMonthAbbreviations[date.month - 1] + (u" " + store::decimalText(date.year));
}

std::u16string isoShortDate(const CalendarDate& date) {
  return store::decimalText(date.year, 4) + u'-' + store::decimalText(date.month, 2) + u'-' +
         store::decimalText(date.day, 2);
}

std::u16string shortDateText(DayNumber n, const ShortDateFormat& format) {
  const CalendarDate date = dayToDate(n);
  return format ? format(date) : isoShortDate(date);
}

}  // namespace kelvora::learning
