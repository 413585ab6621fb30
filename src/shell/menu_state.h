// The enabled and checked state of every menu item and toolbar button, and the Recent submenu,
// recomputed from the application's state.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "shell/app_mode.h"
#include "shell/command_ids.h"
#include "store/recent_files.h"

namespace kelvora::shell {

struct MenuItemState {
  bool enabled = true;
  bool checked = false;
  bool operator==(const MenuItemState&) const = default;
};

struct RecentMenuItem {
  CommandId id = 0;
  std::u16string text;
  bool enabled = true;
  bool operator==(const RecentMenuItem&) const = default;
};

struct MenuState {
  std::map<CommandId, MenuItemState> items;  // every managed menu item
  std::map<CommandId, bool> toolbarEnabled;  // wide screens: Learn, Edit, Add new, Forget,
                                             // Remember, Dismiss, Calendar (New, Open always)
  std::vector<RecentMenuItem> recent;        // File > Recent
  bool operator==(const MenuState&) const = default;

  bool enabled(CommandId id) const;
  bool checked(CommandId id) const;
};

struct MenuInput {
  bool narrowScreen;
  bool collectionOpen;
  AppMode mode;
  std::uint8_t currentStatus;  // status code of the current item's entry (when one exists)
  bool hasCurrentItem;         // the current position is inside the table
  CommandId modeMark;          // Learn, Edit or 0: which Mode entry is checked
  std::uint8_t utf8;
  std::uint8_t html;
  std::uint8_t ratio;
  const store::RecentFiles& recent;
  bool canUndo = false;  // the collection keeps a step Undo grade can take back
};

// refreshMenus with the check marks that applyEncodingMarks, applyHtmlView, applyQaSize and
// markModeMenu keep, all from one state.
MenuState computeMenuState(const MenuInput& input);

}  // namespace kelvora::shell
