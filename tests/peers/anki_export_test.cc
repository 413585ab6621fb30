// Collections written as Anki packages and read back with our own importer: every status keeps
// its learning data, plain text arrives as the same HTML, media files travel along, and a write
// that fails leaves neither the package nor its temporary behind.
#include "peers/anki_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <set>

#include "peers/anki_collection.h"
#include "peers/anki_package.h"
#include "peers/json_reader.h"
#include "peers/peer_import.h"
#include "platform/peer_libraries.h"
#include "platform/posix_file_system.h"
#include "store/item_status.h"
#include "store/utf8.h"
#include "temp_dir.h"
#include "test_collection.h"

namespace kelvora::peers {
namespace {

using store::code;
using store::ItemStatus;

constexpr store::DayNumber kToday = testing::kTestToday;

ExportNote note(std::string question, ItemStatus status, std::uint16_t interval = 0,
                store::DayNumber last = 0, std::uint16_t factor = 2500,
                std::uint8_t repetitions = 0, std::uint8_t lapses = 0) {
  ExportNote n;
  n.guid = "g-" + question;
  n.question = std::move(question);
  n.answer = "answer of " + n.question;
  n.status = code(status);
  n.interval = interval;
  n.lastRepetition = last;
  n.aFactor = factor;
  n.repetitions = repetitions;
  n.lapses = lapses;
  return n;
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> namesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The first columns of every row of a query, as text, row after row.
std::vector<std::string> rows(Database& db, const std::string& sql, int columns = 1) {
  std::vector<std::string> out;
  std::string error;
  EXPECT_TRUE(db.query(
      sql,
      [&](const DatabaseRow& row) {
        for (int i = 0; i < columns; ++i) out.emplace_back(row.text(i));
        return true;
      },
      error))
      << error;
  return out;
}

struct Item {
  std::u16string answer;
  store::ItemIndexEntry entry;
  store::ItemRecordHeader header;
};

struct Fixture {
  fakes::TempDir dir;
  platform::PosixFileSystem disk;
  testing::TestCollection t;
  std::filesystem::path package = dir / "deck.apkg";

  bool write(const AnkiExport& data, std::string& error) {
    return writeAnkiPackage(platform::systemPeerLibraries(), disk, package, data, error);
  }

  PeerImportResult import() {
    return importAnkiPackage(t.c, platform::systemPeerLibraries(), package, "/new", true);
  }

  // The imported items by question, and the questions in collection order.
  std::map<std::u16string, Item> items(std::vector<std::u16string>* order = nullptr) {
    std::map<std::u16string, Item> out;
    if (!store::openCollection(t.c, "/new")) return out;
    for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
      EXPECT_TRUE(t.read(p));
      out[t.c.loaded.question] = {t.c.loaded.answer, t.c.table[p], t.c.loaded.header};
      if (order != nullptr) order->push_back(t.c.loaded.question);
    }
    return out;
  }
};

TEST(AnkiExport, EveryStatusComesBackWithItsLearningData) {
  struct Case {
    ExportNote sent;
    ItemStatus status;  // as the import gives it back
    std::uint16_t interval;
    store::DayNumber last;
    std::uint16_t factor;
    std::uint8_t lapses;
  };
  const Case cases[] = {
      {note("memorized", ItemStatus::Memorized, 40, kToday - 10, 2700, 5, 1), ItemStatus::Memorized,
       40, kToday - 10, 2700, 1},
      {note("overdue", ItemStatus::Outstanding, 10, kToday - 30, 1900, 2, 4),
       ItemStatus::Outstanding, 10, kToday - 30, 1900, 4},
      // The earliest day of all: the collection's creation, due 0 days after it.
      {note("long ago", ItemStatus::Memorized, 3000, 2000, 3300, 9, 0), ItemStatus::Outstanding,
       3000, 2000, 3300, 0},
      // Failed today: seen again today, as a review card of one day.
      {note("drill", ItemStatus::Drill, 0, kToday, 1700, 0, 3), ItemStatus::Outstanding, 1,
       kToday - 1, 1700, 3},
      {note("resting", ItemStatus::Dismissed, 20, kToday - 5, 2300, 3, 2), ItemStatus::Dismissed,
       20, kToday - 5, 2300, 2},
      {note("never learned, dismissed", ItemStatus::Dismissed), ItemStatus::Dismissed, 0, 0,
       store::kNewItemAFactor, 0},
      {note("new b", ItemStatus::Pending), ItemStatus::Pending, 0, 0, store::kNewItemAFactor, 0},
      {note("new a", ItemStatus::Pending), ItemStatus::Pending, 0, 0, store::kNewItemAFactor, 0},
  };
  Fixture f;
  AnkiExport data;
  data.today = kToday;
  for (const Case& c : cases) data.notes.push_back(c.sent);
  std::string error;
  ASSERT_TRUE(f.write(data, error)) << error;
  const PeerImportResult r = f.import();
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.reviewRows, 0u);  // no history is made up
  std::vector<std::u16string> order;
  const std::map<std::u16string, Item> items = f.items(&order);
  ASSERT_EQ(items.size(), std::size(cases));
  for (const Case& c : cases) {
    const std::u16string question = store::decodeTextBytes(c.sent.question);
    const auto at = items.find(question);
    ASSERT_NE(at, items.end()) << c.sent.question;
    const Item& item = at->second;
    EXPECT_EQ(item.answer, u"answer of " + question);
    EXPECT_EQ(item.entry.status, code(c.status)) << c.sent.question;
    EXPECT_EQ(item.entry.interval, c.interval) << c.sent.question;
    EXPECT_EQ(item.entry.lastRepetition, c.last) << c.sent.question;
    EXPECT_EQ(item.header.aFactor, c.factor) << c.sent.question;
    EXPECT_EQ(item.header.lapses, c.lapses) << c.sent.question;
  }
  // New cards come back in the order they were written, after the studied ones.
  EXPECT_EQ(order[order.size() - 2], u"new b");
  EXPECT_EQ(order.back(), u"new a");
}

// Without a review log the importer takes a card's repetitions from its own count of reviews.
TEST(AnkiExport, RepetitionsComeBackWithoutAReviewLog) {
  Fixture f;
  AnkiExport data;
  data.today = kToday;
  data.notes = {note("memorized", ItemStatus::Memorized, 40, kToday - 10, 2700, 5, 1)};
  std::string error;
  ASSERT_TRUE(f.write(data, error)) << error;
  ASSERT_EQ(f.import().outcome, PeerImportOutcome::Imported);
  EXPECT_EQ(f.items().at(u"memorized").header.repetitions, 5);
}

TEST(AnkiExport, PlainTextBecomesEscapedHtmlAndComesBackAsIt) {
  const std::pair<std::u16string, std::string> fields[] = {
      {u"Fish & <chips>", "Fish &amp; &lt;chips&gt;"},
      {u"one\r\ntwo\nthree\rfour", "one<br>two<br>three<br>four"},
      {u"\"quoted\" caf\u00E9 \U0001F600", "\"quoted\" caf\xC3\xA9 \xF0\x9F\x98\x80"},
      {u"", ""},
  };
  for (const auto& [text, field] : fields) EXPECT_EQ(plainTextAsField(text), field);

  Fixture f;
  AnkiExport data;
  data.today = kToday;
  ExportNote n = note("x", ItemStatus::Pending);
  n.question = plainTextAsField(u"Fish & <chips>\nline 2");
  n.answer = plainTextAsField(
      u"a\x1f"
      u"b");  // the field separator cannot split the note
  data.notes = {n};
  std::string error;
  ASSERT_TRUE(f.write(data, error)) << error;
  ASSERT_EQ(f.import().outcome, PeerImportOutcome::Imported);
  const std::map<std::u16string, Item> items = f.items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items.begin()->first, u"Fish &amp; &lt;chips&gt;<br>line 2");
  EXPECT_EQ(items.begin()->second.answer, u"a b");
  EXPECT_EQ(f.t.c.settings.html, 1);
}

