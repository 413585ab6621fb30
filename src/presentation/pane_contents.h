// What the question and answer panes show in each mode of the application.
#pragma once

#include <cstdint>
#include <string>

#include "store/collection.h"

namespace kelvora::presentation {

struct PaneContents {
  std::u16string question;
  std::u16string answer;
  bool operator==(const PaneContents&) const = default;
};

// The panes after showing the loaded item in the mode (the mode byte's bits: 0x10 answer shown,
// 0x20 question shown; 0 = no mode). With the answer shown the question pane keeps what it
// had, unless force (the HTML switch) fills it again.
PaneContents showItem(std::uint8_t modeBits, bool force, const store::LoadedItem& item,
                      const PaneContents& previous);

}  // namespace kelvora::presentation
