// The file side of the collection: opening and closing both binary files, the index file as a
// whole, and one item record at a time. Every transfer is checked against the count asked.
#include <algorithm>
#include <array>

#include "store/collection.h"
#include "store/file_error.h"

namespace kelvora::store {
namespace {

bool readIndexBytes(BinaryFile& file, std::span<std::uint8_t> into) {
  return file.read(into) == into.size();
}

bool writeExactly(BinaryFile& file, std::span<const std::uint8_t> from) {
  return file.write(from) == from.size();
}

}  // namespace

std::filesystem::path withSuffix(const std::filesystem::path& base, const char* suffix) {
  std::filesystem::path p = base;
  p += suffix;
  return p;
}

std::filesystem::path textsPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kdb");
}
std::filesystem::path indexPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kbi");
}
std::filesystem::path settingsPath(const std::filesystem::path& base) {
  return withSuffix(base, ".cfg");
}

void Collection::closeFiles() {
  if (m_indexFile) m_indexFile->close();
  if (m_textsFile) m_textsFile->close();
  m_indexFile.reset();
  m_textsFile.reset();
}

bool Collection::openFiles(const std::filesystem::path& base, bool textsOnly) {
  closeCollection();
  OpenError error = OpenError::None;
  if (textsOnly) {
    m_files.remove(indexPath(base));
  } else {
    m_indexFile = m_files.openExclusive(indexPath(base), error);
    if (!m_indexFile) {
      reportFileError(m_messages, error);
      closeFiles();
      return false;
    }
  }
  auto texts = m_files.openExclusive(textsPath(base), error);
  if (!texts) {
    reportFileError(m_messages, error);
    closeFiles();
    return false;
  }
  m_textsFile = std::make_unique<RecordFile>(std::move(texts));
  basePath = base;
  m_indexFrozen = false;
  m_indexEntriesOnDisk = 0;
  settings.resetFonts();
  readSettings(settings, m_files, base);
  isOpen = true;
  return true;
}

void Collection::closeCollection() {
  if (m_indexFile && m_textsFile) flushItem();
  if (m_indexFile) saveIndex();
  closeFiles();
  if (isOpen && settings.settingsChanged) writeSettings(settings, m_files, basePath);
  isOpen = false;
}

bool Collection::collectionExists(const std::filesystem::path& base) {
  return m_files.openForReading(textsPath(base)) != nullptr;
}

void Collection::deleteCollectionFiles(const std::filesystem::path& base) {
  closeCollection();
  m_files.remove(textsPath(base));
  m_files.remove(indexPath(base));
}

bool Collection::loadIndex() {
  if (!isOpen || !m_indexFile) return false;
  // A failed load leaves an empty table rather than a header that disagrees with it.
  auto fail = [this] {
    m_indexFrozen = true;
    header = IndexHeader{};
    std::fill(table.begin(), table.end(), ItemIndexEntry{});
    return false;
  };
  std::array<std::uint8_t, kIndexHeaderSize> headerBytes{};
  if (!m_indexFile->seek(0)) return fail();
  if (!readIndexBytes(*m_indexFile, std::span(headerBytes).first(2))) return fail();
  if ((headerBytes[0] | (headerBytes[1] << 8)) != kIndexHeaderSize) return fail();
  if (!readIndexBytes(*m_indexFile, std::span(headerBytes).subspan(2))) return fail();
  IndexHeader read = decodeIndexHeader(headerBytes);
  if (read.entrySize != kIndexEntrySize || read.itemCount > MaxItems) return fail();

  std::fill(table.begin(), table.end(), ItemIndexEntry{});
  Bytes entries(static_cast<std::size_t>(read.itemCount) * kIndexEntrySize);
  if (!readIndexBytes(*m_indexFile, entries)) return fail();
  for (std::size_t p = 0; p < read.itemCount; ++p) {
    table[p] = decodeIndexEntry(std::span<const std::uint8_t, kIndexEntrySize>(
        entries.data() + p * kIndexEntrySize, kIndexEntrySize));
  }
  header = read;
  m_indexEntriesOnDisk = read.itemCount;
  recount();
  return true;
}

