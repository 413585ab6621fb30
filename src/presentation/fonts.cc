// Style sheets and edit-control font requests built from a pane's font setting.
#include "presentation/fonts.h"

#include <algorithm>
#include <string>

#include "store/utf16_text.h"

namespace kelvora::presentation {
namespace {

constexpr int kMaxFontWeight = 1000;

}  // namespace

std::u16string styleSheet(const store::FontSetting& font) {
  const std::u16string head = u"BODY { font-family: ";
  const std::u16string tail = u"; font-size: " + store::decimalText(font.size) +
                              u"; font-weight: " + (font.weight != 0 ? u"bold" : u"normal") + u"}";
  // The fixed parts take at most 66 units, so the face always keeps most of the room.
  const std::size_t faceLength =
      store::lengthWithinUnits(font.face, kMaxStyleSheetLength - head.size() - tail.size());
  return head + font.face.substr(0, faceLength) + tail;
}

EditFont editFont(const store::FontSetting& font) {
  return {font.face, std::max(0, font.size), std::clamp(font.weight, 0, kMaxFontWeight)};
}

}  // namespace kelvora::presentation
