// The one open collection: its item table, counters, current position and the loaded item,
// with the operations that read and write items through the collection files. Other
// subsystems read and change the public fields directly, on the one user-interface thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/collection_counters.h"
#include "store/collection_events.h"
#include "store/collection_format.h"
#include "store/day_number.h"
#include "store/file_system.h"
#include "store/index_header.h"
#include "store/item_index_entry.h"
#include "store/item_record_header.h"
#include "store/item_status.h"
#include "store/journal.h"
#include "store/message_port.h"
#include "store/pending_writes.h"
#include "store/progress.h"
#include "store/record_file.h"
#include "store/settings.h"
#include "store/status_index.h"
#include "store/text_encoding.h"
#include "store/undo_log.h"

namespace kelvora::store {

// The item whose header and texts are held in memory for display, editing and learning.
struct LoadedItem {
  ItemRecordHeader header;
  std::u16string question;
  std::u16string answer;
  std::uint16_t loadedPosition = 0;  // where flushItem writes it back
  bool itemModified = false;         // the texts changed and must be written back
};

class Collection {
 public:
  Collection(FileSystem& files, MessagePort& messages, TodayFn today);
  ~Collection();
  Collection(const Collection&) = delete;
  Collection& operator=(const Collection&) = delete;

  // Screen refreshes and other reactions of the layers above; never null.
  void setEvents(CollectionEvents* events);
  CollectionEvents& events() { return *m_events; }
  FileSystem& files() { return m_files; }
  MessagePort& messages() { return m_messages; }
  DayNumber today() const { return m_today(); }

  // ---- the model ----
  bool isOpen = false;
  std::filesystem::path basePath;  // the collection's files are this plus ".kdb", ".kbi", ".cfg"
  IndexHeader header;
  std::vector<ItemIndexEntry> table;  // always MaxItems entries; the first itemCount are items
  CollectionCounters counters;
  std::uint16_t currentPosition = 0;
  LoadedItem loaded;
  Settings settings;
  Progress progress;  // the "Working" window of long operations

  TextEncoding encoding() const { return encodingForFlag(settings.utf8); }

  // Recomputes the counters and turns due Memorized items Outstanding; then tells the events.
  // Does nothing while no collection is open.
  void recount();

  // The position of the n-th item (from 0) of the status in table order, or of the last such
  // item when fewer have it; nothing when none has. Pending, Drill and Outstanding are found in
  // O(log n) steps through an index that follows every committed change; other statuses by a
  // walk of the table.
  std::optional<std::uint16_t> nthOfStatus(ItemStatus status, int n);
  // Removes Deleted entries, keeping the order of the rest; nextSlotNumber becomes the item
  // count before compaction. Positions past the new end keep their bytes.
  void compactTable();
  // Builds the item table anew from the records of the texts file, for an index file that is
  // missing or damaged. Each live record goes to the slot its header names; a slot taken
  // already, or one the table cannot hold, sends the record to the next slot above the highest
  // in the file. Deleted records and slots no record fills are left out. A record cut short by
  // the end of the file ends the walk. False only when no texts file is open.
  bool rebuildIndex();
  // Hands out the slot number of a new item. The dead-record mark is never handed out: the
  // count wraps to 0 instead, and the rebuild resolves any duplicate that follows.
  std::uint16_t takeSlotNumber();

  // ---- items ----
  // Writes back a modified loaded item, then reads the record of the item at position into
  // the loaded item. False, with nothing changed, when no collection is open or position is
  // past the last item. An item that has no record yet reads as a blank new item (and
  // reports false, as there was nothing to read). An item whose record cannot be read back
  // (its entry points outside the file, or the disk fails) reads as an empty item, is
  // reported once, and is never written: no write may land where its entry points.
  bool readItem(std::uint16_t position);
  // Writes the loaded item as the record of the item at position: in place when its stored
  // size is unchanged, otherwise appended at the end with the old record marked dead. The
  // record and the item's entry form one change (see Batch). False, after the user was told,
  // when it could not be stored; the item is then as it was before.
  [[nodiscard]] bool writeItem(std::uint16_t position);
  // The header of the record of the item at position, read without loading the item, for walks
  // that need only the learning fields or the slot number. False when the item has no record
  // or its header cannot be read; readItem reports such an item when it is loaded.
  bool readRecordHeader(std::uint16_t position, ItemRecordHeader& out);
  // Writes the loaded item back if modified; then it belongs to the current position.
  [[nodiscard]] bool flushItem();

