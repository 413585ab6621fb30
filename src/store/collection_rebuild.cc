// Rebuilding the item table by walking the texts file record by record, twice: once to find
// the highest slot number, once to place every live record.
#include <array>

#include "store/collection.h"
#include "store/file_error.h"

namespace kelvora::store {
namespace {

// Reads the record headers of the texts file in order, remembering the first read that failed.
class RecordWalk {
 public:
  explicit RecordWalk(RecordFile& texts) : m_texts(texts), m_fileSize(texts.size()) {}

  // The header of the record at offset, or nothing when it runs past the end of the file or
  // cannot be read.
  std::optional<ItemRecordHeader> headerAt(std::uint64_t offset) {
    if (offset + kRecordHeaderSize > m_fileSize) return std::nullopt;
    const IoResult r = m_texts.read(offset, m_bytes);
    if (r.failed()) m_failure = r;
    if (!r.ok()) return std::nullopt;
    return decodeRecordHeader(m_bytes);
  }

  // Where the record at offset ends, or nothing when its texts run past the end of the file.
  std::optional<std::uint64_t> recordEnd(std::uint64_t offset, const ItemRecordHeader& h) const {
    const std::uint64_t end =
        offset + kRecordHeaderSize + paddedTextSize(h.questionLength, h.answerLength);
    if (end > m_fileSize) return std::nullopt;
    return end;
  }

  const IoResult& failure() const { return m_failure; }

 private:
  RecordFile& m_texts;
  const std::uint64_t m_fileSize;
  std::array<std::uint8_t, kRecordHeaderSize> m_bytes{};
  IoResult m_failure = IoResult::done(0);
};

// What the first pass learns: how many whole records there are, and the highest slot number
// of a live record that the table can hold.
struct RecordCensus {
  std::uint32_t records = 0;
  std::uint32_t highestSlot = 0;
};

RecordCensus countRecords(RecordWalk& walk) {
  RecordCensus census;
  for (std::uint64_t offset = 0;;) {
    const std::optional<ItemRecordHeader> h = walk.headerAt(offset);
    if (!h) break;
    const std::optional<std::uint64_t> end = walk.recordEnd(offset, *h);
    if (!end) break;
    if (h->slotNumber != kDeadSlot && h->slotNumber < MaxItems &&
        h->slotNumber > census.highestSlot) {
      census.highestSlot = h->slotNumber;
    }
    ++census.records;
    offset = *end;
  }
  return census;
}

// Places every live record of the census in the table at its slot number; a record whose slot
// is taken or out of range gets the next number past the highest, and stays out of the table
// when that is past the last slot. Returns the item count: one past the highest slot filled.
std::uint16_t placeRecords(RecordWalk& walk, RecordCensus census,
                           std::vector<ItemIndexEntry>& table) {
  std::uint16_t itemCount = 0;
  std::uint64_t offset = 0;
  for (std::uint32_t r = 0; r < census.records; ++r) {
    const std::optional<ItemRecordHeader> h = walk.headerAt(offset);
    if (!h) break;
    const std::uint64_t recordOffset = offset;
    offset = *walk.recordEnd(offset, *h);
    if (h->slotNumber == kDeadSlot) continue;
    std::uint32_t slot = h->slotNumber;
    if (slot >= MaxItems || table[slot].filledMark != 0) {
      slot = ++census.highestSlot;
      if (slot >= MaxItems) continue;  // stays in the file, out of the table
    }
    if (slot >= itemCount) itemCount = static_cast<std::uint16_t>(slot + 1);
    table[slot] = ItemIndexEntry{static_cast<std::uint32_t>(recordOffset),
                                 h->interval,
                                 h->lastRepetition,
                                 0,
                                 h->status,
                                 kFilledMark};
  }
  // Slots no record filled would otherwise become items sharing the file's first record.
  for (std::uint16_t p = 0; p < itemCount; ++p) {
    if (table[p].filledMark == 0) table[p].status = code(ItemStatus::Deleted);
  }
  return itemCount;
}

}  // namespace

bool Collection::rebuildIndex() {
  if (!isOpen || !m_textsFile) return false;
  ProgressScope working(progress);
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;

  RecordWalk walk(*m_textsFile);
  const RecordCensus census = countRecords(walk);
  // A disk that fails to read is not the end of the records: a table built from part of them
  // would lose the rest at the next index write.
  if (walk.failure().failed()) {
    reportReadFailure(m_messages, walk.failure().error);
    return false;
  }

  clearTable(table);
  counters = {};
  header.itemCount = placeRecords(walk, census, table);
  if (walk.failure().failed()) {
    reportReadFailure(m_messages, walk.failure().error);
    return false;
  }
  compactTable();
  m_indexFrozen = false;
  recount();
  return indexChanged();
}

}  // namespace kelvora::store
