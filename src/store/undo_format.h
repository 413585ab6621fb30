// The undo file (BASE.kun) beside a collection: the last grades and status commands as steps
// that can be taken back. doc/undo_file.md describes it with a byte example.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvora::store {

inline constexpr std::array<std::uint8_t, 4> kUndoMagic = {'K', 'V', 'U', 'N'};
inline constexpr std::uint8_t kUndoVersion = 1;
// Steps kept at most; the oldest goes when one more is added.
inline constexpr std::uint16_t kUndoCapacity = 100;
inline constexpr std::size_t kUndoHeaderSize = 20;
inline constexpr std::size_t kUndoStepSize = 56;

namespace undo_header_offset {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kStepSize = 6;
inline constexpr std::size_t kCapacity = 8;
inline constexpr std::size_t kFirst = 10;  // ring place of the oldest step
inline constexpr std::size_t kCount = 12;
inline constexpr std::size_t kCrc = 16;  // CRC-32 of bytes 0..15
}  // namespace undo_header_offset

// One item's learning data as a step keeps it, 14 bytes.
namespace undo_state_offset {
inline constexpr std::size_t kEntryStatus = 0;
inline constexpr std::size_t kHeaderStatus = 1;
inline constexpr std::size_t kEntryInterval = 2;
inline constexpr std::size_t kEntryLastRepetition = 4;
inline constexpr std::size_t kHeaderInterval = 6;
inline constexpr std::size_t kHeaderLastRepetition = 8;
inline constexpr std::size_t kAFactor = 10;
inline constexpr std::size_t kRepetitions = 12;
inline constexpr std::size_t kLapses = 13;
inline constexpr std::size_t kSize = 14;
}  // namespace undo_state_offset

namespace undo_step_offset {
inline constexpr std::size_t kPosition = 0;
inline constexpr std::size_t kSlotNumber = 2;
inline constexpr std::size_t kKind = 4;
inline constexpr std::size_t kBefore = 6;
inline constexpr std::size_t kAfter = 20;
inline constexpr std::size_t kCountersBefore = 34;  // memorized, outstanding, drill, dismissed
inline constexpr std::size_t kCountersAfter = 42;
inline constexpr std::size_t kCrc = 52;  // CRC-32 of bytes 0..51
}  // namespace undo_step_offset

}  // namespace kelvora::store
