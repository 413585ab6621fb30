// The 12-byte header of the index file, mirrored in memory while a collection is open.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "store/collection_format.h"
#include "store/day_number.h"

namespace kelvora::store {

struct IndexHeader {
  std::uint16_t headerSize = kIndexHeaderSize;
  std::uint16_t entrySize = kIndexEntrySize;
  std::uint16_t recordHeaderSize = kRecordHeaderSize;
  std::uint16_t itemCount = 0;
  DayNumber learningDay = 0;  // 0 = not set
  std::uint16_t nextSlotNumber = 0;

  bool operator==(const IndexHeader&) const = default;
};

std::array<std::uint8_t, kIndexHeaderSize> encodeIndexHeader(const IndexHeader& header);
// Takes exactly kIndexHeaderSize bytes; checks nothing about the values.
IndexHeader decodeIndexHeader(std::span<const std::uint8_t, kIndexHeaderSize> bytes);

}  // namespace kelvora::store
