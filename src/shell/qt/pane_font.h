// A pane's font as Qt draws it: the face, pixel height and weight asked for over a base font,
// which keeps whatever the request leaves open.
#pragma once

#include <QFont>
#include <algorithm>

#include "presentation/fonts.h"
#include "shell/qt/text_conversion.h"

namespace kelvora::qt {

inline QFont paneFont(const presentation::EditFont& f, const QFont& base) {
  QFont font = base;
  if (!f.face.empty()) font.setFamily(toQString(f.face));
  if (f.pixelHeight > 0) font.setPixelSize(f.pixelHeight);
  if (f.weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight, 1, 1000)));
  return font;
}

}  // namespace kelvora::qt
