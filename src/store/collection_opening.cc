// Opening and creating, step by step, including the close of whatever was open before.
#include "store/collection_opening.h"

#include <algorithm>

#include "store/utf8.h"

namespace kelvora::store {
namespace {

void closeOpenCollection(Collection& c) {
  if (!c.isOpen) return;
  c.events().commitEdits();
  c.closeCollection();
  c.events().collectionClosed();
}

void reportOpenFailure(Collection& c) {
  c.messages().showMessage(u"Error while opening database!", MessageKind::Error);
}

}  // namespace

bool openCollection(Collection& c, const std::filesystem::path& base) {
  closeOpenCollection(c);
  c.loaded.itemModified = false;
  if (!c.openFiles(base, false)) {
    reportOpenFailure(c);
    return false;
  }
  if (!c.loadIndex() && !c.rebuildIndex()) {
    c.messages().showMessage(u"Error while rebuilding database!", MessageKind::Error);
  }
  c.events().collectionOpened(base);
  return true;
}

bool createCollection(Collection& c, const std::filesystem::path& base) {
  closeOpenCollection(c);
  c.loaded.itemModified = false;
  if (c.collectionExists(base)) {
    std::u16string question = u"Overwrite old data files?\r\n";
    question += decodeTextBytes(textsPath(base).string());
    if (!c.messages().askYesNo(question)) return false;
  }
  c.deleteCollectionFiles(base);
  if (!c.openFiles(base, false)) {
    reportOpenFailure(c);
    return false;
  }
  c.header = IndexHeader{};
  c.counters = {};
  std::fill(c.table.begin(), c.table.end(), ItemIndexEntry{});
  c.events().collectionOpened(base);
  return true;
}

}  // namespace kelvora::store
