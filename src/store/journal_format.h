// Layout of the journal file (BASE.kjn) that makes every change to a collection atomic; the
// format is described byte by byte in doc/journal_file.md, which these constants mirror.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvora::store {

// File header: magic, version, reserved, epoch, CRC-32 of the 12 bytes before it.
inline constexpr std::uint8_t kJournalMagic[4] = {'K', 'V', 'J', 'N'};
inline constexpr std::uint16_t kJournalVersion = 1;
inline constexpr std::size_t kJournalHeaderSize = 16;

namespace journal_header_offset {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kReserved = 6;
inline constexpr std::size_t kEpoch = 8;
inline constexpr std::size_t kCrc = 12;
}  // namespace journal_header_offset

// Each transaction: payload length, epoch, CRC-32 over those 8 bytes and the payload, then
// the payload, a sequence of operations.
inline constexpr std::size_t kTransactionHeaderSize = 12;

// A transaction larger than this is damage, not data (an import of 30000 long items stays far
// below it).
inline constexpr std::uint32_t kMaxTransactionPayload = 256u * 1024 * 1024;

enum class JournalOp : std::uint8_t {
  Write = 1,     // u8 file, u32 offset, u32 length, that many bytes
  Truncate = 2,  // u8 file, u32 size
  Install = 3,   // the texts file written by an import (BASE.kdb.tmp) replaces BASE.kdb, and
                 // BASE.kbi is removed; without a links operation beside it, BASE.links goes too
  Links = 4,     // the links file staged beside the collection (BASE.links.tmp) replaces
                 // BASE.links
};

enum class JournalTarget : std::uint8_t {
  Texts = 0,  // BASE.kdb
  Index = 1,  // BASE.kbi
};

}  // namespace kelvora::store
