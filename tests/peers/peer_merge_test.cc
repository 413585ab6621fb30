// Importing a source again into the collection it made: the links file names each item's source
// key, matched items take the new texts and keep their progress, new ones are appended, the same
// source twice leaves every byte as it was, and a refused, failed or killed merge leaves the old
// collection or the new one with links that agree with it.
#include <gtest/gtest.h>

#include "anki_package_builder.h"
#include "exchange/exchange_commands.h"
#include "peers/links_file.h"
#include "peers/peer_import.h"
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

struct Item {
  std::u16string question;
  std::u16string answer;
  store::ItemIndexEntry entry;
  bool operator==(const Item&) const = default;
};

std::vector<Item> itemsOf(testing::TestCollection& t) {
  std::vector<Item> out;
  for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
    EXPECT_TRUE(t.read(p));
    out.push_back({t.c.loaded.question, t.c.loaded.answer, t.c.table[p]});
  }
  return out;
}

struct Fixture {
  testing::TestCollection t;

  void open() { ASSERT_TRUE(store::openCollection(t.c, "/c")); }
  // A table at /deck.csv imported into /c: a new collection, or a merge when /c is open.
  PeerImportResult importTable(std::string_view table) {
    t.files.put("/deck.csv", bytesOf(table));
    return importTextTable(t.c, "/deck.csv", "/c", TableSettings{}, true);
  }
  std::vector<Item> items() {
    if (!t.c.isOpen) open();
    return itemsOf(t);
  }
  std::vector<ItemLink> links() {
    std::vector<ItemLink> out;
    std::string error;
    EXPECT_TRUE(readLinks(t.files, "/c", out, error)) << error;
    return out;
  }
  std::map<std::string, store::Bytes> files() {
    std::map<std::string, store::Bytes> out;
    for (const char* name : {"/c.kdb", "/c.kbi", "/c.cfg", "/c.links"}) {
      if (t.files.exists(name)) out[name] = t.files.bytes(name);
    }
    return out;
  }
  // Item p learned ten days ago: the progress a merge must keep.
  void learn(std::uint16_t p) {
    ASSERT_TRUE(t.read(p));
    t.c.table[p].status = code(ItemStatus::Memorized);
    t.c.table[p].interval = 30;
    t.c.table[p].lastRepetition = t.today - 10;
    t.c.loaded.header.repetitions = 4;
    ASSERT_TRUE(t.c.writeItem(p));
  }
};

TEST(LinksFile, KeysWithAnyCharacterGoThroughAndADamagedFileIsRefusedWithItsLine) {
  const std::vector<ItemLink> links = {{0, ankiKey("a\tb\\c", 1)},
                                       {7, mnemosyneKey("line\r\nnext")},
                                       {65534, kvtmlKey("deck.kvtml", "3", 0, 1)},
                                       {3, tableKey(std::u16string(9999, u'q'))}};
  // A table row's question is kept as its hash, whatever its length.
  EXPECT_EQ(tableKey(u""), "table cbf29ce484222325");
  EXPECT_EQ(links[3].key.size(), 6u + 16u);
  EXPECT_NE(tableKey(std::u16string(300, u'q')), tableKey(std::u16string(301, u'q')));
  EXPECT_NE(tableKey(u"\u0100"), tableKey(u"\u0001"));
  std::vector<ItemLink> read;
  std::string error;
  ASSERT_TRUE(parseLinks(formatLinks(links), read, error)) << error;
  EXPECT_EQ(read, links);
  const std::pair<std::string, std::string> damaged[] = {
      {"", "the links file is empty"},
      {"Kelvora links 2\n", "the links file is not one this program wrote"},
      {"Kelvora links 1\n1\ttable a\nx\ttable b\n", "the links file is damaged at line 3"},
      {"Kelvora links 1\n65535\ttable a\n", "the links file is damaged at line 2"},
      {"Kelvora links 1\n1\t\n", "the links file is damaged at line 2 (no key)"},
      {"Kelvora links 1\n1\ttable \\q\n", "the links file is damaged at line 2 (an unknown"},
      {"Kelvora links 1\n-1\ttable a\n", "the links file is damaged at line 2"},
  };
  for (const auto& [text, why] : damaged) {
    EXPECT_FALSE(parseLinks(text, read, error)) << text;
    EXPECT_EQ(error.substr(0, why.size()), why) << text;
  }
}

