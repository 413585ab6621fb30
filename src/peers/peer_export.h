// A collection written as an Anki package, with the note GUIDs kept in its links file so that
// exporting it again updates the notes Anki has instead of adding them twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "peers/peer_ports.h"
#include "store/collection.h"

namespace kelvora::peers {

struct PeerExportResult {
  bool exported = false;
  std::string error;             // why not, in words for the user
  std::size_t notes = 0;         // items written as notes
  std::size_t emptySkipped = 0;  // items with neither question nor answer, left out
  std::size_t unreadable = 0;    // items whose record cannot be read (damaged), left out
  std::size_t mediaFiles = 0;
};

// Writes the collection at base (opened for the export and closed again; no other may be open
// in collection) as the package out, at nowSeconds since 1970. An item takes the GUID of a note
// it was imported from (the first template's card of it), or a new GUID, which is added to the
// links file once the package is written. The files of BASE_media go with it.
PeerExportResult exportAnkiPackage(store::Collection& collection, const PeerLibraries& libraries,
                                   const std::filesystem::path& base,
                                   const std::filesystem::path& out, std::int64_t nowSeconds);

// The result as the user reads it: where it went and what it holds, or why it failed.
std::u16string peerExportMessage(const PeerExportResult& result, const std::filesystem::path& out);

}  // namespace kelvora::peers
