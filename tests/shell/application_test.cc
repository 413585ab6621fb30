// The command layer as a user drives it: modes, what the panes show, which commands act when,
// and the timer, over a collection in memory.
#include "shell/application.h"

#include <gtest/gtest.h>

#include "app_fixture.h"

namespace kelvora::shell {
namespace {

TEST(Application, PanesFollowTheModeAndShowAnswerLeavesTheQuestionAsTyped) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending};
  EXPECT_EQ(f.app.screen().panes, (presentation::PaneContents{u"", u""}));
  f.app.onCommand(cmd::LearnButton);
  EXPECT_EQ(f.app.screen().panes, (presentation::PaneContents{u"q0", u""}));
  f.app.setEditText(true, u"typed");
  f.app.onKey(Key::Enter);
  EXPECT_EQ(f.app.mode(), AppMode::LearnAnswer);
  EXPECT_EQ(f.app.screen().panes, (presentation::PaneContents{u"typed", u"a0"}));
}

TEST(Application, CommandsActOnlyWhereTheyBelong) {
  Fixture f{ItemStatus::Memorized, ItemStatus::Pending};
  // Grade buttons, Show answer and status commands in Idle: nothing, no question.
  for (CommandId id : {cmd::GradeBright, cmd::ShowAnswer, cmd::Last, cmd::Forget, cmd::Dismiss}) {
    f.app.onCommand(id);
  }
  EXPECT_EQ(f.app.mode(), AppMode::Idle);
  EXPECT_TRUE(f.port.asked.empty());
  // Fonts only where its menu item is on: in Edit and learning, not in Idle.
  const std::size_t dialogs = f.port.dialogs.size();
  f.app.onCommand(cmd::Fonts);
  EXPECT_EQ(f.port.dialogs.size(), dialogs);
  // The encoding is for collections made afterwards: refused while one is open.
  f.app.onCommand(cmd::Unicode);
  EXPECT_EQ(f.c.settings.utf8, 0);
  // An answer typed while only the question is shown is not stored.
  f.app.onCommand(cmd::LearnButton);
  f.app.setEditText(false, u"sneaked in");
  f.app.onCommand(cmd::StoreAnswer, kFocusLost);
  EXPECT_FALSE(f.c.loaded.itemModified);
  // Add new from learning: Edit first, HTML off without counting as a settings change.
  f.c.settings.html = 1;
  f.c.settings.settingsChanged = false;
  f.app.onCommand(cmd::AddNew);
  EXPECT_EQ(f.app.mode(), AppMode::Edit);
  EXPECT_EQ(f.c.settings.html, 0);
  EXPECT_FALSE(f.c.settings.settingsChanged);
  EXPECT_EQ(f.c.header.itemCount, 3);
  EXPECT_EQ(f.c.currentPosition, 2);
}

TEST(Application, TimerRecountsOnlyOutsideLearning) {
  Fixture f{ItemStatus::Memorized, ItemStatus::Pending};
  f.app.onCommand(cmd::LearnButton);
  f.clock.date = learning::CalendarDate{2004, 8, 15};
  f.app.onTimer();
  EXPECT_EQ(f.c.table[0].status, code(ItemStatus::Memorized));
  f.port.answers = {};
  f.app.onCommand(cmd::CancelQuestion);
  EXPECT_EQ(f.app.mode(), AppMode::Idle);
  f.app.onTimer();
  EXPECT_EQ(f.c.table[0].status, code(ItemStatus::Outstanding));
  EXPECT_EQ(f.app.screen().statistics.statisticsValues[2], u"1+0");
}

