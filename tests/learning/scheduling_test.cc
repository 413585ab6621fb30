// How grades change an item's learning data and the counters, and the factor conversions of
// the XML format.
#include "learning/scheduling.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "test_collection.h"

namespace kelvora::learning {
namespace {

using store::code;
using store::CollectionCounters;
using store::DayNumber;
using store::ItemStatus;

constexpr DayNumber kToday = 9000;

// A collection holding one item at position 2, current and loaded, with a few items counted
// in every counter so that changes show as differences.
struct Grading : testing::TestCollection {
  Grading(ItemStatus status, std::uint16_t aFactor = 2500, std::uint8_t repetitions = 0,
          std::uint16_t interval = 0, DayNumber last = 0) {
    c.header.itemCount = 3;
    c.currentPosition = 2;
    c.table[2].status = code(status);
    c.table[2].interval = interval;
    c.table[2].lastRepetition = last;
    c.loaded.header.status = code(status);
    c.loaded.header.aFactor = aFactor;
    c.loaded.header.repetitions = repetitions;
    c.loaded.loadedPosition = 2;
    c.counters = {10, 10, 10, 10};
  }
  store::ItemIndexEntry& entry() { return c.table[2]; }
  store::ItemRecordHeader& header() { return c.loaded.header; }
  GradeOutcome grade(int g) { return applyGrade(c, *gradeFromNumber(g)); }
};

TEST(Scheduling, NewFactorForEachGradeFollowsTheDoubleArithmetic) {
  struct Row {
    std::uint16_t from;
    std::uint16_t expected[6];  // Null .. Bright
  };
  const Row rows[] = {
      {2500, {1700, 1960, 2179, 2360, 2500, 2600}},  // 2179: truncation of 2.17999...
      {2000, {1300, 1460, 1680, 1860, 2000, 2100}},
  };
  for (const Row& row : rows) {
    for (int g = 0; g <= 5; ++g) {
      for (ItemStatus status : {ItemStatus::Pending, ItemStatus::Outstanding}) {
        Grading t(status, row.from, 1, 6, kToday - 6);
        t.grade(g);
        EXPECT_EQ(t.header().aFactor, row.expected[g]) << row.from << " grade " << g;
      }
    }
  }
}

TEST(Scheduling, FirstGradeOfANewItemSetsIntervalCountsAndStatus) {
  // Grades Null .. Bright: interval 1..6, the failing three go to the drill with a lapse.
  for (int g = 0; g <= 5; ++g) {
    Grading t(ItemStatus::Pending);
    SCOPED_TRACE(g);
    const bool passed = g >= 3;
    const std::uint8_t status = code(passed ? ItemStatus::Memorized : ItemStatus::Drill);
    EXPECT_TRUE(t.grade(g).wasPending());
    EXPECT_EQ(t.entry().interval, g + 1);
    EXPECT_EQ(t.entry().lastRepetition, kToday);
    EXPECT_EQ(t.entry().status, status);
    EXPECT_EQ(t.header().status, status);
    EXPECT_EQ(t.header().repetitions, 1);
    EXPECT_EQ(t.header().lapses, passed ? 0 : 1);
    EXPECT_EQ(t.c.counters, (CollectionCounters{11, 10, std::uint16_t(passed ? 10 : 11), 10}));
  }
}

TEST(Scheduling, RepeatedGoodGradesGrowTheIntervalByTheFactor) {
  Grading t(ItemStatus::Outstanding, 2500, 1, 6, kToday - 6);
  EXPECT_TRUE(t.grade(4).wasOutstanding());
  EXPECT_EQ(t.entry().interval, 15);
  EXPECT_EQ(t.entry().lastRepetition, kToday);
  EXPECT_EQ(t.header().repetitions, 2);
  EXPECT_EQ(t.header().aFactor, 2500);
  EXPECT_EQ(t.entry().status, code(ItemStatus::Memorized));
  EXPECT_EQ(t.c.counters, (CollectionCounters{10, 9, 10, 10}));
}

TEST(Scheduling, IntervalOfARepeatedItem) {
  struct Row {
    const char* what;
    std::uint16_t aFactor, interval;
    DayNumber last;
    int grade;
    std::uint16_t expected;
  };
  const Row rows[] = {
      {"late: elapsed time replaces the interval", 2500, 6, kToday - 16, 4, 40},
      {"early: the planned interval stays", 2500, 6, kToday - 2, 4, 15},
      {"zero interval, never dated", 2500, 0, 0, 3, 2},
      {"last repetition after today", 2500, 6, kToday + 5, 4, 15},
      {"failed", 2500, 30, kToday - 30, 2, 3},
  };
  for (const Row& row : rows) {
    Grading t(ItemStatus::Outstanding, row.aFactor, 4, row.interval, row.last);
    t.grade(row.grade);
    EXPECT_EQ(t.entry().interval, row.expected) << row.what;
  }
}

TEST(Scheduling, FailedDueItemMovesToTheDrill) {
  Grading t(ItemStatus::Outstanding, 2500, 4, 30, kToday - 30);
  t.header().lapses = 2;
  t.grade(1);
  EXPECT_EQ(t.header().repetitions, 1);
  EXPECT_EQ(t.header().lapses, 3);
  EXPECT_EQ(t.entry().status, code(ItemStatus::Drill));
  // A drill item is already counted as memorized.
  EXPECT_EQ(t.c.counters, (CollectionCounters{10, 9, 11, 10}));
}

TEST(Scheduling, DrillItemLeavesOnlyOnGoodOrBright) {
  for (int g = 0; g <= 5; ++g) {
    Grading t(ItemStatus::Drill, 2179, 1, 3, kToday - 1);
    t.header().interval = 7;  // the header's copies, left as the last write made them
    t.header().lastRepetition = kToday - 9;
    const store::ItemIndexEntry before = t.entry();
    ASSERT_TRUE(t.grade(g).changed);
    const bool released = g >= 4;
    const std::uint8_t status = code(released ? ItemStatus::Memorized : ItemStatus::Drill);
    SCOPED_TRACE(g);
    EXPECT_EQ(t.entry().status, status);
    EXPECT_EQ(t.header().status, status);
    EXPECT_EQ(t.header().lapses, released ? 0 : 1);
    EXPECT_EQ(t.c.counters.drillCount, released ? 9 : 10);
    EXPECT_EQ(t.entry().interval, before.interval);
    EXPECT_EQ(t.entry().lastRepetition, before.lastRepetition);
    EXPECT_EQ(t.header().interval, 7);
    EXPECT_EQ(t.header().lastRepetition, kToday - 9);
    EXPECT_EQ(t.header().aFactor, 2179);
    EXPECT_EQ(t.header().repetitions, 1);
  }
}

TEST(Scheduling, GradesChangeNothingElsewhere) {
  struct Row {
    const char* what;
    std::uint8_t status;
    int grade;
    std::uint16_t position;
  };
  const Row rows[] = {
      {"memorized", code(ItemStatus::Memorized), 5, 2},
      {"deleted", code(ItemStatus::Deleted), 4, 2},
      {"unknown code", 9, 3, 2},
      {"position past the last item", code(ItemStatus::Pending), 4, 3},
  };
  for (const Row& row : rows) {
    Grading t(ItemStatus::Pending, 2500, 2, 6, kToday - 6);
    t.entry().status = row.status;
    t.c.currentPosition = row.position;
    const store::ItemIndexEntry entry = t.entry();
    const store::ItemRecordHeader header = t.header();
    EXPECT_FALSE(t.grade(row.grade).changed) << row.what;
    EXPECT_TRUE(t.entry() == entry && t.header() == header) << row.what;
    EXPECT_EQ(t.c.counters, (CollectionCounters{10, 10, 10, 10})) << row.what;
  }
  // No number outside 0..5 becomes a grade.
  EXPECT_FALSE(gradeFromNumber(-1));
  EXPECT_FALSE(gradeFromNumber(6));
}

TEST(Scheduling, FieldsAndCountersSaturateInsteadOfWrapping) {
  Grading big(ItemStatus::Outstanding, 65535, 255, 65000, 500);
  big.today = 65500;
  big.c.counters = {};
  big.grade(5);
  EXPECT_EQ(big.entry().interval, 65535);
  EXPECT_EQ(big.header().aFactor, 65535);
  EXPECT_EQ(big.header().repetitions, 255);
  EXPECT_EQ(big.c.counters.outstandingCount, 0);

  Grading failed(ItemStatus::Pending);
  failed.header().lapses = 255;
  failed.grade(0);
  EXPECT_EQ(failed.header().lapses, 255);

  Grading drill(ItemStatus::Drill);
  drill.header().lapses = 255;
  drill.c.counters = {};
  drill.grade(0);
  EXPECT_EQ(drill.header().lapses, 255);
  drill.grade(5);
  EXPECT_EQ(drill.c.counters.drillCount, 0);
}

TEST(Scheduling, FactorConversionsOfTheExchangeFormat) {
  // Odd codes lose their last unit on the way out: 2179 comes back as 2176.
  const std::pair<std::uint16_t, std::uint16_t> exports[] = {
      {1300, 1200}, {3300, 6900}, {65535, 6900}, {0, 1200}, {2179, 3702}, {2501, 4620}};
  for (auto [stored, exported] : exports) EXPECT_EQ(exportAFactor(stored), exported) << stored;

  const std::pair<int, std::uint16_t> imports[] = {
      {1200, 1300}, {6900, 3300}, {3702, 2176}, {INT32_MAX, 3300}, {INT32_MIN, 1300}};
  for (auto [exported, stored] : imports) EXPECT_EQ(importAFactor(exported), stored) << exported;

  EXPECT_EQ(exportUFactor(2179, 1), 1000);
  EXPECT_EQ(exportUFactor(2179, 0), 2179);
  EXPECT_EQ(exportUFactor(2179, 2), 2179);
}

}  // namespace
}  // namespace kelvora::learning
