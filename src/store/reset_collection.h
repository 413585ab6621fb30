// The Reset command: every item back to new material, texts and IDs kept.
#pragma once

#include "store/collection.h"

namespace kelvora::store {

// Asks "Reset database?" and, on Yes, makes every item Pending with no repetitions, lapses or
// dates and the factor of a new item; counters and learningDay go to 0. Does nothing while no
// collection is open. An item without a readable record gets no record written (it would take
// the texts of the item read before); its table entry is reset all the same. The whole reset
// is one change: false, with every item as before and the user told, when it could not be
// stored; also false when the user declined or no collection is open.
bool resetCollection(Collection& collection);

}  // namespace kelvora::store
