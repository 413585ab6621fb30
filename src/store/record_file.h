// The texts file as the collection reads and writes it: positioned reads through a window
// that serves neighbouring records from memory, with the writes the journal holds and the file
// does not hold yet laid over them. Writes never go to the file directly: they collect in the
// open transaction, move to the committed writes when the journal has them, and reach the file
// when the collection applies the journal (applyCommitted).
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "store/byte_io.h"
#include "store/file_system.h"
#include "store/pending_writes.h"

namespace kelvora::store {

class RecordFile {
 public:
  // Takes the open file and learns its size; nullptr when the size cannot be learned.
  static std::unique_ptr<RecordFile> open(std::unique_ptr<BinaryFile> file);

  // Size in bytes, including every write not yet applied.
  std::uint64_t size() const { return m_end; }

  // Reads exactly into.size() bytes at offset: EndOfFile when the file ends sooner.
  IoResult read(std::uint64_t offset, std::span<std::uint8_t> into);
  // Overwrites bytes at offset, in the open transaction.
  void write(std::uint64_t offset, std::span<const std::uint8_t> from);
  // Adds bytes at the end, in the open transaction, and returns where they start.
  std::uint64_t append(std::span<const std::uint8_t> from);

  // The open transaction's writes.
  const PendingWrites& transaction() const { return m_transaction; }
  // The journal holds the open transaction: its writes become committed.
  void commitTransaction();
  // The open transaction is given up: reads no longer see it.
  void dropTransaction();
  const PendingWrites& committed() const { return m_committed; }
  // Writes the committed writes to the file. On success they are forgotten (the file holds
  // them); on failure they stay, so reads stay true and a later attempt writes them again.
  IoResult applyCommitted();

  BinaryFile& file() { return *m_file; }
  // Hands the file back; this reader is of no more use.
  std::unique_ptr<BinaryFile> releaseFile() { return std::move(m_file); }

 private:
  explicit RecordFile(std::unique_ptr<BinaryFile> file, std::uint64_t size);

  // The read-ahead window: small for a read far from the last one (learning draws items from
  // anywhere in the file, and each needs a few hundred bytes), the largest size while reads go
  // on through the file in order (export, find, rebuild).
  static constexpr std::size_t kWindowSize = std::size_t{64} * 1024;
  static constexpr std::size_t kSmallWindowSize = std::size_t{4} * 1024;

  std::unique_ptr<BinaryFile> m_file;
  std::uint64_t m_fileSize = 0;  // bytes of the file itself that reads may use
  std::uint64_t m_end = 0;
  std::uint64_t m_committedEnd = 0;  // m_end without the open transaction
  std::uint64_t m_windowStart = 0;
  Bytes m_window;  // bytes of the file from m_windowStart, as last read
  PendingWrites m_committed;
  PendingWrites m_transaction;
};

}  // namespace kelvora::store
