// Undo grade: a grade or status command taken back leaves the files as they were before it, the
// last 100 steps outlive reopening, stale steps are dropped instead of applied, and a kill at
// any write of a grade leaves a collection that undo brings to one consistent state.
#include "learning/grade_undo.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "doc_page.h"
#include "learning/learning_session.h"
#include "learning/status_commands.h"
#include "store/item_editing.h"
#include "store/reset_collection.h"
#include "test_collection.h"

namespace kelvora::learning {
namespace {

using store::code;
using store::ItemStatus;

class FirstRandom final : public Random {
 public:
  int next() override { return 0; }
};

struct Host final : SessionHost {
  std::deque<std::string> events;
  void enterIdle() override { events.push_back("idle"); }
  void enterLearnState(LearnState s, bool) override {
    events.push_back(s == LearnState::Question ? "question" : "other");
  }
  void showItem() override { events.push_back("show"); }
};

struct Fixture : testing::TestCollection {
  FirstRandom random;
  Host host;
  LearningSession session{c, random, host};

  // A closed collection of count new items, opened again.
  explicit Fixture(int count) {
    create();
    for (int i = 0; i < count; ++i) add(u"q" + std::u16string(1, u'0' + i % 10), u"a");
    reopen();
  }
  void reopen() {
    EXPECT_TRUE(c.closeCollection());
    EXPECT_TRUE(store::openCollection(c, "/c"));
  }
  // Grades the item at p as the command line does.
  void grade(std::uint16_t p, Grade g) {
    read(p);
    const store::UndoStep step =
        beginUndoStep(c, store::UndoKind::Grade, static_cast<std::uint8_t>(g));
    ASSERT_TRUE(applyGrade(c, g).changed);
    ASSERT_TRUE(c.writeItem(p));
    keepUndoStep(c, step);
  }
  store::ItemIndexEntry entry(std::uint16_t p) const { return c.table[p]; }
};

TEST(GradeUndo, GradesAndStatusCommandsTakenBackLeaveTheFilesAsTheyWere) {
  Fixture f(3);
  f.messages.answers = {true, true};  // Remember, and no more questions
  f.session.startLearning(StartKind::Start);
  ASSERT_EQ(f.c.currentPosition, 0);
  // The files as learning found them, the day it started included.
  const store::Bytes texts = f.texts();
  const store::Bytes index = f.index();

  f.session.gradeCurrentItem(Grade::Good);  // item 0 memorized, item 1 current
  f.session.gradeCurrentItem(Grade::Fail);  // item 1 to the drill
  ASSERT_EQ(f.c.table[1].status, code(ItemStatus::Drill));
  f.read(2);
  applyStatusCommand(f.c, StatusCommand::Remember, false, f.session);
  ASSERT_EQ(f.c.table[2].status, code(ItemStatus::Memorized));
  const store::CollectionCounters counters = f.c.counters;
  ASSERT_EQ(f.c.undoLog().steps().size(), 3u);

  // The Remember first, then the failed grade, shown again as a question.
  EXPECT_EQ(undoLastStep(f.c), std::optional<std::uint16_t>(2));
  EXPECT_NE(f.c.counters, counters);
  f.host.events.clear();
  ASSERT_TRUE(f.session.undoLastGrade());
  EXPECT_EQ(f.c.currentPosition, 1);
  EXPECT_EQ(f.c.table[1].status, code(ItemStatus::Pending));
  EXPECT_EQ(f.host.events.back(), "question");
  ASSERT_TRUE(f.session.undoLastGrade());
  EXPECT_FALSE(f.session.undoLastGrade()) << "nothing more to take back";
  EXPECT_EQ(f.c.counters, store::CollectionCounters{});

  EXPECT_EQ(f.texts(), texts);
  EXPECT_EQ(f.index(), index);
}

// Counters changed since a step (here by a status set without one) no longer equal its
// after-counters: the item's own share then moves back from its status now to its old one.
TEST(GradeUndo, CountersChangedSinceAStepGiveBackOnlyTheItemsShare) {
  Fixture f(3);
  f.messages.answers = {true, true};
  f.grade(1, Grade::Good);
  f.read(1);
  applyStatusCommand(f.c, StatusCommand::Dismiss, false, f.session);
  ASSERT_EQ(f.c.table[1].status, code(ItemStatus::Dismissed));
  f.c.table[2].status = code(ItemStatus::Dismissed);
  ++f.c.counters.dismissedCount;
  ASSERT_TRUE(f.c.indexChanged());

  EXPECT_EQ(undoLastStep(f.c), std::optional<std::uint16_t>(1));
  EXPECT_EQ(f.c.table[1].status, code(ItemStatus::Memorized));
  store::CollectionCounters expected;
  expected.memorizedCount = 1;
  expected.dismissedCount = 1;
  EXPECT_EQ(f.c.counters, expected);
}

TEST(GradeUndo, TheLastHundredStepsOutliveReopeningTheOldestGo) {
  Fixture f(105);
  for (std::uint16_t p = 0; p < 105; ++p) {
    f.grade(p, Grade::Good);
    if (p % 20 == 19) f.reopen();
  }
  f.reopen();
  const auto& steps = f.c.undoLog().steps();
  ASSERT_EQ(steps.size(), store::kUndoCapacity);
  EXPECT_EQ(steps.front().position, 5);
  EXPECT_EQ(steps.back().position, 104);
  for (int n = 0; n < 100; ++n) {
    const auto position = undoLastStep(f.c);
    ASSERT_EQ(position, std::optional<std::uint16_t>(104 - n)) << n;
    EXPECT_EQ(f.c.table[*position].status, code(ItemStatus::Pending));
    EXPECT_EQ(f.c.loaded.header.repetitions, 0);
    if (n % 25 == 24) f.reopen();
  }
  EXPECT_FALSE(undoLastStep(f.c));
  for (std::uint16_t p = 0; p < 5; ++p) {
    EXPECT_EQ(f.c.table[p].status, code(ItemStatus::Memorized)) << "older than the last 100";
  }
  // Counters a recount would give.
  const store::CollectionCounters kept = f.c.counters;
  f.c.recount();
  EXPECT_EQ(f.c.counters, kept);
}

TEST(GradeUndo, StepsOfEditedDeletedOrChangedItemsAreDroppedNotApplied) {
  Fixture f(4);
  f.grade(0, Grade::Good);
  f.grade(1, Grade::Good);
  f.grade(2, Grade::Good);
  f.grade(3, Grade::Good);
  // Item 3's texts edited: its grade is not taken back any more.
  f.read(3);
  f.c.loaded.question = u"edited";
  f.c.loaded.itemModified = true;
  f.read(0);
  // Item 2 deleted: the item at its position is another one now.
  f.read(2);
  f.messages.answers = {true};
  ASSERT_EQ(store::deleteCurrentItem(f.c), store::DeleteOutcome::Deleted);
  // Item 1 changed by a way that keeps no step: its newest step no longer fits it.
  f.read(1);
  f.c.table[1].interval = 9;
  ASSERT_TRUE(f.c.indexEntryChanged(1));
  const store::ItemIndexEntry itemOne = f.c.table[1];

  // Only the grade of item 0 still stands as it left its item.
  EXPECT_EQ(undoLastStep(f.c), std::optional<std::uint16_t>(0));
  EXPECT_EQ(f.c.table[0].status, code(ItemStatus::Pending));
  EXPECT_EQ(f.c.table[1], itemOne);
  EXPECT_EQ(f.c.table[2].status, code(ItemStatus::Memorized));  // the old item 3
  EXPECT_FALSE(undoLastStep(f.c));

  // A reset leaves nothing to take back, and no undo file.
  f.grade(0, Grade::Good);
  ASSERT_TRUE(f.files.exists("/c.kun"));
  f.messages.answers = {true};
  ASSERT_TRUE(store::resetCollection(f.c));
  EXPECT_FALSE(f.files.exists("/c.kun"));
  EXPECT_FALSE(undoLastStep(f.c));
}

TEST(GradeUndo, AStepThatCannotBeWrittenOrTakenBackLeavesTheGradeStanding) {
  Fixture f(2);
  // The undo file cannot be created: the grade is stored all the same, with no step.
  f.files.openFailures["/c.kun"] = store::OpenError::Other;
  f.grade(0, Grade::Good);
  EXPECT_EQ(f.c.table[0].status, code(ItemStatus::Memorized));
  EXPECT_TRUE(f.c.undoLog().steps().empty());
  f.files.openFailures.clear();

  // Taking back a step that the disk refuses: the user is told, the item stays graded and the
  // step stays for a later try.
  f.grade(1, Grade::Good);
  f.files.failWriteOp = f.files.writeOps;
  EXPECT_FALSE(undoLastStep(f.c));
  EXPECT_EQ(f.messages.texts().back(), u"Error while saving database!");
  EXPECT_EQ(f.c.table[1].status, code(ItemStatus::Memorized));
  EXPECT_EQ(f.c.undoLog().steps().size(), 1u);
  f.files.failWriteOp = -1;
  EXPECT_EQ(undoLastStep(f.c), std::optional<std::uint16_t>(1));
  EXPECT_EQ(f.c.table[1].status, code(ItemStatus::Pending));
}

TEST(GradeUndo, AKillAtAnyWriteOfAGradeLeavesOneConsistentStateAfterUndo) {
  Fixture start(3);
  start.grade(1, Grade::Good);  // an older step, so that undo has something behind the one cut
  ASSERT_TRUE(start.c.closeCollection());
  const auto snapshot = start.files.snapshot();
  const store::ItemIndexEntry before = [&] {
    testing::TestCollection t;
    t.files.restore(snapshot);
    EXPECT_TRUE(store::openCollection(t.c, "/c"));
    return t.c.table[0];
  }();
  int kills = 0;
  for (long k = 0;; ++k) {
    for (const bool torn : {false, true}) {
      Fixture f(0);
      f.files.restore(snapshot);
      ASSERT_TRUE(store::openCollection(f.c, "/c"));
      f.files.killAtWriteOp = f.files.writeOps + k;
      f.files.torn = torn;
      f.grade(0, Grade::Bright);
      (void)f.c.closeCollection();
      if (!f.files.killed) {
        EXPECT_GT(kills, 2);
        return;
      }
      ++kills;
      testing::TestCollection after;
      after.files.restore(*f.files.killed);
      ASSERT_TRUE(store::openCollection(after.c, "/c")) << k;
      const bool graded = after.c.table[0].status != before.status;
      const auto undone = undoLastStep(after.c);
      // Item 0's grade is taken back when it landed with its step; a grade whose step did not
      // land stays, and then the older step of item 1 is taken back instead.
      if (undone == std::optional<std::uint16_t>(0)) {
        EXPECT_EQ(after.c.table[0], before) << k;
      } else {
        EXPECT_EQ(undone, std::optional<std::uint16_t>(1)) << k << (graded ? " graded" : "");
        EXPECT_EQ(after.c.table[1].status, code(ItemStatus::Pending)) << k;
      }
      const store::CollectionCounters counters = after.c.counters;
      after.c.recount();
      EXPECT_EQ(after.c.counters, counters) << k;
    }
  }
}

TEST(UndoFile, AnyBytesReadAsSomeStepsOrNone) {
  store::UndoStep step;
  step.position = 7;
  step.slotNumber = 9;
  step.kind = store::UndoKind::Remember;
  step.after.entryStatus = 1;
  step.countersAfter.memorizedCount = 1;
  const auto bytes = store::encodeUndoStep(step);
  EXPECT_EQ(store::decodeUndoStep(bytes), std::optional<store::UndoStep>(step));
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    auto damaged = bytes;
    damaged[i] ^= 0x10;
    EXPECT_FALSE(store::decodeUndoStep(damaged)) << i;
  }
  EXPECT_TRUE(store::parseUndoFile({}).empty());
  EXPECT_TRUE(store::parseUndoFile(bytes).empty()) << "a step is no header";
}

// The page's example: one new item graded Good.
TEST(UndoFilePage, Example) {
  testing::TestCollection t;
  t.create();
  t.add(u"abc", u"defg");
  t.read(0);
  const store::UndoStep step = beginUndoStep(t.c, store::UndoKind::Grade, 4);
  ASSERT_TRUE(applyGrade(t.c, Grade::Good).changed);
  ASSERT_TRUE(t.c.writeItem(0));
  keepUndoStep(t.c, step);
  const auto dumps = testing::hexDumps(testing::docPage("undo_file.md"));
  ASSERT_EQ(dumps.size(), 1u);
  EXPECT_EQ(t.files.bytes("/c.kun"), testing::wholeDump(dumps[0]));
  const auto steps = store::parseUndoFile(t.files.bytes("/c.kun"));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].after.entryInterval, 5);
}
}  // namespace
}  // namespace kelvora::learning
