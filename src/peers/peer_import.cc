// The import of a peer's source: read whole, then handed to the import's sink.
#include "peers/peer_import.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <vector>

#include "exchange/exchange_commands.h"
#include "exchange/import_sink.h"
#include "learning/calendar_date.h"
#include "peers/anki_collection.h"
#include "peers/anki_package.h"
#include "peers/anki_template.h"
#include "peers/links_file.h"
#include "peers/peer_merge.h"
#include "peers/source_items.h"
#include "store/atomic_file.h"
#include "store/collection_format.h"
#include "store/item_status.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::peers {
namespace {

// What an import that ran comes to: stored, stopped by the user, or not stored, which is said.
PeerImportOutcome importOutcome(store::Collection& c, bool imported) {
  if (imported) return PeerImportOutcome::Imported;
  if (c.progress.wasCancelled()) return PeerImportOutcome::Cancelled;
  c.messages().showMessage(store::texts::kImportFailed, store::MessageKind::Error);
  return PeerImportOutcome::NotStored;
}

// The end of an import that ends with its outcome set here (one that stopped before writing
// anything, or a merge, which closes no collection): the progress window goes.
PeerImportResult endedWith(store::Collection& c, PeerImportResult result,
                           PeerImportOutcome outcome) {
  result.outcome = outcome;
  c.progress.closeProgress();
  return result;
}

// Writes the items into a new collection at base.
PeerImportOutcome storeItems(store::Collection& c, const std::filesystem::path& base,
                             const SourceItems& source, bool unicodeWhenNeeded) {
  const auto read = [&](exchange::ItemSink& sink, store::Settings& settings) {
    if (source.html) settings.html = 1;
    for (std::size_t i = 0; i < source.items.size(); ++i) {
      if (c.progress.stopAt(source.items.size() + i, 2 * source.items.size())) {
        return exchange::ImportRead::Stopped;
      }
      const SourceItem& item = source.items[i];
      if (!sink.append(item.header, source.question(item), source.answer(item))) {
        return exchange::ImportRead::Stopped;
      }
    }
    return stageNewLinks(c, source.keys) ? exchange::ImportRead::Whole
                                         : exchange::ImportRead::SourceFailed;
  };
  return importOutcome(c, exchange::importItems(c, base, read, unicodeWhenNeeded));
}

// The source's whole bytes through the store's file port, or false with error set.
bool readWhole(store::FileSystem& files, const std::filesystem::path& path, Bytes& out,
               std::string& error) {
  store::OpenError openError = store::OpenError::None;
  auto file = files.openForReading(path, &openError);
  if (!file) {
    error = "the file cannot be opened";
    return false;
  }
  const std::optional<std::uint64_t> size = file->size();
  if (!size) {
    error = "the file cannot be read";
    return false;
  }
  if (*size > kMaxPeerFileBytes) {
    error = "the file is larger than " + std::to_string(kMaxPeerFileBytes >> 20) + " MiB";
    return false;
  }
  out.resize(static_cast<std::size_t>(*size));
  const store::IoResult r = file->readAt(0, out);
  if (!r.ok()) {
    error = "the file cannot be read";
    return false;
  }
  return true;
}

// Whether the import goes into the collection open at base rather than a new one.
bool mergingInto(const store::Collection& c, const std::filesystem::path& base) {
  return c.isOpen && c.basePath == base;
}

// After the source is read whole: refused when it does not fit, else stored, in a new
// collection or merged into the open one.
PeerImportResult finishImport(store::Collection& c, const std::filesystem::path& base,
                              const SourceItems& source, bool unicodeWhenNeeded,
                              PeerImportResult result) {
  result.textsCut = source.textsCut;
  result.sourceItems = source.count();
  if (source.count() > store::MaxItems) {
    return endedWith(c, std::move(result), PeerImportOutcome::TooManyItems);
  }
  if (mergingInto(c, base)) {
    const PeerImportOutcome outcome = mergeSourceItems(c, source, result);
    if (outcome == PeerImportOutcome::NotStored) {
      c.messages().showMessage(store::texts::kImportFailed, store::MessageKind::Error);
    }
    return endedWith(c, std::move(result), outcome);
  }
  result.outcome = storeItems(c, base, source, unicodeWhenNeeded);
  if (result.outcome == PeerImportOutcome::Imported) result.added = source.items.size();
  return result;
}

// Writes count media files into the collection's media folder: read(i, bytes) gives the i-th
// file's name and bytes, or false when it cannot be read. Each file is written whole to a
// temporary, synced and renamed over a file of its name, and the folder is synced once at the
// end, so thousands of files cost one folder sync; a kill leaves each file old or new.
void writeMediaFiles(store::Collection& c, const std::filesystem::path& base, std::size_t count,
                     const std::function<bool(std::size_t, std::string&, Bytes&)>& read,
                     PeerImportResult& result) {
  if (count == 0) return;
  store::FileSystem& files = c.files();
  const std::filesystem::path folder = mediaFolderOf(base);
  if (files.createFolder(folder).failed()) {
    result.mediaFailed += count;
    return;
  }
  std::string name;
  Bytes bytes;
  for (std::size_t i = 0; i < count; ++i) {
    if (!read(i, name, bytes)) {
      ++result.mediaFailed;
      continue;
    }
    auto out = store::AtomicFile::create(files, folder / name);
    if (!out || !out->file().writeAt(0, bytes).ok() ||
        out->commit(store::AtomicFile::FolderSync::Later).failed()) {
      ++result.mediaFailed;  // a temporary left is removed with out
      continue;
    }
    ++result.mediaFiles;
  }
  if (result.mediaFiles > 0 && files.syncFolder(folder).failed()) {
    // The files are written, but their names may not have reached the disk.
    result.mediaFailed += result.mediaFiles;
    result.mediaFiles = 0;
  }
}

// The files of the media folder beside a Mnemosyne database (NAME_media for NAME.db) into the
// collection's media folder; the folder's subfolders are not read.
void copyMnemosyneMedia(store::Collection& c, const PeerLibraries& libraries,
                        const std::filesystem::path& database, const std::filesystem::path& base,
                        PeerImportResult& result) {
  if (!libraries.listFolder) return;
  const std::filesystem::path folder =
      database.parent_path() / (database.stem().string() + "_media");
  std::vector<std::string> names;
  std::string why;
  if (!libraries.listFolder(folder, names, why)) return;
  std::vector<std::string> safe;
  for (std::string& name : names) {
    if (isSafeMediaName(name)) {
      safe.push_back(std::move(name));
    } else {
      ++result.mediaRefused;
    }
  }
  writeMediaFiles(
      c, base, safe.size(),
      [&](std::size_t i, std::string& name, Bytes& bytes) {
        name = safe[i];
        return readWhole(c.files(), folder / name, bytes, why);
      },
      result);
}

// The package's media files into the collection's media folder.
void copyMedia(store::Collection& c, const PeerLibraries& libraries, AnkiPackage& package,
               const PackageLimits& limits, const std::filesystem::path& base,
               PeerImportResult& result) {
  std::string why;
  writeMediaFiles(
      c, base, package.media.size(),
      [&](std::size_t i, std::string& name, Bytes& bytes) {
        name = package.media[i].name;
        return readMediaFile(libraries, package, package.media[i], limits, bytes, why);
      },
      result);
}

std::u16string count(std::size_t n, std::u16string_view one, std::u16string_view many) {
  return store::decimalText(static_cast<std::int64_t>(n)) + u" " +
         std::u16string(n == 1 ? one : many);
}

}  // namespace

