// The file side of the collection: opening and closing both binary files, the index file as a
// whole, and one item record at a time. Every read result is checked; writes go through the
// journal (collection_journal.cc).
#include <algorithm>
#include <array>
#include <cerrno>

#include "store/atomic_file.h"
#include "store/collection.h"
#include "store/file_error.h"

namespace kelvora::store {

std::filesystem::path textsPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kdb");
}
std::filesystem::path indexPath(const std::filesystem::path& base) {
  return withSuffix(base, ".kbi");
}
std::filesystem::path linksPath(const std::filesystem::path& base) {
  return withSuffix(base, ".links");
}

void Collection::closeFiles() {
  m_undo.close();
  if (m_journal) (void)m_journal->close();
  if (m_indexFile) (void)m_indexFile->close();
  if (m_textsFile) (void)m_textsFile->file().close();
  m_journal.reset();
  m_indexFile.reset();
  m_textsFile.reset();
  m_indexTransaction.clear();
  m_indexCommitted.clear();
  // A links file the journal holds is put in place by the next opening.
  m_linksStaged = false;
  m_linksPending = false;
}

bool Collection::lockFiles(const std::filesystem::path& base) {
  // Twice at most: finishing an import's installation puts new files in place of the ones held.
  for (int attempt = 0; attempt < 2; ++attempt) {
    OpenError error = OpenError::None;
    m_indexFile = m_files.openExclusive(indexPath(base), error);
    if (!m_indexFile) {
      reportFileError(m_messages, error);
      closeFiles();
      return false;
    }
    auto texts = m_files.openExclusive(textsPath(base), error);
    if (!texts) {
      reportFileError(m_messages, error);
      closeFiles();
      return false;
    }
    basePath = base;
    const Recovery recovery = recover(*texts);
    if (recovery == Recovery::Failed) {
      (void)texts->close();
      closeFiles();
      return false;
    }
    if (recovery == Recovery::Installed) {
      (void)texts->close();
      closeFiles();
      continue;
    }
    m_textsFile = RecordFile::open(std::move(texts));
    break;
  }
  if (!m_textsFile) {
    closeFiles();
    return false;
  }
  // A temporary left by a kill while a settings file was being replaced is of no use.
  (void)m_files.remove(temporaryPathFor(settingsPath(base)));
  m_indexFrozen = false;
  m_allDirty = false;
  m_dirtyEntries.clear();
  m_loadedUnsound = false;
  m_reportedUnreadable.assign(MaxItems, false);
  m_checkpointReported = false;
  return true;
}

bool Collection::lockAndReadSettings(const std::filesystem::path& base) {
  (void)closeCollection();  // a failure was reported; the files are released either way
  if (!lockFiles(base)) return false;
  m_undo.open(m_files, base);
  settings.resetFonts();
  readSettings(settings, m_files, base);
  isOpen = true;
  return true;
}

bool Collection::openFiles(const std::filesystem::path& base) {
  if (!lockAndReadSettings(base)) return false;
  // The settings file is the only place that says which text form the records use: it exists
  // from the first moment a collection does.
  if (settings.settingsChanged && !writeSettings(settings, m_files, base)) {
    reportSave(EIO);
  }
  return true;
}

bool Collection::openForReplacing(const std::filesystem::path& base) {
  return lockAndReadSettings(base);
}

bool Collection::closeCollection() {
  if (!isOpen && !m_textsFile && !m_indexFile) return true;
  bool ok = true;
  if (m_indexFile && m_textsFile) {
    ok = flushItem() && ok;
    ok = storeTableDifferences() && ok;
  }
  // Settings go out while the files are still held, so that two programs closing in turn
  // cannot write over each other's settings.
  if (isOpen && settings.settingsChanged && !writeSettings(settings, m_files, basePath)) {
    if (ok) reportSave(EIO);
    ok = false;
  }
  // Past this point a failure loses nothing (the journal is applied, or kept for the next
  // opening) but is still the user's to hear of, once.
  int error = 0;
  if (m_journal) {
    if (checkpoint()) {
      // Applied and synced: the journal goes. Its close (and the data files' below) would
      // only repeat a write error the change that met it has already reported and undone;
      // the syncs of the checkpoint are what tell that everything is on the disk.
      (void)m_journal->close();
      m_journal.reset();
      IoResult r = m_files.remove(journalPath(basePath));
      if (!r.failed()) r = m_files.syncFolder(folderOf(basePath));
      if (r.failed()) error = r.error;
    } else {
      ok = false;  // reported by the checkpoint; the next opening finishes the journal
    }
  }
  if (error != 0) {
    if (ok) reportSave(error);
    ok = false;
  }
  closeFiles();
  isOpen = false;
  return ok;
}

bool Collection::storeSettings() {
  if (!isOpen || !settings.settingsChanged) return true;
  if (writeSettings(settings, m_files, basePath)) return true;
  reportSave(EIO);
  return false;
}

void Collection::closeWithoutWriting() {
  closeFiles();
  isOpen = false;
}

bool Collection::collectionExists(const std::filesystem::path& base) {
  return m_files.openForReading(textsPath(base)) != nullptr;
}

