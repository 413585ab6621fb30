// Child-window rectangles of both arrangements, soft-button widths and the Q/A size geometry,
// checked against figures worked out by hand.
#include "shell/layout.h"

#include <gtest/gtest.h>

#include "shell/soft_buttons.h"

namespace kelvora::shell {
namespace {

ScreenMeasures screen(int width, int height) { return {13, 6, width, height}; }

TEST(Layout, NarrowWhenWidthIsBelowHeightPlusTwoMenuBars) {
  const struct {
    int width, height;
    bool narrow;
  } rows[] = {{345, 294, true}, {346, 294, false}, {480, 640, true}};
  for (const auto& r : rows) {
    EXPECT_EQ(isNarrowScreen(screen(r.width, r.height)), r.narrow) << r.width << "x" << r.height;
  }
}

TEST(Layout, NarrowArrangementStacksPanesOverPanels) {
  const Layout l = layoutFor(screen(240, 294), true);
  EXPECT_TRUE(l.narrow);
  EXPECT_EQ(l.titleLines[0], (Rect{8, 169, 104, 13}));
  EXPECT_EQ(l.statisticsRows[0].label, (Rect{8, 198, 67, 13}));
  EXPECT_EQ(l.statisticsRows[2].value, (Rect{75, 224, 39, 13}));
  EXPECT_FALSE(l.statisticsRows[1].bar.has_value());
  EXPECT_EQ(l.statisticsBox, (Rect{2, 154, 116, 86}));
  EXPECT_EQ(l.itemRows[0].value, (Rect{180, 169, 55, 13}));
  EXPECT_EQ(l.itemRows[4].label, (Rect{128, 221, 52, 13}));
  EXPECT_EQ(l.itemBox, (Rect{122, 154, 116, 86}));
  EXPECT_EQ(l.questionBox, (Rect{2, 0, 236, 76}));
  EXPECT_EQ(l.answerBox, (Rect{2, 77, 236, 76}));
  EXPECT_EQ(l.answerPane, (Rect{7, 90, 226, 58}));
  EXPECT_EQ(l.softButtonRow, (Rect{2, 242, 234, 24}));
}

// The boxes and panes of the wide arrangement at 640x480 are in the end-to-end scripts' output.
TEST(Layout, WideArrangementPutsPanelsLeftOfPanes) {
  const Layout l = layoutFor(screen(320, 214), false);
  EXPECT_FALSE(l.narrow);
  EXPECT_EQ(l.statisticsRows[0].bar, (Rect{88, 84, 36, 12}));
  EXPECT_EQ(l.statisticsRows[0].value, (Rect{124, 84, 48, 13}));
  EXPECT_EQ(l.itemRows[0].value, (Rect{82, 142, 90, 13}));
  EXPECT_EQ(l.itemRows[4].label, (Rect{10, 194, 72, 13}));

  const Layout big = layoutFor(screen(640, 480), false);
  EXPECT_EQ(big.statisticsRows[2].bar, (Rect{88, 376, 36, 12}));
}

std::vector<std::u16string> captionsOf(const SoftButtonRow& row) {
  std::vector<std::u16string> captions;
  captions.reserve(row.buttons.size());
  for (const SoftButton& b : row.buttons) captions.push_back(b.caption);
  return captions;
}

std::vector<int> widths(const std::vector<Rect>& rects) {
  std::vector<int> w;
  w.reserve(rects.size());
  for (const Rect& r : rects) w.push_back(r.width);
  return w;
}

TEST(SoftButtonWidths, ShareTheRowByCaptionLengthAndLastFillsIt) {
  const Rect row{2, 242, 234, 24};
  const std::vector<Rect> edit =
      softButtonRects(row, captionsOf(softButtonsFor(AppMode::Edit, true, {})));
  for (std::size_t j = 1; j < edit.size(); ++j) {
    EXPECT_EQ(edit[j], (Rect{edit[j - 1].x + edit[j - 1].width + 1, 242, edit[j].width, 24}));
  }
  EXPECT_EQ(edit.back().x + edit.back().width, row.x + row.width + 1);
}

TEST(SoftButtonWidths, UnusualCaptions) {
  const struct {
    std::vector<std::u16string> captions;
    std::vector<int> widths;
  } rows[] = {
      {{}, {}},
      {{u"", u""}, {50, 50}},                       // nothing to divide by: even shares
      {{u"a", u"\U0001F600", u"b"}, {33, 33, 33}},  // a surrogate pair is one character
  };
  for (const auto& r : rows) {
    EXPECT_EQ(widths(softButtonRects({0, 0, 100, 20}, r.captions)), r.widths);
  }
  // Too narrow for the gaps: the last button gets nothing rather than a negative width.
  EXPECT_EQ(widths(softButtonRects({0, 0, 2, 20}, {u"a", u"b", u"c", u"d", u"e"})),
            (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(QaSize, PanesTakeThePanelRoomAndTheRatioMovesTheirBorder) {
  const Layout l = layoutFor(screen(240, 294), true);
  const struct {
    std::uint8_t ratio;
    int questionGain, answerGain;
  } rows[] = {{0, 0, 0},   {1, 106, -14}, {2, 69, 23}, {3, 46, 46},
              {4, 23, 69}, {5, -14, 106}, {6, 46, 46}};
  for (const auto& r : rows) {
    const QaGeometry g = qaSizeGeometry(l, 13, r.ratio);
    SCOPED_TRACE(r.ratio);
    EXPECT_EQ(g.questionBox.height - l.questionBox.height, r.questionGain);
    EXPECT_EQ(g.questionPane.height - l.questionPane.height, r.questionGain);
    EXPECT_EQ(g.answerBox.y - l.answerBox.y, r.questionGain);
    EXPECT_EQ(g.answerBox.height - l.answerBox.height, r.answerGain);
    EXPECT_EQ(g.answerPane.height - l.answerPane.height, r.answerGain);
  }
  EXPECT_EQ(
      qaSizeGeometry(l, 13, 1),
      (QaGeometry{{2, 0, 236, 182}, {7, 13, 226, 164}, {2, 183, 236, 62}, {7, 196, 226, 44}}));
}

}  // namespace
}  // namespace kelvora::shell
