// The package in three steps: the collection database is made in memory and taken as bytes, the
// media list is written as JSON, and the archive goes to a temporary renamed over the target.
#include "peers/anki_export.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "peers/anki_package.h"
#include "peers/anki_template.h"
#include "store/atomic_file.h"
#include "store/item_status.h"
#include "store/utf8.h"

namespace kelvora::peers {
namespace {

using store::ItemStatus;

constexpr char kFieldSeparator = '\x1f';

// The note type every export uses. Its ID stays the same from one export to the next, so Anki
// keeps importing into one note type instead of making a new one each time.
constexpr std::int64_t kNoteTypeId = 1617171717171;
constexpr std::int64_t kDeckId = 1;  // Anki's Default deck
constexpr std::int64_t kDeckOptionsId = 1;
constexpr std::int64_t kNewCardFactor = 2500;  // thousandths; for a review card without one

// The collection is created at 4 in the morning of its first day: Anki starts its days at that
// hour, so its count of days from the creation agrees with ours.
constexpr std::int64_t kDayRolloverSeconds = std::int64_t{4} * 3600;
constexpr std::int64_t kNoonSeconds = std::int64_t{12} * 3600;
constexpr std::int64_t kLatestMoment = 253402300799;  // 31 December 9999, 23:59:59 UTC

constexpr std::string_view kSchema =
    "CREATE TABLE col (id integer primary key, crt integer not null, mod integer not null, "
    "scm integer not null, ver integer not null, dty integer not null, usn integer not null, "
    "ls integer not null, conf text not null, models text not null, decks text not null, "
    "dconf text not null, tags text not null);"
    "CREATE TABLE notes (id integer primary key, guid text not null, mid integer not null, "
    "mod integer not null, usn integer not null, tags text not null, flds text not null, "
    "sfld integer not null, csum integer not null, flags integer not null, data text not null);"
    "CREATE TABLE cards (id integer primary key, nid integer not null, did integer not null, "
    "ord integer not null, mod integer not null, usn integer not null, type integer not null, "
    "queue integer not null, due integer not null, ivl integer not null, factor integer not "
    "null, reps integer not null, lapses integer not null, left integer not null, odue integer "
    "not null, odid integer not null, flags integer not null, data text not null);"
    "CREATE TABLE revlog (id integer primary key, cid integer not null, usn integer not null, "
    "ease integer not null, ivl integer not null, lastIvl integer not null, factor integer not "
    "null, time integer not null, type integer not null);"
    "CREATE TABLE graves (usn integer not null, oid integer not null, type integer not null);";

// Made after the rows are in: an index built once is far quicker than one kept up row by row.
constexpr std::string_view kIndexes =
    "CREATE INDEX ix_notes_usn ON notes (usn);"
    "CREATE INDEX ix_cards_usn ON cards (usn);"
    "CREATE INDEX ix_revlog_usn ON revlog (usn);"
    "CREATE INDEX ix_cards_nid ON cards (nid);"
    "CREATE INDEX ix_cards_sched ON cards (did, queue, due);"
    "CREATE INDEX ix_revlog_cid ON revlog (cid);"
    "CREATE INDEX ix_notes_csum ON notes (csum);";

constexpr std::string_view kAnswerFormat = "{{FrontSide}}\n\n<hr id=answer>\n\n{{Back}}";
constexpr std::string_view kStyleSheet =
    ".card {\n  font-family: arial;\n  font-size: 20px;\n  text-align: center;\n  color: black;\n"
    "  background-color: white;\n}\n";
constexpr std::string_view kLatexBefore =
    "\\documentclass[12pt]{article}\n\\special{papersize=3in,5in}\n"
    "\\usepackage[utf8]{inputenc}\n\\usepackage{amssymb,amsmath}\n\\pagestyle{empty}\n"
    "\\setlength{\\parindent}{0in}\n\\begin{document}\n";
constexpr std::string_view kLatexAfter = "\\end{document}";

void appendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out.push_back(kHex[byte >> 4]);
          out.push_back(kHex[byte & 15]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

std::string jsonString(std::string_view text) {
  std::string out;
  appendJsonString(out, text);
  return out;
}

std::string modelsJson(std::int64_t modified) {
  const std::string id = std::to_string(kNoteTypeId);
  const auto field = [](std::string_view name, int ordinal) {
    return "{\"name\":" + jsonString(name) + ",\"ord\":" + std::to_string(ordinal) +
           ",\"sticky\":false,\"rtl\":false,\"font\":\"Arial\",\"size\":20,\"media\":[]}";
  };
  return "{\"" + id + "\":{\"id\":" + id +
         ",\"name\":\"Basic\",\"type\":0,\"mod\":" + std::to_string(modified) +
         ",\"usn\":0,\"sortf\":0,\"did\":" + std::to_string(kDeckId) +
         ",\"tmpls\":[{\"name\":\"Card 1\",\"ord\":0,\"qfmt\":\"{{Front}}\",\"afmt\":" +
         jsonString(kAnswerFormat) + ",\"bqfmt\":\"\",\"bafmt\":\"\",\"did\":null}],\"flds\":[" +
         field("Front", 0) + "," + field("Back", 1) + "],\"css\":" + jsonString(kStyleSheet) +
         ",\"latexPre\":" + jsonString(kLatexBefore) + ",\"latexPost\":" + jsonString(kLatexAfter) +
         ",\"latexsvg\":false,\"req\":[[0,\"any\",[0]]],\"tags\":[],\"vers\":[]}}";
}

std::string decksJson(std::int64_t modified) {
  const std::string id = std::to_string(kDeckId);
  return "{\"" + id + "\":{\"id\":" + id +
         ",\"name\":\"Default\",\"mod\":" + std::to_string(modified) +
         ",\"usn\":0,\"desc\":\"\",\"dyn\":0,\"conf\":" + std::to_string(kDeckOptionsId) +
         ",\"collapsed\":false,\"browserCollapsed\":false,\"newToday\":[0,0],"
         "\"revToday\":[0,0],\"lrnToday\":[0,0],\"timeToday\":[0,0],\"extendNew\":10,"
         "\"extendRev\":50}}";
}

std::string deckOptionsJson(std::int64_t modified) {
  const std::string id = std::to_string(kDeckOptionsId);
  return "{\"" + id + "\":{\"id\":" + id +
         ",\"name\":\"Default\",\"mod\":" + std::to_string(modified) +
         ",\"usn\":0,\"maxTaken\":60,\"autoplay\":true,\"timer\":0,\"replayq\":true,"
         "\"dyn\":false,\"new\":{\"bury\":true,\"delays\":[1,10],\"initialFactor\":" +
         std::to_string(kNewCardFactor) +
         ",\"ints\":[1,4,7],\"order\":1,\"perDay\":20,\"separate\":true},"
         "\"lapse\":{\"delays\":[10],\"leechAction\":0,\"leechFails\":8,\"minInt\":1,"
         "\"mult\":0},\"rev\":{\"bury\":true,\"ease4\":1.3,\"fuzz\":0.05,\"ivlFct\":1,"
         "\"maxIvl\":36500,\"minSpace\":1,\"perDay\":200}}}";
}

std::string settingsJson(std::int64_t nextNewPosition) {
  return "{\"activeDecks\":[" + std::to_string(kDeckId) +
         "],\"curDeck\":" + std::to_string(kDeckId) +
         ",\"curModel\":" + std::to_string(kNoteTypeId) +
         ",\"nextPos\":" + std::to_string(nextNewPosition) +
         ",\"newSpread\":0,\"collapseTime\":1200,\"timeLim\":0,\"estTimes\":true,"
         "\"dueCounts\":true,\"sortType\":\"noteFld\",\"sortBackwards\":false,"
         "\"addToCur\":true}";
}

// A card's scheduling columns.
struct CardColumns {
  std::int64_t type = 0;   // 0 new, 2 review
  std::int64_t queue = 0;  // -1 suspended, 0 new, 2 review
  std::int64_t due = 0;    // review: days from the creation day; new: position in the queue
  std::int64_t ivl = 0;
  std::int64_t factor = 0;
  std::int64_t reps = 0;
  std::int64_t lapses = 0;
};

// The day a review card of the note was last seen, or nothing when it becomes a new card.
// A learned item without a date counts as seen today.
std::optional<store::DayNumber> reviewedDay(const ExportNote& note, store::DayNumber today) {
  switch (static_cast<ItemStatus>(note.status)) {
    case ItemStatus::Memorized:
    case ItemStatus::Outstanding:
      return note.lastRepetition != 0 ? note.lastRepetition : today;
    case ItemStatus::Drill:
      return today;
    case ItemStatus::Dismissed:
      if (note.lastRepetition != 0 && note.interval != 0) return note.lastRepetition;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

// The first day the collection needs: no card may fall due before it.
store::DayNumber creationDayOf(const AnkiExport& data) {
  store::DayNumber first = data.today;
  for (const ExportNote& note : data.notes) {
    if (const auto day = reviewedDay(note, data.today)) first = std::min(first, *day);
  }
  return first;
}

CardColumns cardColumns(const ExportNote& note, store::DayNumber creationDay,
                        store::DayNumber today, std::int64_t& newPosition) {
  CardColumns card;
  const bool dismissed = note.status == store::code(ItemStatus::Dismissed);
  if (const auto reviewed = reviewedDay(note, today)) {
    card.type = 2;
    card.queue = dismissed ? -1 : 2;
    card.ivl = std::max<std::int64_t>(note.interval, 1);
    // A drill item was failed and waits to be seen again today.
    card.due = note.status == store::code(ItemStatus::Drill)
                   ? std::int64_t{today} - creationDay
                   : std::int64_t{*reviewed} + card.ivl - creationDay;
    card.factor = note.aFactor != 0 ? note.aFactor : kNewCardFactor;
    card.reps = note.repetitions;
    card.lapses = note.lapses;
  } else {
    card.type = 0;
    card.queue = dismissed ? -1 : 0;
    card.due = newPosition++;
  }
  return card;
}

// Media Anki shows are mostly compressed already: those are stored, the rest deflated.
bool isCompressedForm(std::string_view name) {
  static constexpr std::string_view kCompressed[] = {
      "jpg", "jpeg", "png",  "gif", "webp", "avif", "heic", "mp3", "ogg", "oga", "opus",
      "m4a", "aac",  "flac", "mp4", "m4v",  "webm", "mkv",  "mov", "zip", "gz"};
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::find(std::begin(kCompressed), std::end(kCompressed), extension) !=
         std::end(kCompressed);
}

bool isUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::size_t at = 0;
  while (at < text.size()) {
    const store::DecodedChar c = store::decodeUtf8Char({bytes + at, text.size() - at});
    // An invalid sequence is read as its first byte alone.
    if (bytes[at] >= 0x80 && c.length == 1) return false;
    at += c.length;
  }
  return true;
}

// The first four bytes of the text's SHA-1, big-endian.
std::int64_t checksumOf(std::string_view text) {
  const std::array<std::uint8_t, 20> digest = sha1(text);
  return (std::int64_t{digest[0]} << 24) | (std::int64_t{digest[1]} << 16) |
         (std::int64_t{digest[2]} << 8) | digest[3];
}

// A field as the note holds it: the separator of fields cannot be part of one.
std::string fieldText(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), kFieldSeparator, ' ');
  return out;
}

bool buildCollection(const PeerLibraries& libraries, const AnkiExport& data,
                     store::DayNumber creationDay, std::int64_t created, std::int64_t now,
                     Bytes& image, std::string& error) {
  std::string why;
  const auto failed = [&](const char* what) {
    error = std::string("the package's collection cannot be made (") + what + ": " + why + ")";
    return false;
  };
  std::unique_ptr<NewDatabase> db = libraries.createDatabase(why);
  if (!db) return failed("no database");
  if (!db->execute(kSchema, why)) return failed("its tables");
  if (!db->execute("BEGIN", why)) return failed("a transaction");
  {
    std::int64_t newPosition = 1;
    std::unique_ptr<NewStatement> note =
        db->prepare("INSERT INTO notes VALUES (?, ?, ?, ?, 0, '', ?, ?, ?, 0, '')", why);
    if (!note) return failed("the notes");
    std::unique_ptr<NewStatement> card = db->prepare(
        "INSERT INTO cards VALUES (?, ?, ?, 0, ?, 0, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0, 0, '')", why);
    if (!card) return failed("the cards");
    // IDs are milliseconds from the moment of the export, one apart: unique and in order.
    const std::int64_t firstId = now * 1000;
    for (std::size_t i = 0; i < data.notes.size(); ++i) {
      const ExportNote& n = data.notes[i];
      const std::int64_t id = firstId + static_cast<std::int64_t>(i);
      const std::string question = fieldText(n.question);
      const std::string sortText = fieldWithoutMarkup(question);
      const std::int64_t checksum = checksumOf(sortText);
      note->bind(1, id);
      note->bind(2, std::string_view(n.guid));
      note->bind(3, kNoteTypeId);
      note->bind(4, now);
      note->bind(5, question + kFieldSeparator + fieldText(n.answer));
      note->bind(6, std::string_view(sortText));
      note->bind(7, checksum);
      if (!note->step(why)) return failed("a note");

      const CardColumns c = cardColumns(n, creationDay, data.today, newPosition);
      const std::int64_t values[] = {id,    id,    kDeckId,  now,    c.type,  c.queue,
                                     c.due, c.ivl, c.factor, c.reps, c.lapses};
      for (std::size_t v = 0; v < std::size(values); ++v) {
        card->bind(static_cast<int>(v + 1), values[v]);
      }
      if (!card->step(why)) return failed("a card");
    }
    std::unique_ptr<NewStatement> settings =
        db->prepare("INSERT INTO col VALUES (1, ?, ?, ?, 11, 0, 0, 0, ?, ?, ?, ?, '{}')", why);
    if (!settings) return failed("the settings");
    settings->bind(1, created);
    settings->bind(2, now * 1000);  // milliseconds, as the collection keeps these two
    settings->bind(3, now * 1000);
    settings->bind(4, std::string_view(settingsJson(newPosition)));
    settings->bind(5, std::string_view(modelsJson(now)));
    settings->bind(6, std::string_view(decksJson(now)));
    settings->bind(7, std::string_view(deckOptionsJson(now)));
    if (!settings->step(why)) return failed("the settings");
  }
  if (!db->execute(kIndexes, why)) return failed("its indexes");
  if (!db->execute("COMMIT", why)) return failed("a transaction");
  if (!db->image(image, why)) return failed("its bytes");
  return true;
}

std::string mediaListJson(const std::vector<std::string>& names) {
  std::string out = "{";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out.push_back(',');
    appendJsonString(out, std::to_string(i));
    out.push_back(':');
    appendJsonString(out, names[i]);
  }
  return out + "}";
}

std::string systemError(int error) { return std::strerror(error); }

}  // namespace

