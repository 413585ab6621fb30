// Moving through the open collection's items in table order, finding a text in them and going
// to an item by its ID or position. Each function makes the item it lands on current and
// loaded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "store/collection.h"

namespace kelvora::store {

// Moves to position, clamped to the table. False for an empty table (nothing moves).
bool moveTo(Collection& c, int position);
// Moves by delta; a move back happens only from beyond minimumPosition (ten or a hundred back
// do not stop at the first item when fewer lie before). False when nothing moved.
bool moveBy(Collection& c, int delta, int minimumPosition);
// The first position becomes current, in an empty table as well (a new item goes there).
void moveToFirst(Collection& c);

// Where a search text was found: in the question or the answer, from this code unit on.
struct TextMatch {
  bool question = true;
  std::size_t start = 0;
};

// Searches items from start to the end, questions before answers, for text (not empty). On a
// match its item is current; without one the item current before is loaded again.
std::optional<TextMatch> findFrom(Collection& c, const std::u16string& text, std::uint16_t start);
// Find: from the first item; "Cannot find the string" is shown when no item holds text.
std::optional<TextMatch> findFirst(Collection& c, const std::u16string& text);
// Find next: from the item after the current one to the end, then from the first item (so a
// lone match in the current item is found again).
std::optional<TextMatch> findNext(Collection& c, const std::u16string& text);

// Go to with the number from its dialog: items are read from the first on while they carry an
// ID, and the one whose ID is number becomes current; without one, the position number - 1
// (clamped; 0 and below: the first).
void goToNumber(Collection& c, int number);

}  // namespace kelvora::store
