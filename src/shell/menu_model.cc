// The menu tree and the toolbar's buttons.
#include "shell/menu_model.h"

namespace kelvora::shell {
namespace {

using Kind = MenuEntry::Kind;

MenuEntry item(CommandId id, std::u16string_view caption, std::string_view name,
               char accelerator = 0, CheckGroup group = CheckGroup::None, int functionKey = 0) {
  return MenuEntry{Kind::Command, id, caption, name, accelerator, functionKey, group, false, {}};
}
MenuEntry greyed(CommandId id, std::u16string_view caption, std::string_view name,
                 char accelerator = 0) {
  MenuEntry e = item(id, caption, name, accelerator);
  e.startsGreyed = true;
  return e;
}
MenuEntry bar() {
  MenuEntry e;
  e.kind = Kind::Separator;
  return e;
}
MenuEntry recentList() {
  MenuEntry e;
  e.kind = Kind::RecentList;
  e.id = cmd::RecentMenu1;
  e.caption = u"R&ecent";
  return e;
}
MenuEntry submenu(std::u16string_view caption, std::vector<MenuEntry> children) {
  return MenuEntry{Kind::Submenu,      0, caption, {}, 0, 0, CheckGroup::None, false,
                   std::move(children)};
}

std::vector<MenuEntry> buildMenuBar() {
  using G = CheckGroup;
  std::vector<MenuEntry> view = {
      item(cmd::StatisticsView, u"&Statistics", "Statistics", 0, G::View), bar()};
  const std::u16string_view sizes[] = {u"Q/A size &75%", u"Q/A size &60%", u"Q/A size &50%",
                                       u"Q/A size &40%", u"Q/A size &25%"};
  const std::string_view sizeNames[] = {"QA75", "QA60", "QA50", "QA40", "QA25"};
  for (CommandId i = 0; i < 5; ++i) {
    view.push_back(item(cmd::StatisticsView + 1 + i, sizes[i], sizeNames[i], 0, G::View));
  }
  return {
      submenu(
          u"&File",
          {item(cmd::New, u"&New...", "New", 'N'), item(cmd::Open, u"&Open...", "Open", 'O'),
           item(cmd::Close, u"&Close", "Close"), recentList(), bar(),
           submenu(u"&Import/Export",
                   {item(cmd::ImportXml, u"&Import XML...", "ImportXML"),
                    item(cmd::ExportXml, u"&Export XML...", "ExportXML"),
                    item(cmd::UpdateXml, u"&Update from XML...", "UpdateXML"), bar(),
                    item(cmd::ImportQa, u"I&mport Q&&A...", "ImportQA"),
                    item(cmd::ExportQa, u"E&xport Q&&A...", "ExportQA"), bar(),
                    item(cmd::ImportPeer, u"Import from &another learner...", "ImportPeer"),
                    item(cmd::ExportAnki, u"Export for A&nki...", "ExportAnki")}),
           bar(), item(cmd::Reset, u"&Reset...", "Reset"), item(cmd::Exit, u"E&xit", "Exit", 'Q')}),
      submenu(u"&Mode",
              {item(cmd::Learn, u"&Learn", "Learn", 'L', G::Mode),
               item(cmd::Edit, u"&Edit", "Edit", 'E', G::Mode), bar(),
               submenu(u"En&coding", {item(cmd::Unicode, u"&Unicode", "Unicode", 0, G::Encoding),
                                      item(cmd::CompressedUnicode, u"C&ompressed Unicode",
                                           "CompressedUnicode", 0, G::Encoding)}),
               bar(), item(cmd::Html, u"&HTML", "HTML", 0, G::Html)}),
      submenu(u"&View", std::move(view)),
      submenu(
          u"&Item",
          {item(cmd::AddNew, u"&Add new", "AddNew", 'A'), item(cmd::Delete, u"De&lete", "Delete"),
           item(cmd::SwapQa, u"S&wap Q-A", "SwapQA"), bar(),
           item(cmd::Forget, u"Forge&t", "Forget"), item(cmd::Remember, u"&Remember", "Remember"),
           item(cmd::Dismiss, u"&Dismiss", "Dismiss"),
           // Ctrl+Z takes back the last grade; the editors, where it would undo typing, are
           // read-only while learning, and Undo grade is not offered in Edit mode.
           item(cmd::UndoGrade, u"&Undo grade", "UndoGrade", 'Z'), bar(),
           item(cmd::Find, u"&Find...", "Find", 'F'),
           // Ctrl+X finds the next match, in the edit controls too, instead of cutting.
           item(cmd::FindNext, u"Find &next", "FindNext", 'X'),
           item(cmd::GoTo, u"&Go to...", "GoTo", 'G')}),
      submenu(u"Mi&sc", {greyed(cmd::Fonts, u"&Fonts...", "Fonts"),
                         greyed(cmd::Calendar, u"&Calendar...", "Calendar", 'W'), bar(),
                         greyed(cmd::SwapAll, u"&Swap all Q-A...", "SwapAll")}),
      submenu(u"&Help",
              {item(cmd::About, u"&About...", "About"),
               item(cmd::HelpTopics, u"&Help topics...", "HelpTopics", 0, CheckGroup::None, 1)}),
  };
}

}  // namespace

const std::vector<MenuEntry>& menuBar() {
  static const std::vector<MenuEntry> tree = buildMenuBar();
  return tree;
}

std::optional<CommandId> acceleratorCommand(char letter) {
  std::optional<CommandId> found;
  forEachCommand(menuBar(), [&](const MenuEntry& e) {
    if (e.accelerator != 0 && e.accelerator == letter) found = e.id;
  });
  return found;
}

const std::vector<ToolbarButton>& toolbarButtons() {
  static const std::vector<ToolbarButton> buttons = {
      {},
      {cmd::New, u"New", "new"},
      {cmd::Open, u"Open", "open"},
      {},
      {cmd::Learn, u"Learn", "learn"},
      {cmd::Edit, u"Edit", "edit"},
      {},
      {cmd::AddNew, u"Add new", "add"},
      {cmd::Forget, u"Forget", "forget"},
      {cmd::Remember, u"Remember", "remember"},
      {cmd::Dismiss, u"Dismiss", "dismiss"},
      {},
      {cmd::Calendar, u"Calendar", "calendar"},
  };
  return buttons;
}

}  // namespace kelvora::shell
