// The texts and index files through the in-memory file port: record placement, the index
// written after every change, loading rules, and the messages of the opening procedures.
#include <gtest/gtest.h>

#include "store/byte_io.h"
#include "test_collection.h"

namespace kelvora::store {
namespace {

using testing::TestCollection;

ItemRecordHeader headerAt(const Bytes& file, std::uint32_t offset) {
  return decodeRecordHeader(
      std::span<const std::uint8_t, kRecordHeaderSize>(file.data() + offset, kRecordHeaderSize));
}

TEST(ItemRecords, RewriteStaysInPlaceUnlessTheRoundedSizeChanges) {
  struct Case {
    std::u16string newQuestion;
    bool moves;
  };
  // The first record holds "abc" / "de": 5 bytes, 6 when rounded.
  for (const Case& c :
       {Case{u"abcd", false}, Case{u"abcde", true}, Case{u"ab", true}, Case{u"\u00E9b", false}}) {
    TestCollection t;
    t.create();
    t.add(u"abc", u"de");
    t.add(u"second", u"item");
    const Bytes before = t.texts();

    ASSERT_TRUE(t.read(0));
    t.c.loaded.question = c.newQuestion;
    t.c.loaded.itemModified = true;
    t.read(1);  // leaving the edited item writes it back

    const Bytes& after = t.texts();
    if (c.moves) {
      EXPECT_EQ(t.c.table[0].recordOffset, before.size());
      EXPECT_EQ(headerAt(after, 0).slotNumber, kDeadSlot) << "old copy is dead";
      EXPECT_EQ(headerAt(after, before.size()).slotNumber, 0);
    } else {
      EXPECT_EQ(t.c.table[0].recordOffset, 0u);
      EXPECT_EQ(after.size(), before.size());
      EXPECT_EQ(headerAt(after, 0).slotNumber, 0);
    }
    ASSERT_TRUE(t.read(0));
    EXPECT_EQ(t.c.loaded.question, c.newQuestion);
    EXPECT_EQ(t.c.loaded.answer, u"de");
  }
}

TEST(ItemRecords, ReadOutsideTheTableChangesNothing) {
  TestCollection t;
  t.create();
  t.add(u"q", u"a");
  t.c.loaded.itemModified = true;
  t.c.loaded.question = u"pending edit";
  EXPECT_FALSE(t.c.readItem(1));
  EXPECT_TRUE(t.c.loaded.itemModified);
  EXPECT_EQ(t.c.loaded.question, u"pending edit");
}

TEST(ItemRecords, AnItemWithoutARecordReadsAsABlankNewItem) {
  TestCollection t;
  t.create();
  t.add(u"first", u"one");
  t.c.loaded.header.aFactor = 1300;
  t.c.loaded.header.setItemId(42);
  // An added item left blank: no record.
  t.c.table[1] = ItemIndexEntry{kNoRecord, 0, 0, 0, 0, 0};
  t.c.header.itemCount = 2;
  const std::uint16_t slot = t.c.header.nextSlotNumber;
  EXPECT_FALSE(t.read(1));
  EXPECT_EQ(t.c.loaded.question, u"");
  EXPECT_EQ(t.c.loaded.answer, u"");
  EXPECT_EQ(t.c.loaded.header.aFactor, kNewItemAFactor);
  EXPECT_EQ(t.c.loaded.header.itemId(), 0u);
  EXPECT_EQ(t.c.loaded.header.status, code(ItemStatus::Pending));
  EXPECT_EQ(t.c.loaded.header.slotNumber, slot);
  EXPECT_EQ(t.c.header.nextSlotNumber, slot + 1);

  // Typing into it appends a proper record.
  t.c.loaded.question = u"typed";
  t.c.loaded.itemModified = true;
  EXPECT_TRUE(t.c.flushItem());
  ItemRecordHeader h = headerAt(t.texts(), t.c.table[1].recordOffset);
  EXPECT_EQ(h.aFactor, kNewItemAFactor);
  EXPECT_EQ(h.slotNumber, slot);
}

TEST(ItemRecords, StoredLengthsAbove10000ReadAsZero) {
  struct Row {
    std::uint16_t storedLength;  // the question length the record header claims
    std::size_t questionRead;    // units of question the read gives
    std::u16string answerRead;
    bool rewrittenInPlace;
  };
  const Row rows[] = {
      {10000, 10000, u"de", true},
      // The answer now starts at the question's bytes; the record's true size is unknown, so
      // writing it back never happens in place.
      {10001, 0, u"qq", false},
  };
  for (const Row& row : rows) {
    TestCollection t;
    t.create();
    t.add(std::u16string(10000, u'q'), u"de");
    Bytes& file = t.texts();
    file[0] = static_cast<std::uint8_t>(row.storedLength & 0xFF);
    file[1] = static_cast<std::uint8_t>(row.storedLength >> 8);
    ASSERT_TRUE(t.read(0)) << row.storedLength;
    EXPECT_EQ(t.c.loaded.question.size(), row.questionRead) << row.storedLength;
    EXPECT_EQ(t.c.loaded.answer, row.answerRead) << row.storedLength;

    ASSERT_TRUE(t.c.writeItem(0));
    EXPECT_EQ(t.c.table[0].recordOffset == 0, row.rewrittenInPlace) << row.storedLength;
  }
}

// ---- the index file ----

Bytes indexImage(std::uint16_t count, std::uint16_t headerSize = 12, std::uint16_t entrySize = 12) {
  Bytes out;
  for (std::uint16_t v :
       {headerSize, entrySize, std::uint16_t{18}, count, std::uint16_t{0}, std::uint16_t{0}}) {
    put16(out, v);
  }
  return out;
}

TEST(IndexFile, ACheckpointWritesTheBytesACloseWrites) {
  TestCollection t;
  t.create();
  t.add(u"q1", u"a1");
  t.add(u"q2", u"a2");
  const Bytes whileOpen = t.index();
  ASSERT_EQ(whileOpen.size(), 12u + 2 * 12);
  EXPECT_TRUE(t.c.closeCollection());
  EXPECT_EQ(t.index(), whileOpen);

  // After reopening, a learning change written with its item reaches the file by itself.
  ASSERT_TRUE(openCollection(t.c, "/c"));
  ASSERT_TRUE(t.read(1));
  t.c.table[1].interval = 7;
  t.c.header.learningDay = 8990;
  ASSERT_TRUE(t.c.writeItem(1));
  const Bytes afterWrite = t.index();
  EXPECT_TRUE(t.c.closeCollection());
  EXPECT_EQ(t.index(), afterWrite);
}

TEST(IndexFile, MalformedIndexesFailToLoadAndLeaveAnEmptyTable) {
  struct Case {
    const char* name;
    Bytes image;
  };
  Bytes threeEntriesShort = indexImage(3);
  threeEntriesShort.resize(12 + 35);
  // One item more than the table holds, every entry there in full: loading it would run past
  // the table's end.
  Bytes oneTooMany = indexImage(MaxItems + 1);
  for (std::size_t p = 0; p <= MaxItems; ++p) {
    appendIndexEntry(oneTooMany, ItemIndexEntry{kNoRecord, 4, 8000, 0, 2, 0});
  }
  const Case cases[] = {
      {"empty", {}},
      {"short header", {12, 0, 12, 0, 18}},
      {"header size", indexImage(0, 14)},
      {"entry size", indexImage(0, 12, 10)},
      {"entries cut short", threeEntriesShort},
      {"too many items", oneTooMany},
  };
  for (const Case& c : cases) {
    TestCollection t;
    t.files.put("/c.kdb", {});
    t.files.put("/c.kbi", c.image);
    ASSERT_TRUE(t.c.openFiles("/c")) << c.name;
    t.c.header.itemCount = 5;
    EXPECT_FALSE(t.c.loadIndex()) << c.name;
    EXPECT_EQ(t.c.header.itemCount, 0) << c.name;
  }
}

TEST(IndexFile, AnIndexThatFailedToLoadIsNotWrittenOverWhenTheRebuildFailsToo) {
  TestCollection t;
  t.create();
  t.add(u"q1", u"a1");
  t.add(u"q2", u"a2");
  EXPECT_TRUE(t.c.closeCollection());
  Bytes damaged = t.files.bytes("/c.kbi");
  damaged[0] = 13;  // headerSize
  t.files.put("/c.kbi", damaged);

  ASSERT_TRUE(t.c.openFiles("/c"));
  t.files.readBudget = 12;  // the index header comes; the texts file then fails to read
  EXPECT_FALSE(t.c.loadIndex());
  EXPECT_FALSE(t.c.rebuildIndex());
  t.files.heal();
  // An item added now reaches the texts file, while the index file keeps what it held.
  t.add(u"q3", u"a3");
  EXPECT_TRUE(t.c.closeCollection());
  EXPECT_EQ(t.files.bytes("/c.kbi"), damaged);

  // So the next opening rebuilds again and finds every record.
  ASSERT_TRUE(openCollection(t.c, "/c"));
  EXPECT_EQ(t.c.header.itemCount, 3);
}

TEST(IndexFile, LoadReadsOnlyItemCountEntries) {
  TestCollection t;
  t.create();
  for (int i = 0; i < 3; ++i) t.add(u"q", u"a");
  t.c.table[2].status = code(ItemStatus::Deleted);
  t.c.compactTable();  // the saved file keeps the third entry's stale bytes
  EXPECT_TRUE(t.c.closeCollection());
  ASSERT_EQ(t.index().size(), 12u + 3 * 12);

  ASSERT_TRUE(openCollection(t.c, "/c"));
  EXPECT_EQ(t.c.header.itemCount, 2);
  EXPECT_EQ(t.c.table[2], ItemIndexEntry{});
  EXPECT_EQ(t.c.header.nextSlotNumber, 3);
}

TEST(IndexFile, ItemCountZeroOpensEmptyEvenWithRecords) {
  TestCollection t;
  t.create();
  t.add(u"q", u"a");
  EXPECT_TRUE(t.c.closeCollection());
  t.files.put("/c.kbi", indexImage(0));
  ASSERT_TRUE(openCollection(t.c, "/c"));
  EXPECT_EQ(t.c.header.itemCount, 0);
  EXPECT_TRUE(t.messages.shown.empty());
}

TEST(IndexFile, ReopenedCollectionHasItsItemsAndLearningData) {
  TestCollection t;
  t.create();
  t.add(u"q1", u"a1");
  t.add(u"q2", u"a2");
  t.c.table[1] =
      ItemIndexEntry{t.c.table[1].recordOffset, 30, 8000, 0, code(ItemStatus::Memorized), 0};
  t.c.header.learningDay = 8999;
  EXPECT_TRUE(t.c.closeCollection());

  ASSERT_TRUE(openCollection(t.c, "/c"));
  EXPECT_EQ(t.c.header.itemCount, 2);
  EXPECT_EQ(t.c.header.learningDay, 8999);
  EXPECT_EQ(t.c.table[1].status, code(ItemStatus::Outstanding));  // 8030 is past
  EXPECT_EQ(t.c.table[1].interval, 30);
  ASSERT_TRUE(t.read(1));
  EXPECT_EQ(t.c.loaded.question, u"q2");
  EXPECT_EQ(t.c.loaded.header.interval, 0) << "the record keeps what its last write copied";
}

// ---- opening and creating ----

TEST(Opening, FileErrorsShowTheirNoticeThenTheOpeningError) {
  struct Case {
    OpenError error;
    std::vector<std::u16string> messages;
  };
  const Case cases[] = {
      {OpenError::SharingViolation,
       {u"Cannot access the file because\nit is being used by another process!",
        u"Error while opening database!"}},
      {OpenError::AccessDenied,
       {u"Access denied! Probably file has\nread-only attribute set.",
        u"Error while opening database!"}},
      {OpenError::Other, {u"Error while opening database!"}},
  };
  for (const char* failing : {"/c.kbi", "/c.kdb"}) {
    for (const Case& c : cases) {
      TestCollection t;
      t.files.openFailures[failing] = c.error;
      EXPECT_FALSE(openCollection(t.c, "/c"));
      EXPECT_EQ(t.messages.texts(), c.messages);
      EXPECT_FALSE(t.c.isOpen);
      EXPECT_FALSE(t.c.hasIndexFile());
    }
  }
}

TEST(Creating, AsksBeforeOverwritingAndStopsClosedOnNo) {
  TestCollection t;
  t.create();
  t.add(u"keep", u"me");
  EXPECT_TRUE(t.c.closeCollection());
  ASSERT_TRUE(openCollection(t.c, "/c"));

  t.messages.answers = {false};
  EXPECT_FALSE(createCollection(t.c, "/c"));
  EXPECT_EQ(t.messages.asked, std::vector<std::u16string>{u"Overwrite old data files?\r\n/c.kdb"});
  EXPECT_FALSE(t.c.isOpen);
  EXPECT_EQ(t.texts().size(), 18u + 6);

  t.messages.answers = {true};
  EXPECT_TRUE(createCollection(t.c, "/c"));
  EXPECT_TRUE(t.c.isOpen);
  EXPECT_EQ(t.c.header.itemCount, 0);
  EXPECT_TRUE(t.texts().empty());
}

TEST(Creating, KeepsAnOldSettingsFileAndWritesOneAtOnceWhereNoneExists) {
  TestCollection t;
  t.files.put("/old.cfg", {'H', 'T', 'M', 'L', ' ', '1', '\n'});
  ASSERT_TRUE(createCollection(t.c, "/old"));
  EXPECT_EQ(t.c.settings.html, 1);
  EXPECT_FALSE(t.c.settings.settingsChanged);

  // The settings say which text form the records take, so they are on the disk before any
  // record is.
  t.c.settings.utf8 = 1;
  ASSERT_TRUE(createCollection(t.c, "/new"));
  EXPECT_TRUE(t.files.exists("/new.cfg"));
  EXPECT_FALSE(t.c.settings.settingsChanged);
  const std::string cfg(t.files.bytes("/new.cfg").begin(), t.files.bytes("/new.cfg").end());
  EXPECT_NE(cfg.find("UTF8 1\r\n"), std::string::npos);
}

TEST(Batches, GatherAppendsAndWriteTheIndexOnceAtTheEnd) {
  TestCollection t;
  t.create();
  t.add(u"before", u"batch");
  const Bytes indexBefore = t.index();
  {
    Collection::Batch batch(t.c);
    t.add(u"q1", u"a1");
    t.add(u"q2", u"a2");
    // A copy appended in this batch grows and is marked dead in memory.
    t.c.loaded.question = u"q2 grown longer";
    EXPECT_TRUE(t.c.writeItem(2));
    EXPECT_EQ(t.index(), indexBefore);
    EXPECT_EQ(t.texts().size(), 18u + 12);
    // Reading sees what was gathered.
    ASSERT_TRUE(t.read(1));
    EXPECT_EQ(t.c.loaded.question, u"q1");
  }
  const Bytes& texts = t.texts();
  EXPECT_EQ(texts.size(), 18u + 12 + 2 * (18 + 4) + 18 + 18);
  EXPECT_EQ(headerAt(texts, 18 + 12 + 22).slotNumber, kDeadSlot);
  EXPECT_EQ(t.index().size(), 12u + 3 * 12);
}

TEST(Batches, ABatchTheDiskRefusesIsUndoneWholeAndLaterChangesStillCount) {
  TestCollection t;
  t.create();
  t.add(u"kept", u"item");
  {
    Collection::Batch batch(t.c);
    t.add(u"lost", u"one");
    t.files.writeBudget = 5;  // the disk fills up
  }
  EXPECT_EQ(t.c.header.itemCount, 1);
  EXPECT_EQ(t.messages.texts().back(), u"Error while saving database!");
  t.files.writeBudget = SIZE_MAX;
  t.add(u"after", u"failure");
  EXPECT_TRUE(t.c.closeCollection());

  ASSERT_TRUE(openCollection(t.c, "/c"));
  ASSERT_EQ(t.c.header.itemCount, 2);
  for (std::uint16_t p : {0, 1}) {
    ASSERT_TRUE(t.read(p));
    EXPECT_EQ(t.c.loaded.question, p == 0 ? u"kept" : u"after");
  }
}

TEST(ItemRecords, AnAddThatFailedHalfwayLeavesNoTraceAndTheNextOneLandsInItsPlace) {
  TestCollection t;
  t.create();
  t.add(u"one", u"1");
  const Bytes texts = t.texts();
  t.files.writeBudget = 30;  // part of the change arrives
  std::uint16_t p = t.c.header.itemCount++;
  t.c.table[p] = ItemIndexEntry{kNoRecord, 0, 0, 0, 0, 0};
  t.c.loaded.question = u"a much longer second question";
  t.c.loaded.loadedPosition = p;
  EXPECT_FALSE(t.c.writeItem(p));
  EXPECT_EQ(t.c.header.itemCount, 1);
  t.files.writeBudget = SIZE_MAX;
  EXPECT_EQ(t.texts(), texts);
  t.add(u"two", u"2");
  EXPECT_EQ(t.c.table[1].recordOffset, 18u + 4);
  EXPECT_EQ(t.texts().size(), 2u * (18 + 4));
  ASSERT_TRUE(t.read(1));
  EXPECT_EQ(t.c.loaded.question, u"two");
}

}  // namespace
}  // namespace kelvora::store