PeerImportResult importAnkiPackage(store::Collection& c, const PeerLibraries& libraries,
                                   const std::filesystem::path& packagePath,
                                   const std::filesystem::path& base, bool unicodeWhenNeeded) {
  PeerImportResult result;
  c.progress.openProgress();
  const auto stop = [&](PeerImportOutcome outcome) {
    return endedWith(c, std::move(result), outcome);
  };
  if (!libraries.openArchive || !libraries.openDatabaseImage || !libraries.decompress ||
      !libraries.localDay) {
    result.error = "this program was built without the libraries that read packages";
    return stop(PeerImportOutcome::Unreadable);
  }
  AnkiPackage package;
  const PackageLimits limits;
  if (!openAnkiPackage(libraries, packagePath, limits, package, result.error)) {
    return stop(PeerImportOutcome::Unreadable);
  }
  result.mediaRefused = package.refusedMediaNames;
  result.mediaMissing = package.missingMediaFiles;

  SourceItems source;
  AnkiReport report;
  const AnkiRead read = readAnkiCollection(
      *package.collection, libraries.localDay, c.today(), store::MaxItems, report, result.error,
      [&](const AnkiItem& item) {
        if (c.progress.stopAt(report.cards,
                              2 * std::max<std::size_t>(report.cardsInCollection, 1))) {
          return false;
        }
        source.add(item.question, item.answer, item.learning,
                   ankiKey(item.noteGuid, item.templateOrdinal));
        return true;
      });
  result.reviewRows = report.reviewRows;
  result.decks = report.decks;
  result.notesWithTags = report.notesWithTags;
  result.notesWithMoreFields = report.notesWithMoreFields;
  result.renderedFirstFields = report.renderedFirstFields;
  result.leftOut = report.cardsWithoutNote;
  switch (read) {
    case AnkiRead::Whole:
      break;
    case AnkiRead::Stopped:
      return stop(PeerImportOutcome::Cancelled);
    case AnkiRead::TooManyCards:
      result.sourceItems = report.cardsInCollection;
      return stop(PeerImportOutcome::TooManyItems);
    case AnkiRead::NewerSchema:
      result.error = "the package was made by a newer Anki than this program knows (schema " +
                     std::to_string(report.schema) + ")";
      return stop(PeerImportOutcome::Unreadable);
    case AnkiRead::Broken:
      return stop(PeerImportOutcome::Unreadable);
  }
  result = finishImport(c, base, source, unicodeWhenNeeded, std::move(result));
  if (result.outcome == PeerImportOutcome::Imported) {
    copyMedia(c, libraries, package, limits, base, result);
  }
  return result;
}