bool writeAnkiPackage(const PeerLibraries& libraries, store::FileSystem& files,
                      const std::filesystem::path& out, const AnkiExport& data, std::string& error,
                      bool* placed) {
  if (placed != nullptr) *placed = false;
  if (!libraries.createDatabase || !libraries.writeArchive || !libraries.dayStart) {
    error = "this program was built without the libraries that write packages";
    return false;
  }
  // A GUID is what Anki matches notes by: none would be refused, a shared one merge two notes.
  std::unordered_set<std::string_view> guids;
  guids.reserve(data.notes.size());
  for (const ExportNote& note : data.notes) {
    if (note.guid.empty()) {
      error = "an item has no GUID";
      return false;
    }
    if (!guids.insert(note.guid).second) {
      error = "two items have the same GUID (" + note.guid + ")";
      return false;
    }
  }
  // The names go into the package as they are, to be created in the peer's media folder.
  std::vector<std::string> media;
  std::unordered_set<std::string_view> seen;
  for (const std::string& name : data.mediaNames) {
    if (!isSafeMediaName(name) || !isUtf8(name)) {
      error = "the media file name \"" + name + "\" is not a plain file name";
      return false;
    }
    if (seen.insert(name).second) media.push_back(name);
  }

  const store::DayNumber creationDay = creationDayOf(data);
  const std::int64_t created = libraries.dayStart(creationDay) + kDayRolloverSeconds;
  // Held to years 1970 to 9999, so that the IDs made from it in milliseconds cannot overflow.
  const std::int64_t now = std::clamp<std::int64_t>(
      data.nowSeconds != 0 ? data.nowSeconds : libraries.dayStart(data.today) + kNoonSeconds, 0,
      kLatestMoment);

  std::vector<ArchiveSource> entries;
  entries.reserve(media.size() + 2);
  entries.push_back(ArchiveSource{"collection.anki2", {}, {}, true});
  if (!buildCollection(libraries, data, creationDay, created, now, entries.back().bytes, error)) {
    return false;
  }
  const std::string list = mediaListJson(media);
  entries.push_back(ArchiveSource{"media", Bytes(list.begin(), list.end()), {}, true});
  for (std::size_t i = 0; i < media.size(); ++i) {
    entries.push_back(ArchiveSource{
        std::to_string(i), {}, data.mediaFolder / media[i], !isCompressedForm(media[i])});
  }

  const std::filesystem::path temporary = store::temporaryPathFor(out);
  std::string why;
  if (!libraries.writeArchive(temporary, entries, why)) {
    (void)files.remove(temporary);
    error = "the package cannot be written: " + why;
    return false;
  }
  const store::IoResult renamed = files.rename(temporary, out);
  if (renamed.failed()) {
    (void)files.remove(temporary);
    error = "the package cannot be put in place (" + systemError(renamed.error) + ")";
    return false;
  }
  if (placed != nullptr) *placed = true;
  const store::IoResult synced = files.syncFolder(store::folderOf(out));
  if (synced.failed()) {
    error = "the package was written, but its folder cannot be synced (" +
            systemError(synced.error) + "), so the package may be lost if the computer stops now";
    return false;
  }
  return true;
}

