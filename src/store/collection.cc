// The in-memory side of the collection: counters, compaction, slot numbers and the
// write-back of the loaded item.
#include "store/collection.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace kelvora::store {

Collection::Collection(FileSystem& files, MessagePort& messages, TodayFn today)
    : table(MaxItems),
      m_files(files),
      m_messages(messages),
      m_today(std::move(today)),
      m_committedTable(MaxItems),
      m_reportedUnreadable(MaxItems, false) {}

Collection::~Collection() { closeFiles(); }

void Collection::setEvents(CollectionEvents* events) {
  m_events = events != nullptr ? events : &m_noEvents;
}

void Collection::recount() {
  if (!isOpen) return;
  const DayNumber now = m_today();
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
    if (isDue(e, now)) {
      e.status = code(ItemStatus::Outstanding);
      ++counters.outstandingCount;
      m_statusIndexStale = true;  // a status changed outside any commit
    }
  }
  m_events->countersChanged();
}

std::optional<std::uint16_t> Collection::nthOfStatus(ItemStatus status, int n) {
  const std::uint16_t count = std::min<std::uint16_t>(header.itemCount, MaxItems);
  if (n < 0) n = 0;
  if (!StatusIndex::keeps(status)) {
    std::optional<std::uint16_t> found;
    int seen = 0;
    for (std::uint16_t p = 0; p < count; ++p) {
      if (table[p].status != code(status)) continue;
      found = p;
      if (seen++ == n) break;
    }
    return found;
  }
  // A found entry that does not have the status shows the index is behind the table (a change
  // made outside the commits it follows): it is built again and asked once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (m_statusIndexStale || m_statusIndex.size() != count) {
      m_statusIndex.rebuild(table, count);
      m_statusIndexStale = false;
    }
    const int total = m_statusIndex.count(status);
    if (total == 0) return std::nullopt;
    const std::optional<std::uint16_t> p = m_statusIndex.nth(status, std::min(n, total - 1));
    if (p && table[*p].status == code(status)) return p;
    m_statusIndexStale = true;
  }
  return std::nullopt;
}

namespace {

// The counters a status is counted in: Drill and Outstanding items are memorized ones too.
// Each counter moves by one, held within 0..65535.
void stepStatusCounters(CollectionCounters& n, std::uint8_t status, bool up) {
  auto step = [up](std::uint16_t& counter) {
    if (up && counter < 0xFFFF) ++counter;
    if (!up && counter > 0) --counter;
  };
  switch (static_cast<ItemStatus>(status)) {
    case ItemStatus::Memorized:
      step(n.memorizedCount);
      break;
    case ItemStatus::Drill:
      step(n.drillCount);
      step(n.memorizedCount);
      break;
    case ItemStatus::Outstanding:
      step(n.outstandingCount);
      step(n.memorizedCount);
      break;
    case ItemStatus::Dismissed:
      step(n.dismissedCount);
      break;
    default:
      break;
  }
}

}  // namespace

void uncountStatus(CollectionCounters& n, std::uint8_t status) {
  stepStatusCounters(n, status, false);
}

void countStatus(CollectionCounters& n, std::uint8_t status) {
  stepStatusCounters(n, status, true);
}

void clearTable(std::vector<ItemIndexEntry>& table) {
  static_assert(std::is_trivially_copyable_v<ItemIndexEntry>);
  if (!table.empty())
    std::memset(static_cast<void*>(table.data()), 0, table.size() * sizeof(ItemIndexEntry));
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

bool Collection::flushItem() {
  bool ok = true;
  if (loaded.itemModified) {
    ok = writeItem(loaded.loadedPosition);
    // Edited texts are a new item as far as undo goes: its earlier grades are not taken back.
    if (ok) (void)m_undo.dropItem(loaded.header.slotNumber);
  }
  loaded.itemModified = false;
  loaded.loadedPosition = currentPosition;
  return ok;
}

void Collection::prepareBlankItem() {
  loaded.question.clear();
  loaded.answer.clear();
  loaded.header = newItemHeader(takeSlotNumber());
  m_loadedLengthsCut = false;
  m_loadedUnsound = false;
  // Refused, the slot number goes back and the item stays blank: it is handed out again.
  (void)indexChanged();
}

Collection::Batch::Batch(Collection& c, Kind kind) : m_c(c), m_kind(kind) { ++m_c.m_batchDepth; }

Collection::Batch::~Batch() { (void)commit(); }

void Collection::Batch::abandon() {
  if (!m_open) return;
  m_open = false;
  if (--m_c.m_batchDepth > 0) return;
  // Bulk work may have changed entries in place without marking them: every one goes back.
  m_c.m_allDirty = true;
  m_c.rollBack();
}

bool Collection::Batch::commit() {
  if (!m_open) return true;
  m_open = false;
  if (--m_c.m_batchDepth > 0) return true;
  // A batch is bulk work (reset, swap all, delete, import): it goes to the files and the disk
  // at once. Once the journal has it, a failing checkpoint does not undo it.
  if (!m_c.commitChange()) return false;
  if (m_kind == Kind::Bulk) (void)m_c.checkpoint();
  return true;
}

}  // namespace kelvora::store
