// Every change to a collection, killed at each of its writes and failed at each of its writes
// (a full disk, a failing disk): the collection always opens, every item is as it was before
// the change or as it is after it, and a change reported as failed left nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "exchange/exchange_commands.h"
#include "learning/scheduling.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/reset_collection.h"

namespace kelvora {
namespace {

using fakes::MemoryFileSystem;
constexpr store::DayNumber kToday = 9000;

struct ItemState {
  std::u16string question, answer;
  std::uint8_t status;
  std::uint16_t interval, lastRepetition, aFactor;
  std::uint8_t repetitions, lapses;
  bool operator==(const ItemState&) const = default;
};
using Listing = std::vector<ItemState>;

void PrintTo(const ItemState& i, std::ostream* os) {
  *os << std::string(i.question.begin(), i.question.end()) << "/"
      << std::string(i.answer.begin(), i.answer.end()) << " status " << int(i.status)
      << " interval " << i.interval << " last " << i.lastRepetition << " factor " << i.aFactor
      << " reps " << int(i.repetitions) << " lapses " << int(i.lapses);
}

std::string describe(const Listing& items) {
  std::string out;
  for (const ItemState& i : items) {
    out += std::string(i.question.begin(), i.question.end()) + "/" +
           std::string(i.answer.begin(), i.answer.end()) + " s" + std::to_string(i.status) + " i" +
           std::to_string(i.interval) + " f" + std::to_string(i.aFactor) + " r" +
           std::to_string(i.repetitions) + "; ";
  }
  return out;
}

// A collection over the fake, with the operations a user makes.
struct Session {
  MemoryFileSystem& files;
  fakes::RecordingMessages messages;
  store::Collection c{files, messages, [] { return kToday; }};

  explicit Session(MemoryFileSystem& f) : files(f) {}

  bool open(const char* base = "/c") { return store::openCollection(c, base); }

  // The editor's way: a new entry without a record, then its texts written.
  bool add(std::u16string question, std::u16string answer) {
    const std::uint16_t p = c.header.itemCount;
    c.currentPosition = p;
    c.table[p] = store::ItemIndexEntry{store::kNoRecord, 0, 0, 0, 0, 0};
    ++c.header.itemCount;
    c.loaded = store::LoadedItem{};
    c.loaded.header = store::newItemHeader(c.takeSlotNumber());
    c.loaded.question = std::move(question);
    c.loaded.answer = std::move(answer);
    c.loaded.loadedPosition = p;
    return c.writeItem(p);
  }

  bool grade(std::uint16_t p, int grade) {
    c.currentPosition = p;
    c.readItem(p);
    learning::applyGrade(c, *learning::gradeFromNumber(grade));
    return c.writeItem(p);
  }

  bool edit(std::uint16_t p, std::u16string question) {
    c.currentPosition = p;
    c.readItem(p);
    c.loaded.question = std::move(question);
    c.loaded.itemModified = true;
    return c.flushItem();
  }

  // As the Delete command does it: the record marked, the table compacted, one change.
  bool remove(std::uint16_t p) {
    c.currentPosition = p;
    c.readItem(p);
    store::Collection::Batch change(c);
    store::uncountStatus(c.counters, c.table[p].status);
    c.table[p].status = store::code(store::ItemStatus::Deleted);
    c.loaded.header.status = c.table[p].status;
    (void)c.writeItem(p);
    c.compactTable();
    (void)c.indexChanged();
    return change.commit();
  }

