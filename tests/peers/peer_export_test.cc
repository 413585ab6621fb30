// A collection exported for Anki and imported again: the same texts and progress come back, the
// notes keep their GUIDs from one export to the next, and the package merges into the collection
// it came from without adding anything twice.
#include "peers/peer_export.h"

#include <gtest/gtest.h>

#include <fstream>

#include "peers/links_file.h"
#include "peers/peer_import.h"
#include "platform/peer_libraries.h"
#include "platform/posix_file_system.h"
#include "recording_messages.h"
#include "store/collection_opening.h"
#include "store/item_status.h"
#include "store/utf8.h"
#include "temp_dir.h"
#include "test_collection.h"

namespace kelvora::peers {
namespace {

using store::code;
using store::ItemStatus;

struct Item {
  std::u16string question;
  std::u16string answer;
  std::uint8_t status = 0;
  std::uint16_t interval = 0;
  store::DayNumber lastRepetition = 0;
  std::uint16_t aFactor = 0;
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;
  bool operator==(const Item&) const = default;
};

void PrintTo(const Item& i, std::ostream* os) {
  *os << store::encodeUtf8(i.question) << " / " << store::encodeUtf8(i.answer) << " status "
      << int{i.status} << " interval " << i.interval << " last " << i.lastRepetition << " factor "
      << i.aFactor << " reps " << int{i.repetitions} << " lapses " << int{i.lapses};
}

// The disk, with the next failSyncs syncs of a folder failing as a full or broken disk would.
class SyncFailingDisk final : public store::FileSystem {
 public:
  int failSyncs = 0;

  std::unique_ptr<store::BinaryFile> openExclusive(const std::filesystem::path& path,
                                                   store::OpenError& error) override {
    return m_disk.openExclusive(path, error);
  }
  std::unique_ptr<store::BinaryFile> openForReading(const std::filesystem::path& path,
                                                    store::OpenError* error) override {
    return m_disk.openForReading(path, error);
  }
  std::unique_ptr<store::BinaryFile> createForWriting(const std::filesystem::path& path,
                                                      store::OpenError* error) override {
    return m_disk.createForWriting(path, error);
  }
  store::IoResult remove(const std::filesystem::path& path) override { return m_disk.remove(path); }
  store::IoResult rename(const std::filesystem::path& from,
                         const std::filesystem::path& to) override {
    return m_disk.rename(from, to);
  }
  store::IoResult syncFolder(const std::filesystem::path& folder) override {
    if (failSyncs > 0) {
      --failSyncs;
      return store::IoResult::failure(EIO);
    }
    return m_disk.syncFolder(folder);
  }
  bool exists(const std::filesystem::path& path) override { return m_disk.exists(path); }
  store::IoResult createFolder(const std::filesystem::path& folder) override {
    return m_disk.createFolder(folder);
  }

 private:
  platform::PosixFileSystem m_disk;
};

struct Fixture {
  fakes::TempDir dir;
  SyncFailingDisk disk;
  fakes::RecordingMessages messages;
  store::DayNumber today = testing::kTestToday;
  store::Collection c{disk, messages, [this] { return today; }};
  std::filesystem::path base = dir / "deck";
  std::filesystem::path package = dir / "deck.apkg";

