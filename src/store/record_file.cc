// Reads are served from a window of the file read ahead; every write keeps the window true
// to the file by patching the bytes it overlaps.
#include "store/record_file.h"

#include <algorithm>

namespace kelvora::store {

RecordFile::RecordFile(std::unique_ptr<BinaryFile> file) : m_file(std::move(file)) {
  auto end = m_file->seekToEnd();
  m_end = end.value_or(0);
}

bool RecordFile::read(std::uint64_t offset, std::span<std::uint8_t> into) {
  if (offset + into.size() > flushedEnd() && !flush()) return false;
  const std::uint64_t windowEnd = m_windowStart + m_window.size();
  if (offset >= m_windowStart && offset + into.size() <= windowEnd) {
    std::copy_n(m_window.begin() + static_cast<std::ptrdiff_t>(offset - m_windowStart), into.size(),
                into.begin());
    return true;
  }
  if (into.size() > kWindowSize) return m_file->readAt(offset, into) == into.size();
  // The window stops at the remembered end: bytes beyond it may be left from an append that
  // failed halfway, and the next append overwrites them.
  const std::uint64_t end = flushedEnd();
  m_windowStart = offset;
  m_window.resize(offset < end
                      ? static_cast<std::size_t>(std::min<std::uint64_t>(kWindowSize, end - offset))
                      : 0);
  m_window.resize(m_file->readAt(offset, m_window));
  if (m_window.size() < into.size()) return false;
  std::copy_n(m_window.begin(), into.size(), into.begin());
  return true;
}

bool RecordFile::write(std::uint64_t offset, std::span<const std::uint8_t> from) {
  if (offset >= flushedEnd() && offset + from.size() <= m_end) {
    // Entirely within gathered appends (a copy appended in this batch marked dead).
    std::copy(from.begin(), from.end(),
              m_pending.begin() + static_cast<std::ptrdiff_t>(offset - flushedEnd()));
    return true;
  }
  if (!flush()) return false;
  const std::size_t written = m_file->writeAt(offset, from);
  // Patch the window where it overlaps what reached the file.
  const std::uint64_t windowEnd = m_windowStart + m_window.size();
  const std::uint64_t lo = std::max(offset, m_windowStart);
  const std::uint64_t hi = std::min(offset + written, windowEnd);
  if (lo < hi) {
    std::copy(from.begin() + static_cast<std::ptrdiff_t>(lo - offset),
              from.begin() + static_cast<std::ptrdiff_t>(hi - offset),
              m_window.begin() + static_cast<std::ptrdiff_t>(lo - m_windowStart));
  }
  if (written != from.size()) {
    // The window may no longer match a file that took part of a write.
    m_window.clear();
    return false;
  }
  m_end = std::max(m_end, offset + written);
  return true;
}

std::optional<std::uint64_t> RecordFile::append(std::span<const std::uint8_t> from) {
  const std::uint64_t at = m_end;
  if (m_gathering) {
    m_pending.insert(m_pending.end(), from.begin(), from.end());
    m_end += from.size();
    if (m_pending.size() >= kGatherLimit && !flush()) return std::nullopt;
    return at;
  }
  // The window ends at or before the old end of file; what is appended lies beyond it.
  if (m_file->writeAt(at, from) != from.size()) {
    m_file->truncate(at);
    m_window.clear();
    return std::nullopt;
  }
  m_end = at + from.size();
  return at;
}

void RecordFile::setGathering(bool on) {
  m_gathering = on;
  if (!on) flush();
}

bool RecordFile::flush() {
  if (m_pending.empty()) return true;
  const std::uint64_t at = flushedEnd();
  const bool ok = m_file->writeAt(at, m_pending) == m_pending.size();
  if (!ok) {
    m_file->truncate(at);
    m_end = at;
    m_failed = true;
    m_window.clear();
  }
  m_pending.clear();
  return ok;
}

bool RecordFile::close() {
  const bool flushed = flush();
  return m_file->close() && flushed;
}

}  // namespace kelvora::store
