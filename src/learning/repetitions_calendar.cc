// Builds the repetitions calendar of a month: the fixed frame and captions, and each day's
// count, count text, colours and bar from one pass over the item table.
#include "learning/repetitions_calendar.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "store/utf16_text.h"

namespace kelvora::learning {
namespace {

constexpr int kMaxMonthDays = 31;
constexpr int kGridLeft = 4;      // day number of the first column
constexpr int kGridTop = 38;      // day numbers of the first row
constexpr int kCountOffset = 13;  // count text, right of the day number
constexpr int kBarWidth = 7;      // one chart column per day, day 1 from x = 1
constexpr int kChartBottom = 200;
constexpr int kMaxBarHeight = 60;  // one pixel per item; taller counts are cut
constexpr int kInfinityFrom = 100;

CalendarText normal(int x, int y, std::u16string text, Rgb colour) {
  return {x, y, std::move(text), colour, false};
}
CalendarText bold(int x, int y, std::u16string text, Rgb colour) {
  return {x, y, std::move(text), colour, true};
}

// Count text colour and bar colour by how many items fall due.
Rgb textColour(int count) {
  if (count <= 10) return kCalendarDarkGreen;
  return count <= 30 ? kCalendarDarkBlue : kCalendarDarkRed;
}
Rgb barColour(int count) {
  if (count <= 10) return kCalendarGreen;
  return count <= 30 ? kCalendarBlue : kCalendarRed;
}

void addFixedParts(CalendarView& view) {
  view.frame = {0, 14, 232, 130};
  view.lines = {{0, 35, 232, 35}, {0, 140, 0, 200}, {0, 200, 232, 200}};
  for (const int y : {180, 160, 140}) view.lines.push_back({0, y, 232, y, true});
  for (const int x : {50, 100, 150, 200, 231}) view.lines.push_back({x, 140, x, 200, true});

  view.labels = {bold(85, 0, monthTitle(view.month), kCalendarDarkGreen)};
  // Each weekday over its column and each day of the chart's scale under its bar, so that they
  // line up whatever the font's spaces measure.
  constexpr std::array<const char16_t*, 7> kWeekdays{u"Mo", u"Tu", u"We", u"Th",
                                                     u"Fr", u"Sa", u"Su"};
  for (int column = 0; column < 7; ++column) {
    const Rgb colour = column == 5   ? kCalendarDarkBlue
                       : column == 6 ? kCalendarSundayRed
                                     : kCalendarBlack;
    view.labels.push_back(
        bold(kGridLeft + kCalendarColumnWidth * column, 18, kWeekdays[column], colour));
  }
  for (const int day : {1, 7, 14, 21, 28}) {
    view.labels.push_back(
        bold(1 + kBarWidth * (day - 1), 202, store::decimalText(day), kCalendarBlack));
  }
  view.labels.push_back(bold(4, 173, u"20", kCalendarBlack));
  view.labels.push_back(bold(4, 153, u"40", kCalendarBlack));
  view.labels.push_back(bold(4, 133, u"60", kCalendarBlack));
}

}  // namespace

CalendarView calendarView(const store::Collection& collection, DayNumber month, DayNumber today) {
  CalendarView view;
  view.month = firstOfMonth(std::max(month, kFirstDay));
  addFixedParts(view);

  // Day numbers stop at kLastDay; the days of the last month that lie beyond it show no count.
  const int first = view.month;
  const int length = daysInMonth(view.month);
  const int countedDays = std::clamp(int{kLastDay} - first + 1, 0, length);
  std::array<int, kMaxMonthDays> counts{};
  const std::size_t items =
      std::min<std::size_t>(collection.header.itemCount, collection.table.size());
  for (std::size_t p = 0; p < items; ++p) {
    const store::ItemIndexEntry& entry = collection.table[p];
    if (entry.interval == 0) continue;
    long due = static_cast<long>(store::nextRepetitionDay(entry.lastRepetition, entry.interval));
    if (today != 0 && due < today) {
      // An item that fell due before today and is still waiting is due today; one that waits
      // for nothing (not memorized) has no day to show.
      if (!store::isDue(entry, today)) continue;
      due = today;
    }
    const long offset = due - first;
    if (offset >= 0 && offset < countedDays) ++counts[static_cast<std::size_t>(offset)];
  }

  const int firstCell = weekday(view.month);  // the 1st stands in the cell of its weekday
  for (int day = 1; day <= length; ++day) {
    const int cell = firstCell + day - 1;  // 1..37
    const int x = kCalendarColumnWidth * ((cell - 1) % 7) + kGridLeft;
    const int y = kCalendarRowHeight * ((cell - 1) / 7) + kGridTop;
    const int n = counts[day - 1];
    CalendarCell& c = view.cells[cell - 1];
    c.day = day;
    c.count = n;
    c.today = today != 0 && first + day - 1 == today;
    std::u16string dayDigits = store::decimalText(day);
    if (day < 10) dayDigits.insert(dayDigits.begin(), u' ');
    c.dayText = normal(x, y, std::move(dayDigits), kCalendarBlack);
    if (n == 0) continue;
    std::u16string count = u":";
    if (n >= kInfinityFrom) {
      count += u" \u221E";
    } else {
      count += store::decimalText(n);
    }
    c.countText = normal(x + kCountOffset, y, std::move(count), textColour(n));
    const int left = 1 + kBarWidth * (day - 1);
    c.bar = CalendarBar{
        {left, kChartBottom - std::min(n, kMaxBarHeight), left + kBarWidth, kChartBottom},
        barColour(n)};
  }
  return view;
}

}  // namespace kelvora::learning
