// The fonts of the two panes as the front end needs them: the edit control's font and the
// style sheet handed to the HTML view with every display.
#pragma once

#include <cstddef>
#include <string>

#include "store/settings.h"

namespace kelvora::presentation {

// The longest style sheet an HTML view is handed, in UTF-16 code units.
inline constexpr std::size_t kMaxStyleSheetLength = 255;

// "BODY { font-family: FACE; font-size: SIZE; font-weight: bold|normal}": the size is a bare
// number, and any weight other than 0 counts as bold. A face too long for the bound is cut
// (never inside a surrogate pair) so that the rest of the rule stays whole.
std::u16string styleSheet(const store::FontSetting& font);

// What the front end asks the font system for; the edit control keeps its previous font when
// the request cannot be met.
struct EditFont {
  std::u16string face;
  int pixelHeight;  // character height; 0 = the platform's default height
  int weight;       // 0..1000 (400 normal, 700 bold); 0 = the platform's default weight
  bool operator==(const EditFont&) const = default;
};

// The size is the character height in pixels; a size of 0 or below asks for the default.
EditFont editFont(const store::FontSetting& font);

}  // namespace kelvora::presentation