  Listing list() {
    Listing out;
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      c.currentPosition = p;
      if (!c.readItem(p)) ADD_FAILURE() << "item " << p << " cannot be read";
      const store::ItemRecordHeader& h = c.loaded.header;
      const store::ItemIndexEntry& e = c.table[p];
      out.push_back({c.loaded.question, c.loaded.answer, e.status, e.interval, e.lastRepetition,
                     h.aFactor, h.repetitions, h.lapses});
    }
    return out;
  }
};

// The collection at base as a fresh program would find it in these files.
Listing listing(const MemoryFileSystem::Snapshot& files, const char* base = "/c",
                std::vector<std::u16string>* messages = nullptr) {
  MemoryFileSystem fs;
  fs.restore(files);
  Session s(fs);
  if (!s.open(base)) {
    ADD_FAILURE() << "the collection does not open";
    return {};
  }
  Listing items = s.list();
  if (messages) *messages = s.messages.texts();
  EXPECT_TRUE(s.c.closeCollection());
  return items;
}

// Three items, one of them learned, closed cleanly.
MemoryFileSystem::Snapshot startingCollection(std::uint8_t utf8 = 0) {
  MemoryFileSystem fs;
  Session s(fs);
  s.c.settings.utf8 = utf8;
  EXPECT_TRUE(store::createCollection(s.c, "/c"));
  EXPECT_TRUE(s.add(u"Paris", u"France"));
  EXPECT_TRUE(s.add(u"Rome", u"Italy"));
  EXPECT_TRUE(s.add(u"Vienna", u"Austria"));
  EXPECT_TRUE(s.grade(1, 5));
  EXPECT_TRUE(s.c.closeCollection());
  return fs.snapshot();
}

using Operation = std::function<bool(Session&)>;

struct Named {
  const char* name;
  Operation op;
  // Once its one journal transaction is on the disk the change is done, also when a later
  // step fails: the next opening finishes it (creating anew empties both files that way).
  bool finishedOnReopen = false;
};

std::vector<Named> operations() {
  return {
      {"grade", [](Session& s) { return s.grade(0, 4); }},
      {"failed grade", [](Session& s) { return s.grade(2, 1); }},
      {"edit that moves its record",
       [](Session& s) { return s.edit(2, u"Vienna, on the Danube"); }},
      {"edit in place", [](Session& s) { return s.edit(0, u"PARIS"); }},
      {"add", [](Session& s) { return s.add(u"Bern", u"Switzerland"); }},
      {"delete", [](Session& s) { return s.remove(1); }},
      {"reset", [](Session& s) { return store::resetCollection(s.c); }},
      {"create anew over it", [](Session& s) { return store::createCollection(s.c, "/c"); }, true},
  };
}

// Runs op on the starting collection with the files taken at write number kill; nothing when
// op made fewer writes.
std::optional<MemoryFileSystem::Snapshot> killedAt(const MemoryFileSystem::Snapshot& start,
                                                   const Operation& op, long kill, bool torn,
                                                   bool close = true) {
  MemoryFileSystem fs;
  fs.restore(start);
  Session s(fs);
  EXPECT_TRUE(s.open());
  fs.killAtWriteOp = fs.writeOps + kill;
  fs.torn = torn;
  (void)op(s);
  if (close) (void)s.c.closeCollection();
  return fs.killed;
}

Listing afterOperation(const MemoryFileSystem::Snapshot& start, const Operation& op) {
  MemoryFileSystem fs;
  fs.restore(start);
  Session s(fs);
  EXPECT_TRUE(s.open());
  EXPECT_TRUE(op(s));
  EXPECT_TRUE(s.c.closeCollection());
  return listing(fs.snapshot());
}

TEST(KilledChange, EveryItemIsAsBeforeOrAfterAtEveryWrite) {
  for (std::uint8_t utf8 : {0, 1}) {
    const auto start = startingCollection(utf8);
    const Listing before = listing(start);
    for (const Named& named : operations()) {
      const Listing after = afterOperation(start, named.op);
      ASSERT_NE(before, after) << named.name;
      int kills = 0;
      for (bool torn : {false, true}) {
        for (long k = 0;; ++k) {
          auto killed = killedAt(start, named.op, k, torn);
          if (!killed) break;
          ++kills;
          std::vector<std::u16string> messages;
          const Listing found = listing(*killed, "/c", &messages);
          EXPECT_TRUE(found == before || found == after)
              << named.name << ", killed at write " << k << (torn ? " (torn)" : "") << ":\n"
              << describe(found) << "\nbefore: " << describe(before)
              << "\nafter: " << describe(after);
          EXPECT_TRUE(messages.empty()) << named.name << " at " << k;
          // Once the change is acknowledged, no later kill loses it.
        }
      }
      EXPECT_GT(kills, 2) << named.name;
    }
  }
}

TEST(KilledChange, AnAcknowledgedChangeSurvivesAKillBeforeTheClose) {
  const auto start = startingCollection();
  for (const Named& named : operations()) {
    const Listing after = afterOperation(start, named.op);
    MemoryFileSystem fs;
    fs.restore(start);
    Session s(fs);
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(named.op(s)) << named.name;
    // Killed while idle: what the journal holds is all there is.
    EXPECT_EQ(listing(fs.snapshot()), after) << named.name;
  }
}

TEST(FailedWrite, EveryFailureIsReportedAndLeavesTheCollectionAsItWas) {
  const auto start = startingCollection();
  const Listing before = listing(start);
  for (const Named& named : operations()) {
    const Listing after = afterOperation(start, named.op);
    for (int error : {ENOSPC, EIO}) {
      for (long k = 0;; ++k) {
        MemoryFileSystem fs;
        fs.restore(start);
        Session s(fs);
        ASSERT_TRUE(s.open());
        fs.failWriteOp = fs.writeOps + k;
        fs.writeError = error;
        const long firstOp = fs.writeOps;
        const bool ok = named.op(s);
        const bool reached = fs.writeOps > firstOp + k;
        fs.heal();
        (void)s.c.closeCollection();
        const Listing found = listing(fs.snapshot());
        if (!ok) {
          if (!(named.finishedOnReopen && found == after)) {
            EXPECT_EQ(found, before) << named.name << ", write " << k << " failed";
          }
          EXPECT_FALSE(s.messages.shown.empty()) << named.name << " at " << k;
        } else {
          EXPECT_EQ(found, after) << named.name << ", write " << k << " failed after success";
        }
        if (!reached) break;
      }
    }
  }
}

TEST(FailedWrite, AFullDiskAtAnyByteOfAChangeKeepsTheCollection) {
  const auto start = startingCollection();
  const Listing before = listing(start);
  for (const Named& named : operations()) {
    const Listing after = afterOperation(start, named.op);
    for (std::size_t budget : {0, 1, 11, 12, 40, 100, 200}) {
      MemoryFileSystem fs;
      fs.restore(start);
      Session s(fs);
      ASSERT_TRUE(s.open());
      fs.writeBudget = budget;
      const bool ok = named.op(s);
      fs.heal();
      (void)s.c.closeCollection();
      const Listing found = listing(fs.snapshot());
      if (!(named.finishedOnReopen && found == after)) {
        EXPECT_EQ(found, ok ? after : before) << named.name << " " << budget;
      }
    }
  }
}

TEST(FailedWrite, ACloseThatFailsAtAnyWriteIsReportedAndLosesNothing) {
  const auto start = startingCollection();
  const Operation grade = [](Session& s) { return s.grade(0, 4); };
  const Listing after = afterOperation(start, grade);
  for (long k = 0;; ++k) {
    MemoryFileSystem fs;
    fs.restore(start);
    Session s(fs);
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(grade(s));
    fs.failWriteOp = fs.writeOps + k;
    const long firstOp = fs.writeOps;
    const bool closed = s.c.closeCollection();
    const bool reached = fs.writeOps > firstOp + k;
    if (!closed) {
      EXPECT_EQ(s.messages.texts().back(), u"Error while saving database!") << k;
    }
    fs.heal();
    EXPECT_EQ(listing(fs.snapshot()), after) << "close failed at write " << k;
    if (!reached) break;
  }
}

// ---- findings that lost or damaged data, one test each ----

TEST(Regression, ANewUnicodeCollectionKilledBeforeItsFirstCloseReadsBackItsTexts) {
  MemoryFileSystem fs;
  {
    Session s(fs);
    s.c.settings.utf8 = 1;
    ASSERT_TRUE(store::createCollection(s.c, "/c"));
    ASSERT_TRUE(s.add(u"\u65E5\u672C", u"Japan"));
  }  // killed: no close ever ran (the destructor writes nothing)
  MemoryFileSystem fresh;
  fresh.restore(fs.snapshot());
  Session s(fresh);
  s.c.settings.utf8 = 0;  // what a new program starts with
  ASSERT_TRUE(s.open());
  EXPECT_EQ(s.list().at(0).question, u"\u65E5\u672C");
}

TEST(Regression, ASettingsFileIsNeverLeftEmptyByAFailedOrKilledWrite) {
  const auto start = startingCollection(1);
  const auto cfg = start.at("/c.cfg");
  for (long k = 0; k < 6; ++k) {
    MemoryFileSystem fs;
    fs.restore(start);
    Session s(fs);
    ASSERT_TRUE(s.open());
    s.c.settings.html = 1;
    s.c.settings.settingsChanged = true;
    fs.killAtWriteOp = fs.writeOps + k;
    fs.failWriteOp = fs.writeOps + k;
    const bool closed = s.c.closeCollection();
    if (fs.killed) {
      EXPECT_FALSE(fs.killed->at("/c.cfg").empty()) << k;
    }
    EXPECT_FALSE(fs.bytes("/c.cfg").empty()) << k;
    if (!closed) {
      EXPECT_EQ(s.messages.texts().back(), u"Error while saving database!") << k;
    }
  }
}

TEST(Regression, AWriteThroughADamagedEntryNeverTouchesTheTextsFile) {
  for (std::uint32_t offset : {0x7FFFFFFFu, 5u, 100000u}) {
    MemoryFileSystem fs;
    fs.restore(startingCollection());
    Session s(fs);
    ASSERT_TRUE(s.open());
    const auto texts = fs.bytes("/c.kdb");
    s.c.table[1].recordOffset = offset;  // as a damaged index file would have it
    s.c.currentPosition = 0;
    ASSERT_TRUE(s.c.readItem(0));
    s.c.currentPosition = 1;
    const bool read = s.c.readItem(1);
    if (offset == 5u) {
      // Inside another record: whatever it reads, a rewrite must not land inside item 0.
      (void)read;
    } else {
      EXPECT_FALSE(read);
      EXPECT_EQ(s.c.loaded.question, u"") << "not the texts of the item read before";
      EXPECT_EQ(s.messages.texts().back(), u"Error while reading database!");
    }
    learning::applyGrade(s.c, learning::Grade::Bright);
    const bool written = s.c.writeItem(1);
    s.c.loaded.question = u"typed";
    s.c.loaded.itemModified = true;
    (void)s.c.flushItem();
    (void)s.c.closeCollection();
    if (!read) {
      EXPECT_FALSE(written) << "the grade of an unreadable item is not stored";
      EXPECT_EQ(fs.bytes("/c.kdb"), texts) << offset;
    }
    EXPECT_LT(fs.bytes("/c.kdb").size(), 4096u) << "no sparse stretch";
    // Item 0 keeps its texts whatever happened.
    MemoryFileSystem again;
    again.restore(fs.snapshot());
    Session t(again);
    ASSERT_TRUE(t.open());
    t.c.currentPosition = 0;
    ASSERT_TRUE(t.c.readItem(0));
    EXPECT_EQ(t.c.loaded.question, u"Paris") << offset;
  }
}

TEST(Regression, AnEditThroughAStaleEntryToADeadCopySurvivesARebuild) {
  MemoryFileSystem fs;
  fs.restore(startingCollection());
  std::uint32_t oldOffset;
  {
    Session s(fs);
    ASSERT_TRUE(s.open());
    oldOffset = s.c.table[2].recordOffset;
    ASSERT_TRUE(s.edit(2, u"Vienna, on the Danube"));  // moves; the old copy is dead
    ASSERT_TRUE(s.c.closeCollection());
  }
  // An index that never heard of the move: the entry points at the dead copy.
  auto& index = fs.bytes("/c.kbi");
  const std::size_t at = 12 + 2 * 12;
  index[at] = oldOffset & 0xFF;
  index[at + 1] = (oldOffset >> 8) & 0xFF;
  index[at + 2] = (oldOffset >> 16) & 0xFF;
  index[at + 3] = oldOffset >> 24;
  {
    Session s(fs);
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.edit(2, u"Wien"));
    ASSERT_TRUE(s.c.closeCollection());
  }
  ASSERT_TRUE(fs.remove("/c.kbi").ok());
  // The copy the index lost track of comes back as an item of its own; the edit is kept.
  const Listing rebuilt = listing(fs.snapshot());
  EXPECT_TRUE(std::any_of(rebuilt.begin(), rebuilt.end(),
                          [](const ItemState& i) { return i.question == u"Wien"; }));
}