bool Collection::loadIndex() {
  if (!isOpen || !m_indexFile) return false;
  // A failed load leaves an empty table rather than a header that disagrees with it.
  auto fail = [this] {
    m_indexFrozen = true;
    header = IndexHeader{};
    clearTable(table);
    takeCommittedState();
    return false;
  };
  std::array<std::uint8_t, kIndexHeaderSize> headerBytes{};
  IoResult r = m_indexFile->readAt(0, headerBytes);
  if (r.failed()) {
    reportReadFailure(m_messages, r.error);
    return fail();
  }
  if (r.count < 2 || (headerBytes[0] | (headerBytes[1] << 8)) != kIndexHeaderSize) return fail();
  if (!r.ok()) return fail();
  IndexHeader read = decodeIndexHeader(headerBytes);
  if (read.entrySize != kIndexEntrySize || read.itemCount > MaxItems) return fail();

  clearTable(table);
  Bytes entries(static_cast<std::size_t>(read.itemCount) * kIndexEntrySize);
  r = m_indexFile->readAt(kIndexHeaderSize, entries);
  if (r.failed()) {
    reportReadFailure(m_messages, r.error);
    return fail();
  }
  if (!r.ok()) return fail();
  for (std::size_t p = 0; p < read.itemCount; ++p) {
    table[p] = decodeIndexEntry(std::span<const std::uint8_t, kIndexEntrySize>(
        entries.data() + p * kIndexEntrySize, kIndexEntrySize));
  }
  header = read;
  takeCommittedState();
  m_indexFrozen = false;
  recount();
  return true;
}

bool Collection::readItem(std::uint16_t position) {
  if (!isOpen || !m_textsFile || position >= header.itemCount) return false;
  (void)flushItem();  // a failure is reported there; the item read next is unaffected
  const ItemIndexEntry& entry = table[position];
  if (entry.recordOffset == kNoRecord) {
    // Nothing to read: the item behaves as the blank new item it is, rather than taking the
    // learning data or texts of whatever was loaded before.
    prepareBlankItem();
    return false;
  }
  // Whatever goes wrong below, the loaded item is this empty one and is never written.
  auto unreadable = [&](const IoResult& r) {
    loaded.question.clear();
    loaded.answer.clear();
    loaded.header = newItemHeader();
    loaded.loadedPosition = currentPosition;
    m_loadedUnsound = true;
    m_loadedLengthsCut = false;
    if (!m_reportedUnreadable[position]) {
      m_reportedUnreadable[position] = true;
      reportReadFailure(m_messages, r.failed() ? r.error : 0);
    }
    return false;
  };
  std::array<std::uint8_t, kRecordHeaderSize> headBytes{};
  IoResult r = m_textsFile->read(entry.recordOffset, headBytes);
  if (!r.ok()) return unreadable(r);
  ItemRecordHeader head = decodeRecordHeader(headBytes);
  const bool cut = head.questionLength > kMaxStoredLength || head.answerLength > kMaxStoredLength;
  if (head.questionLength > kMaxStoredLength) head.questionLength = 0;
  if (head.answerLength > kMaxStoredLength) head.answerLength = 0;

  m_recordBuffer.resize(paddedTextSize(head.questionLength, head.answerLength));
  r = m_textsFile->read(entry.recordOffset + kRecordHeaderSize, m_recordBuffer);
  if (!r.ok()) return unreadable(r);
  loaded.header = head;
  m_loadedLengthsCut = cut;
  m_loadedUnsound = false;
  const TextEncoding enc = encoding();
  std::size_t used = decodeText(loaded.question, m_recordBuffer, loaded.header.questionLength, enc);
  decodeText(loaded.answer, std::span(m_recordBuffer).subspan(used), loaded.header.answerLength,
             enc);
  loaded.loadedPosition = currentPosition;
  return true;
}

bool Collection::readRecordHeader(std::uint16_t position, ItemRecordHeader& out) {
  if (!isOpen || !m_textsFile || position >= header.itemCount) return false;
  const ItemIndexEntry& entry = table[position];
  if (entry.recordOffset == kNoRecord) return false;
  std::array<std::uint8_t, kRecordHeaderSize> headBytes{};
  if (!m_textsFile->read(entry.recordOffset, headBytes).ok()) return false;
  out = decodeRecordHeader(headBytes);
  return true;
}

bool Collection::writeItem(std::uint16_t position) {
  if (!isOpen || !m_textsFile || position >= header.itemCount) return false;
  if (m_loadedUnsound && loaded.loadedPosition == position) {
    // Its entry points where no sound record is: a write there would overwrite another item's
    // record or stretch the file. The user was told when it was read; whatever the caller
    // changed in its entry goes back with it.
    table[position] = m_committedTable[position];
    recount();
    return false;
  }
  // An offset that would collide with the no-record mark cannot be stored.
  if (m_textsFile->size() + kRecordHeaderSize + 2 * MaxTextLength * 2 >= kNoRecord) {
    reportSave(EFBIG);
    return false;
  }
  Batch change(*this, Batch::Kind::Single);
  ItemIndexEntry& entry = table[position];
  const std::uint32_t oldSize =
      paddedTextSize(loaded.header.questionLength, loaded.header.answerLength);

  ItemRecordHeader head = loaded.header;
  // A record read through an entry that still points at a superseded copy carries the dead
  // mark; written as it is, the new record would be born dead and lost at the next rebuild.
  if (head.slotNumber == kDeadSlot) head.slotNumber = takeSlotNumber();
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
    m_textsFile->write(oldOffset, record);
  } else {
    // Grown, shrunk or new: the record goes to the end, so the file stays walkable record by
    // record, and the old copy is marked dead in the same change.
    entry.recordOffset = static_cast<std::uint32_t>(m_textsFile->append(record));
    if (oldOffset != kNoRecord) {
      std::array<std::uint8_t, 2> dead = {kDeadSlot & 0xFF, kDeadSlot >> 8};
      m_textsFile->write(oldOffset + record_header_offset::kSlotNumber, dead);
    }
  }
  loaded.header = head;
  m_loadedLengthsCut = false;
  markEntryDirty(position);
  // Refused by the journal, the change is undone and the loaded item read again as it was.
  return change.commit();
}

}  // namespace kelvora::store