TEST(PeerMerge, TheSameTableTwiceChangesNoByteAndAMendedOneUpdatesInPlace) {
  Fixture f;
  ASSERT_EQ(f.importTable("one;1\ntwo;2\ntwo;2b\nthree;3\n").outcome, PeerImportOutcome::Imported);
  ASSERT_EQ(f.links().size(), 4u);
  f.open();
  f.learn(0);
  f.learn(2);
  ASSERT_TRUE(f.t.c.closeCollection());
  const auto before = f.files();

  f.open();
  PeerImportResult r = f.importTable("one;1\ntwo;2\ntwo;2b\nthree;3\n");
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.unchanged, 4u);
  EXPECT_EQ(r.updated + r.added, 0u);
  ASSERT_TRUE(f.t.c.closeCollection());
  EXPECT_EQ(f.files(), before);

  // The rows of one key are matched in order: the second "two" is still the second item.
  f.open();
  r = f.importTable("one;1 mended\ntwo;2\ntwo;2b mended\nfour;4\n");
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.updated, 2u);
  EXPECT_EQ(r.unchanged, 1u);
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(r.notInSource, 1u);
  EXPECT_EQ(peerImportMessage(r, "/c"),
            u"Your file has been merged into:\r\n/c.kdb\r\n\r\nItems added: 1\r\nItems updated: "
            u"2\r\nItems unchanged: 1\r\nItems not in the file, kept as they are: 1");
  ASSERT_TRUE(f.t.c.closeCollection());
  const std::vector<Item> items = f.items();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].answer, u"1 mended");
  EXPECT_EQ(items[0].entry.status, code(ItemStatus::Memorized));  // its progress is kept
  EXPECT_EQ(items[0].entry.interval, 30);
  EXPECT_EQ(items[2].answer, u"2b mended");
  EXPECT_EQ(items[2].entry.lastRepetition, f.t.today - 10);
  EXPECT_EQ(items[3].question, u"three");  // not in the file: it stays
  EXPECT_EQ(items[4].question, u"four");
  EXPECT_EQ(items[4].entry.status, code(ItemStatus::Pending));
  EXPECT_EQ(f.links().size(), 5u);
}

TEST(PeerMerge, OnlyLinkedItemsAreMatchedAndADeletedOneComesBack) {
  Fixture f;
  ASSERT_EQ(f.importTable("one;1\ntwo;2\n").outcome, PeerImportOutcome::Imported);
  f.open();
  f.t.add(u"two", u"typed by hand");  // the same question, but no link: never matched
  // The first item deleted and the table compacted: its link names a slot nobody has.
  f.t.c.table[0].status = code(ItemStatus::Deleted);
  f.t.c.compactTable();
  ASSERT_TRUE(f.t.c.indexChanged());
  const PeerImportResult r = f.importTable("one;1 again\ntwo;2 mended\n");
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.updated, 1u);
  EXPECT_EQ(r.added, 1u);
  ASSERT_TRUE(f.t.c.closeCollection());
  const std::vector<Item> items = f.items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].answer, u"2 mended");
  EXPECT_EQ(items[1].answer, u"typed by hand");
  EXPECT_EQ(items[2].answer, u"1 again");
  // The deleted item's link went; the new item has one.
  EXPECT_EQ(f.links().size(), 2u);
}

TEST(PeerMerge, TextsTakeTheCollectionsKindAndAreComparedInIt) {
  for (const bool htmlCollection : {false, true}) {
    Fixture f;
    ASSERT_EQ(f.importTable(htmlCollection ? "#html:true\n<i>x</i>;y\n" : "x;y\n").outcome,
              PeerImportOutcome::Imported);
    f.open();
    ASSERT_EQ(f.t.c.settings.html, htmlCollection ? 1 : 0);
    const std::string source =
        htmlCollection ? "a<b;c & d\nline\n" : "#html:true\n<b>a</b>;c<br>d\n";
    PeerImportResult r = f.importTable(source);
    ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
    EXPECT_EQ(r.added, htmlCollection ? 2u : 1u);
    r = f.importTable(source);
    EXPECT_EQ(r.updated + r.added, 0u) << htmlCollection;
    ASSERT_TRUE(f.t.c.closeCollection());
    const std::vector<Item> items = f.items();
    if (htmlCollection) {
      EXPECT_EQ(items[1].question, u"a&lt;b");
      EXPECT_EQ(items[1].answer, u"c &amp; d");
    } else {
      EXPECT_EQ(items[1].question, u"a");
      EXPECT_EQ(items[1].answer, u"c\r\nd");
    }
  }
}

