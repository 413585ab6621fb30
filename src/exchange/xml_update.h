// Updating the open collection from an XML file that shares its item IDs: a deck its author has
// mended or grown is taken in without losing the progress made on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "store/collection.h"

namespace kelvora::exchange {

enum class UpdateOutcome {
  Updated,       // the change is stored (or there was nothing to change)
  Unreadable,    // the file could not be opened or read to its end
  TooManyItems,  // the items to add would not fit beside the collection's
  NotStored,     // the change could not be stored
  Cancelled,     // the user stopped it
};

struct UpdateResult {
  UpdateOutcome outcome = UpdateOutcome::Updated;
  std::uint16_t updated = 0;      // items that took a new question or answer from the file
  std::uint16_t added = 0;        // items appended for the file's elements that matched none
  std::uint16_t leftAlone = 0;    // items not in the file, or in it with the texts they have
  std::size_t replacedUnits = 0;  // code units the collection's text form stored as "?"
};

// Reads the whole file at xmlPath as an import does, and only then changes the open
// collection, as one change: the k-th element with an ID (in document order) is matched with the
// k-th item of that ID (in table order); a matched item takes the element's question and answer
// and keeps its own learning data, ID and status; every other element with a question or an
// answer is appended, with its ID and the learning data an import reads. Items the file does not
// match stay as they are. IDs are read as the import reads them, so an ID past what an item can
// hold matches the item whose ID it comes to. When the result would pass MaxItems items nothing
// changes. Failures are reported through the message port; the loaded item is read again at the
// current position afterwards.
UpdateResult updateFromXml(store::Collection& collection, const std::filesystem::path& xmlPath);

// The "Update from XML..." command once the file is chosen: updates, shows "Too many items!" or
// "Error while updating database!" when it could not be done, and the "'?'" notice when
// characters were replaced. The result text to show on success: how many items were updated,
// added and left alone. Nothing when stopped or failed.
std::optional<std::u16string> updateWithMessages(store::Collection& collection,
                                                 const std::filesystem::path& xmlPath);

}  // namespace kelvora::exchange
