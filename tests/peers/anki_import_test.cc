// Anki packages into new collections: every form of package gives the same items with their
// progress, a learned card keeps its long interval, and a damaged, newer or oversized package
// leaves no collection behind.
#include <gtest/gtest.h>

#include <fstream>

#include "anki_package_builder.h"
#include "learning/scheduling.h"
#include "peers/anki_package.h"
#include "peers/peer_import.h"
#include "platform/peer_libraries.h"
#include "store/collection_opening.h"
#include "store/item_status.h"
#include "store/utf8.h"
#include "temp_dir.h"
#include "test_collection.h"

namespace kelvora::peers {
namespace {

using store::code;
using store::ItemStatus;
using testing::CardRow;
using testing::PackageContents;
using testing::PackageForm;

// Day 1 is 1 January 1980, 3652 days after 1 January 1970: local days are UTC ones here.
store::DayNumber utcDay(std::int64_t unixSeconds) {
  return static_cast<store::DayNumber>(unixSeconds / 86400 - 3651);
}
std::int64_t secondsOfDay(store::DayNumber day) { return (std::int64_t{day} + 3651) * 86400; }

constexpr store::DayNumber kCreated = 8000;  // the Anki collection's creation day
constexpr store::DayNumber kToday = testing::kTestToday;

PeerLibraries libraries() {
  PeerLibraries l = platform::systemPeerLibraries();
  l.localDay = utcDay;
  return l;
}

const testing::NoteTypeRow kBasicAndReversed{
    1,
    false,
    {"Front", "Back"},
    {{"{{Front}}", "{{FrontSide}}\n\n<hr id=answer>\n\n{{Back}}"},
     {"{{Back}}", "{{FrontSide}}<hr id=\"answer\">{{Front}}"}}};
const testing::NoteTypeRow kCloze{
    2, true, {"Text", "Extra"}, {{"{{cloze:Text}}", "{{cloze:Text}}<br>{{Extra}}"}}};

// A deck of every kind of card: a review card learned for 400 days with a lapse in its log, a
// relearning card, a suspended review card, learning and new cards, a cloze note with two
// deletions, and a card whose note is gone.
PackageContents deck(PackageForm form, std::int64_t schema) {
  PackageContents s;
  s.form = form;
  s.schema = schema;
  s.creationSeconds = secondsOfDay(kCreated) + 4 * 3600;
  s.noteTypes = {kBasicAndReversed, kCloze};
  s.notes = {{10, "g10", 1, {"house", "Haus"}, ""},
             {11, "g11", 1, {"tree", "Baum"}, " animals "},
             {12, "g12", 1, {"dog", "Hund"}, ""},
             {13, "g13", 2, {"{{c1::Paris}} is in {{c2::France::country}}", "geo"}, ""}};
  const std::int64_t reviewed = kToday - 20;  // days, the newest review of card 100
  s.cards = {
      // review: due in 380 days of an interval of 400, factor 2650, one lapse long ago
      {100, 10, 0, 2, 2, (kToday - kCreated) + 380, 400, 2650, 1},
      {101, 10, 1, 0, 0, 7},               // new, second in the new queue
      {102, 11, 0, 3, 1, 0, 1, 1900, 4},   // relearning
      {103, 11, 1, 2, -1, 50, 9, 0, 300},  // suspended review card, factor 0, too many lapses
      {104, 12, 0, 1, 1, 0, 0, 0, 0},      // learning: never graduated
      {105, 13, 0, 0, 0, 3},               // new cloze c1, first in the new queue
      {106, 13, 1, 0, 0, 9},               // new cloze c2
      {107, 99, 0, 2, 2, 10, 5, 2500},     // its note is missing
  };
  const auto ms = [](std::int64_t day) {
    return secondsOfDay(static_cast<store::DayNumber>(day)) * 1000 + 7200000;
  };
  s.reviews = {{ms(reviewed - 900), 100, 1, 1},  // a lapse
               {ms(reviewed - 800), 100, 3, 2},  // relearning step: not a pass
               {ms(reviewed - 700), 100, 3, 1},  // passes since the lapse: 3
               {ms(reviewed - 400), 100, 4, 1}, {ms(reviewed), 100, 3, 1},
               {ms(reviewed + 5), 100, 0, 4},  // a reschedule by hand: no review
               {ms(kToday - 3), 102, 1, 1}};
  return s;
}

struct Imported {
  std::u16string question;
  std::u16string answer;
  store::ItemIndexEntry entry;
  store::ItemRecordHeader header;
};

struct Fixture {
  fakes::TempDir dir;
  testing::TestCollection t;

