// The status index: the n-th item of a status as a walk of the table finds it, after any
// sequence of changes, and the collection's lookups through it after commits, a recount, a
// refused change and a change made behind its back.
#include "store/status_index.h"

#include <gtest/gtest.h>

#include <random>

#include "test_collection.h"

namespace kelvora::store {
namespace {

using testing::kTestToday;
using testing::TestCollection;

// Every lookup of every status agrees with the positions a walk of the table lists.
void expectAgrees(const StatusIndex& index, const std::vector<ItemIndexEntry>& table,
                  std::uint16_t count) {
  for (ItemStatus status : {ItemStatus::Pending, ItemStatus::Drill, ItemStatus::Memorized,
                            ItemStatus::Outstanding, ItemStatus::Dismissed}) {
    std::vector<std::uint16_t> walked;
    for (std::uint16_t p = 0; p < count; ++p) {
      if (table[p].status == code(status)) walked.push_back(p);
    }
    const bool kept = status != ItemStatus::Memorized && status != ItemStatus::Dismissed;
    ASSERT_EQ(index.count(status), kept ? static_cast<int>(walked.size()) : 0);
    if (!kept) {
      EXPECT_FALSE(index.nth(status, 0));
      continue;
    }
    for (std::size_t n = 0; n < walked.size(); ++n) {
      ASSERT_EQ(index.nth(status, static_cast<int>(n)), walked[n]) << "n " << n;
    }
    EXPECT_FALSE(index.nth(status, static_cast<int>(walked.size())));
    EXPECT_FALSE(index.nth(status, -1));
  }
}

TEST(StatusIndex, FindsWhatAWalkOfTheTableFindsAfterAnyChanges) {
  std::mt19937 random(7);
  const std::uint8_t codes[] = {0, 1, 2, 3, 4, 16, 9};
  for (const std::uint16_t count : {0, 1, 2, 7, 64, 1000}) {
    std::vector<ItemIndexEntry> table(count);
    for (auto& e : table) e.status = codes[random() % std::size(codes)];
    StatusIndex index;
    index.rebuild(table, count);
    expectAgrees(index, table, count);
    for (int round = 0; round < 20 && count > 0; ++round) {
      for (int k = 0; k < 25; ++k) {
        const auto p = static_cast<std::uint16_t>(random() % count);
        table[p].status = codes[random() % std::size(codes)];
        index.set(p, table[p].status);
      }
      expectAgrees(index, table, count);
    }
    index.set(count, 1);  // past the end: nothing
    expectAgrees(index, table, count);
  }
}

// A collection with items of each status, written through the journal.
struct Deck : TestCollection {
  Deck() {
    create();
    for (int i = 0; i < 6; ++i) add(u"q", u"a");
  }
  // Gives item p the status as a status command does: the entry, then its commit.
  bool give(std::uint16_t p, ItemStatus status) {
    c.table[p].status = code(status);
    return c.indexEntryChanged(p);
  }
};

TEST(StatusIndex, TheCollectionsLookupsFollowEveryChange) {
  Deck d;
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Pending, 0), 0);
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Pending, 99), 5);  // fewer: the last of them
  EXPECT_FALSE(d.c.nthOfStatus(ItemStatus::Drill, 0));
  ASSERT_TRUE(d.give(1, ItemStatus::Drill));
  ASSERT_TRUE(d.give(4, ItemStatus::Drill));
  ASSERT_TRUE(d.give(0, ItemStatus::Dismissed));
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Drill, 1), 4);
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Pending, 0), 2);
  // Statuses the index does not keep are walked.
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Dismissed, 0), 0);
  EXPECT_FALSE(d.c.nthOfStatus(ItemStatus::Memorized, 0));

  // A recount that makes an item due is seen at once.
  d.c.table[3].status = code(ItemStatus::Memorized);
  d.c.table[3].interval = 1;
  d.c.table[3].lastRepetition = kTestToday - 5;
  d.c.recount();
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Outstanding, 0), 3);

  // A change the journal refuses goes back, and so do the lookups.
  d.files.writeBudget = 0;
  EXPECT_FALSE(d.give(5, ItemStatus::Drill));
  d.files.heal();
  EXPECT_EQ(d.c.table[5].status, code(ItemStatus::Pending));
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Drill, 99), 4);
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Pending, 99), 5);

  // A new item, and an entry changed with no commit at all: the lookup still tells the truth.
  d.add(u"q", u"a");
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Pending, 99), 6);
  d.c.table[4].status = code(ItemStatus::Dismissed);
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Drill, 1), 1);

  // Opened again, the table as read back.
  ASSERT_TRUE(d.c.closeCollection());
  ASSERT_TRUE(openCollection(d.c, "/c"));
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Drill, 0), 1);
  EXPECT_EQ(d.c.nthOfStatus(ItemStatus::Drill, 1), 1);
}

}  // namespace
}  // namespace kelvora::store