TEST(Regression, ImportOverAnExistingCollectionThatFailsLeavesItWhole) {
  const auto start = startingCollection();
  const Listing before = listing(start);
  const std::string qa = "Q: new one\nA: 1\n\nQ: new two\nA: 2\n";
  for (long k = 0;; ++k) {
    MemoryFileSystem fs;
    fs.restore(start);
    fs.put("/c.txt", {qa.begin(), qa.end()});
    Session s(fs);
    fs.failWriteOp = fs.writeOps + k;
    const long firstOp = fs.writeOps;
    const bool ok = exchange::importCollection(s.c, exchange::ExchangeKind::QaText, "/c");
    const bool reached = fs.writeOps > firstOp + k;
    fs.heal();
    const Listing found = listing(fs.snapshot());
    if (ok) {
      ASSERT_EQ(found.size(), 2u) << k;
      EXPECT_EQ(found[0].question, u"new one");
    } else {
      EXPECT_EQ(found, before) << "failed import at write " << k;
    }
    if (!ok) {
      EXPECT_FALSE(fs.exists("/c.kdb.tmp")) << k;
      EXPECT_FALSE(fs.exists("/c.kjn")) << k;
    }
    if (!reached) break;
  }
}

TEST(Regression, ImportKilledAtAnyWriteLeavesTheOldCollectionOrTheNewOne) {
  const auto start = startingCollection();
  const Listing before = listing(start);
  const std::string qa = "Q: new one\nA: 1\n";
  for (bool torn : {false, true}) {
    for (long k = 0;; ++k) {
      MemoryFileSystem fs;
      fs.restore(start);
      fs.put("/c.txt", {qa.begin(), qa.end()});
      Session s(fs);
      fs.killAtWriteOp = fs.writeOps + k;
      fs.torn = torn;
      ASSERT_TRUE(exchange::importCollection(s.c, exchange::ExchangeKind::QaText, "/c"));
      if (!fs.killed) break;
      const Listing found = listing(*fs.killed);
      const bool isNew = found.size() == 1 && found[0].question == u"new one";
      EXPECT_TRUE(found == before || isNew) << "killed at " << k << ": " << describe(found);
    }
  }
}

