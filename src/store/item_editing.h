// Changing the items of the open collection one at a time or all at once: typed text taken
// over into the loaded item, a new item appended, the current one deleted, question and answer
// swapped. Each change is one transaction; a refused one leaves the collection as it was and
// has been reported through the message port.
#pragma once

#include <string>

#include "store/collection.h"

namespace kelvora::store {

// Typed text (line breaks as CR LF) becomes the loaded item's question or answer, as a record
// will hold it: cut to the longest text a record keeps ("Item is too long!" is shown) and, in
// the compressed form, '?' for what it cannot store. True when some characters became '?': the
// caller tells the user once per command.
bool takeOverText(Collection& c, bool question, std::u16string text);

enum class AddOutcome { Added, TooManyItems, NotStored };
// Writes the loaded item back and appends an empty Pending item after the last, which becomes
// current and loaded. Too many items and a refused write are reported; the item shown before
// stays current then.
AddOutcome addItem(Collection& c);

// Inside a batch, for bulk work: appends an item after the last with the learning data, status
// and ID of header and a slot number of its own, and makes it the loaded item with empty texts.
// The caller sets its texts and writes it (writeItem), and counts its status; the batch's commit
// decides. The caller has checked that the table has room.
std::uint16_t appendItemFor(Collection& c, const ItemRecordHeader& header);

enum class DeleteOutcome { Declined, NotStored, Deleted };
// Asks "DELETE this element?" and deletes the current item: its record is marked deleted and
// the table closes up, one transaction. The item now at its place (or the last) is loaded.
DeleteOutcome deleteCurrentItem(Collection& c);

// The loaded item's question and answer change places; written back with the next flush.
void swapLoadedItem(Collection& c);

// Asks "Do you want swap all items in database?" and swaps question and answer of every item
// with a readable record, all in one transaction under the progress window.
enum class SwapAllOutcome { Declined, NotStored, Cancelled, Swapped };
SwapAllOutcome swapAllItems(Collection& c);

}  // namespace kelvora::store
