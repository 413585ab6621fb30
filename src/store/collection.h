// The one open collection: its item table, counters, current position and the loaded item,
// with the operations that read and write items through the collection files. Other
// subsystems read and change the public fields directly, on the one user-interface thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/collection_events.h"
#include "store/collection_format.h"
#include "store/day_number.h"
#include "store/file_system.h"
#include "store/index_header.h"
#include "store/item_index_entry.h"
#include "store/item_record_header.h"
#include "store/item_status.h"
#include "store/message_port.h"
#include "store/progress.h"
#include "store/record_file.h"
#include "store/settings.h"
#include "store/text_encoding.h"

namespace kelvora::store {

struct CollectionCounters {
  std::uint16_t memorizedCount = 0;    // Drill, Memorized or Outstanding
  std::uint16_t outstandingCount = 0;  // Outstanding
  std::uint16_t drillCount = 0;        // Drill
  std::uint16_t dismissedCount = 0;    // Dismissed

  bool operator==(const CollectionCounters&) const = default;
};

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
  // reports false, as there was nothing to read).
  bool readItem(std::uint16_t position);
  // Writes the loaded item as the record of the item at position: in place when its stored
  // size is unchanged, otherwise appended at the end with the old record marked dead.
  bool writeItem(std::uint16_t position);
  // Writes the loaded item back if modified; then it belongs to the current position.
  void flushItem();

  // ---- files ----
  bool openFiles(const std::filesystem::path& base, bool textsOnly);
  void closeCollection();
  bool collectionExists(const std::filesystem::path& base);
  void deleteCollectionFiles(const std::filesystem::path& base);
  bool loadIndex();
  bool saveIndex();
  bool hasIndexFile() const { return m_indexFile != nullptr; }
  RecordFile* textsFile() { return m_textsFile.get(); }

  // The index file is written after every change to the item table, so that a crash loses
  // nothing that was already written to the texts file. Bulk passes hold a batch: appended
  // records are gathered and written in large pieces, and the index is written once, when
  // the outermost batch ends. If gathered records could not be written, the index file is
  // left as it was before the batch (every entry there points at a whole record) and is not
  // written again until the collection is closed and opened anew.
  void indexChanged();
  // Only the entry at position (and the header) changed since the index was last written:
  // those bytes alone go to the file, the same bytes a whole write would put there.
  void indexEntryChanged(std::uint16_t position);
  class Batch {
   public:
    explicit Batch(Collection& c);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    Collection& m_c;
  };

 private:
  void prepareBlankItem();
  void closeFiles();

  FileSystem& m_files;
  MessagePort& m_messages;
  TodayFn m_today;
  CollectionEvents m_noEvents;
  CollectionEvents* m_events = &m_noEvents;
  std::unique_ptr<RecordFile> m_textsFile;
  std::unique_ptr<BinaryFile> m_indexFile;
  Bytes m_recordBuffer;  // one record's bytes, reused from item to item
  int m_batchDepth = 0;
  bool m_indexPending = false;
  // The index file is not written until the collection is opened anew: it failed to load (so
  // the next opening looks at it again rather than at an empty table written over it), or
  // the table points at records that never reached the file.
  bool m_indexFrozen = false;
  // How many entries the index file is known to hold as the table holds them: an entry past
  // these can only be written together with the whole table.
  std::uint16_t m_indexEntriesOnDisk = 0;
  // The loaded item's stored lengths were cut to 0 when read, so its record's true size is
  // unknown and a rewrite must not happen in place.
  bool m_loadedLengthsCut = false;
};

// A path with a suffix added to its file name (base + ".kdb"); dots already in base stay.
std::filesystem::path withSuffix(const std::filesystem::path& base, const char* suffix);

// Takes an item with the given status out of the counters, as deleting it or giving it a new
// status does; a counter already at 0 stays there.
void uncountStatus(CollectionCounters& counters, std::uint8_t status);

// The collection files of a base path.
std::filesystem::path textsPath(const std::filesystem::path& base);
std::filesystem::path indexPath(const std::filesystem::path& base);
std::filesystem::path settingsPath(const std::filesystem::path& base);

}  // namespace kelvora::store
