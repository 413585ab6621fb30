// The pane rules by mode bit.
#include "presentation/pane_contents.h"

namespace kelvora::presentation {

PaneContents showItem(std::uint8_t modeBits, bool force, const store::LoadedItem& item,
                      const PaneContents& previous) {
  PaneContents out = previous;
  if (modeBits == 0) {
    out.question.clear();
  } else if (force || (modeBits & 0x10) == 0) {
    out.question = item.question;
  }
  if (modeBits == 0 || (modeBits & 0x20) != 0) {
    out.answer.clear();
  } else {
    out.answer = item.answer;
  }
  return out;
}

}  // namespace kelvora::presentation