std::filesystem::path mediaFolderOf(const std::filesystem::path& base) {
  return store::withSuffix(base, "_media");
}

PeerImportResult importTextTable(store::Collection& c, const std::filesystem::path& path,
                                 const std::filesystem::path& base, const TableSettings& settings,
                                 bool unicodeWhenNeeded) {
  PeerImportResult result;
  result.unitOne = u"row";
  result.unitMany = u"rows";
  c.progress.openProgress();
  std::u16string text;
  {
    Bytes bytes;
    if (!readWhole(c.files(), path, bytes, result.error)) {
      return endedWith(c, std::move(result), PeerImportOutcome::Unreadable);
    }
    TableEncoding encoding = TableEncoding::Utf8;
    text = decodeTable(bytes, &encoding);
  }
  const ItemLearning fresh{0, 0, 0, store::kNewItemAFactor};
  if (mergingInto(c, base)) {
    // Into an existing collection the rows are gathered first, as the other sources are.
    SourceItems source;
    TableReport report;
    (void)readTable(text, settings, report, [&](std::u16string_view q, std::u16string_view a) {
      source.add(q, a, fresh, tableKey(q));
      return true;
    });
    source.html = report.html;
    result.emptySkipped = report.emptyRowsSkipped;
    result.rowsWithMoreColumns = report.rowsWithExtraColumns;
    return finishImport(c, base, source, unicodeWhenNeeded, std::move(result));
  }
  // The table is in memory already: its rows go straight to the new texts file. One that
  // holds more than a collection does is counted to its end and nothing is kept.
  const store::ItemRecordHeader header = importedItemHeader(fresh);
  LinksText links;
  // Rows are about lines: the progress window counts by them.
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1;
  const auto read = [&](exchange::ItemSink& sink, store::Settings& collectionSettings) {
    TableReport report;
    links = LinksText();                     // the table may be read a second time, into Unicode
    links.reserve(text.size() + 8 * lines);  // about the question column and a slot a row
    std::size_t rows = 0;
    std::size_t cut = 0;
    bool appended = true;
    (void)readTable(text, settings, report, [&](std::u16string_view q, std::u16string_view a) {
      if (++rows > store::MaxItems || !appended) return true;
      if (c.progress.stopAt(rows, std::max(lines, rows + 1))) return false;
      cut += (q.size() > store::MaxTextLength - 1 ? 1 : 0) +
             (a.size() > store::MaxTextLength - 1 ? 1 : 0);
      appended = sink.append(header, q, a);
      links.addTableRow(static_cast<std::uint16_t>(rows - 1), q);
      return true;
    });
    if (report.html) collectionSettings.html = 1;
    result.emptySkipped = report.emptyRowsSkipped;
    result.rowsWithMoreColumns = report.rowsWithExtraColumns;
    result.textsCut = cut;
    result.sourceItems = rows;
    if (rows > store::MaxItems) return exchange::ImportRead::TooManyItems;
    if (c.progress.wasCancelled() || !appended) return exchange::ImportRead::Stopped;
    return stageNewLinks(c, links) ? exchange::ImportRead::Whole
                                   : exchange::ImportRead::SourceFailed;
  };
  const bool imported = exchange::importItems(c, base, read, unicodeWhenNeeded);
  // An oversized table was refused without a word: the result says it.
  result.outcome = !imported && result.sourceItems > store::MaxItems
                       ? PeerImportOutcome::TooManyItems
                       : importOutcome(c, imported);
  if (imported) result.added = result.sourceItems;
  return result;
}