// What a peer reads besides the items: the standard tables and indexes, the note type, the
// notes' GUIDs, sort fields and checksums, and due days that never precede the creation.
TEST(AnkiExport, TheCollectionIsAStandardSchemaElevenOne) {
  Fixture f;
  AnkiExport data;
  data.today = kToday;
  data.notes = {note("a", ItemStatus::Memorized, 300, 5000), note("b", ItemStatus::Pending),
                note("c", ItemStatus::Drill, 3, kToday)};
  data.notes[0].question = "<b>Haus</b> &amp; <img src=\"h.jpg\">";
  data.notes[1].guid = ankiGuidFrom(0xFEDCBA9876543210u);
  std::string error;
  ASSERT_TRUE(f.write(data, error)) << error;

  const PeerLibraries libraries = platform::systemPeerLibraries();
  AnkiPackage package;
  ASSERT_TRUE(openAnkiPackage(libraries, f.package, PackageLimits{}, package, error)) << error;
  Database& db = *package.collection;
  EXPECT_EQ(rows(db, "SELECT name FROM sqlite_master ORDER BY name"),
            (std::vector<std::string>{"cards", "col", "graves", "ix_cards_nid", "ix_cards_sched",
                                      "ix_cards_usn", "ix_notes_csum", "ix_notes_usn",
                                      "ix_revlog_cid", "ix_revlog_usn", "notes", "revlog"}));
  const std::vector<std::string> col = rows(db, "SELECT ver, crt, models, decks FROM col", 4);
  ASSERT_EQ(col.size(), 4u);
  EXPECT_EQ(col[0], "11");
  EXPECT_EQ(libraries.localDay(std::stoll(col[1])), 5000);  // the earliest last repetition
  const auto types = parseJson(col[2]);
  ASSERT_TRUE(types && types->members.size() == 1u);
  const JsonValue& basic = types->members[0].value;
  EXPECT_EQ(basic.find("name")->string(), "Basic");
  EXPECT_EQ(basic.find("tmpls")->items[0].find("afmt")->string(),
            "{{FrontSide}}\n\n<hr id=answer>\n\n{{Back}}");
  for (const char* key : {"id", "mod", "usn", "vers", "tags", "latexPre", "latexPost", "css",
                          "sortf", "req", "did", "type", "flds"}) {
    EXPECT_NE(basic.find(key), nullptr) << key;
  }
  // A standard note type sorted by its first field, whose card needs that field, in deck 1.
  EXPECT_EQ(basic.find("type")->integer(-1), 0);
  EXPECT_EQ(basic.find("sortf")->integer(-1), 0);
  EXPECT_EQ(basic.find("did")->integer(), 1);
  EXPECT_EQ(basic.find("id")->integer(), std::stoll(types->members[0].name));
  const JsonValue& fields = *basic.find("flds");
  ASSERT_EQ(fields.items.size(), 2u);
  EXPECT_EQ(fields.items[0].find("name")->string(), "Front");
  EXPECT_EQ(fields.items[1].find("name")->string(), "Back");
  EXPECT_EQ(fields.items[1].find("ord")->integer(), 1);
  const JsonValue& required = *basic.find("req");
  ASSERT_EQ(required.items.size(), 1u);
  ASSERT_EQ(required.items[0].items.size(), 3u);
  EXPECT_EQ(required.items[0].items[1].string(), "any");
  const auto decks = parseJson(col[3]);
  ASSERT_TRUE(decks && decks->find("1") != nullptr);
  EXPECT_EQ(decks->find("1")->find("name")->string(), "Default");
  // IDs in the notes' order; the sort field without markup, and the checksum of it.
  const std::vector<std::string> notes = rows(db, "SELECT sfld, csum FROM notes ORDER BY id", 2);
  ASSERT_EQ(notes.size(), 6u);
  EXPECT_EQ(notes[0], "Haus &  h.jpg");
  EXPECT_EQ(notes[1], "1550075596");  // the first four bytes of SHA-1("Haus &  h.jpg")
  EXPECT_EQ(notes[2], "b");
  EXPECT_EQ(notes[4], "c");
  // The new card's place is the earliest due; the review cards are due later.
  EXPECT_EQ(rows(db, "SELECT min(due) FROM cards"), std::vector<std::string>{"1"});

  std::vector<std::string> guids;
  AnkiReport report;
  ASSERT_EQ(readAnkiCollection(db, libraries.localDay, kToday, 10, report, error,
                               [&](const AnkiItem& item) {
                                 guids.push_back(item.noteGuid);
                                 return true;
                               }),
            AnkiRead::Whole);
  EXPECT_EQ(guids, (std::vector<std::string>{"g-a", "g-c", data.notes[1].guid}));
  EXPECT_EQ(report.renderedFirstFields, 0u);  // rendered from the note type's templates
}

