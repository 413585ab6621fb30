// Importing another learner's file into a new collection with every card's progress: the
// whole source is read into memory first, checked against the collection's limits, and only
// then written, by way of the import's new texts file, so a source that cannot be read, or
// holds too much, leaves no collection made or changed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "peers/anki_mapping.h"
#include "peers/kvtml_reader.h"
#include "peers/peer_ports.h"
#include "peers/text_table_reader.h"
#include "store/collection.h"

namespace kelvora::peers {

enum class PeerImportOutcome {
  Imported,
  Unreadable,    // the source is damaged or not of its kind: error says why
  TooManyItems,  // sourceItems says how many the source holds
  NotStored,     // the new collection could not be written (the user was told)
  Cancelled,
};

struct PeerImportResult {
  PeerImportOutcome outcome = PeerImportOutcome::Imported;
  std::string error;            // for Unreadable, in words for the user
  std::size_t sourceItems = 0;  // items the source would give
  // What the source calls the things that become items, one and many.
  std::u16string_view unitOne = u"card";
  std::u16string_view unitMany = u"cards";
  std::size_t added = 0;
  std::size_t leftOut = 0;              // cards the source holds that could not become items
  std::size_t textsCut = 0;             // texts longer than an item holds, cut to fit
  std::size_t renderedFirstFields = 0;  // cards shown as their first two fields
  // What the source had that a collection cannot keep.
  std::size_t reviewRows = 0;
  std::size_t decks = 0;
  std::size_t notesWithTags = 0;
  std::size_t notesWithMoreFields = 0;
  // Rows and entries passed over: empty ones, and columns past those taken.
  std::size_t emptySkipped = 0;
  std::size_t rowsWithMoreColumns = 0;
  // Media: copied, not copied (unreadable or not written), refused for their names, or listed
  // and missing.
  std::size_t mediaFiles = 0;
  std::size_t mediaFailed = 0;
  std::size_t mediaRefused = 0;
  std::size_t mediaMissing = 0;
  // Into the collection open at base: the items that took the source's new texts, those that
  // had them already, and the collection's items the source does not hold, which stay as they
  // are. For TooManyItems, collectionItems is how many it holds already and sourceItems how many
  // the source would add.
  bool merged = false;
  std::size_t updated = 0;
  std::size_t unchanged = 0;
  std::size_t notInSource = 0;
  std::size_t collectionItems = 0;
  std::size_t replacedUnits = 0;  // characters the collection's text form stored as "?"
};

// The folder beside a collection that holds its media files: BASE_media.
std::filesystem::path mediaFolderOf(const std::filesystem::path& base);

// Reads the Anki package at packagePath into a new collection at base, whose files the
// caller has checked or deleted. Once the collection is stored, the package's media files are
// copied into its media folder, each replacing a file of its name through a temporary; a file
// that cannot be copied is counted and leaves the collection as it is. With unicodeWhenNeeded a
// compressed collection that would lose characters is stored in Unicode. The collection is HTML
// when any text holds markup.
PeerImportResult importAnkiPackage(store::Collection& collection, const PeerLibraries& libraries,
                                   const std::filesystem::path& packagePath,
                                   const std::filesystem::path& base, bool unicodeWhenNeeded);

// The largest text table or KVTML file read: they are read whole into memory.
inline constexpr std::uint64_t kMaxPeerFileBytes = std::uint64_t{256} << 20;

// Reads a text table (CSV, TSV, other learners' text exports) into a new collection at base:
// one new item per row, question and answer from the columns settings names. The collection is
// HTML when the table says so in a "#html:true" line.
PeerImportResult importTextTable(store::Collection& collection, const std::filesystem::path& path,
                                 const std::filesystem::path& base, const TableSettings& settings,
                                 bool unicodeWhenNeeded);

// Reads a KVTML 2 file into a new collection at base: one item per entry, the texts of the
// pair's two identifiers, with the progress of that direction.
PeerImportResult importKvtml(store::Collection& collection, const std::filesystem::path& path,
                             const std::filesystem::path& base, const KvtmlPair& pair,
                             bool unicodeWhenNeeded);

// The learning data of a KVTML grade: box 0 is new, boxes 1 to 7 learned with intervals of 1,
// 2, 4, 7, 14, 30 and 60 days from the grade's date (today when it has none), the box as the
// repetitions and the grade's error count as the lapses; an inactive entry is Dismissed.
ItemLearning kvtmlLearning(const KvtmlEntry& entry, store::DayNumber today);

// A Mnemosyne 2 card's columns as its database holds them.
struct MnemosyneCard {
  std::int64_t grade = -1;  // -1 not yet learned, 0 and 1 failed, 2 to 5 passed
  double easiness = 2.5;
  std::int64_t lastRep = -1;  // seconds since 1970, -1 for never
  std::int64_t nextRep = -1;
  std::int64_t lapses = 0;
  std::int64_t retRepsSinceLapse = 0;
  bool active = true;
};

// Its learning data: not yet learned is new; failed waits in the drill with its lapses; passed
// is learned, the interval the days from its last repetition to its next (at least 1), the
// repetitions one more than its passes since its last lapse; an inactive card is Dismissed.
ItemLearning mnemosyneLearning(const MnemosyneCard& card,
                               const std::function<store::DayNumber(std::int64_t)>& localDay);

// Reads a Mnemosyne 2 database (opened read-only) into a new collection at base: one item per
// card, its question and answer as the database stores them, with its progress.
PeerImportResult importMnemosyne(store::Collection& collection, const PeerLibraries& libraries,
                                 const std::filesystem::path& path,
                                 const std::filesystem::path& base, bool unicodeWhenNeeded);

enum class PeerKind { AnkiPackage, MnemosyneDatabase, Kvtml, TextTable };

// What a file is, from its first bytes: a zip is an Anki package, an SQLite database a
// Mnemosyne one, an XML document with a <kvtml> root a KVTML file, and anything else a text
// table. Nothing when the file cannot be read.
std::optional<PeerKind> detectPeerKind(store::FileSystem& files, const std::filesystem::path& path);

// The file at path, of whichever kind it is, into a new collection at base; a text table with
// its first two columns and a detected separator, a KVTML file with its first two identifiers.
PeerImportResult importPeerFile(store::Collection& collection, const PeerLibraries& libraries,
                                const std::filesystem::path& path,
                                const std::filesystem::path& base, bool unicodeWhenNeeded);

// The result as the user reads it: what was imported into which collection, then what was
// left out and what could not be kept. For a failure, the reason.
std::u16string peerImportMessage(const PeerImportResult& result, const std::filesystem::path& base);

}  // namespace kelvora::peers
