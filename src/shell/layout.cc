// The two fixed arrangements of the main window's children, the soft-button widths and the
// Q/A size geometry, as integer pixel arithmetic on the screen measures.
#include "shell/layout.h"

#include <algorithm>
#include <cstddef>

namespace kelvora::shell {
namespace {

// Widths the narrow arrangement derives from fractions, truncated toward zero as the
// conversion does.
int truncated(double value) { return static_cast<int>(value); }

Layout wideLayout(const ScreenMeasures& m) {
  const int lh = m.lineHeight;
  const int cw = m.charWidth;
  const int columnWidth = 30 * cw;
  const int statisticsHeight = m.workHeight - 6 * lh - kMenuBarHeight - 8;
  const int boxHeight = (m.workHeight - 2 * kMenuBarHeight) / 2 - 2;
  const int qx = columnWidth + 4;
  const int rightWidth = m.workWidth - qx - 2;
  const int answerY = boxHeight + kMenuBarHeight + 1;
  const int itemY = statisticsHeight + kMenuBarHeight + 1;

  Layout l;
  l.narrow = false;
  for (int i = 0; i < 2; ++i) {
    l.titleLines[i] = {10, kMenuBarHeight + (i + 1) * lh, 27 * cw, lh};
  }
  for (int i = 0; i < 3; ++i) {
    const int y = statisticsHeight - 3 * lh + kMenuBarHeight - 5 + i * lh;
    l.statisticsRows[i] = {
        {10, y, 13 * cw, lh}, Rect{13 * cw + 10, y, 6 * cw, lh - 1}, {19 * cw + 10, y, 8 * cw, lh}};
  }
  l.statisticsBox = {2, kMenuBarHeight, columnWidth, statisticsHeight};
  for (int i = 0; i < 5; ++i) {
    const int y = itemY + lh + i * lh;
    l.itemRows[i] = {{10, y, 12 * cw, lh}, {12 * cw + 10, y, 15 * cw, lh}};
  }
  l.itemBox = {2, itemY, columnWidth, m.workHeight - itemY};
  l.questionPane = {columnWidth + 9, kMenuBarHeight + lh, m.workWidth - qx - 12,
                    boxHeight - lh - 5};
  l.questionBox = {qx, kMenuBarHeight, rightWidth, boxHeight};
  l.answerPane = {columnWidth + 9, answerY + lh, m.workWidth - qx - 12, boxHeight - lh - 5};
  l.answerBox = {qx, answerY, rightWidth, boxHeight};
  l.softButtonRow = {qx, answerY + boxHeight + 2, rightWidth, kMenuBarHeight};
  return l;
}

Layout narrowLayout(const ScreenMeasures& m) {
  const int lh = m.lineHeight;
  const int half = m.workWidth / 2;
  const int panelHeight = 6 * lh + 8;
  const int panelWidth = half - 16;
  const int panelY = m.workHeight - 2 * (kMenuBarHeight + 1) - panelHeight;
  const int paneShare = (m.workHeight - 2 * kMenuBarHeight - panelHeight) / 2;
  const int boxHeight = paneShare - 2;
  const int answerY = paneShare - 1;
  const double sw = panelWidth;

  Layout l;
  l.narrow = true;
  for (int i = 0; i < 2; ++i) {
    l.titleLines[i] = {8, panelY + (i + 1) * lh + 2, panelWidth, lh};
  }
  for (int i = 0; i < 3; ++i) {
    const int y = panelY + panelHeight - 3 * (lh + 1) + i * lh;
    l.statisticsRows[i] = {{8, y, truncated(0.65 * sw), lh},
                           std::nullopt,
                           {truncated(0.65 * sw + 8.0), y, truncated(0.35 * sw + 3.0), lh}};
  }
  l.statisticsBox = {2, panelY, half - 4, panelHeight};
  for (int i = 0; i < 5; ++i) {
    const int y = panelY + lh + 2 + i * lh;
    l.itemRows[i] = {{half + 8, y, truncated(0.5 * sw), lh},
                     {truncated((half + 8) + 0.5 * sw), y, truncated(0.5 * sw + 3.0), lh}};
  }
  l.itemBox = {half + 2, panelY, half - 4, panelHeight};
  l.questionPane = {7, lh, m.workWidth - 14, boxHeight - lh - 5};
  l.questionBox = {2, 0, m.workWidth - 4, boxHeight};
  l.answerPane = {7, answerY + lh, m.workWidth - 14, boxHeight - lh - 5};
  l.answerBox = {2, answerY, m.workWidth - 4, boxHeight};
  l.softButtonRow = {2, m.workHeight - 2 * kMenuBarHeight, m.workWidth - 6, kMenuBarHeight - 2};
  return l;
}

std::size_t characterCount(const std::u16string& text) {
  // The second unit of a surrogate pair adds nothing.
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char16_t u) { return u < 0xDC00 || u > 0xDFFF; }));
}

