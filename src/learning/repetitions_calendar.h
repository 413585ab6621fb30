// The repetitions calendar as data to paint: for one month, the grid of days with the number of
// items falling due on each, and a bar chart of the same counts. Nothing here draws.
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
  CalendarText dayText;
  std::optional<CalendarText> countText;  // only when count > 0
  std::optional<CalendarBar> bar;         // only when count > 0
};

// Painted in member order: the frame (black border, white inside), the lines, the labels, then
// each cell's texts and bar.
struct CalendarView {
  DayNumber month = 0;  // first day of the month shown
  CalendarRect frame;
  std::vector<CalendarLine> lines;
  std::vector<CalendarText> labels;  // the month title first, then the fixed captions
  std::array<CalendarCell, kCalendarCells> cells;
};

// The calendar of the month holding day month (day 0, "no date", counts as day 1). An item counts
// on the day lastRepetition + interval, taken as a full-width sum, whatever its status; an item
// with interval 0 never counts, and neither does one whose sum passes the last day number.
// Given today, a memorized item whose day has passed counts on today, with those due today:
// past days show no count, and today's shows the whole backlog. One pass over the item table,
// however many days are shown.
CalendarView calendarView(const store::Collection& collection, DayNumber month,
                          DayNumber today = 0);

// The dialog's state: the month shown, today's when it opens; "<" and ">" step a month at a
// time and stay put at either end of the day range.
class RepetitionsCalendar {
 public:
  explicit RepetitionsCalendar(DayNumber today)
      : m_today(today), m_month(firstOfMonth(std::max(today, kFirstDay))) {}

  DayNumber month() const { return m_month; }
  void showPreviousMonth() { m_month = previousMonth(m_month); }
  void showNextMonth() { m_month = nextMonth(m_month); }
  CalendarView view(const store::Collection& collection) const {
    return calendarView(collection, m_month, m_today);
  }

 private:
  DayNumber m_today;
  DayNumber m_month;
};

}  // namespace kelvora::learning