  PeerImportResult import(const PackageContents& contents, bool unicode = true) {
    testing::writePackage(contents, dir / "deck.apkg");
    return importAnkiPackage(t.c, libraries(), dir / "deck.apkg", "/new", unicode);
  }

  std::vector<Imported> items() {
    std::vector<Imported> out;
    if (!store::openCollection(t.c, "/new")) return out;
    for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
      EXPECT_TRUE(t.read(p));
      out.push_back({t.c.loaded.question, t.c.loaded.answer, t.c.table[p], t.c.loaded.header});
    }
    return out;
  }
};

TEST(AnkiImport, EveryCardBecomesAnItemWithItsProgress) {
  Fixture f;
  const PeerImportResult r = f.import(deck(PackageForm::Anki21, 11));
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.added, 7u);
  EXPECT_EQ(r.leftOut, 1u);
  EXPECT_EQ(r.reviewRows, 7u);
  EXPECT_EQ(r.notesWithTags, 1u);
  const std::vector<Imported> items = f.items();
  ASSERT_EQ(items.size(), 7u);
  // Studied cards by note and template, then the new queue in its order.
  const std::u16string questions[] = {
      u"house", u"tree", u"Baum", u"dog", u"[...] is in France", u"Haus", u"Paris is in [...]"};
  for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].question, questions[i]) << i;

  const Imported& review = items[0];
  EXPECT_EQ(review.answer, u"Haus");  // FrontSide and the rule after it left out
  EXPECT_EQ(review.entry.status, code(ItemStatus::Memorized));
  EXPECT_EQ(review.entry.interval, 400);
  EXPECT_EQ(review.entry.lastRepetition, kToday - 20);
  EXPECT_EQ(review.header.aFactor, 2650);
  EXPECT_EQ(review.header.repetitions, 3);
  EXPECT_EQ(review.header.lapses, 1);

  const Imported& relearning = items[1];
  EXPECT_EQ(relearning.entry.status, code(ItemStatus::Outstanding));  // due since yesterday
  EXPECT_EQ(relearning.entry.interval, 1);
  EXPECT_EQ(relearning.entry.lastRepetition, kToday - 3);
  EXPECT_EQ(relearning.header.repetitions, 1);  // never 0 for a learned item
  EXPECT_EQ(relearning.header.lapses, 4);

  const Imported& suspended = items[2];
  EXPECT_EQ(suspended.entry.status, code(ItemStatus::Dismissed));
  EXPECT_EQ(suspended.entry.interval, 9);
  EXPECT_EQ(suspended.entry.lastRepetition, kCreated + 50 - 9);  // no log: from its due day
  EXPECT_EQ(suspended.header.aFactor, store::kNewItemAFactor);
  EXPECT_EQ(suspended.header.lapses, 255);

  for (std::size_t i = 3; i < items.size(); ++i) {
    EXPECT_EQ(items[i].entry.status, code(ItemStatus::Pending)) << i;
    EXPECT_EQ(items[i].entry.interval, 0) << i;
    EXPECT_EQ(items[i].header.repetitions, 0) << i;
  }
  EXPECT_EQ(items[4].answer, u"Paris is in France<br>geo");
  EXPECT_EQ(f.t.c.settings.html, 1);  // "<br>" is markup
}

