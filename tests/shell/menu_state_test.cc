// Menu and toolbar availability, check marks and the Recent submenu for each state.
#include "shell/menu_state.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "store/item_status.h"

namespace kelvora::shell {
namespace {

using store::ItemStatus;

const store::RecentFiles kNoRecent;

MenuInput input(bool open, AppMode mode, ItemStatus status = ItemStatus::Drill,
                const store::RecentFiles& recent = kNoRecent) {
  return {false, open, mode, store::code(status), open, 0, 1, 0, 0, recent};
}

TEST(MenuState, CommandsAreAvailableByState) {
  using namespace cmd;
  const MenuInput states[] = {
      input(false, AppMode::Idle),       input(true, AppMode::Idle),
      input(true, AppMode::Edit),        input(true, AppMode::LearnQuestion),
      input(true, AppMode::LearnAnswer), input(true, AppMode::LearnReview),
  };
  const struct {
    std::vector<CommandId> ids;
    const char* on;  // no collection, Idle, Edit, LearnQuestion, LearnAnswer, LearnReview
    bool onToolbar;
  } rows[] = {
      {{Close, Reset}, "011111", false},
      {{Learn, Edit, Calendar}, "011111", true},
      {{SwapAll}, "011000", false},
      {{Unicode, CompressedUnicode}, "100000", false},
      {{Fonts}, "001111", false},
      {{AddNew, Forget, Remember, Dismiss}, "001111", true},
      {{Delete, SwapQa, GoTo, Find, FindNext}, "001000", false},
      {{Html, New, Open, Exit, About}, "111111", false},
  };
  for (int s = 0; s < 6; ++s) {
    const MenuState menus = computeMenuState(states[s]);
    for (const auto& row : rows) {
      for (CommandId id : row.ids) {
        const bool on = row.on[s] == '1';
        EXPECT_EQ(menus.enabled(id), on) << "state " << s << " id " << id;
        if (row.onToolbar) {
          EXPECT_EQ(menus.toolbarEnabled.at(id), on) << s << " " << id;
        }
      }
    }
  }
}

TEST(MenuState, ItemCommandsFollowTheCurrentStatus) {
  const struct {
    ItemStatus status;
    bool hasItem;
    const char* on;  // Forget, Remember, Dismiss
  } rows[] = {
      {ItemStatus::Pending, true, "011"},   {ItemStatus::Drill, true, "111"},
      {ItemStatus::Memorized, true, "101"}, {ItemStatus::Outstanding, true, "111"},
      {ItemStatus::Dismissed, true, "110"}, {ItemStatus::Pending, false, "000"},  // empty
  };
  for (const auto& r : rows) {
    MenuInput in = input(true, AppMode::LearnAnswer, r.status);
    in.hasCurrentItem = r.hasItem;
    const MenuState m = computeMenuState(in);
    const std::string on = {m.enabled(cmd::Forget) ? '1' : '0',
                            m.enabled(cmd::Remember) ? '1' : '0',
                            m.enabled(cmd::Dismiss) ? '1' : '0'};
    EXPECT_EQ(on, r.on) << static_cast<int>(r.status);
    EXPECT_EQ(m.toolbarEnabled.at(cmd::Remember), r.on[1] == '1');
  }
}

TEST(MenuState, ChecksShowEncodingHtmlAndMode) {
  MenuInput in = input(true, AppMode::LearnAnswer);
  for (const CommandId mark : {CommandId{0}, cmd::Learn, cmd::Edit}) {
    in.utf8 = in.html = mark == cmd::Learn;
    in.modeMark = mark;
    const MenuState m = computeMenuState(in);
    EXPECT_EQ(m.checked(cmd::Unicode), mark == cmd::Learn);
    EXPECT_EQ(m.checked(cmd::CompressedUnicode), mark != cmd::Learn);
    EXPECT_EQ(m.checked(cmd::Html), mark == cmd::Learn);
    EXPECT_EQ(m.checked(cmd::Learn), mark == cmd::Learn);
    EXPECT_EQ(m.checked(cmd::Edit), mark == cmd::Edit);
  }
}

TEST(MenuState, ViewItemsAreGreyOnWideScreensAndShowTheRatioOnNarrow) {
  const struct {
    bool narrow, open;
    std::uint8_t ratio;
    int checked;  // offset from Statistics, -1 for none
  } rows[] = {{false, true, 3, 0}, {true, false, 5, 5}, {true, true, 6, -1}};
  for (const auto& r : rows) {
    MenuInput in = input(r.open, AppMode::Edit);
    in.narrowScreen = r.narrow;
    in.ratio = r.ratio;
    const MenuState m = computeMenuState(in);
    for (int k = 0; k < 6; ++k) {
      const auto id = static_cast<CommandId>(cmd::StatisticsView + k);
      EXPECT_EQ(m.enabled(id), r.narrow) << r.narrow << " " << k;
      EXPECT_EQ(m.checked(id), k == r.checked) << int{r.ratio} << " " << k;
    }
    EXPECT_EQ(m.toolbarEnabled.empty(), r.narrow);  // narrow screens have no toolbar
  }
}

TEST(MenuState, RecentSubmenuListsEachEntryUnderItsOwnId) {
  const store::RecentFiles gap{{"/home/ann/French", "", "/home/ann/Maps"}};
  EXPECT_EQ(computeMenuState(input(false, AppMode::Idle, ItemStatus::Drill, gap)).recent,
            (std::vector<RecentMenuItem>{{50000, u"French", true}, {50002, u"Maps", true}}));
  EXPECT_EQ(computeMenuState(input(true, AppMode::Idle)).recent,
            (std::vector<RecentMenuItem>{{50000, u"Recent file list", false}}));
}

}  // namespace
}  // namespace kelvora::shell
