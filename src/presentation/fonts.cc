// Style sheets and edit-control font requests built from a pane's font setting.
#include "presentation/fonts.h"

#include <algorithm>
#include <string>

#include "store/utf8.h"

namespace kelvora::presentation {
namespace {

std::u16string number(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

constexpr int kMaxFontWeight = 1000;

}  // namespace

std::u16string styleSheet(const store::FontSetting& font) {
  const std::u16string head = u"BODY { font-family: ";
  const std::u16string tail = u"; font-size: " + number(font.size) + u"; font-weight: " +
                              (font.weight != 0 ? u"bold" : u"normal") + u"}";
  // The fixed parts take at most 66 units, so the face always keeps most of the room.
  std::size_t faceLength =
      std::min(font.face.size(), kMaxStyleSheetLength - head.size() - tail.size());
  if (faceLength > 0 && faceLength < font.face.size() &&
      store::isHighSurrogate(font.face[faceLength - 1])) {
    --faceLength;
  }
  return head + font.face.substr(0, faceLength) + tail;
}

EditFont editFont(const store::FontSetting& font) {
  return {font.face, std::max(0, font.size), std::clamp(font.weight, 0, kMaxFontWeight)};
}

}  // namespace kelvora::presentation
