// The undo file: its bytes, and the steps of an open collection written through to it.
#include "store/undo_log.h"

#include <algorithm>
#include <cerrno>

#include "store/byte_io.h"
#include "store/crc32.h"

namespace kelvora::store {

namespace {

void put16At(std::uint8_t* to, std::uint16_t v) {
  to[0] = static_cast<std::uint8_t>(v & 0xFF);
  to[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32At(std::uint8_t* to, std::uint32_t v) {
  put16At(to, static_cast<std::uint16_t>(v & 0xFFFF));
  put16At(to + 2, static_cast<std::uint16_t>(v >> 16));
}
std::uint16_t get16At(const std::uint8_t* from) {
  return static_cast<std::uint16_t>(from[0] | (from[1] << 8));
}
std::uint32_t get32At(const std::uint8_t* from) {
  return get16At(from) | (static_cast<std::uint32_t>(get16At(from + 2)) << 16);
}

void putState(std::uint8_t* to, const UndoItemState& s) {
  namespace o = undo_state_offset;
  to[o::kEntryStatus] = s.entryStatus;
  to[o::kHeaderStatus] = s.headerStatus;
  put16At(to + o::kEntryInterval, s.entryInterval);
  put16At(to + o::kEntryLastRepetition, s.entryLastRepetition);
  put16At(to + o::kHeaderInterval, s.headerInterval);
  put16At(to + o::kHeaderLastRepetition, s.headerLastRepetition);
  put16At(to + o::kAFactor, s.aFactor);
  to[o::kRepetitions] = s.repetitions;
  to[o::kLapses] = s.lapses;
}
UndoItemState getState(const std::uint8_t* from) {
  namespace o = undo_state_offset;
  UndoItemState s;
  s.entryStatus = from[o::kEntryStatus];
  s.headerStatus = from[o::kHeaderStatus];
  s.entryInterval = get16At(from + o::kEntryInterval);
  s.entryLastRepetition = get16At(from + o::kEntryLastRepetition);
  s.headerInterval = get16At(from + o::kHeaderInterval);
  s.headerLastRepetition = get16At(from + o::kHeaderLastRepetition);
  s.aFactor = get16At(from + o::kAFactor);
  s.repetitions = from[o::kRepetitions];
  s.lapses = from[o::kLapses];
  return s;
}

void putCounters(std::uint8_t* to, const CollectionCounters& c) {
  put16At(to, c.memorizedCount);
  put16At(to + 2, c.outstandingCount);
  put16At(to + 4, c.drillCount);
  put16At(to + 6, c.dismissedCount);
}
CollectionCounters getCounters(const std::uint8_t* from) {
  return {get16At(from), get16At(from + 2), get16At(from + 4), get16At(from + 6)};
}

std::array<std::uint8_t, kUndoHeaderSize> encodeHeader(std::uint16_t first, std::uint16_t count) {
  namespace o = undo_header_offset;
  std::array<std::uint8_t, kUndoHeaderSize> h{};
  std::copy(kUndoMagic.begin(), kUndoMagic.end(), h.begin() + o::kMagic);
  h[o::kVersion] = kUndoVersion;
  put16At(h.data() + o::kStepSize, kUndoStepSize);
  put16At(h.data() + o::kCapacity, kUndoCapacity);
  put16At(h.data() + o::kFirst, first);
  put16At(h.data() + o::kCount, count);
  put32At(h.data() + o::kCrc, crc32(std::span(h).first(o::kCrc)));
  return h;
}

std::uint64_t placeOffset(std::size_t place) { return kUndoHeaderSize + place * kUndoStepSize; }

}  // namespace

std::array<std::uint8_t, kUndoStepSize> encodeUndoStep(const UndoStep& step) {
  namespace o = undo_step_offset;
  std::array<std::uint8_t, kUndoStepSize> b{};
  put16At(b.data() + o::kPosition, step.position);
  put16At(b.data() + o::kSlotNumber, step.slotNumber);
  b[o::kKind] = static_cast<std::uint8_t>(step.kind);
  b[o::kKind + 1] = step.grade;
  putState(b.data() + o::kBefore, step.before);
  putState(b.data() + o::kAfter, step.after);
  putCounters(b.data() + o::kCountersBefore, step.countersBefore);
  putCounters(b.data() + o::kCountersAfter, step.countersAfter);
  put32At(b.data() + o::kCrc, crc32(std::span(b).first(o::kCrc)));
  return b;
}

std::optional<UndoStep> decodeUndoStep(std::span<const std::uint8_t, kUndoStepSize> b) {
  namespace o = undo_step_offset;
  if (get32At(b.data() + o::kCrc) != crc32(b.first(o::kCrc))) return std::nullopt;
  const std::uint8_t kind = b[o::kKind];
  if (kind < static_cast<std::uint8_t>(UndoKind::Grade) ||
      kind > static_cast<std::uint8_t>(UndoKind::Dismiss)) {
    return std::nullopt;
  }
  UndoStep step;
  step.position = get16At(b.data() + o::kPosition);
  step.slotNumber = get16At(b.data() + o::kSlotNumber);
  step.kind = static_cast<UndoKind>(kind);
  step.grade = b[o::kKind + 1];
  step.before = getState(b.data() + o::kBefore);
  step.after = getState(b.data() + o::kAfter);
  step.countersBefore = getCounters(b.data() + o::kCountersBefore);
  step.countersAfter = getCounters(b.data() + o::kCountersAfter);
  return step;
}

namespace {

// The header's ring, when the header is sound: first place and count.
std::optional<std::pair<std::uint16_t, std::uint16_t>> readHeader(
    std::span<const std::uint8_t> bytes) {
  namespace o = undo_header_offset;
  if (bytes.size() < kUndoHeaderSize) return std::nullopt;
  const std::uint8_t* h = bytes.data();
  if (!std::equal(kUndoMagic.begin(), kUndoMagic.end(), h + o::kMagic)) return std::nullopt;
  if (get32At(h + o::kCrc) != crc32(bytes.first(o::kCrc))) return std::nullopt;
  if (h[o::kVersion] != kUndoVersion || get16At(h + o::kStepSize) != kUndoStepSize ||
      get16At(h + o::kCapacity) != kUndoCapacity) {
    return std::nullopt;
  }
  const std::uint16_t first = get16At(h + o::kFirst);
  const std::uint16_t count = get16At(h + o::kCount);
  if (first >= kUndoCapacity || count > kUndoCapacity) return std::nullopt;
  return std::pair{first, count};
}

}  // namespace

std::deque<UndoStep> parseUndoFile(std::span<const std::uint8_t> bytes) {
  std::deque<UndoStep> steps;
  const auto ring = readHeader(bytes);
  if (!ring) return steps;
  for (std::uint16_t i = 0; i < ring->second; ++i) {
    const std::uint64_t at = placeOffset((ring->first + i) % kUndoCapacity);
    if (at + kUndoStepSize > bytes.size()) continue;
    if (auto step = decodeUndoStep(
            std::span<const std::uint8_t, kUndoStepSize>(bytes.data() + at, kUndoStepSize))) {
      steps.push_back(*step);
    }
  }
  return steps;
}

std::filesystem::path undoPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kun");
}

void UndoLog::open(FileSystem& files, const std::filesystem::path& base) {
  close();
  m_files = &files;
  m_path = undoPath(base);
}

void UndoLog::close() {
  if (m_file) (void)m_file->close();
  m_file.reset();
  m_steps.clear();
  m_first = 0;
  m_loaded = false;
}

bool UndoLog::load() {
  if (m_loaded) return true;
  if (m_files == nullptr) return false;
  m_loaded = true;
  m_steps.clear();
  m_first = 0;
  if (!m_files->exists(m_path)) return true;
  OpenError error = OpenError::None;
  m_file = m_files->openExclusive(m_path, error);
  if (!m_file) return false;
  const std::uint64_t size = m_file->size().value_or(0);
  Bytes bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, placeOffset(kUndoCapacity))));
  const IoResult r = m_file->readAt(0, bytes);
  if (r.failed()) return true;  // unreadable: no steps
  bytes.resize(r.count);
  m_steps = parseUndoFile(bytes);
  const auto ring = readHeader(bytes);
  // Steps that did not read back leave holes: the file is written whole at its next change.
  if (ring && m_steps.size() == ring->second) {
    m_first = ring->first;
  } else {
    m_first = kUndoCapacity;  // marks the file as out of step with the steps kept
  }
  return true;
}

