// Rebuilding the item table by walking the texts file record by record, once.
#include <algorithm>
#include <array>
#include <vector>

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

// A live record whose slot number was taken by an earlier one or is out of range.
struct Misplaced {
  std::uint64_t offset;
  ItemRecordHeader header;
};

ItemIndexEntry entryFor(std::uint64_t offset, const ItemRecordHeader& h) {
  return ItemIndexEntry{
      static_cast<std::uint32_t>(offset), h.interval, h.lastRepetition, 0, h.status, kFilledMark};
}

// Walks every whole record once and places each live one in the table at its slot number. A
// record whose slot is taken or out of range gets, in file order, the next number past the
// highest slot of any live record, and stays out of the table when that is past the last slot.
// Returns the item count: one past the highest slot filled.
std::uint16_t placeRecords(RecordWalk& walk, std::vector<ItemIndexEntry>& table) {
  std::uint32_t highestSlot = 0;
  std::uint32_t itemCount = 0;
  // Only the first MaxItems of them can ever get a slot, so no more are kept.
  std::vector<Misplaced> misplaced;
  for (std::uint64_t offset = 0;;) {
    const std::optional<ItemRecordHeader> h = walk.headerAt(offset);
    if (!h) break;
    const std::optional<std::uint64_t> end = walk.recordEnd(offset, *h);
    if (!end) break;
    const std::uint32_t slot = h->slotNumber;
    if (slot != kDeadSlot) {
      if (slot < MaxItems && table[slot].filledMark == 0) {
        table[slot] = entryFor(offset, *h);
        highestSlot = std::max(highestSlot, slot);
        itemCount = highestSlot + 1;
      } else if (misplaced.size() < MaxItems) {
        misplaced.push_back({offset, *h});
      }
    }
    offset = *end;
  }
  for (const Misplaced& m : misplaced) {
    const std::uint32_t slot = ++highestSlot;
    if (slot >= MaxItems) break;  // stays in the file, out of the table
    table[slot] = entryFor(m.offset, m.header);
    itemCount = slot + 1;
  }
  // Slots no record filled would otherwise become items sharing the file's first record.
  for (std::uint32_t p = 0; p < itemCount; ++p) {
    if (table[p].filledMark == 0) table[p].status = code(ItemStatus::Deleted);
  }
  return static_cast<std::uint16_t>(itemCount);
}

}  // namespace

bool Collection::rebuildIndex() {
  if (!isOpen || !m_textsFile) return false;
  ProgressScope working(progress);
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;

  // The table is built aside: a disk that fails to read is not the end of the records, and a
  // table built from part of them would lose the rest at the next index write.
  RecordWalk walk(*m_textsFile);
  std::vector<ItemIndexEntry> rebuilt(table.size());
  const std::uint16_t itemCount = placeRecords(walk, rebuilt);
  if (walk.failure().failed()) {
    reportReadFailure(m_messages, walk.failure().error);
    return false;
  }
  table.swap(rebuilt);
  counters = {};
  header.itemCount = itemCount;
  compactTable();
  m_indexFrozen = false;
  recount();
  return indexChanged();
}

}  // namespace kelvora::store
