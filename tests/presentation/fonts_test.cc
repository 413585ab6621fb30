// Style sheets and edit-control fonts from the font settings.
#include "presentation/fonts.h"

#include <gtest/gtest.h>

namespace kelvora::presentation {
namespace {

TEST(Fonts, StyleSheetFromSetting) {
  const struct {
    store::FontSetting font;
    // A literal, not a std::u16string: with one here GCC 12 at -O3 wrongly warns that the
    // table's cleanup destroys a face never built (-Wmaybe-uninitialized).
    const char16_t* sheet;
  } rows[] = {
      {{u"Tahoma", 13, 700}, u"BODY { font-family: Tahoma; font-size: 13; font-weight: bold}"},
      // any weight but 0 is bold here, though 400 is a normal edit-control font
      {{u"Tahoma", 13, 400}, u"BODY { font-family: Tahoma; font-size: 13; font-weight: bold}"},
      {{u"DejaVu Sans", -12, 0},
       u"BODY { font-family: DejaVu Sans; font-size: -12; font-weight: normal}"},
  };
  for (const auto& r : rows) EXPECT_EQ(styleSheet(r.font), r.sheet);
}

TEST(Fonts, LongFaceIsCutToKeepTheRuleWhole) {
  const std::u16string tail = u"; font-size: 2147483647; font-weight: normal}";
  const std::u16string sheet = styleSheet({std::u16string(400, u'x'), 2147483647, 0});
  EXPECT_EQ(sheet.size(), kMaxStyleSheetLength);
  EXPECT_EQ(sheet.substr(sheet.size() - tail.size()), tail);

  // The cut would fall between the halves of a surrogate pair: the whole pair goes.
  // Room for the face with "13" and "bold" is 255 - 20 - 35 = 200 units.
  const std::u16string face = std::u16string(199, u'x') + u"\U0001F600" + u"yy";
  const std::u16string cut = styleSheet({face, 13, 700});
  EXPECT_EQ(cut, u"BODY { font-family: " + std::u16string(199, u'x') +
                     u"; font-size: 13; font-weight: bold}");
}

TEST(Fonts, EditFontRequest) {
  const struct {
    store::FontSetting font;
    EditFont request;
  } rows[] = {
      {{u"Tahoma", 13, 400}, {u"Tahoma", 13, 400}},
      {{u"Courier New", 0, 0}, {u"Courier New", 0, 0}},  // platform defaults
      {{u"Tahoma", -5, -1}, {u"Tahoma", 0, 0}},
      {{u"Tahoma", 20, 5000}, {u"Tahoma", 20, 1000}},
  };
  for (const auto& r : rows) EXPECT_EQ(editFont(r.font), r.request);
}

}  // namespace
}  // namespace kelvora::presentation
