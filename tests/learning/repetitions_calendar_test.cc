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
  items.add(ItemStatus::Memorized, 5, kAug14th2004 - 40, 2);  // due in July
  items.add(ItemStatus::Outstanding, 5, kAug14th2004 - 40);   // marked so by a recount
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

// Every day's count is the length of its list, and each counted item is listed on one day
// only: a month with items on its first and last days and just outside them, a backlog of
// memorized items from earlier months (and drill items past their day, which count nowhere),
// and the last month of the day range with sums that pass its end.
TEST(RepetitionsCalendar, CountsAreTheLengthsOfTheDayLists) {
  Items items;
  const DayNumber aug31 = kAug1st2004 + 30;
  items.add(ItemStatus::Memorized, 1, kAug1st2004 - 1, 2);      // the 1st
  items.add(ItemStatus::Drill, 1, aug31 - 1, 3);                // the 31st
  items.add(ItemStatus::Memorized, 2, aug31, 1);                // 2 September
  items.add(ItemStatus::Memorized, 1, kAug1st2004 - 2, 1);      // 31 July
  items.add(ItemStatus::Outstanding, 9, kAug14th2004 - 60, 4);  // backlog from June
  items.add(ItemStatus::Memorized, 2, kAug14th2004 - 5, 2);     // backlog from the 11th
  items.add(ItemStatus::Drill, 1, kAug14th2004 - 3, 2);         // past its day: nowhere
  items.add(ItemStatus::Memorized, 3, kAug14th2004 - 3, 1);     // today
  for (int i = 0; i < 40; ++i) {
    items.add(i % 3 == 0 ? ItemStatus::Drill : ItemStatus::Memorized,
              static_cast<std::uint16_t>(1 + i % 17), static_cast<DayNumber>(kAug1st2004 + i % 9));
  }
  items.add(ItemStatus::Memorized, 4, kLastDay - 4, 2);  // 4 June 2159, the last day
  items.add(ItemStatus::Memorized, 9, kLastDay - 4, 1);  // past it
  items.add(ItemStatus::Memorized, 0xFFFF, kLastDay, 1);

  struct Seen {
    DayNumber month;
    DayNumber today;
  } const months[] = {{kAug1st2004, kAug14th2004},
                      {previousMonth(kAug1st2004), kAug14th2004},
                      {nextMonth(kAug1st2004), kAug14th2004},
                      {kAug1st2004, 0},
                      {firstOfMonth(kLastDay), kAug14th2004},
                      {firstOfMonth(kLastDay), kLastDay - 1}};
  for (const Seen& seen : months) {
    const CalendarView v = calendarView(items.c, seen.month, seen.today);
    std::vector<int> listed(items.c.header.itemCount, 0);
    int total = 0;
    for (const CalendarCell& cell : v.cells) {
      if (cell.day == 0) continue;
      const auto day = static_cast<long>(seen.month) + cell.day - 1;
      const auto positions = day > kLastDay
                                 ? std::vector<std::uint16_t>{}
                                 : itemsOfDay(items.c, static_cast<DayNumber>(day), seen.today);
      EXPECT_EQ(cell.count, static_cast<int>(positions.size()))
          << "day " << cell.day << " of " << seen.month << " seen on " << seen.today;
      for (const auto p : positions) ++listed[p];
      total += cell.count;
    }
    for (const int n : listed) EXPECT_LE(n, 1);
    if (seen.month == kAug1st2004 && seen.today == kAug14th2004) {
      EXPECT_GT(total, 40);
    }
  }
  EXPECT_EQ(itemsOfDay(items.c, kLastDay, kLastDay - 1).size(), 2u);
}

// A day's rows carry the item's texts on one line each, its status and interval; the backlog
// is marked overdue. The item the window had loaded, edited and not yet stored, is stored and
// stays loaded; an item with learning data but no record yet lists empty and takes no slot.
TEST(RepetitionsCalendar, DayListRowsAndTheLoadedItemAfterThem) {
  testing::TestCollection t;
  t.today = kAug14th2004;
  t.create();
  const auto overdue = t.add(u"First\r\nline two", u"Answer one\r\nmore");
  const auto due = t.add(u"Due\rtoday", u"Single");
  const auto later = t.add(u"Later", u"Not listed");
  t.c.table[overdue] = {t.c.table[overdue].recordOffset,      2, kAug14th2004 - 9, 0,
                        store::code(ItemStatus::Outstanding), 0};
  t.c.table[due] = {t.c.table[due].recordOffset,    1, kAug14th2004 - 1, 0,
                    store::code(ItemStatus::Drill), 0};
  t.c.table[later].interval = 5;
  t.c.table[later].lastRepetition = kAug14th2004;
  const std::uint16_t blank = t.c.header.itemCount++;
  t.c.table[blank] = {
      store::kNoRecord, 3, kAug14th2004 - 3, 0, store::code(ItemStatus::Memorized), 0};
  ASSERT_TRUE(t.read(later));
  t.c.loaded.question = u"Later, edited";
  t.c.loaded.itemModified = true;
  const auto slots = t.c.header.nextSlotNumber;

  const auto rows = dayList(t.c, kAug14th2004, kAug14th2004);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (DayListRow{overdue, u"First line two", u"Answer one", u"Memorized, overdue",
                                 u"2 days", true}));
  EXPECT_EQ(rows[1], (DayListRow{due, u"Due today", u"Single", u"Drill", u"1 day", false}));
  EXPECT_EQ(rows[2], (DayListRow{blank, u"", u"", u"Memorized", u"3 days", false}));
  EXPECT_EQ(t.c.currentPosition, later);
  EXPECT_EQ(t.c.loaded.loadedPosition, later);
  EXPECT_EQ(t.c.loaded.question, u"Later, edited");
  EXPECT_FALSE(t.c.loaded.itemModified);
  EXPECT_EQ(t.c.header.nextSlotNumber, slots);
  EXPECT_EQ(t.c.table[blank].recordOffset, store::kNoRecord);
  ASSERT_TRUE(t.read(overdue));
  ASSERT_TRUE(t.read(later));
  EXPECT_EQ(t.c.loaded.question, u"Later, edited");  // the edit reached the file
}