std::string plainTextAsField(std::u16string_view text) {
  const std::string utf8 = store::encodeUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        out += "<br>";
        break;
      case '\n':
        out += "<br>";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string ankiGuidFrom(std::uint64_t bits) {
  static constexpr std::string_view kDigits =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
      "!#$%&()*+,-./:;<=>?@[]^_`{|}~";
  static_assert(kDigits.size() == 91);
  std::string out;
  do {
    out.push_back(kDigits[bits % kDigits.size()]);
    bits /= kDigits.size();
  } while (bits != 0);
  std::reverse(out.begin(), out.end());
  return out;
}

std::string fieldWithoutMarkup(std::string_view html) {
  const std::string text = htmlToText(html, {.imageNames = true});
  // A non-breaking space counts as a blank, and is trimmed as one.
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
      out.push_back(' ');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  const std::size_t first = out.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(" \t\r\n") - first + 1);
}

std::array<std::uint8_t, 20> sha1(std::string_view bytes) {
  std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  const auto rotate = [](std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
  const auto block = [&](const std::uint8_t* p) {
    std::uint32_t w[80];
    for (std::size_t i = 0; i < 16; ++i) {
      w[i] = (std::uint32_t{p[4 * i]} << 24) | (std::uint32_t{p[4 * i + 1]} << 16) |
             (std::uint32_t{p[4 * i + 2]} << 8) | std::uint32_t{p[4 * i + 3]};
    }
    for (int i = 16; i < 80; ++i) w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      std::uint32_t f = 0;
      std::uint32_t k = 0;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      const std::uint32_t t = rotate(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = rotate(b, 30);
      b = a;
      a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  };
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t at = 0;
  for (; bytes.size() - at >= 64; at += 64) block(data + at);
  // The tail, the 0x80 that ends the message and its length in bits, big-endian, in the last
  // eight bytes of one or two more blocks.
  std::uint8_t tail[128] = {};
  const std::size_t rest = bytes.size() - at;
  if (rest > 0) std::memcpy(tail, data + at, rest);
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < 56 ? 64 : 128;
  const std::uint64_t bitLength = std::uint64_t{bytes.size()} * 8;
  for (int i = 0; i < 8; ++i) {
    tail[tailSize - 1 - static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(bitLength >> (8 * i));
  }
  block(tail);
  if (tailSize == 128) block(tail + 64);
  std::array<std::uint8_t, 20> digest{};
  for (std::size_t i = 0; i < 20; ++i) {
    digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  }
  return digest;
}

std::int64_t fieldChecksum(std::string_view firstField) {
  return checksumOf(fieldWithoutMarkup(firstField));
}

}  // namespace kelvora::peers
