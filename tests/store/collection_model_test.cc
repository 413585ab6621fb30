// Counters, the due rule of the recount, compaction and slot numbers.
#include <gtest/gtest.h>

#include "test_collection.h"

namespace kelvora::store {
namespace {

using testing::TestCollection;

ItemIndexEntry entry(ItemStatus s, std::uint16_t interval = 0, DayNumber last = 0) {
  ItemIndexEntry e;
  e.status = code(s);
  e.interval = interval;
  e.lastRepetition = last;
  return e;
}

TEST(Recount, CountsEachStatusAndMarksDueItemsOutstanding) {
  TestCollection t;
  t.create();
  const ItemIndexEntry items[] = {
      entry(ItemStatus::Pending),
      entry(ItemStatus::Drill, 1, 8000),
      entry(ItemStatus::Memorized, 0, 0),      // never dated: due at once
      entry(ItemStatus::Memorized, 10, 8990),  // due exactly today (9000)
      entry(ItemStatus::Memorized, 11, 8990),  // due tomorrow
      entry(ItemStatus::Outstanding, 5, 100),
      entry(ItemStatus::Dismissed),
      entry(ItemStatus::Deleted),
  };
  std::uint16_t n = 0;
  for (const auto& e : items) t.c.table[n++] = e;
  ItemIndexEntry odd;
  odd.status = 9;  // unknown codes are carried and counted nowhere
  t.c.table[n++] = odd;
  t.c.header.itemCount = n;

  t.c.recount();
  EXPECT_EQ(t.c.counters, (CollectionCounters{5, 3, 1, 1}));
  EXPECT_EQ(t.c.table[2].status, code(ItemStatus::Outstanding));
  EXPECT_EQ(t.c.table[3].status, code(ItemStatus::Outstanding));
  EXPECT_EQ(t.c.table[4].status, code(ItemStatus::Memorized));
  EXPECT_EQ(t.c.table[8].status, 9);

  t.today = 9001;
  t.c.recount();
  EXPECT_EQ(t.c.counters, (CollectionCounters{5, 4, 1, 1}));
}

TEST(Recount, DueSumDoesNotWrapPastDay65535) {
  struct Row {
    std::uint16_t interval;
    DayNumber last, today;
    bool due;
  };
  const Row rows[] = {
      {65000, 60000, 9000, false},  // the sum wrapped would be day 59464
      {1, 65534, 65535, true},      // the last day comes due on the last day
  };
  for (const Row& row : rows) {
    TestCollection t;
    t.today = row.today;
    t.create();
    t.c.table[0] = entry(ItemStatus::Memorized, row.interval, row.last);
    t.c.header.itemCount = 1;
    t.c.recount();
    EXPECT_EQ(t.c.table[0].status, code(row.due ? ItemStatus::Outstanding : ItemStatus::Memorized))
        << row.last;
  }
}

TEST(Recount, DoesNothingWhileClosed) {
  TestCollection t;
  t.c.table[0] = entry(ItemStatus::Memorized);
  t.c.header.itemCount = 1;
  t.c.recount();
  EXPECT_EQ(t.c.table[0].status, code(ItemStatus::Memorized));
}

TEST(CompactTable, DropsDeletedKeepsOrderAndLeavesStaleSlots) {
  TestCollection t;
  for (std::uint16_t p = 0; p < 5; ++p) {
    t.c.table[p] = entry(p % 2 ? ItemStatus::Deleted : ItemStatus::Pending, p);
  }
  t.c.header.itemCount = 5;
  t.c.header.nextSlotNumber = 77;
  t.c.compactTable();
  EXPECT_EQ(t.c.header.itemCount, 3);
  EXPECT_EQ(t.c.header.nextSlotNumber, 5);
  EXPECT_EQ(t.c.table[0].interval, 0);
  EXPECT_EQ(t.c.table[1].interval, 2);
  EXPECT_EQ(t.c.table[2].interval, 4);
  // Past the new end the old bytes stay.
  EXPECT_EQ(t.c.table[3].interval, 3);
  EXPECT_EQ(t.c.table[4].interval, 4);
}

TEST(SlotNumbers, NeverHandOutTheDeadMark) {
  TestCollection t;
  t.c.header.nextSlotNumber = 0xFFFE;
  EXPECT_EQ(t.c.takeSlotNumber(), 0xFFFE);
  EXPECT_EQ(t.c.takeSlotNumber(), 0);
  EXPECT_EQ(t.c.takeSlotNumber(), 1);
}

}  // namespace
}  // namespace kelvora::store
