// Field by field, little-endian, in the order of the file.
#include "store/item_index_entry.h"

namespace kelvora::store {

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
