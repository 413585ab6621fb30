// Rebuilding the item table by walking the texts file record by record, twice: once to find
// the highest slot number, once to place every live record.
#include <array>

#include "store/collection.h"
#include "store/file_error.h"

namespace kelvora::store {
namespace {

// Where the record at offset ends, or nothing when its header or texts run past the end of
// the file.
std::optional<std::uint64_t> recordEnd(std::uint64_t offset, const ItemRecordHeader& h,
                                       std::uint64_t fileSize) {
  const std::uint64_t end =
      offset + kRecordHeaderSize + paddedTextSize(h.questionLength, h.answerLength);
  if (end > fileSize) return std::nullopt;
  return end;
}

}  // namespace

bool Collection::rebuildIndex() {
  if (!isOpen || !m_textsFile) return false;
  ProgressScope working(progress);
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;

  const std::uint64_t fileSize = m_textsFile->size();
  std::array<std::uint8_t, kRecordHeaderSize> bytes{};
  IoResult failure = IoResult::done(0);
  auto headerAt = [&](std::uint64_t offset) -> std::optional<ItemRecordHeader> {
    if (offset + kRecordHeaderSize > fileSize) return std::nullopt;
    IoResult r = m_textsFile->read(offset, bytes);
    if (r.failed()) failure = r;
    if (!r.ok()) return std::nullopt;
    return decodeRecordHeader(bytes);
  };

  // First pass: the highest slot number of a live record that the table can hold.
  std::uint32_t highest = 0;
  std::uint32_t records = 0;
  for (std::uint64_t offset = 0;;) {
    auto h = headerAt(offset);
    if (!h) break;
    auto end = recordEnd(offset, *h, fileSize);
    if (!end) break;
    if (h->slotNumber != kDeadSlot && h->slotNumber < MaxItems && h->slotNumber > highest) {
      highest = h->slotNumber;
    }
    ++records;
    offset = *end;
  }
  // A disk that fails to read is not the end of the records: a table built from part of them
  // would lose the rest at the next index write.
  if (failure.failed()) {
    reportReadFailure(m_messages, failure.error);
    return false;
  }

  clearTable(table);
  header.itemCount = 0;
  counters = {};

  // Second pass: place the live records.
  std::uint64_t offset = 0;
  for (std::uint32_t r = 0; r < records; ++r) {
    auto h = headerAt(offset);
    if (!h) break;
    const std::uint64_t recordOffset = offset;
    offset = *recordEnd(offset, *h, fileSize);
    if (h->slotNumber == kDeadSlot) continue;
    std::uint32_t slot = h->slotNumber;
    if (slot >= MaxItems || table[slot].filledMark != 0) {
      slot = ++highest;
      if (slot >= MaxItems) continue;  // stays in the file, out of the table
    }
    if (slot >= header.itemCount) header.itemCount = static_cast<std::uint16_t>(slot + 1);
    table[slot] = ItemIndexEntry{static_cast<std::uint32_t>(recordOffset),
                                 h->interval,
                                 h->lastRepetition,
                                 0,
                                 h->status,
                                 kFilledMark};
  }

  // Slots no record filled would otherwise become items sharing the file's first record.
  for (std::uint16_t p = 0; p < header.itemCount; ++p) {
    if (table[p].filledMark == 0) table[p].status = code(ItemStatus::Deleted);
  }
  if (failure.failed()) {
    reportReadFailure(m_messages, failure.error);
    return false;
  }
  compactTable();
  m_indexFrozen = false;
  recount();
  return indexChanged();
}

}  // namespace kelvora::store
