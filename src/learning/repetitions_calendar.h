// The repetitions calendar as data to paint: for one month, the grid of days with the number of
// items falling due on each, and a bar chart of the same counts; and the list of the items
// behind one day's count. Nothing here draws.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "learning/calendar_date.h"
#include "store/collection.h"

namespace kelvora::learning {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kCalendarBlack{0, 0, 0};
inline constexpr Rgb kCalendarWhite{255, 255, 255};
inline constexpr Rgb kCalendarDarkGreen{0, 128, 0};  // title; counts up to 10
inline constexpr Rgb kCalendarDarkBlue{0, 0, 128};   // "Sa"; counts 11..30
inline constexpr Rgb kCalendarDarkRed{128, 0, 0};    // counts over 30
inline constexpr Rgb kCalendarSundayRed{164, 0, 0};  // "Su"
inline constexpr Rgb kCalendarGreen{0, 255, 0};      // bars of counts up to 10
inline constexpr Rgb kCalendarBlue{0, 0, 255};       // bars of counts 11..30
inline constexpr Rgb kCalendarRed{255, 0, 0};        // bars of counts over 30

// All coordinates are pixels of the drawing area, origin at its top left corner.

// Right and bottom are exclusive: a bar of n items covers the n pixel rows above its bottom.
struct CalendarRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const CalendarRect&) const = default;
};

// A one-pixel black line; the end point itself is not drawn.
struct CalendarLine {
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
  bool dashed = false;
  bool operator==(const CalendarLine&) const = default;
};

// Text in Tahoma at 11 pixels character height, its box's top left corner at (x, y), drawn
// opaque: the box behind the glyphs is filled white first.
struct CalendarText {
  int x = 0;
  int y = 0;
  std::u16string text;
  Rgb colour;
  bool bold = false;
  bool operator==(const CalendarText&) const = default;
};

struct CalendarBar {
  CalendarRect rect;
  Rgb colour;
  bool operator==(const CalendarBar&) const = default;
};

// The size of a grid cell; a cell's day number stands at its top left corner.
inline constexpr int kCalendarColumnWidth = 33;
inline constexpr int kCalendarRowHeight = 15;

// Cell A (1..37) of the grid stands in column (A - 1) mod 7, Monday first, and row (A - 1) div 7.
inline constexpr int kCalendarCells = 37;

struct CalendarCell {
  int day = 0;    // day of the month; 0: the cell lies outside the month and shows nothing
  int count = 0;  // items whose next repetition falls on this day
  bool today = false;
  bool selected = false;  // the day the keyboard and the day list are on
  CalendarText dayText;
  std::optional<CalendarText> countText;  // only when count > 0
  std::optional<CalendarBar> bar;         // only when count > 0
};

// The cell (0..36) holding the point (x, y) of the drawing area: a cell spans its column's
// width from one pixel left of its day number and its row's height from one pixel above it.
// Nothing outside the grid.
std::optional<int> calendarCellAt(int x, int y);

// Painted in member order: the frame (black border, white inside), the lines, the labels, then
// each cell's texts and bar.
struct CalendarView {
  DayNumber month = 0;  // first day of the month shown
  CalendarRect frame;
  std::vector<CalendarLine> lines;
  std::vector<CalendarText> labels;  // the month title first, then the fixed captions
  std::array<CalendarCell, kCalendarCells> cells;
};

// The day an item counts on: lastRepetition + interval, taken as a full-width sum, whatever
// its status; nothing for an item with interval 0 or one whose sum passes the last day number.
// Given today, a memorized item whose day has passed counts on today, with those due today;
// an item past its day that waits for nothing (not memorized) counts nowhere.
std::optional<DayNumber> calendarDayOf(const store::ItemIndexEntry& entry, DayNumber today);

// The calendar of the month holding day month (day 0, "no date", counts as day 1): each day
// counts the items calendarDayOf puts on it. Past days therefore show no count, and today's
// shows the whole backlog. One pass over the item table, however many days are shown.
CalendarView calendarView(const store::Collection& collection, DayNumber month,
                          DayNumber today = 0);

// The positions, in table order, of the items that count on day: as many as its count shows.
std::vector<std::uint16_t> itemsOfDay(const store::Collection& collection, DayNumber day,
                                      DayNumber today);

// One line of a day's list, its texts ready to show.
struct DayListRow {
  std::uint16_t position = 0;
  std::u16string question;  // line breaks shown as blanks
  std::u16string answer;    // its first line
  std::u16string status;    // as the item panel names it; ", overdue" when its day has passed
  std::u16string interval;  // "1 day", "N days"
  bool overdue = false;     // fell due before today, listed under today
  bool operator==(const DayListRow&) const = default;
};

// The list behind day's count. Each item's texts are read from its record (an item never
// written has empty texts); the loaded item is written back first if it was changed, and the
// current position and loaded item are the same afterwards.
std::vector<DayListRow> dayList(store::Collection& collection, DayNumber day, DayNumber today);

// The dialog's state: the month shown and the day selected in it, today's when it opens. "<"
// and ">" step a month at a time, the selection keeping its day of the month where the month
// has it, and stay put at either end of the day range; the arrow keys move the selection a day
// or a week, into the next or previous month where it leads.
class RepetitionsCalendar {
 public:
  explicit RepetitionsCalendar(DayNumber today)
      : m_today(today), m_selected(std::max(today, kFirstDay)), m_month(firstOfMonth(m_selected)) {}

  DayNumber today() const { return m_today; }
  DayNumber month() const { return m_month; }
  DayNumber selectedDay() const { return m_selected; }
  void showPreviousMonth() { showMonth(previousMonth(m_month)); }
  void showNextMonth() { showMonth(nextMonth(m_month)); }
  // Days forward (negative: back), held to the day range.
  void moveSelection(int days);
  // A day of the range; the month shown becomes its month.
  void selectDay(DayNumber day);
  CalendarView view(const store::Collection& collection) const;
  std::vector<DayListRow> selectedDayList(store::Collection& collection) const {
    return dayList(collection, m_selected, m_today);
  }

 private:
  void showMonth(DayNumber first);

  DayNumber m_today;
  DayNumber m_selected;
  DayNumber m_month;
};

}  // namespace kelvora::learning
