// Which item learning presents next, and what it asks on the way, with a generator and an
// application around it that tests control.
#include "learning/learning_session.h"

#include <gtest/gtest.h>

#include <deque>

#include "test_collection.h"

namespace kelvora::learning {
namespace {

using store::code;
using store::ItemStatus;

class FixedRandom final : public Random {
 public:
  std::deque<int> values;
  int next() override {
    int v = values.empty() ? 0 : values.front();
    if (!values.empty()) values.pop_front();
    return v;
  }
};

struct Host final : SessionHost {
  std::vector<std::string> events;
  void enterIdle() override { events.push_back("idle"); }
  void enterLearnState(LearnState s, bool show) override {
    events.push_back(s == LearnState::Question ? (show ? "question" : "question-hidden")
                     : s == LearnState::Review ? "review"
                                               : "answer");
  }
  void showItem() override { events.push_back("show"); }
};

struct Fixture : testing::TestCollection {
  FixedRandom random;
  Host host;
  LearningSession session{c, random, host};

  // A collection whose items have the given statuses (texts "0", "1", ...), written.
  explicit Fixture(std::initializer_list<ItemStatus> statuses) {
    today = 8993;
    create();
    for (ItemStatus s : statuses) {
      const std::uint16_t p = c.header.itemCount++;
      c.table[p] = {store::kNoRecord, 1, 8000, 0, code(s), 0};
      c.currentPosition = p;
      c.loaded.loadedPosition = p;
      c.loaded.header = {};
      c.loaded.header.aFactor = 2500;
      c.loaded.header.repetitions = s == ItemStatus::Pending ? 0 : 1;
      c.loaded.question = std::u16string(1, static_cast<char16_t>(u'0' + p));
      EXPECT_TRUE(c.writeItem(p));
    }
    c.recount();
  }
};

TEST(LearningSession, DueItemsComeFirstThenAtRandomAndTheGeneratorScalesToTheCount) {
  using S = ItemStatus;
  Fixture f{S::Pending, S::Outstanding, S::Pending, S::Outstanding, S::Outstanding};
  f.session.startLearning(StartKind::Start);
  EXPECT_EQ(f.c.currentPosition, 1);
  EXPECT_EQ(f.c.header.learningDay, 8993);
  // Three due items and the generator's largest value: the third due item in table order.
  f.random.values = {32767};
  f.c.currentPosition = 0;  // pretend a new item was graded: it is not counted as due
  f.c.readItem(0);
  f.session.gradeCurrentItem(Grade::Bright);
  EXPECT_EQ(f.c.currentPosition, 4);
  f.random.values = {0};
  f.session.gradeCurrentItem(Grade::Good);
  EXPECT_EQ(f.c.currentPosition, 1);
  f.random.values = {0};
  f.session.gradeCurrentItem(Grade::Good);
  EXPECT_EQ(f.c.currentPosition, 3);
  // The last due item graded: new material is offered once.
  f.messages.answers = {true};
  f.session.gradeCurrentItem(Grade::Good);
  EXPECT_EQ(f.messages.asked, std::vector<std::u16string>{u"Do you want to learn\nnew material?"});
  EXPECT_EQ(f.c.currentPosition, 2);
}

TEST(LearningSession, DecliningNewMaterialOffersTheDrillAndDecliningThatEndsQuietly) {
  using S = ItemStatus;
  Fixture f{S::Outstanding, S::Drill, S::Pending};
  f.session.startLearning(StartKind::Start);
  f.messages.answers = {false, false};
  f.session.gradeCurrentItem(Grade::Good);
  EXPECT_EQ(f.messages.asked,
            (std::vector<std::u16string>{u"Do you want to learn\nnew material?", u"Final drill?"}));
  EXPECT_TRUE(f.messages.shown.empty()) << "no \"No more items!\"";
  EXPECT_EQ(f.host.events.back(), "idle");
}

TEST(LearningSession, TheLastNewItemGradedOffersTheDrillThenSaysNoMoreItems) {
  using S = ItemStatus;
  Fixture f{S::Drill, S::Pending};
  f.messages.answers = {false};  // no final drill at the start
  f.session.startLearning(StartKind::Start);
  EXPECT_EQ(f.c.currentPosition, 1);
  f.messages.answers = {false};
  f.session.gradeCurrentItem(Grade::Pass);
  EXPECT_EQ(f.messages.texts(), std::vector<std::u16string>{u"No more items!"});
  EXPECT_EQ(f.host.events.back(), "idle");
}

TEST(LearningSession, PassKeepsADrillItemInTheDrill) {
  using S = ItemStatus;
  Fixture f{S::Drill, S::Drill};
  f.messages.answers = {true};
  f.session.startLearning(StartKind::Start);
  ASSERT_EQ(f.c.currentPosition, 0);
  f.random.values = {0};
  f.session.gradeCurrentItem(Grade::Pass);
  EXPECT_EQ(f.c.table[0].status, code(S::Drill));
  EXPECT_EQ(f.c.counters.drillCount, 2);
  EXPECT_EQ(f.c.currentPosition, 0) << "the same item can come back at once";
  ASSERT_TRUE(f.read(0));
  EXPECT_EQ(f.c.loaded.header.lapses, 1);
}

TEST(LearningSession, LastAndCancelDependOnWhatWasGradedAndTheCurrentStatus) {
  using S = ItemStatus;
  Fixture f{S::Drill, S::Pending, S::Pending};
  f.session.reviewLastGraded();
  EXPECT_TRUE(f.host.events.empty()) << "nothing graded yet";
  f.c.currentPosition = 0;
  f.session.cancelLearning();  // on a drill item: no question
  EXPECT_TRUE(f.messages.asked.empty());
  f.c.currentPosition = 1;
  f.messages.answers = {false};
  f.session.cancelLearning();
  EXPECT_EQ(f.messages.asked, std::vector<std::u16string>{u"Final drill?"});

  f.c.readItem(1);
  f.session.gradeCurrentItem(Grade::Good);
  f.session.reviewLastGraded();
  EXPECT_EQ(f.c.currentPosition, 1);
  EXPECT_EQ(f.host.events.back(), "review");
}

}  // namespace
}  // namespace kelvora::learning
