// Reset: every record rewritten in place and the whole table, as one change.
#include "store/reset_collection.h"

#include "store/user_texts.h"

namespace kelvora::store {

bool resetCollection(Collection& c) {
  if (!c.isOpen) return false;
  if (!c.messages().askYesNo(texts::kResetQuestion, DefaultAnswer::No)) return false;
  bool ok = false;
  {
    // A large collection takes a moment: the "Working" window shows how far it has come, and
    // Cancel leaves every item as it was.
    const ProgressScope working(c.progress);
    Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      if (c.progress.stopAt(p, c.header.itemCount)) break;
      const bool read = c.readItem(p);
      ItemIndexEntry& e = c.table[p];
      e.status = code(ItemStatus::Pending);
      e.interval = 0;
      e.lastRepetition = 0;
      if (!read) continue;
      ItemRecordHeader& h = c.loaded.header;
      h.status = code(ItemStatus::Pending);
      h.repetitions = 0;
      h.lapses = 0;
      h.lastRepetition = 0;
      h.aFactor = kNewItemAFactor;
      (void)c.writeItem(p);  // inside the batch only an unreadable item is refused
    }
    if (c.progress.wasCancelled()) {
      batch.abandon();
    } else {
      c.counters = {};
      c.header.learningDay = 0;
      (void)c.indexChanged();  // inside the batch: the commit below decides
      ok = batch.commit();
    }
  }
  if (ok) (void)c.undoLog().clear();  // every item is new again: nothing to take back
  c.readItem(c.currentPosition);
  c.events().countersChanged();
  return ok;
}

}  // namespace kelvora::store
