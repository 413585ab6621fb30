// Everything the main window shows, as plain data a front end renders and a test reads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "learning/statistics.h"
#include "presentation/fonts.h"
#include "presentation/pane_contents.h"
#include "shell/app_mode.h"
#include "shell/layout.h"
#include "shell/menu_state.h"
#include "shell/soft_buttons.h"

namespace kelvora::shell {

struct Screen {
  AppMode mode = AppMode::Idle;
  // The texts of the question and answer panes: the edit controls' texts, or the HTML source
  // the HTML panes show when html is set.
  presentation::PaneContents panes;
  bool html = false;
  bool editEnabled = false;  // the edit controls accept input
  bool collectionOpen = false;
  learning::StatisticsPanel statistics;
  SoftButtonRow buttons;
  std::vector<Rect> buttonRects;           // one per button, in the soft-button row
  std::vector<std::u16string> buttonTips;  // one per button; empty for none
  // Where every child window goes; on a narrow screen with a Q/A size chosen the four pane
  // rectangles are moved as that size gives them.
  Layout layout;
  presentation::EditFont questionFont;
  presentation::EditFont answerFont;
  std::u16string questionStyle;  // style sheets of the HTML panes
  std::u16string answerStyle;
  MenuState menus;
  std::u16string title;  // the open collection's name, without folder and extension

  // Where a search found its string: that edit control gets the focus with these code units
  // selected. Cleared by the next command.
  struct Selection {
    bool question = true;
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const Selection&) const = default;
  };
  std::optional<Selection> selection;
};

// Where code unit at of a pane's text lies in its edit control, which holds each CR LF as one
// line break.
inline std::size_t shownOffset(std::u16string_view text, std::size_t at) {
  at = std::min(at, text.size());
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < at && i + 1 < text.size(); ++i) {
    if (text[i] == u'\r' && text[i + 1] == u'\n') ++breaks;
  }
  return at - breaks;
}

}  // namespace kelvora::shell
