// The in-memory side of the collection: counters, compaction, slot numbers and the
// write-back of the loaded item.
#include "store/collection.h"

#include <algorithm>

namespace kelvora::store {

Collection::Collection(FileSystem& files, MessagePort& messages, TodayFn today)
    : table(MaxItems), m_files(files), m_messages(messages), m_today(std::move(today)) {}

Collection::~Collection() { closeFiles(); }

void Collection::setEvents(CollectionEvents* events) {
  m_events = events != nullptr ? events : &m_noEvents;
}

void Collection::recount() {
  if (!isOpen) return;
  const std::uint32_t now = m_today();
  counters = {};
  for (std::uint16_t p = 0; p < header.itemCount; ++p) {
    ItemIndexEntry& e = table[p];
    switch (static_cast<ItemStatus>(e.status)) {
      case ItemStatus::Drill:
        ++counters.drillCount;
        ++counters.memorizedCount;
        break;
      case ItemStatus::Memorized:
        ++counters.memorizedCount;
        break;
      case ItemStatus::Outstanding:
        ++counters.outstandingCount;
        ++counters.memorizedCount;
        break;
      case ItemStatus::Dismissed:
        ++counters.dismissedCount;
        break;
      default:
        break;
    }
    // The due sum is taken in full width: an interval reaching past day 65535 is not due.
    if (e.status == code(ItemStatus::Memorized) &&
        static_cast<std::uint32_t>(e.interval) + e.lastRepetition <= now) {
      e.status = code(ItemStatus::Outstanding);
      ++counters.outstandingCount;
    }
  }
  m_events->countersChanged();
}

void uncountStatus(CollectionCounters& n, std::uint8_t status) {
  auto lower = [](std::uint16_t& counter) {
    if (counter > 0) --counter;
  };
  switch (static_cast<ItemStatus>(status)) {
    case ItemStatus::Memorized:
      lower(n.memorizedCount);
      break;
    case ItemStatus::Drill:
      lower(n.drillCount);
      lower(n.memorizedCount);
      break;
    case ItemStatus::Outstanding:
      lower(n.outstandingCount);
      lower(n.memorizedCount);
      break;
    case ItemStatus::Dismissed:
      lower(n.dismissedCount);
      break;
    default:
      break;
  }
}

void Collection::compactTable() {
  std::uint16_t kept = 0;
  for (std::uint16_t p = 0; p < header.itemCount; ++p) {
    if (table[p].status != code(ItemStatus::Deleted)) table[kept++] = table[p];
  }
  header.nextSlotNumber = header.itemCount;
  header.itemCount = kept;
}

std::uint16_t Collection::takeSlotNumber() {
  if (header.nextSlotNumber == kDeadSlot) header.nextSlotNumber = 0;
  return header.nextSlotNumber++;
}

void Collection::flushItem() {
  if (loaded.itemModified) writeItem(loaded.loadedPosition);
  loaded.itemModified = false;
  loaded.loadedPosition = currentPosition;
}

void Collection::prepareBlankItem() {
  loaded.question.clear();
  loaded.answer.clear();
  loaded.header = ItemRecordHeader{};
  loaded.header.aFactor = kNewItemAFactor;
  loaded.header.status = code(ItemStatus::Pending);
  loaded.header.slotNumber = takeSlotNumber();
  m_loadedLengthsCut = false;
  indexChanged();
}

void Collection::indexChanged() {
  if (m_batchDepth > 0) {
    m_indexPending = true;
    return;
  }
  m_indexPending = false;
  saveIndex();
}

void Collection::indexEntryChanged(std::uint16_t position) {
  if (m_batchDepth > 0 || position >= m_indexEntriesOnDisk ||
      header.itemCount > m_indexEntriesOnDisk || !m_indexFile || m_indexFrozen) {
    indexChanged();
    return;
  }
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;
  auto head = encodeIndexHeader(header);
  Bytes entry;
  appendIndexEntry(entry, table[position]);
  const std::uint64_t at = kIndexHeaderSize + std::uint64_t{position} * kIndexEntrySize;
  if (m_indexFile->writeAt(0, head) != head.size() ||
      m_indexFile->writeAt(at, entry) != entry.size()) {
    m_indexEntriesOnDisk = 0;  // the next change writes the whole table again
  }
}

Collection::Batch::Batch(Collection& c) : m_c(c) {
  if (m_c.m_batchDepth++ == 0 && m_c.m_textsFile) m_c.m_textsFile->setGathering(true);
}

Collection::Batch::~Batch() {
  if (--m_c.m_batchDepth > 0) return;
  if (m_c.m_textsFile) {
    m_c.m_textsFile->setGathering(false);
    if (m_c.m_textsFile->failed()) m_c.m_indexFrozen = true;
  }
  if (m_c.m_indexPending) m_c.indexChanged();
}

}  // namespace kelvora::store