TEST(AnkiExport, MediaFilesArriveInTheMediaFolder) {
  Fixture f;
  const std::filesystem::path media = f.dir / "deck_media";
  std::filesystem::create_directory(media);
  spit(media / "a.jpg", "jpeg bytes");
  spit(media / "caf\xC3\xA9 \"1\".mp3", "mp3");
  spit(media / "notes.txt", std::string(5000, 'n'));  // deflated
  AnkiExport data;
  data.today = kToday;
  data.notes = {note("q", ItemStatus::Pending)};
  data.mediaFolder = media;
  data.mediaNames = {"a.jpg", "caf\xC3\xA9 \"1\".mp3", "notes.txt", "a.jpg"};
  std::string error;
  ASSERT_TRUE(f.write(data, error)) << error;
  const PeerImportResult r = f.import();
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.mediaFiles, 3u);  // the name given twice is written once
  EXPECT_EQ(r.mediaRefused + r.mediaMissing + r.mediaFailed, 0u);
  const auto bytes = [](const std::string& s) { return store::Bytes(s.begin(), s.end()); };
  EXPECT_EQ(f.t.files.bytes("/new_media/a.jpg"), bytes("jpeg bytes"));
  EXPECT_EQ(f.t.files.bytes("/new_media/caf\xC3\xA9 \"1\".mp3"), bytes("mp3"));
  EXPECT_EQ(f.t.files.bytes("/new_media/notes.txt"), bytes(std::string(5000, 'n')));

  // Without media the list is an empty object.
  Fixture none;
  data.mediaNames.clear();
  ASSERT_TRUE(none.write(data, error)) << error;
  AnkiPackage package;
  ASSERT_TRUE(openAnkiPackage(platform::systemPeerLibraries(), none.package, PackageLimits{},
                              package, error));
  EXPECT_TRUE(package.media.empty());
}