TEST(AnkiImport, ALongLearnedCardGradedGoodGoesFurtherStill) {
  Fixture f;
  PackageContents s = deck(PackageForm::Anki21, 11);
  s.cards = {{100, 10, 0, 2, 2, kToday - kCreated, 400, 2500, 0}};  // due today
  s.reviews = {{secondsOfDay(kToday - 400) * 1000, 100, 3, 1}};
  ASSERT_EQ(f.import(s).outcome, PeerImportOutcome::Imported);
  ASSERT_EQ(f.items().size(), 1u);
  const learning::LearningData before{f.t.c.table[0].status,           f.t.c.table[0].interval,
                                      f.t.c.table[0].lastRepetition,   f.t.c.loaded.header.aFactor,
                                      f.t.c.loaded.header.repetitions, f.t.c.loaded.header.lapses};
  EXPECT_EQ(before.status, code(ItemStatus::Outstanding));  // due today, as in Anki
  const learning::LearningData after = learning::schedule(before, learning::Grade::Good, kToday);
  EXPECT_GE(after.interval, 400 * 2.5);
}

TEST(AnkiImport, EveryFormOfPackageGivesTheSameItems) {
  Fixture reference;
  ASSERT_EQ(reference.import(deck(PackageForm::Anki21, 11)).outcome, PeerImportOutcome::Imported);
  const std::vector<Imported> expected = reference.items();
  struct Case {
    PackageForm form;
    std::int64_t schema;
    bool placeholder;
    bool meta;
  };
  for (const Case c :
       {Case{PackageForm::Anki2, 11, false, false}, Case{PackageForm::Anki21, 11, true, false},
        Case{PackageForm::Anki21b, 18, true, true}, Case{PackageForm::Anki21b, 18, true, false},
        Case{PackageForm::Anki21, 18, false, false}}) {
    Fixture f;
    PackageContents s = deck(c.form, c.schema);
    s.placeholder = c.placeholder;
    s.meta = c.meta;
    const PeerImportResult r = f.import(s);
    ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
    const std::vector<Imported> items = f.items();
    ASSERT_EQ(items.size(), expected.size()) << static_cast<int>(c.form) << " " << c.schema;
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(items[i].question, expected[i].question);
      EXPECT_EQ(items[i].answer, expected[i].answer);
      EXPECT_EQ(items[i].entry, expected[i].entry);
      EXPECT_EQ(items[i].header.aFactor, expected[i].header.aFactor);
    }
  }
}

TEST(AnkiImport, PlainTextsMakeAPlainCollectionAndWideOnesAUnicodeOne) {
  Fixture f;
  PackageContents s = deck(PackageForm::Anki21, 11);
  // U+AC00 is past what Compressed Unicode stores.
  s.notes = {{10, "g", 1, {"\xEA\xB0\x80 \xE4\xBD\xA0", "hello"}, ""}};
  s.cards = {{100, 10}};
  ASSERT_EQ(f.import(s).outcome, PeerImportOutcome::Imported);
  const std::vector<Imported> items = f.items();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].question, u"\uAC00 \u4F60");
  EXPECT_EQ(f.t.c.settings.html, 0);
  EXPECT_EQ(f.t.c.settings.utf8, 1);
}

TEST(AnkiImport, ALongFieldIsCutToWhatAnItemHoldsAndCounted) {
  Fixture f;
  PackageContents s = deck(PackageForm::Anki21, 11);
  s.notes = {{10, "g", 1, {std::string(20000, 'q'), "short"}, ""}};
  s.cards = {{100, 10, 0},
             {101, 10, 1}};  // the long field is the question of one, the answer of the other
  const PeerImportResult r = f.import(s);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported);
  EXPECT_EQ(r.textsCut, 2u);
  const std::vector<Imported> items = f.items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].question, std::u16string(store::MaxTextLength - 1, u'q'));
  EXPECT_EQ(items[1].answer, std::u16string(store::MaxTextLength - 1, u'q'));
}

