// Encoding, appending and reading back journal transactions.
#include "store/journal.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "store/crc32.h"

namespace kelvora::store {
namespace {

std::array<std::uint8_t, kJournalHeaderSize> encodeJournalHeader(std::uint32_t epoch) {
  Bytes out;
  out.insert(out.end(), std::begin(kJournalMagic), std::end(kJournalMagic));
  put16(out, kJournalVersion);
  put16(out, 0);
  put32(out, epoch);
  put32(out, crc32(out));
  std::array<std::uint8_t, kJournalHeaderSize> bytes{};
  std::copy(out.begin(), out.end(), bytes.begin());
  return bytes;
}

// The epoch of a sound header, or nothing.
std::optional<std::uint32_t> decodeJournalHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kJournalHeaderSize) return std::nullopt;
  if (!std::equal(std::begin(kJournalMagic), std::end(kJournalMagic), bytes.begin())) {
    return std::nullopt;
  }
  ByteReader r(bytes.subspan(journal_header_offset::kVersion));
  const std::uint16_t version = r.get16();
  r.get16();
  const std::uint32_t epoch = r.get32();
  const std::uint32_t crc = r.get32();
  if (version != kJournalVersion || crc != crc32(bytes.first(journal_header_offset::kCrc))) {
    return std::nullopt;
  }
  return epoch;
}

}  // namespace

std::filesystem::path journalPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kjn");
}