const std::deque<UndoStep>& UndoLog::steps() {
  (void)load();
  return m_steps;
}

bool UndoLog::writeHeader() {
  const auto header = encodeHeader(m_first, static_cast<std::uint16_t>(m_steps.size()));
  return m_file->writeAt(0, header).ok();
}

bool UndoLog::writeAll() {
  m_first = 0;
  for (std::size_t i = 0; i < m_steps.size(); ++i) {
    if (!m_file->writeAt(placeOffset(i), encodeUndoStep(m_steps[i])).ok()) return false;
  }
  if (!writeHeader()) return false;
  return m_file->truncate(placeOffset(m_steps.size())).ok();
}

bool UndoLog::push(const UndoStep& step) {
  if (!load() || m_files == nullptr) return false;
  if (!m_file) {
    OpenError error = OpenError::None;
    m_file = m_files->openExclusive(m_path, error);
    if (!m_file) return false;
    m_first = kUndoCapacity;  // a new file is written whole
  }
  const bool whole = m_first >= kUndoCapacity;
  std::size_t place = 0;
  if (m_steps.size() == kUndoCapacity) {
    m_steps.pop_front();
    place = m_first;
    if (!whole) m_first = static_cast<std::uint16_t>((m_first + 1) % kUndoCapacity);
  } else if (!whole) {
    place = (m_first + m_steps.size()) % kUndoCapacity;
  }
  m_steps.push_back(step);
  bool ok = false;
  if (whole) {
    ok = writeAll();
  } else {
    // The step first, then the header that counts it: a step the header does not count yet
    // is not there.
    ok = m_file->writeAt(placeOffset(place), encodeUndoStep(step)).ok() && writeHeader();
  }
  if (!ok) {
    m_steps.pop_back();
    m_first = kUndoCapacity;
  }
  return ok;
}

bool UndoLog::popNewest() {
  if (!load() || m_steps.empty()) return false;
  m_steps.pop_back();
  if (!m_file) return false;
  if (m_first >= kUndoCapacity) return writeAll();
  return writeHeader();
}

bool UndoLog::dropItem(std::uint16_t slotNumber) {
  if (!load()) return false;
  const auto before = m_steps.size();
  std::erase_if(m_steps, [slotNumber](const UndoStep& s) { return s.slotNumber == slotNumber; });
  if (m_steps.size() == before || !m_file) return true;
  return writeAll();
}

bool UndoLog::clear() {
  if (m_files == nullptr) return true;
  if (m_file) (void)m_file->close();
  m_file.reset();
  m_steps.clear();
  m_first = 0;
  m_loaded = true;
  return m_files->remove(m_path).ok();
}

}  // namespace kelvora::store
