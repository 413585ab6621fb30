// Day numbers against calendar dates, month steps, weekdays and the date texts.
#include "learning/calendar_date.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kelvora::learning {
namespace {

struct DayDate {
  DayNumber day;
  CalendarDate date;
};

TEST(DayNumbers, ConvertToAndFromTheirCalendarDates) {
  const DayDate cases[] = {
      {0, {1979, 12, 31}},   {1, {1980, 1, 1}},      {367, {1981, 1, 1}},
      {8826, {2004, 2, 29}}, {43890, {2100, 2, 29}}, {65535, {2159, 6, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.day);
    EXPECT_EQ(dayToDate(c.day), c.date);
    if (c.day != 0) {
      EXPECT_EQ(dateToDay(c.date), c.day);
    }
  }
}

// Together with the fixed points above this pins the whole range: no date is skipped or repeated.
TEST(DayNumbers, EveryDayIsTheDayAfterItsPredecessorAndRoundTrips) {
  CalendarDate previous = dayToDate(0);
  for (unsigned n = 1; n <= 0xFFFF; ++n) {
    const auto day = static_cast<DayNumber>(n);
    const CalendarDate date = dayToDate(day);
    ASSERT_EQ(dateToDay(date), day);
    if (date.day == 1) {
      ASSERT_EQ(previous.day, daysInMonth(static_cast<DayNumber>(n - 1))) << n;
      ASSERT_EQ(date.month, previous.month % 12 + 1) << n;
      ASSERT_EQ(date.year, previous.year + (date.month == 1 ? 1 : 0)) << n;
    } else {
      ASSERT_EQ(date.day, previous.day + 1) << n;
      ASSERT_EQ(date.month, previous.month) << n;
      ASSERT_EQ(date.year, previous.year) << n;
    }
    previous = date;
  }
}

TEST(DayNumbers, DatesOutsideTheRangeSaturateAndNonDatesGiveNoDate) {
  struct Case {
    std::uint16_t year, month, day;
    DayNumber expected;
  };
  const Case cases[] = {
      {1979, 12, 31, 1}, {2159, 6, 5, 65535}, {2004, 0, 1, 0},  {2004, 13, 1, 0},
      {2004, 1, 0, 0},   {2004, 1, 32, 0},    {2005, 2, 29, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dateToDay(c.year, c.month, c.day), c.expected)
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(CalendarMonths, StepToNeighbouringMonthsAndKnowTheirLength) {
  struct Case {
    DayNumber day, first, next, previous;
    int length;
  };
  const Case cases[] = {
      {9132, 9102, 9133, 9072, 31},      // 31 December 2004
      {8826, 8798, 8827, 8767, 29},      // 29 February 2004
      {43889, 43862, 43891, 43831, 29},  // 28 February 2100
      {31, 1, 32, 1, 31},                // January 1980: nothing before it
      {65535, 65532, 65532, 65501, 30},  // June 2159: nothing after it
      {0, 0, 1, 0, 31},                  // 31 December 1979 alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.day);
    EXPECT_EQ(firstOfMonth(c.day), c.first);
    EXPECT_EQ(nextMonth(c.day), c.next);
    EXPECT_EQ(previousMonth(c.day), c.previous);
    EXPECT_EQ(daysInMonth(c.day), c.length);
  }
}

TEST(CalendarMonths, WeekdaysRunFromMondayOneToSundaySeven) {
  const std::pair<DayNumber, int> cases[] = {
      {0, 1},
      {1, 2},
      {7, 1},
      {8980, 7},
  };
  for (const auto& [day, expected] : cases) EXPECT_EQ(weekday(day), expected) << day;
}

TEST(DateTexts, MonthTitleIsAbbreviationBlankYear) {
  const std::pair<DayNumber, std::u16string> cases[] = {
      {8980, u"Aug 2004"},
      {0, u"Dec 1979"},
      {65535, u"Jun 2159"},
  };
  for (const auto& [day, expected] : cases) EXPECT_EQ(monthTitle(day), expected) << day;
}

TEST(DateTexts, ShortDateUsesTheGivenFormatOrIsoWithoutOne) {
  EXPECT_EQ(shortDateText(8993, {}), u"2004-08-14");
  EXPECT_EQ(shortDateText(1, isoShortDate), u"1980-01-01");
  const ShortDateFormat dayFirst = [](const CalendarDate& d) {
    return std::u16string{static_cast<char16_t>(u'0' + d.day / 10),
                          static_cast<char16_t>(u'0' + d.day % 10), u'/',
                          static_cast<char16_t>(u'0' + d.month)};
  };
  EXPECT_EQ(shortDateText(8826, dayFirst), u"29/2");
}

}  // namespace
}  // namespace kelvora::learning
