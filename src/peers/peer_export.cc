// The export to Anki: the items read in table order, each given a GUID, and handed to the
// package writer; then the GUIDs it made are added to the links file.
#include "peers/peer_export.h"

#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "peers/anki_export.h"
#include "peers/links_file.h"
#include "peers/peer_import.h"
#include "store/atomic_file.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "store/utf8.h"

namespace kelvora::peers {
namespace {

// The GUID in a key "anki GUID 0", the first template's card of a note; empty for other keys.
std::string_view firstCardGuid(std::string_view key) {
  constexpr std::string_view prefix = "anki ";
  constexpr std::string_view suffix = " 0";
  if (key.size() <= prefix.size() + suffix.size() || key.substr(0, prefix.size()) != prefix ||
      key.substr(key.size() - suffix.size()) != suffix) {
    return {};
  }
  const std::string_view guid =
      key.substr(prefix.size(), key.size() - prefix.size() - suffix.size());
  return guid.find(' ') == std::string_view::npos ? guid : std::string_view();
}

}  // namespace

PeerExportResult exportAnkiPackage(store::Collection& c, const PeerLibraries& libraries,
                                   const std::filesystem::path& base,
                                   const std::filesystem::path& out, std::int64_t nowSeconds) {
  PeerExportResult result;
  if (!libraries.createDatabase || !libraries.writeArchive || !libraries.listFolder ||
      !libraries.dayStart) {
    result.error = "this program was built without the libraries that write packages";
    return result;
  }
  if (!c.collectionExists(base)) {
    result.error = "there is no collection at " + store::encodeUtf8(store::pathText(base));
    return result;
  }
  const store::ProgressScope working(c.progress);
  // The collection is held from here on, so its links cannot change under the export.
  if (!c.openFiles(base) || (!c.loadIndex() && !c.rebuildIndex())) {
    c.closeWithoutWriting();
    result.error = "the collection cannot be opened";
    return result;
  }
  const auto fail = [&](std::string reason) {
    c.closeWithoutWriting();
    result.error = std::move(reason);
    return result;
  };
  std::string why;
  std::vector<ItemLink> links;
  if (!readLinks(c.files(), base, links, why)) return fail(why);
  // An item may have several: one from an import, one from an earlier export when another item
  // held that GUID already. The first not taken is used, so each export gives the same ones.
  std::unordered_map<std::uint16_t, std::vector<std::string_view>> guidsOfSlot;
  for (const ItemLink& link : links) {
    const std::string_view guid = firstCardGuid(link.key);
    if (!guid.empty()) guidsOfSlot[link.slot].push_back(guid);
  }

  AnkiExport data;
  data.today = c.today();
  data.nowSeconds = nowSeconds;
  data.mediaFolder = mediaFolderOf(base);
  if (!libraries.listFolder(data.mediaFolder, data.mediaNames, why)) {
    return fail("the media folder cannot be read (" + why + ")");
  }
  std::random_device device;
  std::seed_seq seed{device(), device(), device(), device(),
                     device(), device(), device(), device()};
  std::mt19937_64 random(seed);
  std::unordered_set<std::string> used;
  std::vector<ItemLink> added;
  const bool html = c.settings.html != 0;
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    if (c.progress.stopAt(p, c.header.itemCount)) return fail("the export was stopped");
    // An item added and left blank has no record, and reads as false with nothing to give.
    const bool read = c.readItem(p);
    if (!read && c.table[p].recordOffset != store::kNoRecord) {
      ++result.unreadable;
      continue;
    }
    if (!read || (c.loaded.question.empty() && c.loaded.answer.empty())) {
      ++result.emptySkipped;
      continue;
    }
    ExportNote note;
    note.question =
        html ? store::encodeUtf8(c.loaded.question) : plainTextAsField(c.loaded.question);
    note.answer = html ? store::encodeUtf8(c.loaded.answer) : plainTextAsField(c.loaded.answer);
    if (const auto known = guidsOfSlot.find(c.loaded.header.slotNumber);
        known != guidsOfSlot.end()) {
      for (const std::string_view guid : known->second) {
        if (used.insert(std::string(guid)).second) {
          note.guid = guid;
          break;
        }
      }
    }
    if (note.guid.empty()) {
      do {
        note.guid = ankiGuidFrom(random());
      } while (!used.insert(note.guid).second);
      added.push_back({c.loaded.header.slotNumber, ankiKey(note.guid, 0)});
    }
    const store::ItemIndexEntry& entry = c.table[p];
    note.status = entry.status;
    note.interval = entry.interval;
    note.lastRepetition = entry.lastRepetition;
    note.aFactor = c.loaded.header.aFactor;
    note.repetitions = c.loaded.header.repetitions;
    note.lapses = c.loaded.header.lapses;
    data.notes.push_back(std::move(note));
  }
  bool placed = false;
  const bool written = writeAnkiPackage(libraries, c.files(), out, data, why, &placed);
  if (!placed) return fail(why);
  result.notes = data.notes.size();
  result.mediaFiles = data.mediaNames.size();
  if (!added.empty()) {
    // A package in place keeps its GUIDs even when it may not have reached the disk: were it
    // imported, the next export must not add its notes again.
    links.insert(links.end(), added.begin(), added.end());
    if (store::writeWholeFile(c.files(), store::linksPath(base), formatLinks(links)).failed()) {
      return fail("the package was written, but its notes' GUIDs could not be kept in " +
                  store::encodeUtf8(store::pathText(store::linksPath(base).filename())) +
                  ", so exporting again would add the notes twice");
    }
  }
  if (!written) return fail(why);
  (void)c.closeCollection();  // nothing was changed; the export stands
  result.exported = true;
  return result;
}

std::u16string peerExportMessage(const PeerExportResult& r, const std::filesystem::path& out) {
  if (!r.exported) {
    return u"The collection cannot be exported: " + store::decodeTextBytes(r.error) + u".";
  }
  std::u16string text = std::u16string(store::texts::kExported) + store::pathText(out) +
                        u"\r\n\r\nNotes: " + store::decimalText(static_cast<std::int64_t>(r.notes));
  if (r.mediaFiles > 0) {
    text += u"\r\nMedia files: " + store::decimalText(static_cast<std::int64_t>(r.mediaFiles));
  }
  if (r.emptySkipped > 0) {
    text += u"\r\nEmpty items left out: " +
            store::decimalText(static_cast<std::int64_t>(r.emptySkipped));
  }
  if (r.unreadable > 0) {
    text += u"\r\nItems that cannot be read, left out: " +
            store::decimalText(static_cast<std::int64_t>(r.unreadable));
  }
  return text;
}

}  // namespace kelvora::peers
