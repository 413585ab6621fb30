// One 12-byte entry of the item table: where the item's record lies and the learning fields
// the scheduler reads most.
#pragma once

#include <cstdint>
#include <span>

#include "store/byte_io.h"
#include "store/collection_format.h"
#include "store/day_number.h"

namespace kelvora::store {

struct ItemIndexEntry {
  std::uint32_t recordOffset = 0;  // byte offset in the texts file; kNoRecord = none yet
  std::uint16_t interval = 0;      // days
  DayNumber lastRepetition = 0;    // 0 = never repeated
  std::uint16_t reserved = 0;      // carried, never interpreted
  std::uint8_t status = 0;         // an ItemStatus code, or any other byte carried as is
  std::uint8_t filledMark = 0;     // only the rebuild reads it

  bool operator==(const ItemIndexEntry&) const = default;
};

// A Memorized entry is due once its next repetition day (nextRepetitionDay) is today or
// earlier. recount turns due entries Outstanding.
bool isDue(const ItemIndexEntry& entry, DayNumber today);

void appendIndexEntry(Bytes& out, const ItemIndexEntry& entry);
// Takes exactly kIndexEntrySize bytes.
ItemIndexEntry decodeIndexEntry(std::span<const std::uint8_t, kIndexEntrySize> bytes);

}  // namespace kelvora::store