  // ---- files ----
  // Opens the collection files, holding both exclusively, finishes any change that an
  // unclean end (a kill, a crash, a power cut) left in the journal, and reads the settings;
  // a collection without a settings file gets one at once.
  bool openFiles(const std::filesystem::path& base);
  // As openFiles, for an import that will replace the whole collection: the settings file is
  // read but not created.
  bool openForReplacing(const std::filesystem::path& base);
  // Stores everything (loaded item, index, settings), applies the journal to the files and
  // removes it, then releases the files. False, after the user was told, when something could
  // not be stored; what the journal holds is then finished at the next opening.
  [[nodiscard]] bool closeCollection();
  // Writes a changed setting to the settings file at once (a whole-file replacement), while the
  // collection is open; false, after the user was told, when it could not be stored. Settings
  // changed while no collection is open wait for the next one.
  bool storeSettings();
  // Releases the files without writing anything more (a failed or refused import).
  void closeWithoutWriting();
  bool collectionExists(const std::filesystem::path& base);
  // Empties the open collection's texts and index files, as one change (creating anew).
  bool clearCollectionFiles();
  // Puts the texts file that an import wrote beside the collection (BASE.kdb.tmp) in place of
  // the texts file, and the settings it staged (BASE.cfg.tmp, stageSettings) in place of the
  // settings file, and removes the index file, as one change, then releases the files. False,
  // after the user was told, with the old collection untouched, when the change could not
  // even be journaled; once journaled it is done, finished at the next opening if need be.
  bool installImportedTexts();
  // The links file the caller wrote and synced at temporaryPathFor(linksPath(basePath)) takes
  // the place of BASE.links in the same change as the next one committed, or with the next
  // install. Until then it is only staged: a change rolled back or abandoned drops it, and the
  // caller removes the temporary. An install without links staged removes BASE.links, whose
  // keys were of the items replaced.
  void stageLinks() { m_linksStaged = true; }
  bool loadIndex();
  bool hasIndexFile() const { return m_indexFile != nullptr; }
  RecordFile* textsFile() { return m_textsFile.get(); }
  // The grades and status commands Undo grade can take back (BASE.kun).
  UndoLog& undoLog() { return m_undo; }

  // Every change to the item table or the texts file is one transaction in the journal: the
  // record writes and the changed index entries of one item write, or everything a Batch
  // holds. A change the journal could not take is undone in memory (table, header, counters,
  // loaded item) and reported. The journal reaches the disk at least every two seconds while
  // changes are pending (syncIfDue) and at close; its changes reach the collection files when
  // enough have gathered, after bulk changes and at close (checkpoint).
  // The whole table changed.
  [[nodiscard]] bool indexChanged();
  // Only the entry at position (and the header) changed.
  [[nodiscard]] bool indexEntryChanged(std::uint16_t position);
  class Batch {
   public:
    // Bulk work goes to the files and the disk as soon as the journal has it; a single
    // change only to the journal.
    enum class Kind { Bulk, Single };
    explicit Batch(Collection& c, Kind kind = Kind::Bulk);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    // Ends the batch: for the outermost one, the journal takes everything or nothing. False
    // when it took nothing (the user was told). An inner batch always gives true.
    [[nodiscard]] bool commit();
    // Ends the outermost batch taking nothing: the whole table, the header and the loaded item
    // go back to what the journal holds, and the files stay as they were. The work was stopped.
    void abandon();

   private:
    Collection& m_c;
    Kind m_kind;
    bool m_open = true;
  };
  // Writes what the journal holds into the collection files, syncs them and starts the
  // journal over.
  [[nodiscard]] bool checkpoint();
  // The clock for grouping journal syncs, in milliseconds from any fixed start. Without one,
  // every change is synced as it is made.
  void setSyncClock(std::function<std::uint64_t()> nowMs) { m_nowMs = std::move(nowMs); }
  // Syncs the journal when changes have waited two seconds or longer. The program calls this
  // from a timer; every change calls it too.
  void syncIfDue();
  static constexpr std::uint64_t kSyncPeriodMs = 2000;
  // Applied to the files once this much has gathered in the journal.
  static constexpr std::size_t kCheckpointBytes = std::size_t{4} * 1024 * 1024;

