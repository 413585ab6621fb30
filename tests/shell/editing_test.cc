// Editing, browsing, search and go to through the command layer.
#include <gtest/gtest.h>

#include <algorithm>

#include "app_fixture.h"

namespace kelvora::shell {
namespace {

TEST(Editing, DeletingKeepsCountersTrueAndEditedTextsGoWithTheDeletedItem) {
  using S = ItemStatus;
  Fixture f{S::Pending, S::Drill, S::Memorized};
  f.app.onCommand(cmd::EditButton);
  f.app.onKey(Key::Right);  // item 1, a drill item
  f.app.setEditText(true, u"edited before delete");
  f.app.onCommand(cmd::StoreQuestion, kFocusLost);
  f.app.onCommand(cmd::Delete);
  EXPECT_EQ(f.port.asked.back(), u"DELETE this element?");
  EXPECT_EQ(f.c.header.itemCount, 2);
  EXPECT_EQ(f.app.screen().panes.question, u"q2") << "the next item moves up with its own texts";
  const store::CollectionCounters kept = f.c.counters;
  f.c.recount();
  EXPECT_EQ(kept, f.c.counters);
  // The deleted record carries the edit and the Deleted status.
  store::Bytes edited;
  store::encodeText(edited, u"edited before delete", store::TextEncoding::CompressedUnicode);
  ASSERT_TRUE(f.c.checkpoint());
  const store::Bytes& texts = f.files.bytes("/c.kdb");
  EXPECT_NE(std::search(texts.begin(), texts.end(), edited.begin(), edited.end()), texts.end());
  EXPECT_TRUE(f.c.closeCollection());
  EXPECT_TRUE(f.files.remove("/c.kbi").ok());
  ASSERT_TRUE(store::openCollection(f.c, "/c"));
  EXPECT_EQ(f.c.header.itemCount, 2);

  // Deleting the last item moves to the new last; deleting the only one returns to Idle.
  Fixture g{S::Pending, S::Pending};
  g.app.onCommand(cmd::EditButton);
  g.app.onKey(Key::End);
  g.app.onCommand(cmd::Delete);
  EXPECT_EQ(g.c.currentPosition, 0);
  g.app.onCommand(cmd::Delete);
  EXPECT_EQ(g.c.header.itemCount, 0);
  EXPECT_EQ(g.app.mode(), AppMode::Idle);
}

TEST(Editing, SwappingShowsTheTextsExchangedAndAddingStopsAtTheTableSize) {
  Fixture f{ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.app.onCommand(cmd::SwapQa);
  EXPECT_EQ(f.app.screen().panes, (presentation::PaneContents{u"a0", u"q0"}));

  f.c.header.itemCount = store::MaxItems - 1;
  f.app.onCommand(cmd::Add);
  EXPECT_EQ(f.c.header.itemCount, store::MaxItems);
  EXPECT_TRUE(f.port.shown.empty());
  f.app.onCommand(cmd::Add);
  EXPECT_EQ(f.port.texts(), std::vector<std::u16string>{u"Too many items!"});
}

TEST(Browsing, MovesStopAtTheirLimits) {
  using S = ItemStatus;
  Fixture f{S::Pending, S::Pending, S::Pending, S::Pending, S::Pending, S::Pending,
            S::Pending, S::Pending, S::Pending, S::Pending, S::Pending, S::Pending};
  f.app.onCommand(cmd::EditButton);
  struct Step {
    Key key;
    std::uint16_t position;
  };
  for (Step s :
       {Step{Key::Left, 0}, Step{Key::Right, 1}, Step{Key::Up, 11}, Step{Key::Right, 11},
        Step{Key::Down, 1}, Step{Key::PageDown, 1}, Step{Key::PageUp, 11}, Step{Key::Home, 0}}) {
    f.app.onKey(s.key);
    EXPECT_EQ(f.c.currentPosition, s.position);
  }
  f.c.currentPosition = 7;
  f.app.onKey(Key::Down);
  EXPECT_EQ(f.c.currentPosition, 7) << "ten back from 7 does nothing";
  f.c.currentPosition = 9;  // itemCount - 3
  f.app.onKey(Key::Up);
  EXPECT_EQ(f.c.currentPosition, 11);
}

TEST(Search, FindIsCaseSensitiveSelectsTheMatchAndFindNextWraps) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.port.strings = {u"Q1"};
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.port.texts(), std::vector<std::u16string>{u"Cannot find the string\n'Q1'"});
  f.port.strings = {u"1"};
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.c.currentPosition, 1);
  EXPECT_EQ(f.app.screen().selection, (Screen::Selection{true, 1, 1}));
  f.app.onCommand(cmd::FindNext);
  EXPECT_EQ(f.c.currentPosition, 1) << "wrapped round to the only match";
  EXPECT_EQ(f.port.shown.size(), 1u);
}

TEST(Search, FindNextStartsAfterTheCurrentItemAndWrapsToTheFirst) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending, ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.port.strings = {u"a"};  // every answer holds it
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.c.currentPosition, 0);
  EXPECT_EQ(f.app.screen().selection, (Screen::Selection{false, 0, 1}));
  f.app.onCommand(cmd::FindNext);
  EXPECT_EQ(f.c.currentPosition, 1);
  f.app.onKey(Key::End);
  f.app.onCommand(cmd::FindNext);
  EXPECT_EQ(f.c.currentPosition, 0);
  EXPECT_TRUE(f.port.shown.empty());
}

TEST(Search, AFindTextEmptiedInTheDialogStopsFindNext) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  f.port.strings = {u"q1"};
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.c.currentPosition, 1);
  f.app.onKey(Key::Home);
  f.port.strings = {u""};
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.app.searchText(), u"");
  f.app.onCommand(cmd::FindNext);
  EXPECT_EQ(f.c.currentPosition, 0) << "the removed text is not searched for";
  EXPECT_TRUE(f.port.shown.empty());
}

TEST(Search, AnEditPendingInTheControlIsTakenOverBeforeOtherItemsAreRead) {
  Fixture f{ItemStatus::Pending, ItemStatus::Pending};
  f.app.onCommand(cmd::EditButton);
  // The accelerator arrives while the question control still holds the focus and the text.
  f.port.onFocus = [&f] { f.app.onCommand(cmd::StoreQuestion, kFocusLost); };
  f.app.setEditText(true, u"typed into the first");
  f.port.strings = {u"q1"};
  f.app.onCommand(cmd::Find);
  EXPECT_EQ(f.c.currentPosition, 1);
  EXPECT_EQ(f.app.screen().panes.question, u"q1");
  f.port.onFocus = nullptr;
  f.c.currentPosition = 0;
  ASSERT_TRUE(f.c.readItem(0));
  EXPECT_EQ(f.c.loaded.question, u"typed into the first");
}

TEST(GoTo, TakesANumberAsAnIdWhileItemsCarryIdsElseAsAPlace) {
  struct Case {
    std::uint32_t firstId;
    int number;
    std::uint16_t position;
  };
  using S = ItemStatus;
  for (Case c : {Case{0, 0, 0}, Case{0, 1, 0}, Case{0, 3, 2}, Case{0, 4, 2}, Case{0, 2147483647, 2},
                 Case{500, 501, 1}, Case{500, 2, 1}}) {
    Fixture f{{S::Pending, S::Pending, S::Pending}, c.firstId};
    f.app.onCommand(cmd::EditButton);
    f.port.numbers = {c.number};
    f.app.onCommand(cmd::GoTo);
    EXPECT_EQ(f.c.currentPosition, c.position) << c.number;
  }
}

}  // namespace
}  // namespace kelvora::shell