TEST(AnkiExport, AFailedWriteLeavesThePackageAsItWasAndNoTemporary) {
  struct Case {
    const char* what;
    std::function<void(const std::filesystem::path& dir, AnkiExport&)> spoil;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"a media file missing",
       [](const auto&, AnkiExport& d) { d.mediaNames.push_back("gone.png"); }, "gone.png"},
      {"a media name is a folder",
       [](const auto& dir, AnkiExport& d) {
         std::filesystem::create_directory(dir / "media" / "sub");
         d.mediaNames.push_back("sub");
       },
       "not a plain file"},
      {"a media name leaves the folder",
       [](const auto&, AnkiExport& d) { d.mediaNames.push_back("../deck.apkg"); },
       "not a plain file name"},
      {"a media name not UTF-8",
       [](const auto&, AnkiExport& d) { d.mediaNames.push_back("caf\xE9.png"); },
       "not a plain file name"},
      {"a note without GUID", [](const auto&, AnkiExport& d) { d.notes[0].guid.clear(); },
       "no GUID"},
      {"two notes with one GUID",
       [](const auto&, AnkiExport& d) { d.notes[1].guid = d.notes[0].guid; }, "same GUID"},
  };
  for (const Case& c : cases) {
    Fixture f;
    std::filesystem::create_directory(f.dir / "media");
    spit(f.dir / "media" / "ok.png", "png");
    spit(f.package, "the package of yesterday");
    AnkiExport data;
    data.today = kToday;
    data.notes = {note("a", ItemStatus::Pending), note("b", ItemStatus::Pending)};
    data.mediaFolder = f.dir / "media";
    data.mediaNames = {"ok.png"};
    c.spoil(f.dir.path(), data);
    std::string error;
    EXPECT_FALSE(f.write(data, error)) << c.what;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(slurp(f.package), "the package of yesterday") << c.what;
    EXPECT_EQ(namesIn(f.dir.path()), (std::set<std::string>{"deck.apkg", "media"})) << c.what;
  }

  // Targets that cannot be written, and a rename that fails: nothing is left behind.
  AnkiExport data;
  data.today = kToday;
  data.notes = {note("a", ItemStatus::Pending)};
  Fixture f;
  std::string error;
  EXPECT_FALSE(writeAnkiPackage(platform::systemPeerLibraries(), f.disk,
                                f.dir / "no folder" / "deck.apkg", data, error));
  EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
  spit(f.dir / "a file", "");
  EXPECT_FALSE(writeAnkiPackage(platform::systemPeerLibraries(), f.disk,
                                f.dir / "a file" / "deck.apkg", data, error));
  EXPECT_NE(error.find("cannot be written"), std::string::npos) << error;
  EXPECT_EQ(slurp(f.dir / "a file"), "");
  if (geteuid() != 0) {  // the superuser writes into any folder
    std::filesystem::create_directory(f.dir / "locked");
    std::filesystem::permissions(
        f.dir / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(writeAnkiPackage(platform::systemPeerLibraries(), f.disk,
                                  f.dir / "locked" / "deck.apkg", data, error));
    EXPECT_TRUE(namesIn(f.dir / "locked").empty());
    std::filesystem::permissions(f.dir / "locked", std::filesystem::perms::owner_all);
    std::filesystem::remove(f.dir / "locked");
  }
  // A folder in the package's place: the rename over it fails.
  std::filesystem::create_directories(f.package / "in the way");
  EXPECT_FALSE(f.write(data, error));
  EXPECT_NE(error.find("cannot be put in place"), std::string::npos) << error;
  EXPECT_EQ(namesIn(f.dir.path()), (std::set<std::string>{"a file", "deck.apkg"}));
}

