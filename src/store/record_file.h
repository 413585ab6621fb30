// The texts file as the collection reads and writes it: positioned transfers, a read window
// that serves neighbouring records from memory, and appends at a remembered end of file,
// gathered in memory during bulk work and written in large pieces.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "store/byte_io.h"
#include "store/file_system.h"

namespace kelvora::store {

class RecordFile {
 public:
  // Takes the open file and learns its size.
  explicit RecordFile(std::unique_ptr<BinaryFile> file);

  // Size in bytes, including everything appended so far.
  std::uint64_t size() const { return m_end; }

  // Reads exactly into.size() bytes at offset; false if the file ends sooner.
  bool read(std::uint64_t offset, std::span<std::uint8_t> into);
  // Overwrites bytes at offset; false unless all were written.
  bool write(std::uint64_t offset, std::span<const std::uint8_t> from);
  // Writes at the end of the file and returns where. When the write fails, whatever part of
  // it arrived is cut off again (or, where cutting fails, overwritten by the next append), so
  // the file stays walkable record by record.
  std::optional<std::uint64_t> append(std::span<const std::uint8_t> from);

  // While gathering, appends collect in memory and reach the file in large pieces; any other
  // transfer that touches the file first writes out what was gathered, so appended copies
  // always reach the file before anything written after them.
  void setGathering(bool on);
  // Writes out gathered appends. When that fails they are dropped, the end of file returns to
  // where it was before them, and failed() stays true.
  bool flush();
  // Some gathered appends could not be written.
  bool failed() const { return m_failed; }

  // Writes out gathered appends and releases the file; false when data could not be stored.
  bool close();

 private:
  static constexpr std::size_t kWindowSize = std::size_t{64} * 1024;
  static constexpr std::size_t kGatherLimit = std::size_t{1024} * 1024;

  std::uint64_t flushedEnd() const { return m_end - m_pending.size(); }

  std::unique_ptr<BinaryFile> m_file;
  std::uint64_t m_end = 0;
  std::uint64_t m_windowStart = 0;
  Bytes m_window;   // bytes of the file from m_windowStart, as last read or written
  Bytes m_pending;  // gathered appends, to go to the file at flushedEnd()
  bool m_gathering = false;
  bool m_failed = false;
};

}  // namespace kelvora::store
