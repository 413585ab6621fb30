// Field by field, little-endian, in the order of the file; and the due rule over an entry.
#include "store/item_index_entry.h"

#include "store/item_status.h"

namespace kelvora::store {

bool isDue(const ItemIndexEntry& entry, DayNumber today) {
  return entry.status == code(ItemStatus::Memorized) &&
         nextRepetitionDay(entry.lastRepetition, entry.interval) <= today;
}

void appendIndexEntry(Bytes& out, const ItemIndexEntry& entry) {
  put32(out, entry.recordOffset);
  put16(out, entry.interval);
  put16(out, entry.lastRepetition);
  put16(out, entry.reserved);
  put8(out, entry.status);
  put8(out, entry.filledMark);
}

ItemIndexEntry decodeIndexEntry(std::span<const std::uint8_t, kIndexEntrySize> bytes) {
  ByteReader in(bytes);
  ItemIndexEntry entry;
  entry.recordOffset = in.get32();
  entry.interval = in.get16();
  entry.lastRepetition = in.get16();
  entry.reserved = in.get16();
  entry.status = in.get8();
  entry.filledMark = in.get8();
  return entry;
}

}  // namespace kelvora::store
