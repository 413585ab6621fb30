// The Fonts dialog: the face list, side switching and what OK and Cancel write.
#include "presentation/fonts_dialog.h"

#include <gtest/gtest.h>

namespace kelvora::presentation {
namespace {

using store::FontSetting;

// As the platform might offer them: unsorted, mixed case, one name twice.
const std::vector<std::u16string> kFamilies = {u"Tahoma", u"courier new", u"Arial Narrow",
                                               u"Arial",  u"DejaVu Sans", u"Arial Black",
                                               u"Tahoma"};

store::Settings settingsWith(FontSetting question, FontSetting answer) {
  store::Settings s;
  s.questionFont = std::move(question);
  s.answerFont = std::move(answer);
  return s;
}

// "face/size/weight"
std::string shown(const FontSetting& f) {
  return std::string(f.face.begin(), f.face.end()) + "/" + std::to_string(f.size) + "/" +
         std::to_string(f.weight);
}

std::u16string selectedName(const FontsDialog& d) {
  return d.selectedFace() ? d.faces()[*d.selectedFace()] : u"(none)";
}

TEST(FontsDialog, FaceListIsSortedIgnoringCaseAndPrefixFindsTheFirstMatch) {
  const std::vector<std::u16string> faces = sortFaceList(kFamilies);
  EXPECT_EQ(faces, (std::vector<std::u16string>{u"Arial", u"Arial Black", u"Arial Narrow",
                                                u"courier new", u"DejaVu Sans", u"Tahoma"}));
  const struct {
    std::u16string face;
    std::optional<std::size_t> found;
  } rows[] = {
      {u"Arial", 0},  // itself, not "Arial Narrow" further down
      {u"ARIAL N", 2}, {u"Courier", 3}, {u"Verdana", std::nullopt}, {u"Tahoma Bold", std::nullopt},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(findFacePrefix(faces, r.face), r.found) << std::string(r.face.begin(), r.face.end());
  }
}

TEST(FontsDialog, SizeChangedBeforeSwitchingSidesIsKeptByOk) {
  store::Settings s = settingsWith({u"Courier", 17, 700}, {u"Tahoma", 13, 700});
  FontsDialog d(s, kFamilies);
  EXPECT_EQ(d.side(), FontSide::Question);
  EXPECT_EQ(selectedName(d), u"courier new");
  EXPECT_EQ(d.sizeText(), u"17");
  d.setSizeText(u"20");
  d.clickSide(FontSide::Answer);
  EXPECT_EQ(selectedName(d), u"Tahoma");
  EXPECT_EQ(d.sizeText(), u"13");
  d.setBold(false);
  EXPECT_EQ(d.ok(s), 1);
  EXPECT_EQ(shown(s.questionFont), "courier new/20/700");
  EXPECT_EQ(shown(s.answerFont), "Tahoma/13/0");
}

TEST(FontsDialog, AnUnlistedFaceTakesTheHighlightedEntryOrStaysWhenNothingMatches) {
  store::Settings s = settingsWith({u"Arial Black", 13, 700}, {u"Verdana", 11, 700});
  FontsDialog d(s, kFamilies);
  d.clickSide(FontSide::Answer);
  EXPECT_EQ(selectedName(d), u"Arial Black");
  d.ok(s);
  EXPECT_EQ(shown(s.answerFont), "Arial Black/11/700");

  store::Settings lacking;  // Tahoma, which this platform lacks
  FontsDialog none(lacking, {u"DejaVu Sans", u"Noto Serif"});
  EXPECT_EQ(none.selectedFace(), std::nullopt);
  none.setSizeText(u"24");
  none.setBold(false);
  none.ok(lacking);
  EXPECT_EQ(shown(lacking.questionFont), "Tahoma/24/0");
}

TEST(FontsDialog, FieldsReadBackAsStored) {
  const struct {
    std::int32_t size, weight;
    std::u16string sizeShown;
    bool boldShown;
    std::u16string typed;  // typed into the size field before OK, unless empty
    std::string stored;
  } rows[] = {
      {13, 700, u"13", true, u"", "Arial/0/700"},     // an emptied field stores 0
      {13, 800, u"13", false, u"1x", "Arial/0/800"},  // a weight the box cannot show stays
      {13, 0, u"13", false, u"9999999999", "Arial/2147483647/0"},
      {-11, 700, u"0", true, u"7", "Arial/7/700"},  // the field has no sign
  };
  for (const auto& r : rows) {
    store::Settings s = settingsWith({u"Arial", r.size, r.weight}, {});
    FontsDialog d(s, kFamilies);
    EXPECT_EQ(d.sizeText(), r.sizeShown) << r.stored;
    EXPECT_EQ(d.bold(), r.boldShown) << r.stored;
    d.setSizeText(r.typed);
    d.ok(s);
    EXPECT_EQ(shown(s.questionFont), r.stored);
  }
}

TEST(FontsDialog, ArrowsKeepTheSizeWithin6To120) {
  const struct {
    std::u16string typed;
    int steps;
    std::u16string shown;
  } rows[] = {{u"13", 1, u"14"}, {u"120", 1, u"120"}, {u"6", -1, u"6"},
              {u"", 1, u"6"},    {u"3", -1, u"6"},    {u"500", -1, u"120"}};
  for (const auto& r : rows) {
    FontsDialog d(store::Settings{}, kFamilies);
    d.setSizeText(r.typed);
    d.stepSize(r.steps);
    EXPECT_EQ(d.sizeText(), r.shown) << std::string(r.typed.begin(), r.typed.end());
  }
}

TEST(FontsDialog, LongFamilyNameIsCutTo31UnitsWithoutSplittingAPairAndStillFound) {
  const std::u16string thirty(30, u'A');
  const std::u16string rows[][2] = {{thirty + u"BCD", thirty + u"B"},
                                    {thirty + u"\U0001F600Z", thirty}};
  for (const auto& r : rows) {
    store::Settings s;
    FontsDialog d(s, {r[0]});
    d.selectFace(0);
    d.ok(s);
    EXPECT_EQ(s.questionFont.face, r[1]);
    EXPECT_EQ(FontsDialog(s, {u"Zapfino", r[0]}).selectedFace(), 0u);
  }
}

}  // namespace
}  // namespace kelvora::presentation
