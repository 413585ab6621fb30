// The whole procedures that open an existing collection or create a new one, with the
// messages the user sees on the way.
#pragma once

#include <filesystem>

#include "store/collection.h"

namespace kelvora::store {

// Closes the open collection (edits committed first), opens the collection at base and loads
// its index. False, after "Error while opening database!", when the files cannot be opened.
bool openCollection(Collection& collection, const std::filesystem::path& base);

// Closes the open collection, asks before overwriting existing collection files, and starts an
// empty collection at base. False when the user declined or the files cannot be opened; the
// previous collection stays closed either way.
bool createCollection(Collection& collection, const std::filesystem::path& base);

}  // namespace kelvora::store