ItemLearning kvtmlLearning(const KvtmlEntry& entry, store::DayNumber today) {
  static constexpr std::uint16_t kBoxIntervals[] = {1, 2, 4, 7, 14, 30, 60};
  ItemLearning item{store::code(store::ItemStatus::Pending), 0, 0, store::kNewItemAFactor, 0, 0};
  if (entry.box >= 1) {
    const std::uint8_t box = std::min<std::uint8_t>(entry.box, 7);
    item.status = store::code(store::ItemStatus::Memorized);
    item.interval = kBoxIntervals[box - 1];
    item.lastRepetition = today;
    if (entry.date) {
      const store::DayNumber day =
          learning::dateToDay(entry.date->year, entry.date->month, entry.date->day);
      if (day != 0) item.lastRepetition = day;
    }
    item.repetitions = box;
    item.lapses = static_cast<std::uint8_t>(std::min<std::uint16_t>(entry.errorCount, 255));
  }
  if (entry.inactive) item.status = store::code(store::ItemStatus::Dismissed);
  return item;
}

PeerImportResult importKvtml(store::Collection& c, const std::filesystem::path& path,
                             const std::filesystem::path& base, const KvtmlPair& pair,
                             bool unicodeWhenNeeded) {
  PeerImportResult result;
  result.unitOne = u"entry";
  result.unitMany = u"entries";
  c.progress.openProgress();
  Bytes bytes;
  SourceItems source;
  KvtmlReport report;
  // The pair as the file numbers its identifiers, the first two when none was named.
  const auto identifier = [&report](int chosen, std::size_t nth) {
    if (chosen >= 0 || report.identifiers.size() <= nth) return chosen;
    return report.identifiers[nth].first;
  };
  const std::string fileName = store::encodeUtf8(store::pathText(path.filename()));
  const bool read =
      readWhole(c.files(), path, bytes, result.error) &&
      readKvtml(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), pair,
                report, [&](const KvtmlEntry& e) {
                  source.add(e.question, e.answer, kvtmlLearning(e, c.today()),
                             kvtmlKey(fileName, e.id, identifier(pair.question, 0),
                                      identifier(pair.answer, 1)));
                  return true;
                });
  if (!read) {
    if (result.error.empty()) result.error = store::encodeUtf8(report.error);
    // The reader's messages are sentences of their own: the result message adds its own.
    if (!result.error.empty() && result.error.back() == '.') result.error.pop_back();
    if (!result.error.empty()) result.error[0] = static_cast<char>(std::tolower(result.error[0]));
    return endedWith(c, std::move(result), PeerImportOutcome::Unreadable);
  }
  result.emptySkipped = report.entriesWithoutText;
  return finishImport(c, base, source, unicodeWhenNeeded, std::move(result));
}

ItemLearning mnemosyneLearning(const MnemosyneCard& card,
                               const std::function<store::DayNumber(std::int64_t)>& localDay) {
  ItemLearning item{store::code(store::ItemStatus::Pending), 0, 0, store::kNewItemAFactor, 0, 0};
  if (card.grade >= 0) {
    // Easiness is a factor such as 2.5; a value that is no number takes the lowest factor.
    const double permille = card.easiness * 1000.0;
    item.aFactor = kLowestImportedFactor;
    if (permille >= kHighestImportedFactor) {
      item.aFactor = kHighestImportedFactor;
    } else if (permille > kLowestImportedFactor) {
      item.aFactor = static_cast<std::uint16_t>(std::lround(permille));
    }
    item.lapses = static_cast<std::uint8_t>(std::clamp<std::int64_t>(card.lapses, 0, 255));
    if (card.lastRep >= 0) item.lastRepetition = localDay(card.lastRep);
  }
  if (card.grade >= 2) {
    item.status = store::code(store::ItemStatus::Memorized);
    const std::int64_t days = card.lastRep >= 0 && card.nextRep > card.lastRep
                                  ? std::int64_t{localDay(card.nextRep)} - item.lastRepetition
                                  : 1;
    item.interval = static_cast<std::uint16_t>(std::clamp<std::int64_t>(days, 1, 0xFFFF));
    item.repetitions =
        static_cast<std::uint8_t>(std::clamp<std::int64_t>(card.retRepsSinceLapse + 1, 1, 255));
  } else if (card.grade >= 0) {
    item.status = store::code(store::ItemStatus::Drill);
  }
  if (!card.active) item.status = store::code(store::ItemStatus::Dismissed);
  return item;
}

