// The text forms kelvora-cli prints: the collection summary and one line per item.
#pragma once

#include <optional>
#include <string>

#include "learning/scheduling.h"
#include "store/collection.h"

namespace kelvora::cli {

// A text with \r, \n, \t, \\ escaped and every other unit below 0x20 or from 0x80 up as
// \uXXXX, so that it fits on one ASCII line.
std::string escapeText(std::u16string_view text);

// "name: value" lines for the index header and the four counters.
std::string collectionInfo(const store::Collection& c);

// The line of the item at position (without its line end). Reads the item's record; items
// without a record show "-" for every field that comes from a record.
std::string itemLine(store::Collection& c, std::uint16_t position);

// One undo step as history prints it, tab-separated: its number (1 is the one undo takes back
// first), the item's position, what it was ("grade 0".."grade 5", "forget", "remember",
// "dismiss"), then the entry's status, interval and repetitions before and after it.
std::string undoStepLine(const store::UndoStep& step, std::size_t number);

// Grades the item at position as a learning step does: its learning data and the counters
// change, and its record and the index are written. Returns the item's line afterwards, or
// nothing when the grade could not be stored (the user was told; the item is as before).
std::optional<std::string> gradeItem(store::Collection& c, std::uint16_t position,
                                     learning::Grade grade);

}  // namespace kelvora::cli
