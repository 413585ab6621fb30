// The run map behind PendingWrites.
#include "store/pending_writes.h"

#include <algorithm>
#include <cerrno>

namespace kelvora::store {

void PendingWrites::add(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  const std::uint64_t end = offset + bytes.size();
  // The run that starts at or before offset: the write lies inside it, continues it, or starts
  // a run of its own. Only ever the shorter side is copied, so a long run of appended records
  // or index entries grows at the cost of what is added to it.
  auto it = m_runs.upper_bound(offset);
  std::map<std::uint64_t, Bytes>::iterator target;
  if (it != m_runs.begin() && std::prev(it)->first + std::prev(it)->second.size() >= offset) {
    target = std::prev(it);
    Bytes& run = target->second;
    const std::size_t at = static_cast<std::size_t>(offset - target->first);
    if (target->first + run.size() >= end) {
      std::copy(bytes.begin(), bytes.end(), run.begin() + static_cast<std::ptrdiff_t>(at));
      return;
    }
    m_bytes -= run.size() - at;
    run.resize(at);
    run.insert(run.end(), bytes.begin(), bytes.end());
    m_bytes += bytes.size();
  } else {
    target = m_runs.emplace_hint(it, offset, Bytes(bytes.begin(), bytes.end()));
    m_bytes += bytes.size();
  }
  // Runs that begin inside the write: covered ones go; one that reaches past it keeps its own
  // bytes after the write, takes the write's bytes over its start, and the write's run stops
  // where it begins.
  it = std::next(target);
  while (it != m_runs.end() && it->first < end) {
    const std::uint64_t itEnd = it->first + it->second.size();
    if (itEnd <= end) {
      m_bytes -= it->second.size();
      it = m_runs.erase(it);
      continue;
    }
    const std::size_t overlap = static_cast<std::size_t>(end - it->first);
    std::copy(bytes.end() - static_cast<std::ptrdiff_t>(overlap), bytes.end(), it->second.begin());
    target->second.resize(target->second.size() - overlap);
    m_bytes -= overlap;
    break;
  }
}

void PendingWrites::absorb(PendingWrites& other) {
  if (m_runs.empty()) {
    m_runs.swap(other.m_runs);
    m_bytes = other.m_bytes;
  } else {
    other.forEach(
        [this](std::uint64_t offset, std::span<const std::uint8_t> bytes) { add(offset, bytes); });
  }
  other.clear();
}

void PendingWrites::overlay(std::uint64_t offset, std::span<std::uint8_t> into) const {
  if (m_runs.empty() || into.empty()) return;
  const std::uint64_t end = offset + into.size();
  auto it = m_runs.upper_bound(offset);
  if (it != m_runs.begin()) --it;
  for (; it != m_runs.end() && it->first < end; ++it) {
    const std::uint64_t runEnd = it->first + it->second.size();
    const std::uint64_t lo = std::max(offset, it->first);
    const std::uint64_t hi = std::min(end, runEnd);
    if (lo >= hi) continue;
    std::copy(it->second.begin() + static_cast<std::ptrdiff_t>(lo - it->first),
              it->second.begin() + static_cast<std::ptrdiff_t>(hi - it->first),
              into.begin() + static_cast<std::ptrdiff_t>(lo - offset));
  }
}

std::uint64_t PendingWrites::end() const {
  if (m_runs.empty()) return 0;
  const auto& last = *m_runs.rbegin();
  return last.first + last.second.size();
}

void PendingWrites::clear() {
  m_runs.clear();
  m_bytes = 0;
}

IoResult PendingWrites::applyTo(BinaryFile& file) const {
  // Runs that lie close together go out as one write, the bytes between them read from the file
  // first: many small runs (a dead mark on every record of the file, say) would otherwise cost
  // a call each. The bytes between runs are the file's own, so writing them again changes
  // nothing, however far such a write gets.
  constexpr std::uint64_t kMostBetween = 512;
  constexpr std::uint64_t kMostGathered = std::uint64_t{1} << 20;
  Bytes gathered;
  for (auto it = m_runs.begin(); it != m_runs.end();) {
    const std::uint64_t start = it->first;
    std::uint64_t end = start + it->second.size();
    auto next = std::next(it);
    while (next != m_runs.end() && next->first - end <= kMostBetween &&
           next->first + next->second.size() - start <= kMostGathered) {
      end = next->first + next->second.size();
      ++next;
    }
    if (std::next(it) == next) {
      const IoResult r = file.writeAt(start, it->second);
      if (!r.ok()) return r.failed() ? r : IoResult::failure(EIO);
      it = next;
      continue;
    }
    gathered.resize(static_cast<std::size_t>(end - start));
    const IoResult read = file.readAt(start, gathered);
    if (read.failed()) return read;
    // Past the end of the file the bytes between runs are a gap, which reads as zeros.
    std::fill(gathered.begin() + static_cast<std::ptrdiff_t>(read.count), gathered.end(), 0);
    for (; it != next; ++it) {
      std::copy(it->second.begin(), it->second.end(),
                gathered.begin() + static_cast<std::ptrdiff_t>(it->first - start));
    }
    const IoResult r = file.writeAt(start, gathered);
    if (!r.ok()) return r.failed() ? r : IoResult::failure(EIO);
  }
  return IoResult::done(0);
}

}  // namespace kelvora::store
