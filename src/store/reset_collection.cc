// Reset, one record rewritten in place per item, the index written once at the end.
#include "store/reset_collection.h"

namespace kelvora::store {

void resetCollection(Collection& c) {
  if (!c.isOpen) return;
  if (!c.messages().askYesNo(u"Reset database?")) return;
  {
    Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
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
      c.writeItem(p);
    }
    c.counters = {};
    c.header.learningDay = 0;
    c.indexChanged();
  }
  c.readItem(c.currentPosition);
  c.events().countersChanged();
}

}  // namespace kelvora::store