// The text form changes with the import: the texts and the settings file that says how to read
// them are replaced together, whatever write is the last.
TEST(Regression, AnImportThatChangesTheTextFormIsWholeAtAnyKillOrFailure) {
  const auto start = startingCollection(0);
  const Listing before = listing(start);
  const std::string qa = "Q: \xE8\xAA\x9E\nA: word\n";
  for (int mode = 0; mode < 3; ++mode) {  // killed, torn, failed
    for (long k = 0;; ++k) {
      MemoryFileSystem fs;
      fs.restore(start);
      fs.put("/c.txt", {qa.begin(), qa.end()});
      Session s(fs);
      s.c.settings.utf8 = 1;
      if (mode < 2) fs.killAtWriteOp = fs.writeOps + k;
      if (mode == 2) fs.failWriteOp = fs.writeOps + k;
      fs.torn = mode == 1;
      const long firstOp = fs.writeOps;
      const bool ok = exchange::importCollection(s.c, exchange::ExchangeKind::QaText, "/c");
      const bool reached = fs.writeOps > firstOp + k;
      fs.heal();
      const Listing found = listing(mode < 2 && fs.killed ? *fs.killed : fs.snapshot());
      const bool isNew = found.size() == 1 && found[0].question == u"\u8A9E";
      EXPECT_TRUE(found == before || isNew) << mode << " at " << k << ": " << describe(found);
      if (mode == 2 && !ok) {
        EXPECT_EQ(found, before) << "failed at " << k;
      }
      if (!reached) break;
    }
  }
}