PeerImportResult importMnemosyne(store::Collection& c, const PeerLibraries& libraries,
                                 const std::filesystem::path& path,
                                 const std::filesystem::path& base, bool unicodeWhenNeeded) {
  PeerImportResult result;
  c.progress.openProgress();
  const auto unreadable = [&](std::string why) {
    result.error = std::move(why);
    return endedWith(c, std::move(result), PeerImportOutcome::Unreadable);
  };
  if (!libraries.openDatabaseFile || !libraries.localDay) {
    return unreadable("this program was built without the library that reads databases");
  }
  std::string why;
  const std::unique_ptr<Database> db = libraries.openDatabaseFile(path, why);
  if (!db) return unreadable("the file is not a database (" + why + ")");
  if (!db->hasTable("cards") || !db->hasTable("facts")) {
    return unreadable("the database is not a Mnemosyne 2 database");
  }
  SourceItems source;
  const bool read = db->query(
      "SELECT question, answer, grade, easiness, last_rep, next_rep, lapses, "
      "ret_reps_since_lapse, active, id, _id FROM cards ORDER BY _id",
      [&](const DatabaseRow& row) {
        MnemosyneCard card;
        card.grade = row.isNull(2) ? -1 : row.integer(2);
        card.easiness = row.real(3);
        card.lastRep = row.isNull(4) ? -1 : row.integer(4);
        card.nextRep = row.isNull(5) ? -1 : row.integer(5);
        card.lapses = row.integer(6);
        card.retRepsSinceLapse = row.integer(7);
        card.active = row.isNull(8) || row.integer(8) != 0;
        // A card without its id is named by its row.
        const std::string id =
            row.text(9).empty() ? "#" + std::to_string(row.integer(10)) : std::string(row.text(9));
        source.add(row.text(0), row.text(1), mnemosyneLearning(card, libraries.localDay),
                   mnemosyneKey(id));
        return true;
      },
      why);
  if (!read) return unreadable("the cards cannot be read (" + why + ")");
  result = finishImport(c, base, source, unicodeWhenNeeded, std::move(result));
  if (result.outcome == PeerImportOutcome::Imported) {
    copyMnemosyneMedia(c, libraries, path, base, result);
  }
  return result;
}

std::optional<PeerKind> detectPeerKind(store::FileSystem& files,
                                       const std::filesystem::path& path) {
  store::OpenError error = store::OpenError::None;
  auto file = files.openForReading(path, &error);
  if (!file) return std::nullopt;
  std::array<std::uint8_t, 1024> head{};
  const store::IoResult r = file->readAt(0, head);
  if (r.failed()) return std::nullopt;
  const std::size_t size = std::min<std::uint64_t>(file->size().value_or(0), head.size());
  const std::string_view text(reinterpret_cast<const char*>(head.data()), size);
  if (text.substr(0, 4) == std::string_view("PK\x03\x04", 4)) return PeerKind::AnkiPackage;
  if (text.substr(0, 16) == std::string_view("SQLite format 3\0", 16)) {
    return PeerKind::MnemosyneDatabase;
  }
  if (text.find("<kvtml") != std::string_view::npos) return PeerKind::Kvtml;
  return PeerKind::TextTable;
}

PeerImportResult importPeerFile(store::Collection& c, const PeerLibraries& libraries,
                                const std::filesystem::path& path,
                                const std::filesystem::path& base, bool unicodeWhenNeeded) {
  const std::optional<PeerKind> kind = detectPeerKind(c.files(), path);
  if (!kind) {
    PeerImportResult result;
    result.outcome = PeerImportOutcome::Unreadable;
    result.error = "the file cannot be opened";
    return result;
  }
  switch (*kind) {
    case PeerKind::AnkiPackage:
      return importAnkiPackage(c, libraries, path, base, unicodeWhenNeeded);
    case PeerKind::MnemosyneDatabase:
      return importMnemosyne(c, libraries, path, base, unicodeWhenNeeded);
    case PeerKind::Kvtml:
      return importKvtml(c, path, base, KvtmlPair{}, unicodeWhenNeeded);
    case PeerKind::TextTable:
      break;
  }
  return importTextTable(c, path, base, TableSettings{}, unicodeWhenNeeded);
}

