// Text tables and KVTML files into new collections: the texts and the progress they carry, the
// messages the user reads, and a source that cannot be read or holds too much leaving nothing.
#include "peers/peer_import.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "learning/calendar_date.h"
#include "platform/peer_libraries.h"
#include "stopping_progress.h"
#include "store/collection_opening.h"
#include "store/item_status.h"
#include "temp_dir.h"
#include "test_collection.h"

namespace kelvora::peers {
namespace {

using store::code;
using store::ItemStatus;

store::Bytes bytesOf(std::string_view s) { return store::Bytes(s.begin(), s.end()); }

struct Fixture {
  testing::TestCollection t;

  std::vector<std::pair<std::u16string, std::u16string>> texts() {
    std::vector<std::pair<std::u16string, std::u16string>> out;
    if (!store::openCollection(t.c, "/new")) return out;
    for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
      EXPECT_TRUE(t.read(p));
      out.emplace_back(t.c.loaded.question, t.c.loaded.answer);
    }
    return out;
  }
};

TEST(TextTableImport, RowsBecomeNewItemsAndTheMessageCountsWhatWasPassedOver) {
  Fixture f;
  // Latin-1, as a spreadsheet saves it: a header, a quoted field over two lines, an empty row
  // and a row with a third column.
  f.t.files.put("/deck.csv", bytesOf("#separator:;\n#html:true\ncaf\xE9;\"na\xEFve\nline\"\n\n"
                                     "<b>a</b>;b;extra\n"));
  const PeerImportResult r = importTextTable(f.t.c, "/deck.csv", "/new", TableSettings{}, true);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  const auto texts = f.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].first, u"caf\u00E9");
  EXPECT_EQ(texts[0].second, u"na\u00EFve\r\nline");
  EXPECT_EQ(texts[1].first, u"<b>a</b>");
  EXPECT_EQ(f.t.c.table[0].status, code(ItemStatus::Pending));
  EXPECT_EQ(f.t.c.settings.html, 1);
  EXPECT_EQ(peerImportMessage(r, "/new"),
            u"Your file has been imported into:\r\n/new.kdb\r\n\r\nItems added: 2\r\n"
            u"Empty rows skipped: 1\r\nRows with columns past the two taken: 1");
}

TEST(TextTableImport, ChosenColumnsAndALongTextCutAndCounted) {
  Fixture f;
  f.t.files.put("/deck.tsv", bytesOf("id\tq\ta\n1\tone\t" + std::string(12000, 'x') + "\n"));
  TableSettings settings;
  settings.questionColumn = 1;
  settings.answerColumn = 2;
  const PeerImportResult r = importTextTable(f.t.c, "/deck.tsv", "/new", settings, true);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported);
  EXPECT_EQ(r.textsCut, 1u);
  const auto texts = f.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1].first, u"one");
  EXPECT_EQ(texts[1].second.size(), store::MaxTextLength - 1);
  EXPECT_NE(peerImportMessage(r, "/new").find(u"Texts cut to 9999 characters: 1"),
            std::u16string::npos);
}

TEST(TextTableImport, ASourceThatCannotBeReadOrHoldsTooMuchLeavesNothing) {
  {
    Fixture f;
    const PeerImportResult r = importTextTable(f.t.c, "/none.csv", "/new", TableSettings{}, true);
    EXPECT_EQ(r.outcome, PeerImportOutcome::Unreadable);
    EXPECT_EQ(peerImportMessage(r, "/new"),
              u"The file cannot be imported: the file cannot be opened.");
  }
  {
    Fixture f;
    f.t.files.put("/deck.csv", bytesOf("a;b\n"));
    f.t.files.failReadCall = f.t.files.readCalls;  // the first read of the source
    const PeerImportResult r = importTextTable(f.t.c, "/deck.csv", "/new", TableSettings{}, true);
    EXPECT_EQ(r.outcome, PeerImportOutcome::Unreadable);
    EXPECT_FALSE(f.t.files.exists("/new.kdb"));
  }
  {
    Fixture f;
    std::string rows;
    for (int i = 0; i <= store::MaxItems; ++i) rows += "q" + std::to_string(i) + ";a\n";
    f.t.files.put("/big.csv", bytesOf(rows));
    const PeerImportResult r = importTextTable(f.t.c, "/big.csv", "/new", TableSettings{}, true);
    EXPECT_EQ(r.outcome, PeerImportOutcome::TooManyItems);
    EXPECT_FALSE(f.t.files.exists("/new.kdb"));
    EXPECT_EQ(peerImportMessage(r, "/new"),
              u"The file holds 30001 rows; a collection holds at most 30000. Nothing was "
              u"imported.");
    EXPECT_TRUE(f.t.messages.shown.empty());  // no file failed
  }
  for (long op = 0; op < 6; ++op) {
    Fixture f;
    f.t.files.put("/deck.csv", bytesOf("a;b\nc;d\n"));
    f.t.files.failWriteOp = f.t.files.writeOps + op;
    const PeerImportResult r = importTextTable(f.t.c, "/deck.csv", "/new", TableSettings{}, true);
    f.t.files.failWriteOp = -1;
    if (r.outcome == PeerImportOutcome::Imported) {
      EXPECT_EQ(f.texts().size(), 2u) << op;
      continue;
    }
    EXPECT_EQ(r.outcome, PeerImportOutcome::NotStored) << op;
    EXPECT_EQ(f.t.messages.texts().back(), u"Error while importing database!") << op;
    EXPECT_FALSE(f.t.files.exists("/new.kdb")) << op;
  }
}