TEST(PeerMerge, NewItemsThatDoNotFitOrADamagedLinksFileChangeNothing) {
  Fixture f;
  std::string table;
  for (int i = 0; i < store::MaxItems - 1; ++i) table += "q" + std::to_string(i) + ";a\n";
  ASSERT_EQ(f.importTable(table).outcome, PeerImportOutcome::Imported);
  f.open();  // the first opening builds the index
  ASSERT_TRUE(f.t.c.closeCollection());
  const auto before = f.files();
  f.open();
  PeerImportResult r = f.importTable("q0;a\nnew one;a\nnew two;a\n");
  ASSERT_EQ(r.outcome, PeerImportOutcome::TooManyItems);
  EXPECT_EQ(peerImportMessage(r, "/c"),
            u"The file's 2 new rows do not fit beside the 29999 items of the collection; a "
            u"collection holds at most 30000. Nothing was imported.");
  f.t.files.put("/c.links", bytesOf("Kelvora links 1\nfive\ttable q0\n"));
  r = f.importTable("q0;b\n");
  ASSERT_EQ(r.outcome, PeerImportOutcome::Unreadable);
  EXPECT_EQ(peerImportMessage(r, "/c"),
            u"The file cannot be imported: the links file is damaged at line 2 (no slot number).");
  f.t.files.put("/c.links", before.at("/c.links"));
  ASSERT_TRUE(f.t.c.closeCollection());
  EXPECT_EQ(f.files(), before);
}

// Cancel at any look while a merge matches, updates or adds: the files stay byte for byte.
TEST(PeerMerge, CancelAtAnyPointChangesNothing) {
  std::string first;
  std::string second;
  for (int i = 0; i < 1500; ++i) {
    first += "q" + std::to_string(i) + ";a\n";
    second += "q" + std::to_string(i) + ";b\n";
  }
  for (int i = 0; i < 1500; ++i) second += "new" + std::to_string(i) + ";n\n";
  int cancelled = 0;
  for (int stop = 1;; stop += 211) {
    Fixture f;
    ASSERT_EQ(f.importTable(first).outcome, PeerImportOutcome::Imported);
    f.open();
    ASSERT_TRUE(f.t.c.closeCollection());
    const auto before = f.files();
    f.open();
    fakes::StoppingProgress window;
    window.stopAt = stop;
    f.t.c.progress.setWindow(&window);
    const PeerImportResult r = f.importTable(second);
    ASSERT_TRUE(f.t.c.closeCollection());
    if (r.outcome == PeerImportOutcome::Imported) break;  // stop came after the last look
    ++cancelled;
    EXPECT_EQ(r.outcome, PeerImportOutcome::Cancelled) << stop;
    EXPECT_EQ(f.files(), before) << stop;
  }
  EXPECT_GT(cancelled, 10);
}

TEST(PeerMerge, AnImportThatReplacesTheCollectionTakesItsLinksAway) {
  Fixture f;
  ASSERT_EQ(f.importTable("one;1\n").outcome, PeerImportOutcome::Imported);
  ASSERT_TRUE(f.t.files.exists("/c.links"));
  f.t.files.put("/c.txt", bytesOf("Q: other\r\nA: item\r\n"));
  ASSERT_TRUE(exchange::importCollection(f.t.c, exchange::ExchangeKind::QaText, "/c", false));
  EXPECT_FALSE(f.t.files.exists("/c.links"));
}

// Each write of a merge refused in turn, then a kill before each: the collection is the old one
// or the new one, and importing the table once more then gives the new one, so the links never
// disagree with the items (a lost link would add an item twice).
TEST(PeerMerge, ARefusedOrKilledMergeLeavesTheOldCollectionOrTheNewOne) {
  const std::string first = "one;1\ntwo;2\n";
  const std::string second = "one;1 mended and longer\ntwo;2\nthree;3\n";
  std::vector<Item> oldItems;
  std::vector<Item> newItems;
  {
    Fixture f;
    ASSERT_EQ(f.importTable(first).outcome, PeerImportOutcome::Imported);
    oldItems = f.items();
    ASSERT_EQ(f.importTable(second).outcome, PeerImportOutcome::Imported);
    ASSERT_TRUE(f.t.c.closeCollection());
    newItems = f.items();
  }
  ASSERT_EQ(newItems.size(), 3u);
  int refusals = 0;
  int kills = 0;
  for (long k = 0;; ++k) {
    bool reached = false;
    {
      Fixture f;
      ASSERT_EQ(f.importTable(first).outcome, PeerImportOutcome::Imported);
      f.open();
      f.t.files.failWriteOp = f.t.files.writeOps + k;
      const PeerImportResult r = f.importTable(second);
      f.t.files.heal();
      if (r.outcome == PeerImportOutcome::NotStored) ++refusals;
      (void)f.t.c.closeCollection();
      f.open();
      const std::vector<Item> after = itemsOf(f.t);
      EXPECT_TRUE(after == oldItems || after == newItems) << k;
      if (r.outcome == PeerImportOutcome::Imported) {
        EXPECT_EQ(after, newItems) << k;
      }
      ASSERT_EQ(f.importTable(second).outcome, PeerImportOutcome::Imported) << k;
      EXPECT_EQ(itemsOf(f.t), newItems) << k;
    }
    for (const bool torn : {false, true}) {
      Fixture f;
      ASSERT_EQ(f.importTable(first).outcome, PeerImportOutcome::Imported);
      f.open();
      f.t.files.killAtWriteOp = f.t.files.writeOps + k;
      f.t.files.torn = torn;
      (void)f.importTable(second);
      (void)f.t.c.closeCollection();
      if (!f.t.files.killed) continue;
      reached = true;
      ++kills;
      Fixture after;
      after.t.files.restore(*f.t.files.killed);
      after.open();
      const std::vector<Item> items = itemsOf(after.t);
      EXPECT_TRUE(items == oldItems || items == newItems) << k << (torn ? " torn" : "");
      ASSERT_EQ(after.importTable(second).outcome, PeerImportOutcome::Imported) << k;
      EXPECT_EQ(itemsOf(after.t), newItems) << k << (torn ? " torn" : "");
    }
    if (!reached) break;
  }
  EXPECT_GT(refusals, 0);
  EXPECT_GT(kills, 4);
}

