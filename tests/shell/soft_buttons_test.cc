// The soft-button sets of the modes and the recent-collection buttons.
#include "shell/soft_buttons.h"

#include <gtest/gtest.h>

#include "store/item_status.h"

namespace kelvora::shell {
namespace {

// Captions as caption=id, the default marked with a star, a greyed button in brackets.
std::string shown(const SoftButtonRow& row) {
  std::string s;
  for (std::size_t j = 0; j < row.buttons.size(); ++j) {
    const std::u16string& c = row.buttons[j].caption;
    s += (j == 0 ? "" : " ") + std::string(c.begin(), c.end()) + "=" +
         std::to_string(row.buttons[j].id) + (static_cast<int>(j) == row.defaultIndex ? "*" : "") +
         (row.buttons[j].enabled ? "" : "[greyed]");
  }
  return s;
}

TEST(SoftButtons, EachStateShowsItsSet) {
  using Recent = store::RecentFiles;
  const struct {
    AppMode mode;
    bool open;
    Recent recent;
    const char* shown;
  } rows[] = {
      {AppMode::Idle, true, {}, "Learn=50* Edit=51"},
      {AppMode::Edit, true, {}, "Home=70 Prev.=71 Next=72* End=73 Add=74 Cancel=75"},
      {AppMode::LearnAnswer, true, {}, "Bright=60 Good=61 Pass=62* Fail=63 Bad=64 Null=65"},
      {AppMode::LearnQuestion, true, {}, "Show answer=80* Cancel=81 Last=82"},
      {AppMode::LearnReview, true, {}, "Next repetition=90* Cancel learning=91"},
      {AppMode{0x01}, true, {}, ""},
      {AppMode::Edit, false, Recent{{"/a/French", "/b/Verbs", "/c/Maps"}},
       "French=100 Verbs=101 Maps=102"},
      {AppMode::Idle, false, Recent{{"/a/French", "", "/c/Maps"}}, "French=100"},
      {AppMode::Idle, false, Recent{{"", "/b/Verbs", ""}}, "Recent=100[greyed]"},
  };
  for (const auto& r : rows) EXPECT_EQ(shown(softButtonsFor(r.mode, r.open, r.recent)), r.shown);
}

TEST(SoftButtons, RecentCaptionIsTheLastNameDecodedAndBounded) {
  const struct {
    std::string path;
    std::u16string caption;
  } rows[] = {
      {"/home/ann/French/", u"French"},
      {"/", u"/"},
      {"/home/ann/Fran\xC3\xA7"
       "ais",
       u"Fran\u00E7ais"},
      {"/home/ann/Fran\xE7"
       "ais",
       u"Fran\u00E7ais"},                  // Latin-1 bytes, not UTF-8
      {"/a/back\\slash", u"back\\slash"},  // an ordinary character on POSIX
      {"/a/" + std::string(60, 'x'), std::u16string(49, u'x')},
      // U+1F600 at units 48 and 49 would be split by the cut, so it goes whole.
      {"/a/" + std::string(48, 'x') + "\xF0\x9F\x98\x80", std::u16string(48, u'x')},
  };
  for (const auto& r : rows) EXPECT_EQ(recentCaption(r.path), r.caption) << r.path;
}

// Each grade button tells what its grade would do to the item shown: the days until the next
// repetition as the grade sets them, or the final drill.
TEST(GradeTips, TellWhatEachGradeWouldDo) {
  using learning::Grade;
  using learning::LearningData;
  using store::ItemStatus;
  constexpr store::DayNumber today = 9000;
  const LearningData fresh{store::code(ItemStatus::Pending), 0, 0, 2500, 0, 0};
  // Memorized 20 days ago for 10 days: a late repetition counts the 20 days that passed.
  const LearningData late{store::code(ItemStatus::Outstanding), 10, today - 20, 2500, 3, 0};
  const LearningData drill{store::code(ItemStatus::Drill), 3, today, 2000, 1, 1};
  const LearningData dismissed{store::code(ItemStatus::Dismissed), 10, today - 20, 2500, 3, 0};
  const struct {
    LearningData item;
    Grade grade;
    const char16_t* caption;
    std::u16string tip;
  } rows[] = {
      {fresh, Grade::Bright, u"Bright", u"Bright (5): next repetition in 6 days"},
      {fresh, Grade::Pass, u"Pass", u"Pass (3): next repetition in 4 days"},
      {fresh, Grade::Fail, u"Fail",
       u"Fail (2): again in the final drill, then next repetition "
       u"in 3 days"},
      {fresh, Grade::Null, u"Null",
       u"Null (0): again in the final drill, then next repetition "
       u"in 1 day"},
      {late, Grade::Good, u"Good", u"Good (4): next repetition in 50 days"},
      {drill, Grade::Good, u"Good", u"Good (4): next repetition in 3 days"},
      {drill, Grade::Pass, u"Pass", u"Pass (3): again in the final drill"},
      {dismissed, Grade::Good, u"Good", u"Good (4)"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(gradeTip(r.grade, r.caption, r.item, today), r.tip)
        << std::string(r.tip.begin(), r.tip.end());
  }
  // Only the grade buttons get one, each for its own grade.
  const SoftButtonRow grades = softButtonsFor(AppMode::LearnAnswer, true, {});
  const std::vector<std::u16string> tips = buttonTips(grades, fresh, today);
  ASSERT_EQ(tips.size(), 6U);
  EXPECT_EQ(tips[1], u"Good (4): next repetition in 5 days");
  EXPECT_EQ(tips[5], u"Null (0): again in the final drill, then next repetition in 1 day");
  const SoftButtonRow question = softButtonsFor(AppMode::LearnQuestion, true, {});
  for (const std::u16string& tip : buttonTips(question, fresh, today)) EXPECT_TRUE(tip.empty());
  for (const std::u16string& tip : buttonTips(grades, std::nullopt, today)) {
    EXPECT_TRUE(tip.empty());
  }
}

}  // namespace
}  // namespace kelvora::shell
