// The 18-byte header that opens every record of the texts file; the loaded item keeps the
// header of its record.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "store/collection_format.h"
#include "store/day_number.h"

namespace kelvora::store {

struct ItemRecordHeader {
  std::uint16_t questionLength = 0;  // stored bytes
  std::uint16_t answerLength = 0;    // stored bytes
  std::uint16_t interval = 0;        // copy of the entry's, refreshed on every write
  DayNumber lastRepetition = 0;      // copy of the entry's, refreshed on every write
  std::uint16_t aFactor = 0;         // thousandths
  std::uint16_t slotNumber = 0;      // table position the rebuild gives it; kDeadSlot = dead
  std::uint16_t idLow = 0;
  std::uint8_t status = 0;
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;
  std::uint8_t idHigh = 0;

  bool operator==(const ItemRecordHeader&) const = default;

  // The item ID, idHigh * 65535 + idLow; 0 means none.
  std::uint32_t itemId() const { return idHigh * kIdBase + idLow; }
  // Stores an ID up to kMaxItemId; larger values are the caller's to refuse.
  void setItemId(std::uint32_t id) {
    idLow = static_cast<std::uint16_t>(id % kIdBase);
    idHigh = static_cast<std::uint8_t>(id / kIdBase);
  }
};

// The header of a freshly added item, before its first write: Pending, factor
// kNewItemAFactor, no learning data, no ID, lengths 0, and the slot number handed in.
ItemRecordHeader newItemHeader(std::uint16_t slotNumber = 0);

std::array<std::uint8_t, kRecordHeaderSize> encodeRecordHeader(const ItemRecordHeader& header);
ItemRecordHeader decodeRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> bytes);

}  // namespace kelvora::store