// A loaded item whose edit cannot be stored is reported, as any failed store is, and the
// day's rows go without texts rather than reading over it.
TEST(RepetitionsCalendar, DayListAfterAnEditThatCannotBeStored) {
  testing::TestCollection t;
  t.today = kAug14th2004;
  t.create();
  const auto p = t.add(u"Question", u"Answer");
  t.c.table[p].interval = 1;
  t.c.table[p].lastRepetition = kAug14th2004 - 1;
  t.c.table[p].status = store::code(ItemStatus::Drill);
  ASSERT_TRUE(t.read(p));
  t.c.loaded.answer = u"Edited";
  t.c.loaded.itemModified = true;
  t.files.writeBudget = 0;
  const auto rows = dayList(t.c, kAug14th2004, kAug14th2004);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].question, u"");
  EXPECT_FALSE(t.messages.shown.empty());
  EXPECT_EQ(t.c.loaded.loadedPosition, p);
}

// The keyboard's selection moves a day or a week into the months around; "<" and ">" keep its
// day of the month where the month has one; both stay inside the day range.
TEST(RepetitionsCalendar, SelectionMovesByDaysWeeksAndMonths) {
  RepetitionsCalendar calendar(dateToDay(2004, 12, 31));
  EXPECT_EQ(calendar.selectedDay(), dateToDay(2004, 12, 31));
  calendar.moveSelection(1);
  EXPECT_EQ(calendar.selectedDay(), dateToDay(2005, 1, 1));
  EXPECT_EQ(calendar.month(), dateToDay(2005, 1, 1));
  calendar.moveSelection(-7);
  EXPECT_EQ(calendar.month(), dateToDay(2004, 12, 1));
  calendar.selectDay(dateToDay(2008, 1, 31));
  calendar.showNextMonth();
  EXPECT_EQ(calendar.selectedDay(), dateToDay(2008, 2, 29));
  calendar.showNextMonth();
  EXPECT_EQ(calendar.selectedDay(), dateToDay(2008, 3, 29));
  calendar.selectDay(dateToDay(2159, 5, 31));
  calendar.showNextMonth();
  EXPECT_EQ(calendar.selectedDay(), kLastDay);
  calendar.showNextMonth();
  EXPECT_EQ(calendar.selectedDay(), kLastDay);
  calendar.moveSelection(7);
  EXPECT_EQ(calendar.selectedDay(), kLastDay);
  calendar.selectDay(dateToDay(1980, 1, 3));
  calendar.moveSelection(-7);
  EXPECT_EQ(calendar.selectedDay(), kFirstDay);
  calendar.showPreviousMonth();
  EXPECT_EQ(calendar.month(), kFirstDay);
  const CalendarView v = calendar.view(Items().c);
  EXPECT_TRUE(v.cells[1].selected);  // 1 January 1980 was a Tuesday
}

// A click finds the cell under it: anywhere in a cell, its day number at the top left, and
// nothing outside the grid.
TEST(RepetitionsCalendar, PointsFindTheirCell) {
  const CalendarView v = calendarView(Items().c, kAug1st2004);
  for (int cell = 0; cell < kCalendarCells; ++cell) {
    if (v.cells[cell].day == 0) continue;
    const CalendarText& t = v.cells[cell].dayText;
    EXPECT_EQ(calendarCellAt(t.x, t.y), cell);
    EXPECT_EQ(calendarCellAt(t.x + kCalendarColumnWidth - 4, t.y + kCalendarRowHeight - 2), cell);
  }
  EXPECT_EQ(calendarCellAt(0, 40), std::nullopt);
  EXPECT_EQ(calendarCellAt(100, 20), std::nullopt);  // the weekday captions
  EXPECT_EQ(calendarCellAt(240, 40), std::nullopt);
  EXPECT_EQ(calendarCellAt(40, 37 + 6 * kCalendarRowHeight), std::nullopt);  // the chart
}

}  // namespace
}  // namespace kelvora::learning
