// Sizes, offsets and marks of the two binary collection files. doc/collection_files.md is the
// page that describes them with worked examples; the two must agree.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora::store {

// Table capacity: at most this many items in a collection.
inline constexpr std::uint16_t MaxItems = 30000;  // NOLINT(readability-identifier-naming)
// Capacity of one item text in code units, the terminating NUL included: texts taken from
// the editor hold at most MaxTextLength - 1 units.
inline constexpr std::size_t MaxTextLength = 10000;  // NOLINT(readability-identifier-naming)
// A stored length above this many bytes is read as 0.
inline constexpr std::uint16_t kMaxStoredLength = 10000;

// Index file (.kbi): the header, then itemCount entries; trailing bytes are ignored.
inline constexpr std::size_t kIndexHeaderSize = 12;
inline constexpr std::size_t kIndexEntrySize = 12;

namespace index_header_offset {
inline constexpr std::size_t kHeaderSize = 0;
inline constexpr std::size_t kEntrySize = 2;
inline constexpr std::size_t kRecordHeaderSize = 4;
inline constexpr std::size_t kItemCount = 6;
inline constexpr std::size_t kLearningDay = 8;
inline constexpr std::size_t kNextSlotNumber = 10;
}  // namespace index_header_offset

namespace index_entry_offset {
inline constexpr std::size_t kRecordOffset = 0;
inline constexpr std::size_t kInterval = 4;
inline constexpr std::size_t kLastRepetition = 6;
inline constexpr std::size_t kReserved = 8;
inline constexpr std::size_t kStatus = 10;
inline constexpr std::size_t kFilledMark = 11;
}  // namespace index_entry_offset

// Texts file (.kdb): records end to end from offset 0, each at an even offset.
inline constexpr std::size_t kRecordHeaderSize = 18;

namespace record_header_offset {
inline constexpr std::size_t kQuestionLength = 0;
inline constexpr std::size_t kAnswerLength = 2;
inline constexpr std::size_t kInterval = 4;
inline constexpr std::size_t kLastRepetition = 6;
inline constexpr std::size_t kAFactor = 8;
inline constexpr std::size_t kSlotNumber = 10;
inline constexpr std::size_t kIdLow = 12;
inline constexpr std::size_t kStatus = 14;
inline constexpr std::size_t kRepetitions = 15;
inline constexpr std::size_t kLapses = 16;
inline constexpr std::size_t kIdHigh = 17;
}  // namespace record_header_offset

// recordOffset of an item that has no record yet; it is appended on its first write.
inline constexpr std::uint32_t kNoRecord = 0xFFFFFFFF;
// slotNumber of a dead record, superseded by a newer copy elsewhere in the file.
inline constexpr std::uint16_t kDeadSlot = 0xFFFF;
// filledMark the rebuild gives every table slot it fills.
inline constexpr std::uint8_t kFilledMark = 0xFF;
// Value of the pad byte that keeps records at even offsets.
inline constexpr std::uint8_t kPadByte = 0;
// A-factor code of a new item, in thousandths.
inline constexpr std::uint16_t kNewItemAFactor = 2500;
// Item IDs are split as idHigh * 65535 + idLow.
inline constexpr std::uint32_t kIdBase = 65535;
inline constexpr std::uint32_t kMaxItemId = 255 * kIdBase + (kIdBase - 1);

// Stored size of a record's texts: their byte lengths rounded up to even.
constexpr std::uint32_t paddedTextSize(std::uint32_t questionLength, std::uint32_t answerLength) {
  std::uint32_t sum = questionLength + answerLength;
  return sum + (sum & 1U);
}

}  // namespace kelvora::store