TEST(AnkiExport, Sha1AndTheFieldChecksumMatchTheStandardVectors) {
  const auto hex = [](const std::array<std::uint8_t, 20>& digest) {
    std::string out;
    for (const std::uint8_t b : digest) {
      out.push_back("0123456789abcdef"[b >> 4]);
      out.push_back("0123456789abcdef"[b & 15]);
    }
    return out;
  };
  // FIPS 180 examples: one block, the padding spilling into a second, a million bytes.
  EXPECT_EQ(hex(sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hex(sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(hex(sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(hex(sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
  EXPECT_EQ(fieldChecksum("<b>abc</b>"), 0xa9993e36);

  const std::pair<const char*, const char*> stripped[] = {
      {"<b>bold</b> and <i>x</i>", "bold and x"},
      {"a &lt;b&gt; &amp; &quot;c&quot; &#39;d&#39;", "a <b> & \"c\" 'd'"},
      {"caf&#233; &#x263A;", "caf\xC3\xA9 \xE2\x98\xBA"},
      {"<img src=\"p.jpg\">", "p.jpg"},
      {"x<IMG class=a SRC='q.png'/>y", "x q.png y"},
      {"<img\r\nsrc=r.png/>", "r.png"},
      {"<img data-src=\"no.jpg\">", ""},
      {"<style>.a { color: red }</style>text<script>var x = 1 < 2;</script>", "text"},
      {"<!-- a comment -->seen", "seen"},
      {"1 < 2 &bogus; &#;", "1 < 2 &bogus; &#;"},
      {"  \n spaced&nbsp;", "spaced"},
  };
  for (const auto& [html, text] : stripped) EXPECT_EQ(fieldWithoutMarkup(html), text) << html;
}

TEST(AnkiExport, GuidsAreBaseNinetyOneDigits) {
  EXPECT_EQ(ankiGuidFrom(0), "a");
  EXPECT_EQ(ankiGuidFrom(90), "~");
  EXPECT_EQ(ankiGuidFrom(91), "ba");
  EXPECT_EQ(ankiGuidFrom(91 * 91 + 62), "ba!");
  const std::string widest = ankiGuidFrom(~std::uint64_t{0});
  EXPECT_EQ(widest.size(), 10u);
  std::set<std::string> seen;
  std::uint64_t bits = 1;
  for (int i = 0; i < 40; ++i, bits *= 3) {
    const std::string guid = ankiGuidFrom(bits);
    EXPECT_EQ(guid.find_first_of(" \"'\\\x1f"), std::string::npos) << guid;
    EXPECT_TRUE(seen.insert(guid).second) << bits;
  }
}

// A day's start is its local midnight, in a zone whose summer time begins at midnight too.
TEST(AnkiExport, DayStartIsTheFirstMomentOfItsLocalDay) {
  const char* saved = std::getenv("TZ");
  const std::string before = saved != nullptr ? saved : "";
  for (const char* zone : {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "BRT3BRST,M10.3.0/0,M2.3.0/0"}) {
    setenv("TZ", zone, 1);
    tzset();
    // Every day of four years, so each switch to and from summer time is met, and a sample of
    // the rest.
    for (std::uint32_t day = 1; day <= 0xFFFF; day += day >= 8800 && day < 10300 ? 1 : 37) {
      if (day == 43890) continue;  // 29 February 2100, which only our calendar has
      const auto d = static_cast<std::uint16_t>(day);
      const std::int64_t start = platform::dayStartOf(d);
      EXPECT_EQ(platform::localDayOf(start), d) << zone << " " << day;
      if (day > 1) {
        EXPECT_EQ(platform::localDayOf(start - 1), d - 1) << zone << " " << day;
      }
    }
  }
  if (saved != nullptr) {
    setenv("TZ", before.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(AnkiExport, TheLibraryPortsReportWhatTheyCannotDo) {
  fakes::TempDir dir;
  std::filesystem::create_directory(dir / "m");
  std::filesystem::create_directory(dir / "m" / "folder");
  for (const char* name : {"b.png", "a.jpg", ".hidden", "C.mp3"}) spit(dir / "m" / name, "x");
  std::filesystem::create_symlink(dir / "m" / "a.jpg", dir / "m" / "link.jpg");
  std::filesystem::create_symlink(dir / "m" / "gone", dir / "m" / "broken.jpg");
  std::vector<std::string> names;
  std::string error;
  ASSERT_TRUE(platform::listPlainFiles(dir / "m", names, error)) << error;
  EXPECT_EQ(names, (std::vector<std::string>{"C.mp3", "a.jpg", "b.png", "link.jpg"}));
  EXPECT_TRUE(platform::listPlainFiles(dir / "missing", names, error));
  EXPECT_TRUE(names.empty());
  EXPECT_FALSE(platform::listPlainFiles(dir / "m" / "a.jpg", names, error));

  EXPECT_FALSE(platform::writeZipArchive(dir / "empty.zip", {}, error));
  EXPECT_FALSE(std::filesystem::exists(dir / "empty.zip"));
  // What a write killed inside libzip left goes; files that only look alike stay.
  for (const char* name : {"x.zip.Ab3dE9", "x.zip.keep", "x.zip.Ab3dE9x", "y.zip.Ab3dE9"}) {
    spit(dir / name, "old");
  }
  ASSERT_TRUE(
      platform::writeZipArchive(dir / "x.zip", {ArchiveSource{"a", Bytes{'1'}, {}, true}}, error))
      << error;
  EXPECT_FALSE(std::filesystem::exists(dir / "x.zip.Ab3dE9"));
  for (const char* name : {"x.zip", "x.zip.keep", "x.zip.Ab3dE9x", "y.zip.Ab3dE9"}) {
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  }

  const std::unique_ptr<NewDatabase> db = platform::createSqliteDatabase(error);
  ASSERT_TRUE(db) << error;
  EXPECT_FALSE(db->execute("CREATE TABLE", error));
  EXPECT_FALSE(db->prepare("INSERT INTO nowhere VALUES (?)", error));
  ASSERT_TRUE(db->execute("CREATE TABLE t (a integer not null, b text)", error));
  const std::unique_ptr<NewStatement> insert = db->prepare("INSERT INTO t VALUES (?, ?)", error);
  ASSERT_TRUE(insert) << error;
  insert->bind(3, std::int64_t{1});  // no third value
  EXPECT_FALSE(insert->step(error));
  insert->bind(2, "b");  // a stays NULL, which the table refuses
  EXPECT_FALSE(insert->step(error));
  insert->bind(1, std::int64_t{7});
  insert->bind(2, "");
  EXPECT_TRUE(insert->step(error)) << error;
  Bytes image;
  ASSERT_TRUE(db->image(image, error));
  const std::unique_ptr<Database> copy = platform::openSqliteImage(image, error);
  ASSERT_TRUE(copy) << error;
  EXPECT_EQ(rows(*copy, "SELECT a, b IS '' FROM t", 2), (std::vector<std::string>{"7", "1"}));
}

// Not a timing assertion: the figure is printed for whoever watches the run.
TEST(AnkiExport, AFullCollectionGoesOutAndComesBack) {
  Fixture f;
  AnkiExport data;
  data.today = kToday;
  for (int i = 0; i < store::MaxItems; ++i) {
    ExportNote n = i % 3 == 0 ? note("q" + std::to_string(i), ItemStatus::Pending)
                              : note("q" + std::to_string(i), ItemStatus::Memorized,
                                     static_cast<std::uint16_t>(1 + i % 400),
                                     static_cast<store::DayNumber>(kToday - i % 300), 2500, 3);
    n.guid = ankiGuidFrom(0x9E3779B97F4A7C15u * static_cast<std::uint64_t>(i + 1));
    data.notes.push_back(std::move(n));
  }
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(f.write(data, error)) << error;
  const auto written = std::chrono::steady_clock::now();
  const PeerImportResult r = f.import();
  const auto imported = std::chrono::steady_clock::now();
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.added, store::MaxItems);
  const auto ms = [](auto d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  std::cout << "30000 notes: written in " << ms(written - start) << " ms, imported in "
            << ms(imported - written) << " ms\n";
}

}  // namespace
}  // namespace kelvora::peers
