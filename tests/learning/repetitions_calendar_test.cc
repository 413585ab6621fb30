// The repetitions calendar: month grids, which items count on which day, count texts, colours
// and bars, and stepping between months.
#include "learning/repetitions_calendar.h"

#include <gtest/gtest.h>

#include <string>

#include "test_collection.h"

namespace kelvora::learning {
namespace {

using store::DayNumber;
using store::ItemStatus;

constexpr DayNumber kAug14th2004 = 8993;
constexpr DayNumber kAug1st2004 = 8980;

struct Items : testing::TestCollection {
  Items() {
    today = kAug14th2004;
    c.isOpen = true;
  }
  void add(ItemStatus status, std::uint16_t interval, DayNumber last, int copies = 1) {
    for (int i = 0; i < copies; ++i) {
      c.table[c.header.itemCount++] = {
          .interval = interval, .lastRepetition = last, .status = store::code(status)};
    }
  }
  CalendarView view(DayNumber month) const { return calendarView(c, month); }
};

// "day:count" for each day with a count.
std::string dueDays(const CalendarView& v) {
  std::string s;
  for (const auto& cell : v.cells) {
    if (cell.count != 0) s += std::to_string(cell.day) + ":" + std::to_string(cell.count) + " ";
  }
  return s;
}

TEST(RepetitionsCalendar, MonthGrids) {
  struct Case {
    CalendarDate date;
    const char16_t* title;
    int firstCell, days;  // cell of the 1st (1..37), length of the month
    CalendarText first;   // the 1st's number
    CalendarText last;    // the last day's number
  } const cases[] = {
      // The 1st a Sunday: the 31st fills cell 37, second column of the sixth row.
      {{2004, 8, 14},
       u"Aug 2004",
       7,
       31,
       {202, 38, u" 1", kCalendarBlack},
       {37, 113, u"31", kCalendarBlack}},
      // Every fourth year leaps, 2100 too.
      {{2100, 2, 10},
       u"Feb 2100",
       1,
       29,
       {4, 38, u" 1", kCalendarBlack},
       {4, 98, u"29", kCalendarBlack}},
  };
  Items items;
  for (const auto& k : cases) {
    const CalendarView v = items.view(dateToDay(k.date));
    SCOPED_TRACE(std::string(v.labels[0].text.begin(), v.labels[0].text.end()));
    EXPECT_EQ(v.labels[0].text, k.title);
    for (int a = 1; a <= kCalendarCells; ++a) {
      const bool inMonth = a >= k.firstCell && a < k.firstCell + k.days;
      EXPECT_EQ(v.cells[a - 1].day, inMonth ? a - k.firstCell + 1 : 0) << "cell " << a;
    }
    EXPECT_EQ(v.cells[k.firstCell - 1].dayText, k.first);
    EXPECT_EQ(v.cells[k.firstCell + k.days - 2].dayText, k.last);
  }
}

TEST(RepetitionsCalendar, CountTextsColoursAndBarsFollowTheCount) {
  struct Case {
    int day, count;
    CalendarText text;
    Rgb barColour;
    CalendarRect bar;
  } const cases[] = {
      {3, 10, {50, 53, u":10", kCalendarDarkGreen}, kCalendarGreen, {15, 190, 22, 200}},
      {4, 11, {83, 53, u":11", kCalendarDarkBlue}, kCalendarBlue, {22, 189, 29, 200}},
      {5, 30, {116, 53, u":30", kCalendarDarkBlue}, kCalendarBlue, {29, 170, 36, 200}},
      {6, 31, {149, 53, u":31", kCalendarDarkRed}, kCalendarRed, {36, 169, 43, 200}},
      {7, 99, {182, 53, u":99", kCalendarDarkRed}, kCalendarRed, {43, 140, 50, 200}},
      {31, 100, {50, 113, u": \u221E", kCalendarDarkRed}, kCalendarRed, {211, 140, 218, 200}},
  };
  Items items;
  for (const auto& k : cases) {
    items.add(ItemStatus::Memorized, 5, kAug1st2004 + k.day - 6, k.count);
  }
  const CalendarView v = items.view(kAug1st2004);
  for (const auto& k : cases) {
    const CalendarCell& cell = v.cells[k.day + 5];  // August 2004 starts in cell 7
    ASSERT_TRUE(cell.countText && cell.bar) << "day " << k.day;
    EXPECT_EQ(*cell.countText, k.text);
    EXPECT_EQ(cell.bar->rect, k.bar);
    EXPECT_EQ(cell.bar->colour, k.barColour);
  }
  EXPECT_FALSE(v.cells[6].countText || v.cells[6].bar);  // the 1st, no items
}

TEST(RepetitionsCalendar, ItemsCountOnTheirNextRepetitionDayWhateverTheStatus) {
  Items items;
  EXPECT_EQ(dueDays(items.view(kAug1st2004)), "");         // empty: day numbers only
  items.add(ItemStatus::Drill, 1, kAug14th2004);           // 15th
  items.add(ItemStatus::Memorized, 4, kAug14th2004);       // graded today: 18th
  items.add(ItemStatus::Outstanding, 3, kAug1st2004);      // overdue: the 4th, not today
  items.add(ItemStatus::Pending, 0, 0);                    // never counts
  items.add(ItemStatus::Dismissed, 0, kAug1st2004);        // never counts
  items.add(ItemStatus::Memorized, 1, kAug1st2004 - 2);    // 31 July
  items.add(ItemStatus::Memorized, 31, kAug1st2004);       // 1 September
  items.add(ItemStatus::Memorized, 0xFFFF, kAug14th2004);  // past the last day: never
  items.c.table[items.c.header.itemCount] = {.interval = 1, .lastRepetition = kAug1st2004};
  EXPECT_EQ(dueDays(items.view(kAug14th2004)), "4:1 15:1 18:1 ");  // any day of the month
  EXPECT_EQ(dueDays(items.view(previousMonth(kAug1st2004))), "31:1 ");
  EXPECT_EQ(dueDays(items.view(nextMonth(kAug1st2004))), "1:1 ");
}

// Day 65535 is 4 June 2159; the rest of that month has no day number and must not pick up the
// counts of early 1980 by wrapping around.
TEST(RepetitionsCalendar, LastMonthShowsNoCountsPastTheLastDay) {
  Items items;
  items.add(ItemStatus::Memorized, 2, 1);      // 3 January 1980
  items.add(ItemStatus::Memorized, 5, 65530);  // 4 June 2159
  items.add(ItemStatus::Memorized, 8, 65530);  // would be 7 June 2159
  const CalendarView june = items.view(kLastDay);
  EXPECT_EQ(june.cells[34].day, 30);  // the 1st a Saturday
  EXPECT_EQ(dueDays(june), "4:1 ");
  EXPECT_EQ(dueDays(items.view(kFirstDay)), "3:1 ");
}

// Seen from today, the backlog of memorized items waiting since earlier days (earlier months
// too) is today's, past days show none, and the days to come are as they were.
TEST(RepetitionsCalendar, TodayMarkedWithTheWholeBacklog) {
  Items items;
  items.add(ItemStatus::Memorized, 5, kAug14th2004 - 40, 3);  // due in July
  items.add(ItemStatus::Memorized, 3, kAug1st2004);           // due on the 4th
  items.add(ItemStatus::Memorized, 2, kAug14th2004 - 2);      // due today
  items.add(ItemStatus::Dismissed, 3, kAug1st2004);           // waits for nothing
  items.add(ItemStatus::Memorized, 4, kAug14th2004);          // due on the 18th
  EXPECT_EQ(dueDays(items.view(kAug1st2004)), "4:2 14:1 18:1 ");
  const CalendarView v = RepetitionsCalendar(kAug14th2004).view(items.c);
  EXPECT_EQ(dueDays(v), "14:5 18:1 ");
  int marked = 0;
  for (const CalendarCell& cell : v.cells) {
    if (cell.today) {
      ++marked;
      EXPECT_EQ(cell.day, 14);
    }
  }
  EXPECT_EQ(marked, 1);
  RepetitionsCalendar calendar(kAug14th2004);
  calendar.showPreviousMonth();
  EXPECT_EQ(dueDays(calendar.view(items.c)), "");
}

// The weekday captions stand over their columns and the chart's scale under its bars, each a
// text of its own, whatever the font.
TEST(RepetitionsCalendar, CaptionsLineUpWithTheirColumns) {
  Items items;
  const CalendarView v = items.view(kAug1st2004);
  auto at = [&v](std::u16string_view text) {
    for (const CalendarText& t : v.labels) {
      if (t.text == text) return t.x;
    }
    return -1;
  };
  // Monday the 2nd and Sunday the 8th (August 2004 starts on a Sunday).
  EXPECT_EQ(at(u"Mo"), v.cells[7].dayText.x);
  EXPECT_EQ(at(u"Su"), v.cells[6].dayText.x);
  EXPECT_EQ(at(u"14"), 1 + 7 * 13);
}

TEST(RepetitionsCalendar, OpensOnTodaysMonthAndStepsOneMonthAtATime) {
  RepetitionsCalendar calendar(dateToDay(2004, 12, 25));
  EXPECT_EQ(calendar.month(), dateToDay(2004, 12, 1));
  calendar.showNextMonth();
  EXPECT_EQ(calendarView(Items().c, calendar.month()).labels[0].text, u"Jan 2005");
  calendar.showPreviousMonth();
  EXPECT_EQ(calendar.month(), dateToDay(2004, 12, 1));
}

}  // namespace
}  // namespace kelvora::learning
