// Opening and creating, step by step, including the close of whatever was open before.
#include "store/collection_opening.h"

#include <algorithm>

#include "store/user_texts.h"
#include "store/utf8.h"

namespace kelvora::store {
namespace {

void closeOpenCollection(Collection& c) {
  if (!c.isOpen) return;
  c.events().commitEdits();
  (void)c.closeCollection();  // a failure was reported, and the journal keeps the change
  c.events().collectionClosed();
}

void reportOpenFailure(Collection& c) {
  c.messages().showMessage(texts::kOpenFailed, MessageKind::Error);
}

}  // namespace

bool openCollection(Collection& c, const std::filesystem::path& base) {
  closeOpenCollection(c);
  c.loaded.itemModified = false;
  if (!c.openFiles(base)) {
    reportOpenFailure(c);
    return false;
  }
  if (!c.loadIndex() && !c.rebuildIndex()) {
    c.messages().showMessage(texts::kRebuildFailed, MessageKind::Error);
  }
  c.events().collectionOpened(base);
  return true;
}

bool createCollection(Collection& c, const std::filesystem::path& base) {
  closeOpenCollection(c);
  c.loaded.itemModified = false;
  if (c.collectionExists(base)) {
    std::u16string question(texts::kOverwrite);
    question += pathText(textsPath(base));
    if (!c.messages().askYesNo(question, DefaultAnswer::No)) return false;
  }
  // The old files are emptied only once they are held, so a collection open elsewhere is
  // refused rather than destroyed under the other program.
  if (!c.openFiles(base)) {
    reportOpenFailure(c);
    return false;
  }
  if (!c.clearCollectionFiles()) {
    c.closeWithoutWriting();
    reportOpenFailure(c);
    return false;
  }
  c.events().collectionOpened(base);
  return true;
}

}  // namespace kelvora::store