std::u16string peerImportMessage(const PeerImportResult& r, const std::filesystem::path& base) {
  switch (r.outcome) {
    case PeerImportOutcome::Unreadable:
      return u"The file cannot be imported: " + store::decodeTextBytes(r.error) + u".";
    case PeerImportOutcome::TooManyItems:
      if (r.merged) {
        return u"The file's " +
               count(r.sourceItems, u"new " + std::u16string(r.unitOne),
                     u"new " + std::u16string(r.unitMany)) +
               u" do not fit beside the " + count(r.collectionItems, u"item", u"items") +
               u" of the collection; a collection holds at most " +
               store::decimalText(store::MaxItems) + u". Nothing was imported.";
      }
      return u"The file holds " + count(r.sourceItems, r.unitOne, r.unitMany) +
             u"; a collection holds at most " + store::decimalText(store::MaxItems) +
             u". Nothing was imported.";
    case PeerImportOutcome::NotStored:
      return std::u16string(store::texts::kImportFailed);
    case PeerImportOutcome::Cancelled:
      return u"The import was stopped; nothing was imported.";
    case PeerImportOutcome::Imported:
      break;
  }
  std::u16string text = std::u16string(r.merged ? u"Your file has been merged into:\r\n"
                                                : u"Your file has been imported into:\r\n") +
                        store::pathText(store::textsPath(base)) + u"\r\n\r\nItems added: " +
                        store::decimalText(static_cast<std::int64_t>(r.added));
  if (r.merged) {
    text += u"\r\nItems updated: " + store::decimalText(static_cast<std::int64_t>(r.updated)) +
            u"\r\nItems unchanged: " + store::decimalText(static_cast<std::int64_t>(r.unchanged)) +
            u"\r\nItems not in the file, kept as they are: " +
            store::decimalText(static_cast<std::int64_t>(r.notInSource));
  }
  if (r.leftOut > 0) {
    text += u"\r\nCards left out (their note is missing): " +
            store::decimalText(static_cast<std::int64_t>(r.leftOut));
  }
  if (r.emptySkipped > 0) {
    text += u"\r\nEmpty " + std::u16string(r.unitMany) + u" skipped: " +
            store::decimalText(static_cast<std::int64_t>(r.emptySkipped));
  }
  if (r.rowsWithMoreColumns > 0) {
    text += u"\r\nRows with columns past the two taken: " +
            store::decimalText(static_cast<std::int64_t>(r.rowsWithMoreColumns));
  }
  if (r.renderedFirstFields > 0) {
    text +=
        u"\r\nCards shown as their first two fields (their templates could not be "
        u"rendered): " +
        store::decimalText(static_cast<std::int64_t>(r.renderedFirstFields));
  }
  if (r.mediaFiles > 0) {
    text += u"\r\nMedia files copied into " + store::pathText(mediaFolderOf(base).filename()) +
            u": " + store::decimalText(static_cast<std::int64_t>(r.mediaFiles));
  }
  if (r.mediaFailed > 0) {
    text += u"\r\nMedia files that could not be copied: " +
            store::decimalText(static_cast<std::int64_t>(r.mediaFailed));
  }
  if (r.textsCut > 0) {
    text += u"\r\nTexts cut to " + store::decimalText(store::MaxTextLength - 1) + u" characters: " +
            store::decimalText(static_cast<std::int64_t>(r.textsCut));
  }
  std::u16string lost;
  const auto note = [&](std::size_t n, std::u16string_view what) {
    if (n == 0) return;
    lost += u"\r\n  " + std::u16string(what) + store::decimalText(static_cast<std::int64_t>(n));
  };
  note(r.reviewRows, u"review history entries: ");
  note(r.decks > 1 ? r.decks : 0, u"decks: ");
  note(r.notesWithTags, u"notes with tags: ");
  note(r.notesWithMoreFields, u"notes with fields past the second: ");
  note(r.mediaRefused, u"media files refused for their names: ");
  note(r.mediaMissing, u"media files listed but missing: ");
  if (!lost.empty()) text += u"\r\n\r\nNot kept (a collection cannot hold them):" + lost;
  return text;
}

}  // namespace kelvora::peers