TEST(Regression, ImportOfACollectionOpenElsewhereIsRefusedAndChangesNothing) {
  const auto start = startingCollection();
  MemoryFileSystem fs;
  fs.restore(start);
  const std::string qa = "Q: new\nA: 1\n";
  fs.put("/c.txt", {qa.begin(), qa.end()});
  Session other(fs);
  ASSERT_TRUE(other.open());
  Session s(fs);
  EXPECT_FALSE(exchange::importCollection(s.c, exchange::ExchangeKind::QaText, "/c"));
  EXPECT_EQ(s.messages.texts().at(0),
            u"Cannot access the file because\nit is being used by another process!");
  EXPECT_EQ(other.list().size(), 3u);
  EXPECT_TRUE(other.c.closeCollection());
  EXPECT_EQ(listing(fs.snapshot()), listing(start));
}

TEST(Regression, AnImportWhoseReadsFailIsAFailure) {
  MemoryFileSystem fs;
  std::string qa;
  for (int i = 0; i < 5000; ++i) qa += "Q: question " + std::to_string(i) + "\nA: answer\n";
  fs.put("/c.txt", {qa.begin(), qa.end()});
  fs.readBudget = 1000;
  Session s(fs);
  EXPECT_FALSE(exchange::importCollection(s.c, exchange::ExchangeKind::QaText, "/c"));
  fs.heal();
  EXPECT_FALSE(fs.exists("/c.kdb"));
  EXPECT_FALSE(fs.exists("/c.kbi"));
}

