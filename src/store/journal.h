// The journal beside an open collection (BASE.kjn): every change is appended here as one
// transaction before any byte of it reaches the texts or index file, so that a kill or a power
// cut leaves each change either whole or absent. See doc/journal_file.md.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "store/byte_io.h"
#include "store/file_system.h"
#include "store/journal_format.h"

namespace kelvora::store {

// The journal of the collection at base.
std::filesystem::path journalPath(const std::filesystem::path& base);

// Builds the payload of one transaction.
class JournalPayload {
 public:
  void write(JournalTarget target, std::uint32_t offset, std::span<const std::uint8_t> bytes);
  void truncate(JournalTarget target, std::uint32_t size);
  void install();
  void links();
  const Bytes& bytes() const { return m_bytes; }
  bool empty() const { return m_bytes.empty(); }
  void clear() { m_bytes.clear(); }

 private:
  Bytes m_bytes;
};

struct JournalOperation {
  JournalOp op = JournalOp::Write;
  JournalTarget target = JournalTarget::Texts;
  std::uint32_t offset = 0;             // Write: where; Truncate: the new size
  std::span<const std::uint8_t> bytes;  // Write: what (inside the payload)
};

// Splits a payload into its operations; false when it is malformed (unknown operation or
// target, or a length running past its end).
bool decodeJournalPayload(std::span<const std::uint8_t> payload,
                          std::vector<JournalOperation>& operations);

// What a journal file holds: the payloads of its whole transactions, in order. A torn or
// damaged transaction, or one left from an earlier epoch, ends the list.
struct JournalContents {
  bool readFailed = false;  // the file could not be read: nothing may be concluded
  int error = 0;
  std::vector<Bytes> transactions;
};
JournalContents readJournal(BinaryFile& file);

// The journal file while a collection is open and changing.
class Journal {
 public:
  // Opens or creates the journal and starts a new epoch in it; nullptr when that fails.
  static std::unique_ptr<Journal> start(FileSystem& files, const std::filesystem::path& path,
                                        IoResult& result);
  ~Journal();

  // Appends one transaction; it is on the disk after the next sync(). A failed append leaves
  // no part of itself behind for a reader: the next one overwrites it.
  IoResult append(std::span<const std::uint8_t> payload);
  // Makes every appended transaction durable.
  IoResult sync();
  bool hasUnsynced() const { return m_unsynced; }
  // Everything appended reached the collection files: the journal starts over, empty, in a
  // new epoch, and that is on the disk before this returns.
  IoResult reset();
  std::uint64_t size() const { return m_end; }
  IoResult close();

 private:
  explicit Journal(std::unique_ptr<BinaryFile> file) : m_file(std::move(file)) {}
  IoResult writeHeader();

  std::unique_ptr<BinaryFile> m_file;
  std::uint32_t m_epoch = 1;
  std::uint64_t m_end = kJournalHeaderSize;
  bool m_unsynced = false;
  Bytes m_frame;
};

}  // namespace kelvora::store