  // A collection of four items: learned, new, dismissed, and plain text with markup characters
  // and a line break.
  void make() {
    std::ofstream(dir / "deck.csv")
        << "house;Haus\ntree;Baum\nsky;Himmel\n\"a < b & c\";\"one\ntwo\"\n";
    ASSERT_EQ(importTextTable(c, dir / "deck.csv", base, TableSettings{}, true).outcome,
              PeerImportOutcome::Imported);
    ASSERT_TRUE(store::openCollection(c, base));
    ASSERT_TRUE(c.readItem(0));
    c.table[0].status = code(ItemStatus::Memorized);
    c.table[0].interval = 400;
    c.table[0].lastRepetition = today - 20;
    c.loaded.header.aFactor = 2650;
    c.loaded.header.repetitions = 6;
    c.loaded.header.lapses = 2;
    ASSERT_TRUE(c.writeItem(0));
    ASSERT_TRUE(c.readItem(2));
    c.table[2].status = code(ItemStatus::Dismissed);
    ASSERT_TRUE(c.writeItem(2));
    ASSERT_TRUE(c.closeCollection());
    std::filesystem::create_directories(dir / "deck_media");
    std::ofstream(dir / "deck_media" / "sky.png") << "picture";
  }
  std::vector<Item> items(const std::filesystem::path& at) {
    std::vector<Item> out;
    EXPECT_TRUE(store::openCollection(c, at));
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      EXPECT_TRUE(c.readItem(p));
      const store::ItemRecordHeader& h = c.loaded.header;
      out.push_back({c.loaded.question, c.loaded.answer, c.table[p].status, c.table[p].interval,
                     c.table[p].lastRepetition, h.aFactor, h.repetitions, h.lapses});
    }
    EXPECT_TRUE(c.closeCollection());
    return out;
  }
  PeerExportResult exportIt() {
    return exportAnkiPackage(c, platform::systemPeerLibraries(), base, package, 1'700'000'000);
  }
  std::vector<ItemLink> links() {
    std::vector<ItemLink> out;
    std::string error;
    EXPECT_TRUE(readLinks(disk, base, out, error)) << error;
    return out;
  }
};

TEST(PeerExport, AnExportImportedAgainGivesTheSameTextsAndProgress) {
  Fixture f;
  f.make();
  const std::vector<Item> before = f.items(f.base);
  const PeerExportResult r = f.exportIt();
  ASSERT_TRUE(r.exported) << r.error;
  EXPECT_EQ(peerExportMessage(r, f.package), u"Database has been exported into:\r\n" +
                                                 f.package.u16string() +
                                                 u"\r\n\r\nNotes: 4\r\nMedia files: 1");
  PeerLibraries libraries = platform::systemPeerLibraries();
  ASSERT_EQ(importAnkiPackage(f.c, libraries, f.package, f.dir / "back", true).outcome,
            PeerImportOutcome::Imported);
  std::vector<Item> back = f.items(f.dir / "back");
  ASSERT_EQ(back.size(), 4u);
  // The dismissed item was never learned: a suspended new card, in the new cards' order.
  std::vector<Item> expected = before;
  // Plain text travels as HTML that shows the same: the collection back is an HTML one.
  expected[3].question = u"a &lt; b &amp; c";
  expected[3].answer = u"one<br>two";
  EXPECT_EQ(back, expected);
  std::ifstream picture(f.dir / "back_media" / "sky.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(picture), {}), "picture");
}

TEST(PeerExport, GuidsStayFromOneExportToTheNextAndThePackageMergesBackWithoutDuplicates) {
  Fixture f;
  f.make();
  ASSERT_TRUE(f.exportIt().exported);
  const std::vector<ItemLink> links = f.links();
  ASSERT_EQ(links.size(), 8u);  // the table's keys, and a note GUID for each item
  ASSERT_TRUE(f.exportIt().exported);
  EXPECT_EQ(f.links(), links);  // no new GUIDs the second time

  // Into the collection it came from: every item matched by its note.
  ASSERT_TRUE(store::openCollection(f.c, f.base));
  const PeerImportResult r =
      importAnkiPackage(f.c, platform::systemPeerLibraries(), f.package, f.base, true);
  ASSERT_EQ(r.outcome, PeerImportOutcome::Imported) << r.error;
  EXPECT_EQ(r.added, 0u);
  ASSERT_TRUE(f.c.closeCollection());
  EXPECT_EQ(f.items(f.base).size(), 4u);

  // A package imported as a new collection and exported from there keeps Anki's GUIDs.
  ASSERT_EQ(importAnkiPackage(f.c, platform::systemPeerLibraries(), f.package, f.dir / "copy", true)
                .outcome,
            PeerImportOutcome::Imported);
  const auto copied = exportAnkiPackage(f.c, platform::systemPeerLibraries(), f.dir / "copy",
                                        f.dir / "copy.apkg", 1'700'000'000);
  ASSERT_TRUE(copied.exported) << copied.error;
  std::vector<ItemLink> copyLinks;
  std::string error;
  ASSERT_TRUE(readLinks(f.disk, f.dir / "copy", copyLinks, error));
  EXPECT_EQ(copyLinks.size(), 4u);  // nothing added: each item has its note's GUID
}

// Two items may come to hold one GUID (an item's links edited, or copied with the item): the
// second gets a GUID of its own, once, and keeps it from then on.
TEST(PeerExport, AnItemWhoseGuidIsTakenGetsItsOwnOnceAndKeepsIt) {
  Fixture f;
  f.make();
  ASSERT_TRUE(f.exportIt().exported);
  std::vector<ItemLink> links = f.links();
  std::vector<ItemLink*> notes;
  for (ItemLink& link : links) {
    if (link.key.starts_with("anki ")) notes.push_back(&link);
  }
  ASSERT_EQ(notes.size(), 4u);
  notes[1]->key = notes[0]->key;
  std::ofstream(f.dir / "deck.links", std::ios::binary | std::ios::trunc) << formatLinks(links);
  ASSERT_TRUE(f.exportIt().exported);
  const std::vector<ItemLink> once = f.links();
  EXPECT_EQ(once.size(), links.size() + 1);
  ASSERT_TRUE(f.exportIt().exported);
  EXPECT_EQ(f.links(), once);
}

// The package was renamed into place but its folder could not be synced: the export says so,
// and the new GUIDs are kept all the same, so that the notes of the package, should it reach
// Anki, are not added twice by the next export.
TEST(PeerExport, APackageInPlaceKeepsItsGuidsWhenSyncingItsFolderFails) {
  Fixture f;
  f.make();
  f.disk.failSyncs = 1;
  const PeerExportResult r = f.exportIt();
  EXPECT_FALSE(r.exported);
  EXPECT_NE(r.error.find("written, but its folder cannot be synced"), std::string::npos) << r.error;
  EXPECT_TRUE(std::filesystem::exists(f.package));
  const std::vector<ItemLink> links = f.links();
  EXPECT_EQ(links.size(), 8u);
  ASSERT_TRUE(f.exportIt().exported);
  EXPECT_EQ(f.links(), links);
}

// A record cut short (a damaged texts file) is left out and counted apart from empty items.
TEST(PeerExport, AnItemThatCannotBeReadIsLeftOutAndCounted) {
  Fixture f;
  f.make();
  const std::filesystem::path texts = store::textsPath(f.base);
  std::filesystem::resize_file(texts, std::filesystem::file_size(texts) - 2);
  const PeerExportResult r = f.exportIt();
  ASSERT_TRUE(r.exported) << r.error;
  EXPECT_EQ(r.notes, 3u);
  EXPECT_EQ(r.unreadable, 1u);
  EXPECT_EQ(r.emptySkipped, 0u);
  const std::u16string message = peerExportMessage(r, f.package);
  EXPECT_NE(message.find(u"\r\nItems that cannot be read, left out: 1"), std::u16string::npos);
  EXPECT_EQ(message.find(u"Empty items"), std::u16string::npos);
}

TEST(PeerExport, AFailedExportSaysWhyAndChangesNothing) {
  Fixture f;
  f.make();
  const std::vector<ItemLink> links = f.links();
  f.package = f.dir / "missing folder" / "deck.apkg";
  PeerExportResult r = f.exportIt();
  EXPECT_FALSE(r.exported);
  EXPECT_EQ(peerExportMessage(r, f.package).rfind(u"The collection cannot be exported: ", 0), 0u);
  EXPECT_EQ(f.links(), links);
  EXPECT_FALSE(std::filesystem::exists(f.package));
  // A damaged links file is refused before anything is written.
  std::ofstream(f.dir / "deck.links") << "Kelvora links 1\nbroken\n";
  f.package = f.dir / "deck.apkg";
  r = f.exportIt();
  EXPECT_FALSE(r.exported);
  EXPECT_NE(r.error.find("damaged at line 2"), std::string::npos) << r.error;
  EXPECT_FALSE(std::filesystem::exists(f.package));
  // No collection there.
  r = exportAnkiPackage(f.c, platform::systemPeerLibraries(), f.dir / "none", f.package, 0);
  EXPECT_FALSE(r.exported);
}

}  // namespace
}  // namespace kelvora::peers
