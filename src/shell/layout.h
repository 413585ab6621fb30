// Where every child window of the main window goes, in the narrow and the wide arrangement,
// the widths of the soft buttons and where the panes move for a Q/A size. Pixels throughout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvora::shell {

inline constexpr int kMenuBarHeight = 26;

// Measured once at start from the system font and the desktop's work area.
struct ScreenMeasures {
  int lineHeight;  // height plus external leading of the system font
  int charWidth;   // average character width of the system font
  int workWidth;
  int workHeight;
};

// Portrait-like screens, where the panes stack over the panels instead of beside them.
bool isNarrowScreen(const ScreenMeasures& measures);

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct StatisticsRow {
  Rect label;
  std::optional<Rect> bar;  // progress bars exist in the wide arrangement only
  Rect value;
  bool operator==(const StatisticsRow&) const = default;
};

struct ItemRow {
  Rect label;
  Rect value;
  bool operator==(const ItemRow&) const = default;
};

// Each pane rectangle is shared by the pane's edit control and its HTML view.
struct Layout {
  bool narrow = false;
  std::array<Rect, 2> titleLines;
  std::array<StatisticsRow, 3> statisticsRows;  // Memorized, Pending, To repeat
  Rect statisticsBox;
  std::array<ItemRow, 5> itemRows;  // Number, Status, Last rep, Interval, Next
  Rect itemBox;
  Rect questionPane;
  Rect questionBox;
  Rect answerPane;
  Rect answerBox;
  Rect softButtonRow;
  bool operator==(const Layout&) const = default;
};

Layout layoutFor(const ScreenMeasures& measures, bool narrow);

// The buttons' rectangles left to right across the row, one pixel apart, each as wide as its
// share of the row by caption length; the last takes what is left and ends one pixel past
// row.x + row.width. Lengths count characters (a surrogate pair is one).
std::vector<Rect> softButtonRects(const Rect& row, const std::vector<std::u16string>& captions);

// The four rectangles a Q/A size moves in the narrow arrangement.
struct QaGeometry {
  Rect questionBox;
  Rect questionPane;
  Rect answerBox;
  Rect answerPane;
  bool operator==(const QaGeometry&) const = default;
};

// Ratio 0 gives the panes their arrangement's places; 1..5 give them the statistics panel's
// room, 46 pixels each, and move the border between them by the ratio's shift (down for the
// larger question shares). A ratio no menu entry stands for hides the panel as any non-zero
// ratio does, so it gets the room too, split evenly.
QaGeometry qaSizeGeometry(const Layout& narrowLayout, int lineHeight, std::uint8_t ratio);

}  // namespace kelvora::shell