bool Collection::saveIndex() {
  if (!m_indexFile || m_indexFrozen) return false;
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;
  const std::size_t count = std::min<std::size_t>(header.itemCount, MaxItems);
  Bytes out;
  out.reserve(kIndexHeaderSize + count * kIndexEntrySize);
  auto head = encodeIndexHeader(header);
  out.insert(out.end(), head.begin(), head.end());
  for (std::size_t p = 0; p < count; ++p) appendIndexEntry(out, table[p]);
  // Header and table go out in one transfer; the file is never truncated.
  const bool ok = m_indexFile->seek(0) && writeExactly(*m_indexFile, out);
  m_indexEntriesOnDisk = ok ? header.itemCount : 0;
  return ok;
}

bool Collection::readItem(std::uint16_t position) {
  if (!isOpen || !m_textsFile || position >= header.itemCount) return false;
  flushItem();
  const ItemIndexEntry& entry = table[position];
  if (entry.recordOffset == kNoRecord) {
    // Nothing to read: the item behaves as the blank new item it is, rather than taking the
    // learning data or texts of whatever was loaded before.
    prepareBlankItem();
    return false;
  }
  loaded.header = ItemRecordHeader{};
  std::array<std::uint8_t, kRecordHeaderSize> headBytes{};
  if (!m_textsFile->read(entry.recordOffset, headBytes)) return false;
  loaded.header = decodeRecordHeader(headBytes);
  m_loadedLengthsCut = loaded.header.questionLength > kMaxStoredLength ||
                       loaded.header.answerLength > kMaxStoredLength;
  if (loaded.header.questionLength > kMaxStoredLength) loaded.header.questionLength = 0;
  if (loaded.header.answerLength > kMaxStoredLength) loaded.header.answerLength = 0;

  m_recordBuffer.resize(paddedTextSize(loaded.header.questionLength, loaded.header.answerLength));
  if (!m_textsFile->read(entry.recordOffset + kRecordHeaderSize, m_recordBuffer)) return false;
  const TextEncoding enc = encoding();
  std::size_t used = decodeText(loaded.question, m_recordBuffer, loaded.header.questionLength, enc);
  decodeText(loaded.answer, std::span(m_recordBuffer).subspan(used), loaded.header.answerLength,
             enc);
  loaded.loadedPosition = currentPosition;
  return true;
}

bool Collection::writeItem(std::uint16_t position) {
  if (!isOpen || !m_textsFile || position >= header.itemCount) return false;
  ItemIndexEntry& entry = table[position];
  const std::uint32_t oldSize =
      paddedTextSize(loaded.header.questionLength, loaded.header.answerLength);

  ItemRecordHeader head = loaded.header;
  Bytes& record = m_recordBuffer;
  record.assign(kRecordHeaderSize, 0);
  const TextEncoding enc = encoding();
  head.questionLength = encodeText(record, loaded.question, enc);
  head.answerLength = encodeText(record, loaded.answer, enc);
  const std::uint32_t newSize = paddedTextSize(head.questionLength, head.answerLength);
  if (newSize != static_cast<std::uint32_t>(head.questionLength) + head.answerLength) {
    record.push_back(kPadByte);
  }
  head.interval = entry.interval;
  head.lastRepetition = entry.lastRepetition;
  auto headBytes = encodeRecordHeader(head);
  std::copy(headBytes.begin(), headBytes.end(), record.begin());

  const std::uint32_t oldOffset = entry.recordOffset;
  if (oldOffset != kNoRecord && newSize == oldSize && !m_loadedLengthsCut) {
    if (!m_textsFile->write(oldOffset, record)) return false;
    loaded.header = head;
    indexEntryChanged(position);
    return true;
  }
  // Grown, shrunk or new: the record goes to the end, so the file stays walkable record by
  // record. An offset that would collide with the no-record mark cannot be stored.
  if (m_textsFile->size() + record.size() >= kNoRecord) return false;
  auto at = m_textsFile->append(record);
  if (!at) return false;
  entry.recordOffset = static_cast<std::uint32_t>(*at);
  loaded.header = head;
  m_loadedLengthsCut = false;

  bool ok = true;
  if (oldOffset != kNoRecord) {
    // The new copy is complete before the old one is marked dead, so a crash in between
    // leaves a live copy of the item either way.
    std::array<std::uint8_t, 2> dead = {kDeadSlot & 0xFF, kDeadSlot >> 8};
    ok = m_textsFile->write(oldOffset + record_header_offset::kSlotNumber, dead);
  }
  indexEntryChanged(position);
  return ok;
}

}  // namespace kelvora::store