 private:
  void prepareBlankItem();
  void closeFiles();
  bool lockFiles(const std::filesystem::path& base);
  bool lockAndReadSettings(const std::filesystem::path& base);
  // The entries of this change, from one table to the other (all of them when all changed).
  void copyChangedEntries(const std::vector<ItemIndexEntry>& from,
                          std::vector<ItemIndexEntry>& to) const;
  enum class Recovery { Clean, Installed, Failed };
  // Finishes, with both files held, whatever the journal of the collection holds.
  Recovery recover(BinaryFile& texts);
  IoResult installTemporaries(bool links);
  // The staged links file in place of the links file, once the change that staged it is in
  // the journal; a temporary already renamed is not there any more.
  IoResult installLinks();
  bool commitChange();
  void addIndexChange(JournalPayload& payload);
  void rollBack();
  void markEntryDirty(std::uint16_t position);
  // The status index takes in the entries of the change just committed.
  void noteCommittedStatuses();
  void takeCommittedState();
  bool storeTableDifferences();
  void reportSave(int error);

  FileSystem& m_files;
  MessagePort& m_messages;
  TodayFn m_today;
  UndoLog m_undo;
  std::function<std::uint64_t()> m_nowMs;
  CollectionEvents m_noEvents;
  CollectionEvents* m_events = &m_noEvents;
  std::unique_ptr<RecordFile> m_textsFile;
  std::unique_ptr<BinaryFile> m_indexFile;
  std::unique_ptr<Journal> m_journal;
  Bytes m_recordBuffer;  // one record's bytes, reused from item to item
  int m_batchDepth = 0;
  // The table and header as the journal holds them; a change it refuses goes back to these.
  IndexHeader m_committedHeader;
  std::vector<ItemIndexEntry> m_committedTable;
  std::vector<std::uint16_t> m_dirtyEntries;
  bool m_allDirty = false;
  PendingWrites m_indexTransaction;
  PendingWrites m_indexCommitted;  // index writes the journal holds and the file does not
  std::uint64_t m_unsyncedSinceMs = 0;
  // The index file failed to load and no rebuild replaced it: it is not written over, so the
  // next opening meets the same file again rather than an empty table that hides every record.
  bool m_indexFrozen = false;
  // The loaded item's stored lengths were cut to 0 when read, so its record's true size is
  // unknown and a rewrite must not happen in place.
  bool m_loadedLengthsCut = false;
  // The loaded item's record could not be read: nothing is written for it.
  bool m_loadedUnsound = false;
  std::vector<bool> m_reportedUnreadable;
  bool m_checkpointReported = false;
  bool m_linksStaged = false;   // the next commit or install takes the staged links file
  bool m_linksPending = false;  // the journal has it; the next checkpoint puts it in place
  // The statuses of the table as committed; built again from the table when stale.
  StatusIndex m_statusIndex;
  bool m_statusIndexStale = true;
};

// Sets every entry of the table to zero bytes in one pass (a clear entry by entry costs a call
// per entry in checked builds, and the table has MaxItems of them).
void clearTable(std::vector<ItemIndexEntry>& table);

// Takes an item with the given status out of the counters, as deleting it or giving it a new
// status does; a counter already at 0 stays there.
void uncountStatus(CollectionCounters& counters, std::uint8_t status);
// The counters' share of one item of the status, added; a counter stays at 65535 at most.
void countStatus(CollectionCounters& counters, std::uint8_t status);

// The collection files of a base path (the settings file's is in settings.h).
std::filesystem::path textsPath(const std::filesystem::path& base);
std::filesystem::path indexPath(const std::filesystem::path& base);
// Where each imported item came from in its source, kept beside the collection: BASE.links.
std::filesystem::path linksPath(const std::filesystem::path& base);

}  // namespace kelvora::store
