// The main window's menus and toolbar as data: every item's command, caption, accelerator and
// check group, in the order shown. The desktop window builds its menu bar from this tree and
// kelvora-cli's script prints the items' state by their names; the state itself (enabled,
// checked, the Recent entries) comes from computeMenuState.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "shell/command_ids.h"

namespace kelvora::shell {

// Items of one group show which of them is in force; None is a plain command.
enum class CheckGroup { None, Mode, Encoding, Html, View };

struct MenuEntry {
  enum class Kind { Command, Separator, Submenu, RecentList };
  Kind kind = Kind::Command;
  CommandId id = 0;
  // '&' marks the letter that opens the item from the keyboard, "&&" is a literal '&'.
  std::u16string_view caption;
  // How a script's `show` names the item (a command entry only).
  std::string_view name;
  char accelerator = 0;  // pressed with Ctrl; 0 for none
  int functionKey = 0;   // F1..F12 alone reaches the item too; 0 for none
  CheckGroup group = CheckGroup::None;
  bool startsGreyed = false;        // until the first state arrives
  std::vector<MenuEntry> children;  // a submenu's items
};

// The menu bar: its popups, each a Submenu entry.
const std::vector<MenuEntry>& menuBar();

// Calls visit for every Command entry of the tree, depth first in the order shown.
template <typename Visit>
void forEachCommand(const std::vector<MenuEntry>& entries, Visit&& visit) {
  for (const MenuEntry& e : entries) {
    if (e.kind == MenuEntry::Kind::Command) visit(e);
    if (e.kind == MenuEntry::Kind::Submenu) forEachCommand(e.children, visit);
  }
}

// The command Ctrl+letter ('A'..'Z') gives, from anywhere in the main window.
std::optional<CommandId> acceleratorCommand(char letter);

// The toolbar of wide screens, in order; id 0 is a separator. icon names the picture.
struct ToolbarButton {
  CommandId id = 0;
  std::u16string_view tip;
  std::string_view icon;
};
const std::vector<ToolbarButton>& toolbarButtons();

}  // namespace kelvora::shell