TEST(Regression, ExportKilledAtAnyWriteLeavesTheEarlierExportOrTheNewOne) {
  const auto start = startingCollection();
  MemoryFileSystem base;
  base.restore(start);
  {
    Session s(base);
    ASSERT_TRUE(exchange::exportCollection(s.c, exchange::ExchangeKind::Xml, "/c", "/out.xml",
                                           {2026, 1, 1, 10, 0}));
  }
  const auto earlier = base.bytes("/out.xml");
  const auto withExport = base.snapshot();
  for (long k = 0;; ++k) {
    MemoryFileSystem fs;
    fs.restore(withExport);
    Session s(fs);
    fs.killAtWriteOp = fs.writeOps + k;
    ASSERT_TRUE(exchange::exportCollection(s.c, exchange::ExchangeKind::Xml, "/c", "/out.xml",
                                           {2026, 12, 7, 10, 0}));
    const auto newer = fs.bytes("/out.xml");
    if (!fs.killed) break;
    const auto& found = fs.killed->at("/out.xml");
    EXPECT_TRUE(found == earlier || found == newer) << k;
  }
}

TEST(Regression, ARefusedExportLeavesTheEarlierExportAlone) {
  MemoryFileSystem fs;
  fs.restore(startingCollection());
  fs.put("/out.xml", {'o', 'l', 'd'});
  Session other(fs);
  ASSERT_TRUE(other.open());
  Session s(fs);
  EXPECT_FALSE(exchange::exportCollection(s.c, exchange::ExchangeKind::Xml, "/c", "/out.xml",
                                          {2026, 12, 7, 10, 0}));
  EXPECT_EQ(fs.bytes("/out.xml"), (MemoryFileSystem::Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(fs.exists("/out.xml.tmp"));
}

TEST(Regression, ACreateOverACollectionOpenElsewhereDestroysNothing) {
  const auto start = startingCollection();
  MemoryFileSystem fs;
  fs.restore(start);
  Session other(fs);
  ASSERT_TRUE(other.open());
  Session s(fs);
  EXPECT_FALSE(store::createCollection(s.c, "/c"));
  EXPECT_TRUE(other.c.closeCollection());
  EXPECT_EQ(listing(fs.snapshot()), listing(start));
}

TEST(Regression, ACleanCloseLeavesNoJournalOrTemporaryBehind) {
  MemoryFileSystem fs;
  fs.restore(startingCollection());
  Session s(fs);
  ASSERT_TRUE(s.open());
  ASSERT_TRUE(s.grade(0, 3));
  ASSERT_TRUE(s.edit(1, u"Roma"));
  ASSERT_TRUE(s.c.closeCollection());
  EXPECT_EQ(fs.paths(), (std::vector<std::string>{"/c.cfg", "/c.kbi", "/c.kdb"}));
}

TEST(PowerCut, LosesAtMostTheUnsyncedChangesAndLeavesAConsistentCollection) {
  const auto start = startingCollection();
  MemoryFileSystem fs;
  fs.restore(start);
  std::uint64_t now = 0;
  Session s(fs);
  s.c.setSyncClock([&now] { return now; });
  ASSERT_TRUE(s.open());
  ASSERT_TRUE(s.grade(0, 4));
  now += store::Collection::kSyncPeriodMs;
  ASSERT_TRUE(s.grade(2, 5));  // two seconds later: this sync takes both grades to the disk
  const Listing synced = listing(fs.snapshot());
  now += 100;
  ASSERT_TRUE(s.edit(1, u"Roma"));  // not yet synced
  // The power goes: only what was synced is on the disk.
  EXPECT_EQ(listing(fs.durableSnapshot()), synced);
  // The program's timer syncs what waited two seconds.
  now += store::Collection::kSyncPeriodMs;
  s.c.syncIfDue();
  EXPECT_EQ(listing(fs.durableSnapshot()), listing(fs.snapshot()));
}

}  // namespace
}  // namespace kelvora