TEST(Application, ASettingChangedWhileOpenIsOnTheDiskAtOnce) {
  Fixture f{ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.app.onCommand(cmd::Html);
  f.app.onCommand(cmd::QaSize25);
  const auto& cfg = f.files.bytes("/c.cfg");
  const std::string text(cfg.begin(), cfg.end());
  EXPECT_NE(text.find("HTML 1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Ratio 5\r\n"), std::string::npos) << text;
  EXPECT_FALSE(f.c.settings.settingsChanged);
}

TEST(Application, NewDeclinedAtTheOverwriteQuestionLeavesIdleWithNothingOpen) {
  Fixture f{ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.port.files = {std::filesystem::path("/c.kdb")};
  f.port.answers = {false};
  f.app.onCommand(cmd::New);
  EXPECT_FALSE(f.c.isOpen);
  EXPECT_EQ(f.app.mode(), AppMode::Idle);
  EXPECT_EQ(f.app.screen().buttons.buttons.front().caption, u"c");
}

TEST(Application, TheTitleIsTheFileNameWithoutItsExtensionWhateverTheFoldersHold) {
  Fixture f{ItemStatus::Pending};
  struct Case {
    const char* chosen;
    std::u16string title;
    const char* base;
  };
  for (const Case& c : {Case{"/my.docs/French.kdb", u"French", "/my.docs/French"},
                        Case{"/top/.hidden", u".hidden", "/top/.hidden"}}) {
    f.port.files = {std::filesystem::path(c.chosen)};
    f.app.onCommand(cmd::Open);
    EXPECT_EQ(f.app.screen().title, c.title) << c.chosen;
    EXPECT_TRUE(f.files.exists(std::string(c.base) + ".kdb")) << c.chosen;
  }
}

TEST(Application, ExitWritesTheEditTakenOverAndTheLearningDay) {
  Fixture f{ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.app.setEditText(true, u"edited question");
  f.app.onCommand(cmd::StoreQuestion, kFocusLost);
  f.app.exitSequence();
  ASSERT_TRUE(store::openCollection(f.c, "/c"));
  f.c.currentPosition = 0;
  ASSERT_TRUE(f.c.readItem(0));
  EXPECT_EQ(f.c.loaded.question, u"edited question");
}

TEST(Application, AFileNamedFromOutsideOpensAsOpenDoesFromAnyMode) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.app.onCommand(cmd::Next);
  f.app.setEditText(true, u"typed before the second start");
  // The edit control hands over its text when the window takes the focus for the opening.
  f.port.onFocus = [&f] { f.app.onCommand(cmd::StoreQuestion, kFocusLost); };
  f.app.openPath("/c.kdb");
  EXPECT_EQ(f.app.mode(), AppMode::Idle);
  EXPECT_EQ(f.c.currentPosition, 0);
  EXPECT_EQ(f.app.screen().title, u"c");
  EXPECT_EQ(f.app.recentFiles().entries[0], std::filesystem::path("/c"));
  ASSERT_TRUE(f.c.readItem(1));
  EXPECT_EQ(f.c.loaded.question, u"typed before the second start");
}

// A mistyped name asks first, No by default: No opens nothing and writes no file.
TEST(Application, AMissingFileNamedFromOutsideIsCreatedOnlyWhenTheUserSaysSo) {
  Fixture f{ItemStatus::Pending};
  f.port.answers = {false};
  f.app.openPath("/typo.kdb");
  ASSERT_EQ(f.port.asked.size(), 1u);
  EXPECT_EQ(f.port.defaults.back(), store::DefaultAnswer::No);
  EXPECT_FALSE(f.files.exists("/typo.kdb"));
  EXPECT_EQ(f.app.screen().title, u"c");  // the open collection stays open
  f.port.answers = {true};
  f.app.openPath("/typo.kdb");
  EXPECT_TRUE(f.files.exists("/typo.kdb"));
  EXPECT_EQ(f.app.screen().title, u"typo");
}

TEST(Application, NewMeasuresLayTheSameArrangementOutAgain) {
  Fixture f{ItemStatus::Pending};
  const ScreenMeasures wider{13, 6, 1000, 700};
  f.app.setMeasures(wider);
  EXPECT_EQ(f.app.screen().layout, layoutFor(wider, false));
  // The arrangement chosen at start stays, even for a work area that would be narrow.
  const ScreenMeasures upright{13, 6, 480, 900};
  f.app.setMeasures(upright);
  EXPECT_EQ(f.app.screen().layout, layoutFor(upright, false));
  EXPECT_EQ(f.app.screen().buttonRects.back().x + f.app.screen().buttonRects.back().width,
            f.app.screen().layout.softButtonRow.x + f.app.screen().layout.softButtonRow.width + 1);
}

}  // namespace
}  // namespace kelvora::shell