// Whatever is wrong with a package, it is said, and no collection is made.
TEST(AnkiImport, ABadPackageMakesNoCollection) {
  struct Case {
    const char* what;
    std::function<void(const std::filesystem::path&)> make;
    const char* says;
  };
  const auto writeBytes = [](const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  };
  const auto good = [](PackageForm form, std::int64_t schema) {
    PackageContents s = deck(form, schema);
    return testing::buildCollection(s, "/tmp/kelvora-anki-scratch");
  };
  const std::vector<Case> cases = {
      {"not a zip", [&](const auto& p) { writeBytes(p, "PK\x03\x04 not really"); },
       "not a readable package"},
      {"empty file", [&](const auto& p) { writeBytes(p, ""); }, "not a readable package"},
      {"no collection",
       [](const auto& p) {
         testing::writeZip(p, {{"media", {'{', '}'}}});
       },
       "holds no collection"},
      {"collection not SQLite",
       [](const auto& p) {
         testing::writeZip(p, {{"collection.anki21", {'h', 'i'}}});
       },
       "not a database"},
      {"truncated collection",
       [&](const auto& p) {
         testing::FileBytes bytes = good(PackageForm::Anki21, 11);
         bytes.resize(bytes.size() / 2);
         testing::writeZip(p, {{"collection.anki21", bytes}});
       },
       "cannot be read"},
      {"truncated zstd stream",
       [&](const auto& p) {
         testing::FileBytes z = testing::zstdFrame(good(PackageForm::Anki21b, 18));
         z.resize(z.size() - 9);
         testing::writeZip(p, {{"collection.anki21b", z}});
       },
       "cannot be decompressed"},
      {"newer schema",
       [&](const auto& p) {
         PackageContents s = deck(PackageForm::Anki21, 19);
         testing::writePackage(s, p);
       },
       "newer Anki"},
      {"newer package version",
       [&](const auto& p) {
         PackageContents s = deck(PackageForm::Anki21b, 18);
         s.metaVersion = 4;
         testing::writePackage(s, p);
       },
       "newer Anki"},
      {"SQLite but no collection",
       [&](const auto& p) {
         PackageContents s;
         testing::FileBytes bytes = good(PackageForm::Anki21, 11);
         // The same database with its cards table gone.
         testing::writeZip(p, {{"collection.anki21", testing::dropTable(bytes, "cards")}});
       },
       "not an Anki collection"},
  };
  for (const Case& c : cases) {
    Fixture f;
    c.make(f.dir / "bad.apkg");
    const PeerImportResult r =
        importAnkiPackage(f.t.c, libraries(), f.dir / "bad.apkg", "/new", true);
    EXPECT_EQ(r.outcome, PeerImportOutcome::Unreadable) << c.what;
    EXPECT_NE(r.error.find(c.says), std::string::npos) << c.what << ": " << r.error;
    EXPECT_TRUE(f.t.files.paths().empty()) << c.what;
    EXPECT_NE(peerImportMessage(r, "/new").find(u"cannot be imported"), std::u16string::npos);
  }
}

TEST(AnkiImport, MoreCardsThanACollectionHoldsStopsBeforeWriting) {
  Fixture f;
  PackageContents s = deck(PackageForm::Anki21, 11);
  s.cards.clear();
  for (std::int64_t i = 0; i <= store::MaxItems; ++i) s.cards.push_back({1000 + i, 12, 0, 0, 0, i});
  const PeerImportResult r = f.import(s);
  EXPECT_EQ(r.outcome, PeerImportOutcome::TooManyItems);
  EXPECT_EQ(r.sourceItems, store::MaxItems + 1u);
  EXPECT_TRUE(f.t.files.paths().empty());
  EXPECT_NE(peerImportMessage(r, "/new").find(u"30001 cards"), std::u16string::npos);
}

TEST(AnkiImport, AFailedWriteLeavesNoCollection) {
  for (long op = 0; op < 6; ++op) {
    Fixture f;
    f.t.files.failWriteOp = op;
    const PeerImportResult r = f.import(deck(PackageForm::Anki21, 11));
    f.t.files.failWriteOp = -1;
    if (r.outcome == PeerImportOutcome::Imported) {
      EXPECT_EQ(f.items().size(), 7u) << op;  // the failing operation was a harmless one
      continue;
    }
    EXPECT_EQ(r.outcome, PeerImportOutcome::NotStored) << op;
    EXPECT_FALSE(f.t.messages.shown.empty()) << op;
    EXPECT_FALSE(f.t.files.exists("/new.kdb")) << op;
  }
}