// A new collection killed at each write of its import: none, or every item with its link, so the
// same table imported into what is left adds nothing.
TEST(PeerMerge, AKilledFirstImportLeavesNoCollectionOrOneWithEveryLink) {
  const std::string table = "one;1\ntwo;2\nthree;3\n";
  int kills = 0;
  int whole = 0;
  for (long k = 0;; ++k) {
    Fixture f;
    f.t.files.killAtWriteOp = f.t.files.writeOps + k;
    (void)f.importTable(table);
    if (!f.t.files.killed) break;
    ++kills;
    Fixture after;
    after.t.files.restore(*f.t.files.killed);
    if (!after.t.c.collectionExists("/c")) continue;
    after.open();
    if (after.t.c.header.itemCount == 0) continue;  // the install had not begun
    ++whole;
    ASSERT_EQ(after.t.c.header.itemCount, 3u) << k;
    const PeerImportResult r = after.importTable(table);
    ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << k;
    EXPECT_EQ(r.added, 0u) << k;
    EXPECT_EQ(r.unchanged, 3u) << k;
  }
  EXPECT_GT(kills, 4);
  EXPECT_GT(whole, 0);
}

// An Anki package imported again: matched by note GUID and template, so a mended note updates
// both its cards and a new note adds its own.
TEST(AnkiMerge, APackageImportedTwiceChangesNothingAndItsNewNotesAreAdded) {
  fakes::TempDir dir;
  Fixture f;
  testing::PackageContents s;
  s.noteTypes = {{1,
                  false,
                  {"Front", "Back"},
                  {{"{{Front}}", "{{FrontSide}}<hr id=answer>{{Back}}"},
                   {"{{Back}}", "{{FrontSide}}<hr id=answer>{{Front}}"}}}};
  s.notes = {{10, "g10", 1, {"house", "Haus"}, ""}};
  s.cards = {{100, 10, 0}, {101, 10, 1}};
  const auto import = [&] {
    testing::writePackage(s, dir / "deck.apkg");
    return importAnkiPackage(f.t.c, platform::systemPeerLibraries(), dir / "deck.apkg", "/c", true);
  };
  ASSERT_EQ(import().outcome, PeerImportOutcome::Imported);
  EXPECT_EQ(f.links()[1].key, "anki g10 1");
  f.open();
  f.learn(1);
  ASSERT_TRUE(f.t.c.closeCollection());
  const auto before = f.files();
  f.open();
  PeerImportResult r = import();
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.unchanged, 2u);
  ASSERT_TRUE(f.t.c.closeCollection());
  EXPECT_EQ(f.files(), before);

  s.notes = {{11, "g11", 1, {"tree", "Baum"}, ""}, {10, "g10", 1, {"house", "das Haus"}, ""}};
  s.cards = {{102, 11, 0}, {100, 10, 0}, {101, 10, 1}};
  f.open();
  r = import();
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.updated, 2u);
  EXPECT_EQ(r.added, 1u);
  ASSERT_TRUE(f.t.c.closeCollection());
  const std::vector<Item> items = f.items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1].question, u"das Haus");
  EXPECT_EQ(items[1].entry.interval, 30);  // the learned card keeps its progress
  EXPECT_EQ(items[2].question, u"tree");
}

}  // namespace
}  // namespace kelvora::peers
