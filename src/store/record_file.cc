// Reads come from a window of the file read ahead, patched with the writes that have not
// reached the file yet.
#include "store/record_file.h"

#include <algorithm>
#include <cerrno>

namespace kelvora::store {

std::unique_ptr<RecordFile> RecordFile::open(std::unique_ptr<BinaryFile> file) {
  auto size = file->size();
  if (!size) return nullptr;
  return std::unique_ptr<RecordFile>(new RecordFile(std::move(file), *size));
}

RecordFile::RecordFile(std::unique_ptr<BinaryFile> file, std::uint64_t size)
    : m_file(std::move(file)), m_fileSize(size), m_end(size), m_committedEnd(size) {}

IoResult RecordFile::read(std::uint64_t offset, std::span<std::uint8_t> into) {
  if (offset > m_end || into.size() > m_end - offset) {
    return IoResult::ended(offset < m_end ? static_cast<std::size_t>(m_end - offset) : 0);
  }
  // The part the file holds, through the window.
  const std::uint64_t fromFile =
      offset < m_fileSize ? std::min<std::uint64_t>(into.size(), m_fileSize - offset) : 0;
  if (fromFile > 0) {
    const std::uint64_t windowEnd = m_windowStart + m_window.size();
    if (offset >= m_windowStart && offset + fromFile <= windowEnd) {
      std::copy_n(m_window.begin() + static_cast<std::ptrdiff_t>(offset - m_windowStart), fromFile,
                  into.begin());
    } else if (fromFile > kWindowSize) {
      IoResult r = m_file->readAt(offset, into.first(fromFile));
      if (r.failed()) return r;
      if (!r.ok()) return IoResult::failure(EIO);  // the file shrank under us
    } else {
      // In the window or a little past it: the reads go through the file in order, and the whole
      // window is read ahead; anywhere else a small one.
      const bool onward =
          !m_window.empty() && offset >= m_windowStart && offset <= windowEnd + kSmallWindowSize;
      const std::size_t wanted =
          std::max(onward ? kWindowSize : kSmallWindowSize, static_cast<std::size_t>(fromFile));
      m_windowStart = offset;
      m_window.resize(
          static_cast<std::size_t>(std::min<std::uint64_t>(wanted, m_fileSize - offset)));
      IoResult r = m_file->readAt(offset, m_window);
      m_window.resize(r.count);
      if (r.failed() || m_window.size() < fromFile) {
        m_window.clear();
        return r.failed() ? r : IoResult::failure(EIO);
      }
      std::copy_n(m_window.begin(), fromFile, into.begin());
    }
  }
  std::fill(into.begin() + static_cast<std::ptrdiff_t>(fromFile), into.end(), 0);
  m_committed.overlay(offset, into);
  m_transaction.overlay(offset, into);
  return IoResult::done(into.size());
}

void RecordFile::write(std::uint64_t offset, std::span<const std::uint8_t> from) {
  m_transaction.add(offset, from);
  m_end = std::max(m_end, offset + from.size());
}

std::uint64_t RecordFile::append(std::span<const std::uint8_t> from) {
  const std::uint64_t at = m_end;
  write(at, from);
  return at;
}

void RecordFile::commitTransaction() {
  m_committed.absorb(m_transaction);
  m_committedEnd = m_end;
}

void RecordFile::dropTransaction() {
  m_transaction.clear();
  m_end = m_committedEnd;
}

IoResult RecordFile::applyCommitted() {
  if (m_committed.empty()) return IoResult::done(0);
  IoResult r = m_committed.applyTo(*m_file);
  // Whatever part arrived, the window may no longer match the file.
  m_window.clear();
  if (r.failed()) return r;
  m_fileSize = std::max(m_fileSize, m_committed.end());
  m_committed.clear();
  return r;
}

}  // namespace kelvora::store