// The height each pane gains while the statistics panel is hidden, in pixels.
constexpr int kQaExtraHeight = 46;

// How far the border between the panes moves down for ratios 1..5 (75%, 60%, 50%, 40%, 25%):
// 46 x 25/19, 46 x 0.5, 46 x 1/76, 46 x -0.5 and 46 x -25/19, truncated toward zero.
int qaShift(std::uint8_t ratio) {
  switch (ratio) {
    case 1:
      return truncated(kQaExtraHeight * 25.0 / 19.0);
    case 2:
      return truncated(kQaExtraHeight * 0.5);
    case 3:
      return truncated(kQaExtraHeight * 1.0 / 76.0);
    case 4:
      return truncated(kQaExtraHeight * -0.5);
    case 5:
      return truncated(kQaExtraHeight * -25.0 / 19.0);
    default:
      return 0;
  }
}

}  // namespace

bool isNarrowScreen(const ScreenMeasures& measures) {
  return measures.workWidth < measures.workHeight + 2 * kMenuBarHeight;
}

Layout layoutFor(const ScreenMeasures& measures, bool narrow) {
  return narrow ? narrowLayout(measures) : wideLayout(measures);
}

std::vector<Rect> softButtonRects(const Rect& row, const std::vector<std::u16string>& captions) {
  std::vector<Rect> rects;
  if (captions.empty()) return rects;
  std::vector<long long> lengths;
  long long total = 0;
  for (const std::u16string& caption : captions) {
    lengths.push_back(static_cast<long long>(characterCount(caption)));
    total += lengths.back();
  }
  // Captions without a single character share the row evenly rather than dividing by zero.
  if (total == 0) {
    std::fill(lengths.begin(), lengths.end(), 1);
    total = static_cast<long long>(lengths.size());
  }
  int x = row.x;
  for (std::size_t j = 0; j < captions.size(); ++j) {
    int width = 0;
    if (j + 1 < captions.size()) {
      width = static_cast<int>(lengths[j] * row.width / total);
    } else {
      // On a row too narrow for the gaps the last button shrinks to nothing, never below.
      width = std::max(0, row.x + row.width - x + 1);
    }
    rects.push_back({x, row.y, width, row.height});
    x += width + 1;
  }
  return rects;
}

QaGeometry qaSizeGeometry(const Layout& narrowLayout, int lineHeight, std::uint8_t ratio) {
  const int s = ratio == 0 ? 0 : kQaExtraHeight;
  const int d = qaShift(ratio);
  const Rect& q = narrowLayout.questionBox;
  const Rect& a = narrowLayout.answerBox;
  const int lh = lineHeight;
  QaGeometry g;
  g.questionBox = {q.x, q.y, q.width, q.height + s + d};
  g.questionPane = {q.x + 5, q.y + lh, q.width - 10, q.height - lh + s + d - 5};
  g.answerBox = {a.x, a.y + s + d, a.width, a.height + s - d};
  g.answerPane = {a.x + 5, a.y + lh + s + d, a.width - 10, a.height - lh + s - d - 5};
  return g;
}

}  // namespace kelvora::shell