// Cancel at any look while a table is read or stored: nothing is made, nothing is told.
TEST(TextTableImport, CancelAtAnyPointLeavesNoCollection) {
  std::string rows;
  for (int i = 0; i < 3000; ++i) rows += "q" + std::to_string(i) + ";a\n";
  int cancelled = 0;
  for (int stop = 1;; stop += 97) {
    Fixture f;
    fakes::StoppingProgress window;
    window.stopAt = stop;
    f.t.c.progress.setWindow(&window);
    f.t.files.put("/deck.csv", bytesOf(rows));
    const PeerImportResult r = importTextTable(f.t.c, "/deck.csv", "/new", TableSettings{}, true);
    if (r.outcome == PeerImportOutcome::Imported) break;  // stop came after the last look
    ++cancelled;
    EXPECT_EQ(r.outcome, PeerImportOutcome::Cancelled) << stop;
    EXPECT_FALSE(f.t.files.exists("/new.kdb")) << stop;
    EXPECT_TRUE(f.t.messages.shown.empty()) << stop;
    EXPECT_TRUE(f.texts().empty());
  }
  EXPECT_GT(cancelled, 20);  // reading and storing both look at Cancel as they go
}

constexpr char kVocabulary[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<kvtml version="2.0">
  <identifiers>
    <identifier id="0"><name>English</name></identifier>
    <identifier id="1"><name>German</name></identifier>
  </identifiers>
  <entries>
    <entry id="0">
      <translation id="0"><text>house</text></translation>
      <translation id="1"><text>Haus</text>
        <grade fromid="0"><currentgrade>3</currentgrade><count>5</count><errorcount>2</errorcount><date>2004-08-10T12:00:00</date></grade>
      </translation>
    </entry>
    <entry id="1"><translation id="0"><text>tree</text></translation><translation id="1"><text>Baum</text></translation></entry>
    <entry id="2"><inactive>true</inactive><translation id="0"><text>dog</text></translation><translation id="1"><text>Hund</text></translation></entry>
  </entries>
</kvtml>
)";

TEST(KvtmlImport, EntriesKeepTheProgressOfTheirDirection) {
  Fixture f;
  f.t.files.put("/v.kvtml", bytesOf(kVocabulary));
  const PeerImportResult r = importKvtml(f.t.c, "/v.kvtml", "/new", KvtmlPair{}, true);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  const auto texts = f.texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], (std::pair<std::u16string, std::u16string>{u"house", u"Haus"}));
  ASSERT_TRUE(f.t.read(0));
  EXPECT_EQ(f.t.c.table[0].interval, 4);  // box 3
  EXPECT_EQ(f.t.c.table[0].lastRepetition, learning::dateToDay(2004, 8, 10));
  EXPECT_EQ(f.t.c.loaded.header.repetitions, 3);
  EXPECT_EQ(f.t.c.loaded.header.lapses, 2);
  EXPECT_EQ(f.t.c.table[1].status, code(ItemStatus::Pending));
  EXPECT_EQ(f.t.c.table[2].status, code(ItemStatus::Dismissed));

  Fixture reversed;
  reversed.t.files.put("/v.kvtml", bytesOf(kVocabulary));
  ASSERT_EQ(importKvtml(reversed.t.c, "/v.kvtml", "/new", KvtmlPair{1, 0}, true).outcome,
            PeerImportOutcome::Imported);
  ASSERT_EQ(reversed.texts().at(0).first, u"Haus");
  EXPECT_EQ(reversed.t.c.table[0].status, code(ItemStatus::Pending));  // no grade this way
}

TEST(KvtmlImport, BoxesGiveTheirIntervalsAndABrokenFileSaysWhy) {
  const std::uint16_t intervals[] = {0, 1, 2, 4, 7, 14, 30, 60, 60};
  for (std::uint8_t box = 0; box <= 8; ++box) {
    KvtmlEntry e;
    e.box = box;
    const ItemLearning l = kvtmlLearning(e, 9000);
    EXPECT_EQ(l.interval, intervals[box]) << int(box);
    EXPECT_EQ(l.lastRepetition, box == 0 ? 0 : 9000) << int(box);  // no date: today
    EXPECT_EQ(l.status, code(box == 0 ? ItemStatus::Pending : ItemStatus::Memorized));
  }
  Fixture f;
  f.t.files.put("/v.kvtml", bytesOf("<kvtml version=\"2.0\"><identifiers>"));
  const PeerImportResult r = importKvtml(f.t.c, "/v.kvtml", "/new", KvtmlPair{}, true);
  EXPECT_EQ(r.outcome, PeerImportOutcome::Unreadable);
  EXPECT_EQ(peerImportMessage(r, "/new").rfind(u"The file cannot be imported: the file", 0), 0u);
  EXPECT_TRUE(f.t.files.paths().size() == 1);  // the source alone
}

