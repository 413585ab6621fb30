// Builds the repetitions calendar of a month: the fixed frame and captions, and each day's
// count, count text, colours and bar from one pass over the item table.
#include "learning/repetitions_calendar.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "learning/statistics.h"
#include "store/item_status.h"
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

// Items in the table: the header's count, never past the table itself.
std::size_t tableSize(const store::Collection& c) {
  return std::min<std::size_t>(c.header.itemCount, c.table.size());
}

CalendarView viewWithSelection(const store::Collection& collection, DayNumber month,
                               DayNumber today, DayNumber selected);

// A text on one line: CR LF, CR and LF each become one blank.
std::u16string oneLine(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u == u'\r' || u == u'\n') {
      if (u == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.push_back(u' ');
    } else {
      out.push_back(u);
    }
  }
  return out;
}

std::u16string_view firstLine(std::u16string_view text) {
  return text.substr(0, std::min(text.find(u'\r'), text.find(u'\n')));
}

}  // namespace

std::optional<DayNumber> calendarDayOf(const store::ItemIndexEntry& entry, DayNumber today) {
  if (entry.interval == 0) return std::nullopt;
  std::uint32_t due = store::nextRepetitionDay(entry.lastRepetition, entry.interval);
  if (today != 0 && due < today) {
    // An item that fell due before today and is still waiting is due today, whether or not a
    // recount has marked it Outstanding yet; one that waits for nothing (not memorized) has
    // no day to show.
    const bool waiting = entry.status == store::code(store::ItemStatus::Memorized) ||
                         entry.status == store::code(store::ItemStatus::Outstanding);
    if (!waiting) return std::nullopt;
    due = today;
  }
  if (due > kLastDay) return std::nullopt;
  return static_cast<DayNumber>(due);
}

std::optional<int> calendarCellAt(int x, int y) {
  const int left = kGridLeft - 3;
  const int top = kGridTop - 1;
  if (x < left || y < top) return std::nullopt;
  const int column = (x - left) / kCalendarColumnWidth;
  const int row = (y - top) / kCalendarRowHeight;
  if (column >= 7) return std::nullopt;
  const int cell = row * 7 + column;
  if (cell >= kCalendarCells) return std::nullopt;
  return cell;
}

std::vector<std::uint16_t> itemsOfDay(const store::Collection& collection, DayNumber day,
                                      DayNumber today) {
  std::vector<std::uint16_t> positions;
  const std::size_t items = tableSize(collection);
  for (std::size_t p = 0; p < items; ++p) {
    if (calendarDayOf(collection.table[p], today) == day) {
      positions.push_back(static_cast<std::uint16_t>(p));
    }
  }
  return positions;
}

std::vector<DayListRow> dayList(store::Collection& c, DayNumber day, DayNumber today) {
  const std::vector<std::uint16_t> positions = itemsOfDay(c, day, today);
  std::vector<DayListRow> rows;
  rows.reserve(positions.size());
  // The loaded item is stored first if changed, and put back as it was at the end; one that
  // cannot be stored (the user was told) stays as it is, and the rows go without texts.
  const bool canRead = c.flushItem();
  const std::uint16_t saved = c.currentPosition;
  const store::LoadedItem kept = c.loaded;
  bool read = false;
  for (const std::uint16_t p : positions) {
    const store::ItemIndexEntry& entry = c.table[p];
    DayListRow row;
    row.position = p;
    // Reading an item that has no record would hand it a slot number: it has no texts yet.
    if (canRead && entry.recordOffset != store::kNoRecord) {
      c.currentPosition = p;
      if (c.readItem(p)) {
        row.question = oneLine(c.loaded.question);
        row.answer = std::u16string(firstLine(c.loaded.answer));
      }
      read = true;
    }
    row.overdue = store::nextRepetitionDay(entry.lastRepetition, entry.interval) < day;
    row.status = statusText(entry.status, false);
    if (row.overdue) row.status += u", overdue";
    row.interval = intervalText(entry.interval);
    rows.push_back(std::move(row));
  }
  if (read) {
    c.loaded = kept;
    c.currentPosition = saved;
  }
  return rows;
}

void RepetitionsCalendar::moveSelection(int days) {
  selectDay(
      static_cast<DayNumber>(std::clamp(long{m_selected} + days, long{kFirstDay}, long{kLastDay})));
}

void RepetitionsCalendar::selectDay(DayNumber day) {
  m_selected = std::max(day, kFirstDay);
  m_month = firstOfMonth(m_selected);
}

void RepetitionsCalendar::showMonth(DayNumber first) {
  const int dayOfMonth = m_selected - m_month;  // 0 for the 1st
  const int last = std::min(daysInMonth(first) - 1, int{kLastDay} - first);
  m_month = first;
  m_selected = static_cast<DayNumber>(first + std::min(dayOfMonth, last));
}

CalendarView RepetitionsCalendar::view(const store::Collection& collection) const {
  return viewWithSelection(collection, m_month, m_today, m_selected);
}

CalendarView calendarView(const store::Collection& collection, DayNumber month, DayNumber today) {
  return viewWithSelection(collection, month, today, 0);
}

namespace {

CalendarView viewWithSelection(const store::Collection& collection, DayNumber month,
                               DayNumber today, DayNumber selected) {
  CalendarView view;
  view.month = firstOfMonth(std::max(month, kFirstDay));
  addFixedParts(view);

  // Day numbers stop at kLastDay; the days of the last month that lie beyond it show no count.
  const int first = view.month;
  const int length = daysInMonth(view.month);
  const int countedDays = std::clamp(int{kLastDay} - first + 1, 0, length);
  std::array<int, kMaxMonthDays> counts{};
  const std::size_t items = tableSize(collection);
  for (std::size_t p = 0; p < items; ++p) {
    const auto due = calendarDayOf(collection.table[p], today);
    if (!due) continue;
    const long offset = long{*due} - first;
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
    c.selected = first + day - 1 == selected;
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

}  // namespace

}  // namespace kelvora::learning