void JournalPayload::write(JournalTarget target, std::uint32_t offset,
                           std::span<const std::uint8_t> bytes) {
  put8(m_bytes, static_cast<std::uint8_t>(JournalOp::Write));
  put8(m_bytes, static_cast<std::uint8_t>(target));
  put32(m_bytes, offset);
  put32(m_bytes, static_cast<std::uint32_t>(bytes.size()));
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void JournalPayload::truncate(JournalTarget target, std::uint32_t size) {
  put8(m_bytes, static_cast<std::uint8_t>(JournalOp::Truncate));
  put8(m_bytes, static_cast<std::uint8_t>(target));
  put32(m_bytes, size);
}

void JournalPayload::install() { put8(m_bytes, static_cast<std::uint8_t>(JournalOp::Install)); }

void JournalPayload::links() { put8(m_bytes, static_cast<std::uint8_t>(JournalOp::Links)); }

bool decodeJournalPayload(std::span<const std::uint8_t> payload,
                          std::vector<JournalOperation>& operations) {
  operations.clear();
  std::size_t pos = 0;
  auto target = [](std::uint8_t code) -> std::optional<JournalTarget> {
    if (code == static_cast<std::uint8_t>(JournalTarget::Texts)) return JournalTarget::Texts;
    if (code == static_cast<std::uint8_t>(JournalTarget::Index)) return JournalTarget::Index;
    return std::nullopt;
  };
  while (pos < payload.size()) {
    ByteReader r(payload.subspan(pos));
    JournalOperation op;
    const std::uint8_t code = r.get8();
    if (code == static_cast<std::uint8_t>(JournalOp::Install) ||
        code == static_cast<std::uint8_t>(JournalOp::Links)) {
      op.op = static_cast<JournalOp>(code);
    } else if (code == static_cast<std::uint8_t>(JournalOp::Write) ||
               code == static_cast<std::uint8_t>(JournalOp::Truncate)) {
      op.op = static_cast<JournalOp>(code);
      auto t = target(r.get8());
      op.offset = r.get32();
      if (!t || !r.ok()) return false;
      op.target = *t;
      if (op.op == JournalOp::Write) {
        const std::uint32_t length = r.get32();
        if (!r.ok() || payload.size() - pos - r.position() < length) return false;
        op.bytes = payload.subspan(pos + r.position(), length);
        pos += length;
      }
    } else {
      return false;
    }
    pos += r.position();
    operations.push_back(op);
  }
  return true;
}

JournalContents readJournal(BinaryFile& file) {
  JournalContents contents;
  // The whole file in one read: a journal is applied before it grows past a few megabytes.
  auto size = file.size();
  if (!size) {
    contents.readFailed = true;
    contents.error = EIO;
    return contents;
  }
  Bytes bytes(static_cast<std::size_t>(*size));
  IoResult r = file.readAt(0, bytes);
  if (r.failed()) {
    contents.readFailed = true;
    contents.error = r.error;
    return contents;
  }
  bytes.resize(r.count);
  const std::span<const std::uint8_t> all(bytes);
  const auto epoch = decodeJournalHeader(all);
  if (!epoch) return contents;
  std::size_t at = kJournalHeaderSize;
  while (all.size() - at >= kTransactionHeaderSize) {
    ByteReader fr(all.subspan(at, kTransactionHeaderSize));
    const std::uint32_t length = fr.get32();
    const std::uint32_t txEpoch = fr.get32();
    const std::uint32_t crc = fr.get32();
    if (txEpoch != *epoch || length > kMaxTransactionPayload) break;
    if (all.size() - at - kTransactionHeaderSize < length) break;
    const auto payload = all.subspan(at + kTransactionHeaderSize, length);
    if (crc32(payload, crc32(all.subspan(at, 8))) != crc) break;
    contents.transactions.emplace_back(payload.begin(), payload.end());
    at += kTransactionHeaderSize + length;
  }
  return contents;
}

std::unique_ptr<Journal> Journal::start(FileSystem& files, const std::filesystem::path& path,
                                        IoResult& result) {
  OpenError error = OpenError::None;
  auto file = files.openExclusive(path, error);
  if (!file) {
    result = IoResult::failure(error == OpenError::AccessDenied ? EACCES : EIO);
    return nullptr;
  }
  std::unique_ptr<Journal> journal(new Journal(std::move(file)));
  // A journal already there (its transactions applied) gets a later epoch, so that none of
  // its old transactions can ever be taken for new ones.
  std::array<std::uint8_t, kJournalHeaderSize> head{};
  if (journal->m_file->readAt(0, head).ok()) {
    if (auto old = decodeJournalHeader(head)) journal->m_epoch = *old + 1;
  }
  result = journal->writeHeader();
  if (result.failed()) return nullptr;
  return journal;
}

Journal::~Journal() { (void)close(); }

IoResult Journal::writeHeader() {
  IoResult r = m_file->truncate(kJournalHeaderSize);
  if (r.failed()) return r;
  auto head = encodeJournalHeader(m_epoch);
  r = m_file->writeAt(0, head);
  if (!r.ok()) return r.failed() ? r : IoResult::failure(EIO);
  m_end = kJournalHeaderSize;
  return r;
}

IoResult Journal::append(std::span<const std::uint8_t> payload) {
  if (!m_file) return IoResult::failure(EBADF);
  if (payload.size() > kMaxTransactionPayload) return IoResult::failure(EFBIG);
  m_frame.clear();
  put32(m_frame, static_cast<std::uint32_t>(payload.size()));
  put32(m_frame, m_epoch);
  put32(m_frame, crc32(payload, crc32(m_frame)));
  m_frame.insert(m_frame.end(), payload.begin(), payload.end());
  IoResult r = m_file->writeAt(m_end, m_frame);
  if (!r.ok()) {
    // Whatever part arrived is cut off again where possible; otherwise the next append
    // overwrites it, and a reader stops at its broken CRC before then.
    (void)m_file->truncate(m_end);
    return r.failed() ? r : IoResult::failure(EIO);
  }
  m_end += m_frame.size();
  m_unsynced = true;
  return r;
}

IoResult Journal::sync() {
  if (!m_file) return IoResult::failure(EBADF);
  if (!m_unsynced) return IoResult::done(0);
  IoResult r = m_file->sync();
  if (!r.failed()) m_unsynced = false;
  return r;
}

IoResult Journal::reset() {
  if (!m_file) return IoResult::failure(EBADF);
  ++m_epoch;
  IoResult r = writeHeader();
  if (r.failed()) return r;
  r = m_file->sync();
  if (!r.failed()) m_unsynced = false;
  return r;
}

IoResult Journal::close() {
  if (!m_file) return IoResult::done(0);
  IoResult r = m_file->close();
  m_file.reset();
  return r;
}

}  // namespace kelvora::store