// Day 1 is 1 January 1980: local days are UTC ones in these tests.
store::DayNumber utcDay(std::int64_t unixSeconds) {
  return static_cast<store::DayNumber>(unixSeconds / 86400 - 3651);
}
std::int64_t noonOf(store::DayNumber day) { return (std::int64_t{day} + 3651) * 86400 + 43200; }

TEST(MnemosyneImport, CardsKeepTheirGradesAsProgress) {
  fakes::TempDir dir;
  const std::filesystem::path path = dir / "default.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string sql =
      "CREATE TABLE facts (_id integer primary key, id text);"
      "CREATE TABLE cards (_id integer primary key, id text, card_type_id text, _fact_id int, "
      "fact_view_id text, question text, answer text, tags text, grade int, next_rep int, "
      "last_rep int, easiness real, acq_reps int, ret_reps int, lapses int, "
      "acq_reps_since_lapse int, ret_reps_since_lapse int, creation_time int, "
      "modification_time int, extra_data text, scheduler_data int, active int);"
      "INSERT INTO cards (question, answer, grade, next_rep, last_rep, easiness, lapses, "
      "ret_reps_since_lapse, active) VALUES "
      "('new', 'n', -1, -1, -1, 2.5, 0, 0, 1),"
      "('failed', 'f', 1, " +
      std::to_string(noonOf(9001)) + ", " + std::to_string(noonOf(9000)) +
      ", 1.7, 3, 0, 1),"
      "('<b>known</b>', 'k', 4, " +
      std::to_string(noonOf(9040)) + ", " + std::to_string(noonOf(9000)) +
      ", 3.6, 1, 4, 1),"
      "('resting', 'r', 5, " +
      std::to_string(noonOf(9010)) + ", " + std::to_string(noonOf(9000)) + ", 2.61, 0, 0, 0);";
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  Fixture f;
  PeerLibraries libraries = platform::systemPeerLibraries();
  libraries.localDay = utcDay;
  // The media folder beside the database, its files read through the collection's file port.
  f.t.files.put(dir / "default_media" / "pic.png", bytesOf("picture"));
  libraries.listFolder = [&](const std::filesystem::path& folder, std::vector<std::string>& names,
                             std::string&) {
    EXPECT_EQ(folder, dir / "default_media");
    names = {"pic.png", ".hidden", "gone.png"};
    return true;
  };
  const PeerImportResult r = importMnemosyne(f.t.c, libraries, path, "/new", true);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(f.t.files.bytes("/new_media/pic.png"), bytesOf("picture"));
  EXPECT_EQ(r.mediaFiles, 1u);
  EXPECT_EQ(r.mediaRefused, 1u);  // a leading dot
  EXPECT_EQ(r.mediaFailed, 1u);   // listed, then gone
  ASSERT_EQ(f.texts().size(), 4u);
  struct Expected {
    ItemStatus status;
    std::uint16_t interval;
    store::DayNumber last;
    std::uint16_t factor;
    std::uint8_t repetitions;
    std::uint8_t lapses;
  };
  const Expected expected[] = {{ItemStatus::Pending, 0, 0, 2500, 0, 0},
                               {ItemStatus::Drill, 0, 9000, 1700, 0, 3},
                               {ItemStatus::Memorized, 40, 9000, 3300, 5, 1},
                               {ItemStatus::Dismissed, 10, 9000, 2610, 1, 0}};
  for (std::uint16_t p = 0; p < 4; ++p) {
    ASSERT_TRUE(f.t.read(p));
    const Expected& e = expected[p];
    EXPECT_EQ(f.t.c.table[p].status, code(e.status)) << p;
    EXPECT_EQ(f.t.c.table[p].interval, e.interval) << p;
    EXPECT_EQ(f.t.c.table[p].lastRepetition, e.last) << p;
    EXPECT_EQ(f.t.c.loaded.header.aFactor, e.factor) << p;
    EXPECT_EQ(f.t.c.loaded.header.repetitions, e.repetitions) << p;
    EXPECT_EQ(f.t.c.loaded.header.lapses, e.lapses) << p;
  }
  EXPECT_EQ(f.t.c.settings.html, 1);
  // Read without a lock, a journal or a log beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  Fixture other;
  const PeerImportResult notDb =
      importMnemosyne(other.t.c, libraries, dir / "missing.db", "/new", true);
  EXPECT_EQ(notDb.outcome, PeerImportOutcome::Unreadable);
  EXPECT_TRUE(other.t.files.paths().empty());
}

}  // namespace
}  // namespace kelvora::peers
