// Writing a source read whole into a collection: the links of a new one, and the merge into
// the open one that importing a source again comes to.
#pragma once

#include <string>
#include <vector>

#include "peers/links_file.h"
#include "peers/peer_import.h"
#include "peers/source_items.h"
#include "store/collection.h"

namespace kelvora::peers {

// During a new collection's import, after its items went to the sink in order: the i-th item's
// slot is i, and keys[i] its key. The links file is staged for the install; false, with the
// temporary gone, when it could not be written.
bool stageNewLinks(store::Collection& collection, const std::vector<std::string>& keys);
// The same with the links made already.
bool stageNewLinks(store::Collection& collection, const LinksText& links);

// Merges the source into the open collection as one change. Each item is matched by its key
// with the item the links file names for it (the k-th of equal keys with the k-th link of that
// key); a matched item takes the source's texts and keeps its learning data, and every other
// one is appended with the source's learning data and linked. The collection's other items stay.
// Texts are compared in the form the collection stores, so a source imported twice changes
// nothing, and then nothing is written. An HTML source into a plain collection gives its texts
// without markup, and a plain source into an HTML collection is escaped. When the items to add
// do not fit, nothing changes. result takes the counts; the outcome says how it ended.
PeerImportOutcome mergeSourceItems(store::Collection& collection, const SourceItems& source,
                                   PeerImportResult& result);

}  // namespace kelvora::peers
