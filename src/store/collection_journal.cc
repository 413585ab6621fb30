// Changes as journal transactions: gathering what one change writes, handing it to the journal
// whole, undoing it in memory when the journal refuses it, applying the journal to the files,
// and finishing after an unclean end what the journal holds.
#include <algorithm>
#include <cerrno>

#include "store/atomic_file.h"
#include "store/collection.h"
#include "store/file_error.h"

namespace kelvora::store {
namespace {

// Index file bytes for entries [first, first + count) of the table.
Bytes encodeEntries(const std::vector<ItemIndexEntry>& table, std::size_t first,
                    std::size_t count) {
  Bytes out;
  out.reserve(count * kIndexEntrySize);
  for (std::size_t p = first; p < first + count; ++p) appendIndexEntry(out, table[p]);
  return out;
}

// Applies every whole transaction again, in order: each is a set of plain writes, so applying
// one that had already reached the files changes nothing. Writes gather per file and go out as
// joined runs; a truncation first sends out what gathered before it. install tells whether a
// transaction asked for the imported texts file to be installed, links whether one asked for
// the staged links file.
IoResult replayTransactions(const JournalContents& contents, BinaryFile& texts, BinaryFile& index,
                            bool& install, bool& links) {
  std::vector<JournalOperation> operations;
  PendingWrites gathered[2];
  auto fileFor = [&](JournalTarget t) -> BinaryFile& {
    return t == JournalTarget::Texts ? texts : index;
  };
  IoResult r = IoResult::done(0);
  for (const Bytes& payload : contents.transactions) {
    if (!decodeJournalPayload(payload, operations)) break;
    for (const JournalOperation& op : operations) {
      PendingWrites& pending = gathered[static_cast<int>(op.target)];
      if (op.op == JournalOp::Write) {
        pending.add(op.offset, op.bytes);
      } else if (op.op == JournalOp::Truncate) {
        r = pending.applyTo(fileFor(op.target));
        pending.clear();
        if (!r.failed()) r = fileFor(op.target).truncate(op.offset);
      } else if (op.op == JournalOp::Install) {
        install = true;
      } else {
        links = true;
      }
      if (r.failed()) return r;
    }
  }
  for (JournalTarget t : {JournalTarget::Texts, JournalTarget::Index}) {
    if (!r.failed()) r = gathered[static_cast<int>(t)].applyTo(fileFor(t));
  }
  return r;
}

}  // namespace

void Collection::reportSave(int error) { reportSaveFailure(m_messages, error); }

void Collection::markEntryDirty(std::uint16_t position) {
  if (!m_allDirty) m_dirtyEntries.push_back(position);
}

bool Collection::indexChanged() {
  m_allDirty = true;
  m_dirtyEntries.clear();
  if (m_batchDepth > 0) return true;
  return commitChange();
}

bool Collection::indexEntryChanged(std::uint16_t position) {
  markEntryDirty(position);
  if (m_batchDepth > 0) return true;
  return commitChange();
}

void Collection::copyChangedEntries(const std::vector<ItemIndexEntry>& from,
                                    std::vector<ItemIndexEntry>& to) const {
  if (m_allDirty) {
    // Entries past both item counts are no items of either table.
    const std::size_t count =
        std::min<std::size_t>(std::max(header.itemCount, m_committedHeader.itemCount), MaxItems);
    std::copy_n(from.begin(), count, to.begin());
  } else {
    for (std::uint16_t p : m_dirtyEntries) to[p] = from[p];
  }
}

void Collection::noteCommittedStatuses() {
  if (m_allDirty || header.itemCount != m_statusIndex.size()) {
    m_statusIndexStale = true;
    return;
  }
  if (m_statusIndexStale) return;  // built from the table at its next use
  for (std::uint16_t p : m_dirtyEntries) m_statusIndex.set(p, table[p].status);
}

void Collection::takeCommittedState() {
  m_statusIndexStale = true;
  m_committedHeader = header;
  std::copy_n(table.begin(), std::min<std::size_t>(header.itemCount, MaxItems),
              m_committedTable.begin());
  m_dirtyEntries.clear();
  m_allDirty = false;
}

bool Collection::storeTableDifferences() {
  // Recount turns due items Outstanding in the table alone; those, and anything else not yet
  // in the journal, go out with the rest of the table.
  if (m_indexFrozen) return true;
  const std::size_t count = std::min<std::size_t>(header.itemCount, MaxItems);
  const bool same = header == m_committedHeader &&
                    std::equal(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(count),
                               m_committedTable.begin());
  if (same && !m_allDirty && m_dirtyEntries.empty()) return true;
  return indexChanged();
}

// The header and the changed entries, as index writes of the change being made; nothing while
// the table is unchanged or the index is frozen.
void Collection::addIndexChange(JournalPayload& payload) {
  const bool indexTouched = m_allDirty || !m_dirtyEntries.empty() || header != m_committedHeader;
  if (!indexTouched || m_indexFrozen) return;
  header.headerSize = kIndexHeaderSize;
  header.entrySize = kIndexEntrySize;
  header.recordHeaderSize = kRecordHeaderSize;
  auto head = encodeIndexHeader(header);
  m_indexTransaction.add(0, head);
  const std::size_t count = std::min<std::size_t>(header.itemCount, MaxItems);
  if (m_allDirty) {
    m_indexTransaction.add(kIndexHeaderSize, encodeEntries(table, 0, count));
  } else {
    for (std::uint16_t p : m_dirtyEntries) {
      if (p >= count) continue;
      m_indexTransaction.add(kIndexHeaderSize + std::uint64_t{p} * kIndexEntrySize,
                             encodeEntries(table, p, 1));
    }
  }
  m_indexTransaction.forEach([&](std::uint64_t offset, std::span<const std::uint8_t> b) {
    payload.write(JournalTarget::Index, static_cast<std::uint32_t>(offset), b);
  });
}

bool Collection::commitChange() {
  if (!m_textsFile || !m_indexFile) {
    m_dirtyEntries.clear();
    m_allDirty = false;
    return false;
  }
  JournalPayload payload;
  m_textsFile->transaction().forEach([&](std::uint64_t offset, std::span<const std::uint8_t> b) {
    payload.write(JournalTarget::Texts, static_cast<std::uint32_t>(offset), b);
  });
  addIndexChange(payload);
  const bool links = m_linksStaged;
  m_linksStaged = false;
  // Links alone change nothing the collection holds: they go with a change or not at all.
  if (links && !payload.empty()) payload.links();
  if (payload.empty()) {
    m_dirtyEntries.clear();
    m_allDirty = false;
    return true;
  }
  IoResult r = IoResult::done(0);
  if (!m_journal) m_journal = Journal::start(m_files, journalPath(basePath), r);
  const bool firstUnsynced = m_journal && !m_journal->hasUnsynced();
  if (m_journal) r = m_journal->append(payload.bytes());
  if (r.failed()) {
    rollBack();
    reportSave(r.error);
    return false;
  }
  // The journal has the change: it is as good as in the files.
  if (links) m_linksPending = true;
  m_textsFile->commitTransaction();
  m_indexCommitted.absorb(m_indexTransaction);
  copyChangedEntries(table, m_committedTable);
  noteCommittedStatuses();
  m_committedHeader = header;
  m_dirtyEntries.clear();
  m_allDirty = false;
  if (m_nowMs && firstUnsynced) m_unsyncedSinceMs = m_nowMs();
  // From here the change is stored whatever follows: a checkpoint that fails is reported,
  // and the journal finishes it at the next opening.
  if (m_textsFile->committed().byteCount() + m_indexCommitted.byteCount() >= kCheckpointBytes ||
      payload.bytes().size() >= kCheckpointBytes / 16) {
    (void)checkpoint();
  } else {
    syncIfDue();
  }
  return true;
}

void Collection::rollBack() {
  m_linksStaged = false;
  if (m_textsFile) m_textsFile->dropTransaction();
  m_indexTransaction.clear();
  copyChangedEntries(m_committedTable, table);
  header = m_committedHeader;
  m_dirtyEntries.clear();
  m_allDirty = false;
  // The loaded item goes back to what its record says; one without a record stays blank.
  loaded.itemModified = false;
  const std::uint16_t at = loaded.loadedPosition;
  if (at < header.itemCount && table[at].recordOffset != kNoRecord && !m_loadedUnsound) {
    const std::uint16_t keep = currentPosition;
    currentPosition = at;
    readItem(at);
    currentPosition = keep;
  }
  recount();
}

void Collection::syncIfDue() {
  if (!m_journal || !m_journal->hasUnsynced()) return;
  if (m_nowMs && m_nowMs() - m_unsyncedSinceMs < kSyncPeriodMs) return;
  IoResult r = m_journal->sync();
  if (r.failed() && !m_checkpointReported) {
    m_checkpointReported = true;
    reportSave(r.error);
  }
}

bool Collection::checkpoint() {
  if (!m_journal || !m_textsFile || !m_indexFile) return true;
  if (m_journal->size() == kJournalHeaderSize) return true;  // nothing since the last one
  IoResult r = m_journal->sync();
  if (!r.failed()) r = m_textsFile->applyCommitted();
  if (!r.failed()) {
    r = m_indexCommitted.applyTo(*m_indexFile);
    if (!r.failed()) m_indexCommitted.clear();
  }
  if (!r.failed()) r = m_textsFile->file().sync();
  if (!r.failed()) r = m_indexFile->sync();
  // The links go in place before the journal that holds them starts over.
  if (!r.failed() && m_linksPending) r = installLinks();
  if (!r.failed()) m_linksPending = false;
  if (!r.failed()) r = m_journal->reset();
  if (r.failed()) {
    // Nothing is lost: the journal keeps every change, reads still see them, and the next
    // checkpoint, or the next opening, writes them again. The user hears of it once.
    if (!m_checkpointReported) {
      m_checkpointReported = true;
      reportSave(r.error);
    }
    return false;
  }
  return true;
}

Collection::Recovery Collection::recover(BinaryFile& texts) {
  const std::filesystem::path path = journalPath(basePath);
  if (!m_files.exists(path)) {
    // A texts file an import wrote but never got to install is of no use, nor are links staged
    // for a change that never reached the journal.
    (void)m_files.remove(temporaryPathFor(textsPath(basePath)));
    (void)m_files.remove(temporaryPathFor(linksPath(basePath)));
    return Recovery::Clean;
  }
  OpenError error = OpenError::None;
  auto file = m_files.openExclusive(path, error);
  if (!file) {
    reportFileError(m_messages, error);
    return Recovery::Failed;
  }
  JournalContents contents = readJournal(*file);
  if (contents.readFailed) {
    reportReadFailure(m_messages, contents.error);
    return Recovery::Failed;
  }
  bool install = false;
  bool links = false;
  IoResult r = replayTransactions(contents, texts, *m_indexFile, install, links);
  if (!r.failed()) r = texts.sync();
  if (!r.failed()) r = m_indexFile->sync();
  if (!r.failed() && install) r = installTemporaries(links);
  if (!r.failed() && !install && links) r = installLinks();
  if (!r.failed()) {
    (void)file->close();
    r = m_files.remove(path);
    if (!r.failed()) r = m_files.syncFolder(folderOf(basePath));
  }
  if (r.failed()) {
    // The journal stays: nothing it holds is lost, and the next opening tries again.
    reportSave(r.error);
    return Recovery::Failed;
  }
  if (!install) (void)m_files.remove(temporaryPathFor(textsPath(basePath)));
  if (!links) (void)m_files.remove(temporaryPathFor(linksPath(basePath)));
  return install ? Recovery::Installed : Recovery::Clean;
}

bool Collection::clearCollectionFiles() {
  if (!m_textsFile || !m_indexFile) return false;
  // Both truncations are one transaction, applied at once: the old collection is either
  // whole or gone.
  JournalPayload payload;
  payload.truncate(JournalTarget::Texts, 0);
  payload.truncate(JournalTarget::Index, 0);
  IoResult r = IoResult::done(0);
  if (!checkpoint()) return false;
  if (!m_journal) m_journal = Journal::start(m_files, journalPath(basePath), r);
  if (m_journal) r = m_journal->append(payload.bytes());
  if (!r.failed()) r = m_journal->sync();
  if (r.failed()) {
    // Nothing was emptied: the old collection stays as it was.
    reportSave(r.error);
    return false;
  }
  r = m_textsFile->file().truncate(0);
  if (!r.failed()) r = m_indexFile->truncate(0);
  if (!r.failed()) r = m_textsFile->file().sync();
  if (!r.failed()) r = m_indexFile->sync();
  if (!r.failed()) r = m_journal->reset();
  if (r.failed()) {
    // The journal holds the emptying: the next opening finishes it. This session cannot go on
    // over files in between.
    reportSave(r.error);
    closeWithoutWriting();
    return false;
  }
  auto texts = std::move(m_textsFile);
  m_textsFile = RecordFile::open(texts->releaseFile());
  header = IndexHeader{};
  counters = {};
  clearTable(table);
  takeCommittedState();
  (void)m_undo.clear();  // the steps were of the items emptied
  return m_textsFile != nullptr;
}

// The import's new texts file, and its settings file when it staged one, take the places of the
// old ones, and the old index goes: its first opening builds the new one. A temporary already
// renamed by an earlier attempt is not there any more, which is fine.
IoResult Collection::installTemporaries(bool links) {
  IoResult r = IoResult::done(0);
  for (const std::filesystem::path& target : {textsPath(basePath), settingsPath(basePath)}) {
    const std::filesystem::path temporary = temporaryPathFor(target);
    if (!r.failed() && m_files.exists(temporary)) r = m_files.rename(temporary, target);
  }
  // The links of the items replaced would match the new ones wrongly.
  if (!r.failed()) r = links ? installLinks() : m_files.remove(linksPath(basePath));
  if (!r.failed()) r = m_files.remove(indexPath(basePath));
  // The undo steps were of the items replaced.
  if (!r.failed()) r = m_files.remove(undoPath(basePath));
  if (!r.failed()) r = m_files.syncFolder(folderOf(basePath));
  return r;
}

IoResult Collection::installLinks() {
  const std::filesystem::path temporary = temporaryPathFor(linksPath(basePath));
  if (!m_files.exists(temporary)) return IoResult::done(0);
  IoResult r = m_files.rename(temporary, linksPath(basePath));
  if (!r.failed()) r = m_files.syncFolder(folderOf(basePath));
  return r;
}

bool Collection::installImportedTexts() {
  if (!m_textsFile || !m_indexFile) return false;
  const bool links = m_linksStaged;
  m_linksStaged = false;
  JournalPayload payload;
  payload.install();
  if (links) payload.links();
  IoResult r = IoResult::done(0);
  if (!m_journal) m_journal = Journal::start(m_files, journalPath(basePath), r);
  if (m_journal) r = m_journal->append(payload.bytes());
  if (!r.failed()) r = m_journal->sync();
  if (r.failed()) {
    // Nothing is replaced: the old collection stays exactly as it was.
    reportSave(r.error);
    if (m_journal) (void)m_journal->close();
    m_journal.reset();
    (void)m_files.remove(journalPath(basePath));
    closeWithoutWriting();
    return false;
  }
  // From here the import is done: the journal on the disk says so, and whatever of the steps
  // below does not happen now, the next opening does.
  r = installTemporaries(links);
  if (!r.failed()) {
    (void)m_journal->close();
    m_journal.reset();
    r = m_files.remove(journalPath(basePath));
    if (!r.failed()) (void)m_files.syncFolder(folderOf(basePath));
  }
  // The files held are those of the collection that was replaced.
  closeWithoutWriting();
  return true;
}

}  // namespace kelvora::store
