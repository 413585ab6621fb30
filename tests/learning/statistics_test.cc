// The statistics and item panels: titles, counts, bars and the current item's rows.
#include "learning/statistics.h"

#include <gtest/gtest.h>

#include <string>

#include "test_collection.h"

namespace kelvora::learning {
namespace {

using store::ItemStatus;

std::string narrow(const std::u16string& s) { return {s.begin(), s.end()}; }  // ASCII only

// Second title line, the three values and the bars as maximum:position.
std::string statistics(const StatisticsPanel& p) {
  std::string s = narrow(p.titleLines[1]);
  for (const auto& v : p.statisticsValues) s += "|" + narrow(v);
  for (const auto& b : p.bars)
    s += " " + std::to_string(b.maximum) + ":" + std::to_string(b.position);
  return s;
}

// The first label, then the five item values.
std::string item(const StatisticsPanel& p) {
  std::string s = narrow(p.itemLabels[0]);
  for (const auto& v : p.itemValues) s += "|" + narrow(v);
  return s;
}

struct Panels : testing::TestCollection {
  bool idle = false, narrowScreen = false;
  std::uint8_t ratio = 0;

  explicit Panels(std::uint16_t items = 3) {
    today = 8993;
    c.isOpen = true;
    c.header.itemCount = items;
  }
  void setItem(ItemStatus status, std::uint16_t interval, store::DayNumber last,
               std::uint8_t repetitions, std::uint32_t id) {
    c.currentPosition = 2;
    c.table[2] = {.interval = interval, .lastRepetition = last, .status = store::code(status)};
    c.loaded.header.repetitions = repetitions;
    c.loaded.header.setItemId(id);
  }
  StatisticsPanel refresh(const StatisticsPanel& previous = {}) {
    // Day-month-year, to show that the platform's format is the one used.
    const ShortDateFormat dayFirst = [](const CalendarDate& d) {
      const std::string s =
          std::to_string(d.day) + "." + std::to_string(d.month) + "." + std::to_string(d.year);
      return std::u16string(s.begin(), s.end());
    };
    return refreshStatistics({c, u"French", idle, narrowScreen, ratio, dayFirst}, previous);
  }
};

TEST(Statistics, ValuesAndBarsFollowTheCounters) {
  struct Row {
    std::uint16_t items;
    store::CollectionCounters counters;  // memorized, outstanding, drill, dismissed
    const char* shown;
  };
  const Row rows[] = {
      {0, {0, 0, 0, 0}, "Empty|0|0|0+0 1:0 1:0 1:0"},
      {1, {0, 0, 0, 0}, "1 item|0|1|0+0 1:0 1:1 1:0"},
      {120, {70, 0, 0, 20}, "120 items|70|30|0+0 100:70 120:30 70:0"},
      {300, {250, 150, 20, 0}, "300 items|250|50|150 300:250 300:50 270:170"},
  };
  for (const Row& row : rows) {
    Panels p(row.items);
    p.c.counters = row.counters;
    const StatisticsPanel panel = p.refresh();
    EXPECT_EQ(panel.titleLines[0], u"French");
    EXPECT_EQ(statistics(panel), row.shown);
  }
}

TEST(Statistics, ToRepeatShowsBothCountsOnlyWhileTheyFit) {
  const struct {
    int outstanding, drill;
    const char16_t* text;
  } rows[] = {
      {150, 5, u"150+5"}, {150, 20, u"150"}, {0, 1500, u"1500"}, {5, 2000, u"5"},
      {99, 99, u"99+99"}, {100, 10, u"100"}, {9, 999, u"9+999"},
  };
  for (const auto& r : rows) EXPECT_EQ(toRepeatText(r.outstanding, r.drill), r.text) << r.drill;
}

TEST(Statistics, ItemRowsShowTheCurrentItem) {
  const struct {
    ItemStatus status;
    std::uint16_t interval;
    store::DayNumber last;
    std::uint8_t repetitions;
    std::uint32_t id;
    bool narrowScreen;
    const char* shown;
  } rows[] = {
      {ItemStatus::Pending, 0, 0, 0, 0, false, "Number:|3|Pending|None|None|None"},
      {ItemStatus::Memorized, 1, 8993, 3, 0, false,
       "Number:|3|Memorized|14.8.2004|1 day|15.8.2004 (3)"},
      {ItemStatus::Outstanding, 4, 8993, 1, 0, true,
       "Number:|3|Memo.|14.8.2004|4 days|18.8.2004 (1)"},
      {ItemStatus::Drill, 0, 0, 0, 65540, false, "Elem. ID:|65540|Drill|None|None|None"},
      {ItemStatus::Memorized, 2, 65535, 9, 0, false,
       "Number:|3|Memorized|4.6.2159|2 days|1.1.1980 (9)"},
      {ItemStatus{7}, 0, 0, 0, 0, false, "Number:|3| |None|None|None"},
  };
  StatisticsPanel previous;
  previous.itemLabels[0] = u"Elem. ID:";  // the label is rewritten for every item
  for (const auto& r : rows) {
    Panels p;
    p.narrowScreen = r.narrowScreen;
    p.setItem(r.status, r.interval, r.last, r.repetitions, r.id);
    EXPECT_EQ(item(p.refresh(previous)), r.shown);
  }
}

TEST(Statistics, BlanksWhatHasNoValue) {
  StatisticsPanel previous;
  previous.itemLabels[0] = u"Elem. ID:";
  Panels idle, empty(0), closed;
  idle.setItem(ItemStatus::Memorized, 3, 8990, 2, 0);
  idle.idle = true;
  closed.c.isOpen = false;
  closed.c.counters = {70, 5, 5, 20};
  EXPECT_EQ(statistics(idle.refresh(previous)), "3 items|0|3|0+0 3:0 3:3 1:0");
  EXPECT_EQ(item(idle.refresh(previous)), "Elem. ID:| | | | | ");
  EXPECT_EQ(item(empty.refresh(previous)), "Elem. ID:| | | | | ");  // no current item
  EXPECT_EQ(statistics(closed.refresh(previous)), " | | |  1:0 1:0 1:0");
  EXPECT_EQ(closed.refresh(previous).titleLines[0], u" ");
  EXPECT_EQ(item(closed.refresh(previous)), "Elem. ID:| | | | | ");
}

TEST(Statistics, NarrowScreenWithAQaSizeHidesThePanelsAndKeepsTheirTexts) {
  Panels p;
  p.narrowScreen = true;
  const StatisticsPanel shown = p.refresh();
  p.c.counters.memorizedCount = 2;
  p.ratio = 3;
  StatisticsPanel expected = shown;
  expected.visible = false;
  EXPECT_EQ(p.refresh(shown), expected);
  p.narrowScreen = false;  // wide screens show the panels whatever the ratio
  EXPECT_TRUE(p.refresh(shown).visible);
  EXPECT_EQ(p.refresh(shown).statisticsValues[0], u"2");
}

}  // namespace
}  // namespace kelvora::learning