TEST(AnkiImport, MediaFilesAreCopiedBesideTheCollectionAndAFailedOneIsCounted) {
  for (const PackageForm form : {PackageForm::Anki21, PackageForm::Anki21b}) {
    Fixture f;
    PackageContents s = deck(form, form == PackageForm::Anki21b ? 18 : 11);
    s.media = {{"a.png", "png bytes"}, {"../evil.png", "x"}, {"caf\xC3\xA9.mp3", "mp3"}};
    const PeerImportResult r = f.import(s);
    ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
    EXPECT_EQ(r.mediaFiles, 2u);
    EXPECT_EQ(r.mediaRefused, 1u);
    EXPECT_EQ(f.t.files.bytes("/new_media/a.png"),
              store::Bytes({'p', 'n', 'g', ' ', 'b', 'y', 't', 'e', 's'}));
    EXPECT_EQ(f.t.files.bytes("/new_media/caf\xC3\xA9.mp3"), store::Bytes({'m', 'p', '3'}));
    EXPECT_FALSE(f.t.files.exists("/evil.png"));
    const std::u16string message = peerImportMessage(r, "/new");
    EXPECT_NE(message.find(u"Media files copied into new_media: 2"), std::u16string::npos);
    EXPECT_NE(message.find(u"media files refused for their names: 1"), std::u16string::npos);
  }
  // A write fails once the collection is stored: that medium is counted, the items stay.
  PackageContents s = deck(PackageForm::Anki21, 11);
  s.media = {{"a.png", "png"}, {"b.png", "png"}};
  Fixture full;
  testing::writePackage(s, full.dir / "deck.apkg");
  {
    // The same import without media counts the collection's own writes.
    Fixture probe;
    testing::writePackage(deck(PackageForm::Anki21, 11), probe.dir / "deck.apkg");
    ASSERT_EQ(
        importAnkiPackage(probe.t.c, libraries(), probe.dir / "deck.apkg", "/new", true).outcome,
        PeerImportOutcome::Imported);
    full.t.files.failWriteOp = probe.t.files.writeOps + 1;  // the first medium's, after the folder
  }
  const PeerImportResult partly =
      importAnkiPackage(full.t.c, libraries(), full.dir / "deck.apkg", "/new", true);
  ASSERT_EQ(partly.outcome, PeerImportOutcome::Imported);
  EXPECT_EQ(partly.mediaFiles, 1u);
  EXPECT_EQ(partly.mediaFailed, 1u);
  EXPECT_NE(peerImportMessage(partly, "/new").find(u"Media files that could not be copied: 1"),
            std::u16string::npos);
  EXPECT_EQ(full.items().size(), 7u);
}

TEST(AnkiPackage, MediaNamesThatCouldLeaveTheFolderAreRefused) {
  for (const char* bad :
       {"", ".", "..", ".hidden", "a/b.png", "..\\x.png", "tab\there", "nul\x01", "/etc/passwd"}) {
    EXPECT_FALSE(isSafeMediaName(bad)) << bad;
  }
  EXPECT_FALSE(isSafeMediaName(std::string(256, 'a')));
  for (const char* good : {"a.png", "caf\xC3\xA9 1.jpg", "x..y.mp3"}) {
    EXPECT_TRUE(isSafeMediaName(good)) << good;
  }
  EXPECT_TRUE(isSafeMediaName(std::string(255, 'a')));
  for (const PackageForm form : {PackageForm::Anki21, PackageForm::Anki21b}) {
    Fixture f;
    PackageContents s = deck(form, form == PackageForm::Anki21b ? 18 : 11);
    s.media = {{"ok.png", "png"}, {"../evil.png", "x"}, {".bashrc", "x"}, {"b.mp3", "mp3"}};
    testing::writePackage(s, f.dir / "m.apkg");
    AnkiPackage package;
    std::string error;
    ASSERT_TRUE(openAnkiPackage(libraries(), f.dir / "m.apkg", PackageLimits{}, package, error))
        << error;
    ASSERT_EQ(package.media.size(), 2u);
    EXPECT_EQ(package.refusedMediaNames, 2u);
    EXPECT_EQ(package.media[1].name, "b.mp3");
    Bytes bytes;
    ASSERT_TRUE(
        readMediaFile(libraries(), package, package.media[1], PackageLimits{}, bytes, error));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "mp3");
  }
}

}  // namespace
}  // namespace kelvora::peers
