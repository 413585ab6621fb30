// Which menu items and toolbar buttons are on, which carry a check mark, and the Recent
// submenu, derived afresh from the collection, the mode and the settings.
#include "shell/menu_state.h"

#include <initializer_list>

#include "shell/soft_buttons.h"
#include "store/item_status.h"

namespace kelvora::shell {
namespace {

using store::ItemStatus;

constexpr CommandId kLastViewItem = cmd::QaSize25;
constexpr std::uint8_t kMaxRatio = kLastViewItem - cmd::StatisticsView;

class Builder {
 public:
  Builder(MenuState& state, bool wideScreen) : m_state(state), m_wide(wideScreen) {}

  void menu(std::initializer_list<CommandId> ids, bool on) {
    for (CommandId id : ids) m_state.items[id].enabled = on;
  }
  // The same for commands that also have a toolbar button.
  void both(std::initializer_list<CommandId> ids, bool on) {
    menu(ids, on);
    if (m_wide) {
      for (CommandId id : ids) m_state.toolbarEnabled[id] = on;
    }
  }
  void check(CommandId id, bool on) { m_state.items[id].checked = on; }

 private:
  MenuState& m_state;
  bool m_wide;
};

void itemCommands(const MenuInput& input, Builder& b) {
  // Without a current item the three commands have nothing to act on.
  const bool any = input.hasCurrentItem;
  const auto status = static_cast<ItemStatus>(input.currentStatus);
  b.both({cmd::Forget}, any && status != ItemStatus::Pending);
  b.both({cmd::Remember}, any && status != ItemStatus::Memorized);
  b.both({cmd::Dismiss}, any && status != ItemStatus::Dismissed);
}

std::vector<RecentMenuItem> recentMenu(const store::RecentFiles& recent) {
  std::vector<RecentMenuItem> items;
  // Ids follow the entry, not the place in the menu, so each opens its own entry.
  for (std::size_t k = 0; k < recent.entries.size(); ++k) {
    if (recent.entries[k].empty()) continue;
    items.push_back(
        {static_cast<CommandId>(cmd::RecentMenu1 + k), recentCaption(recent.entries[k])});
  }
  if (items.empty()) items.push_back({cmd::RecentMenu1, u"Recent file list", false});
  return items;
}

}  // namespace

bool MenuState::enabled(CommandId id) const {
  const auto it = items.find(id);
  return it == items.end() || it->second.enabled;
}

bool MenuState::checked(CommandId id) const {
  const auto it = items.find(id);
  return it != items.end() && it->second.checked;
}

MenuState computeMenuState(const MenuInput& input) {
  MenuState state;
  Builder b(state, !input.narrowScreen);

  // The statistics panel is always shown on wide screens, so the Q/A sizes are of no use there.
  // A ratio no View item stands for (from a hand-edited settings file) checks none of them.
  for (CommandId id = cmd::StatisticsView; id <= kLastViewItem; ++id) {
    const bool current = input.narrowScreen
                             ? input.ratio <= kMaxRatio && id == cmd::StatisticsView + input.ratio
                             : id == cmd::StatisticsView;
    b.menu({id}, input.narrowScreen);
    b.check(id, current);
  }

  const bool open = input.collectionOpen;
  const bool idle = input.mode == AppMode::Idle;
  const bool edit = input.mode == AppMode::Edit;
  const bool working = open && !idle;  // an item is on screen for editing or learning

  b.menu({cmd::Close, cmd::Reset}, open);
  b.both({cmd::Learn, cmd::Edit, cmd::Calendar}, open);
  b.menu({cmd::SwapAll, cmd::UpdateXml}, open && !isLearning(input.mode));
  // The encoding applies to collections created afterwards, so it is chosen with none open.
  b.menu({cmd::Unicode, cmd::CompressedUnicode}, !open);
  b.menu({cmd::Fonts}, working);
  b.both({cmd::AddNew}, working);
  b.menu({cmd::SwapQa, cmd::Delete, cmd::GoTo, cmd::Find, cmd::FindNext}, open && edit);
  if (working) {
    itemCommands(input, b);
  } else {
    b.both({cmd::Forget, cmd::Remember, cmd::Dismiss}, false);
  }

  b.menu({cmd::UndoGrade}, open && !edit && input.canUndo);

  b.check(cmd::Unicode, input.utf8 != 0);
  b.check(cmd::CompressedUnicode, input.utf8 == 0);
  b.menu({cmd::Html}, true);
  b.check(cmd::Html, input.html != 0);
  b.check(cmd::Learn, input.modeMark == cmd::Learn);
  b.check(cmd::Edit, input.modeMark == cmd::Edit);

  state.recent = recentMenu(input.recent);
  return state;
}

}  // namespace kelvora::shell
