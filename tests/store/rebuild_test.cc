// Rebuilding the item table from the texts file alone, and Reset.
#include <gtest/gtest.h>

#include <random>

#include "store/reset_collection.h"
#include "test_collection.h"

namespace kelvora::store {
namespace {

using testing::TestCollection;

struct Rec {
  std::uint16_t slot;
  std::uint8_t status = code(ItemStatus::Memorized);
  std::u16string question = u"q";
  std::uint16_t interval = 3;
};

// A texts file of the given records in the compressed form; returns each record's offset.
std::vector<std::uint32_t> writeTexts(TestCollection& t, const std::vector<Rec>& records) {
  Bytes file;
  std::vector<std::uint32_t> offsets;
  for (const Rec& r : records) {
    offsets.push_back(static_cast<std::uint32_t>(file.size()));
    Bytes texts;
    ItemRecordHeader h;
    h.questionLength = encodeText(texts, r.question, TextEncoding::CompressedUnicode);
    h.answerLength = encodeText(texts, u"a", TextEncoding::CompressedUnicode);
    if (texts.size() % 2) texts.push_back(0);
    h.slotNumber = r.slot;
    h.status = r.status;
    h.interval = r.interval;
    h.lastRepetition = 8999;
    h.aFactor = 2500;
    auto head = encodeRecordHeader(h);
    file.insert(file.end(), head.begin(), head.end());
    file.insert(file.end(), texts.begin(), texts.end());
  }
  t.files.put("/c.kdb", file);
  EXPECT_TRUE(t.files.remove("/c.kbi").ok());
  return offsets;
}

std::vector<std::uint32_t> tableOffsets(const Collection& c) {
  std::vector<std::uint32_t> out;
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) out.push_back(c.table[p].recordOffset);
  return out;
}

TEST(Rebuild, PlacesRecordsBySlotAndResolvesDeadAndDuplicateCopies) {
  struct Case {
    const char* name;
    std::vector<Rec> records;
    std::vector<int> expected;  // record index for each table position
    std::uint16_t nextSlot;
  };
  const Case cases[] = {
      {"dead copy of slot 1", {{0}, {kDeadSlot}, {2}, {1, 2, u"new"}}, {0, 3, 2}, 3},
      {"second slot 4 goes above the highest",
       {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}, {4}},
       {0, 1, 2, 3, 4, 5, 6, 7, 8},
       9},
      {"deleted record leaves the table", {{0}, {1, code(ItemStatus::Deleted)}, {2}}, {0, 2}, 3},
      {"slots no record fills are dropped", {{5}, {0}}, {1, 0}, 6},
      {"slot beyond the table placed like a duplicate", {{40000}, {0}, {2}}, {1, 2, 0}, 4},
      {"a second copy of the last slot has nowhere to go",
       {{MaxItems - 1}, {MaxItems - 1}, {0}},
       {2, 0},
       MaxItems},
  };
  for (const Case& c : cases) {
    TestCollection t;
    auto offsets = writeTexts(t, c.records);
    ASSERT_TRUE(openCollection(t.c, "/c")) << c.name;
    EXPECT_TRUE(t.messages.shown.empty()) << c.name;
    std::vector<std::uint32_t> expected;
    for (int r : c.expected) expected.push_back(offsets[r]);
    EXPECT_EQ(tableOffsets(t.c), expected) << c.name;
    EXPECT_EQ(t.c.header.nextSlotNumber, c.nextSlot) << c.name;
    for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
      EXPECT_EQ(t.c.table[p].filledMark, kFilledMark);
      EXPECT_EQ(t.c.table[p].interval, 3);
    }
  }
}

TEST(Rebuild, ATextsFileCutShortKeepsTheRecordsBeforeTheCut) {
  for (std::size_t cut : {0, 5, 18, 20}) {
    TestCollection t;
    auto offsets = writeTexts(t, {{0}, {1}, {2, 2, u"a longer question"}});
    Bytes& file = t.files.bytes("/c.kdb");
    file.resize(offsets[2] + cut);
    ASSERT_TRUE(openCollection(t.c, "/c"));
    EXPECT_EQ(tableOffsets(t.c), (std::vector<std::uint32_t>{offsets[0], offsets[1]})) << cut;
  }
}

TEST(Rebuild, AnyBytesGiveATableOfWholeRecords) {
  std::mt19937 random(20041208);
  for (int round = 0; round < 300; ++round) {
    TestCollection t;
    Bytes garbage(random() % 600);
    for (auto& b : garbage) b = static_cast<std::uint8_t>(random() % 8 == 0 ? 0xFF : random() % 4);
    t.files.put("/c.kdb", garbage);
    ASSERT_TRUE(openCollection(t.c, "/c"));
    ASSERT_LE(t.c.header.itemCount, MaxItems);
    for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
      const std::uint32_t at = t.c.table[p].recordOffset;
      ASSERT_LE(at + kRecordHeaderSize, garbage.size());
      ItemRecordHeader h = decodeRecordHeader(
          std::span<const std::uint8_t, kRecordHeaderSize>(garbage.data() + at, kRecordHeaderSize));
      EXPECT_LE(at + kRecordHeaderSize + paddedTextSize(h.questionLength, h.answerLength),
                garbage.size());
      EXPECT_NE(h.slotNumber, kDeadSlot);
    }
  }
}

TEST(Rebuild, OpeningWithoutAnIndexBringsBackEveryItemAndWritesTheIndex) {
  TestCollection t;
  t.create();
  t.add(u"one", u"1");
  t.add(u"two", u"2");
  t.c.table[1].interval = 9;
  t.c.table[1].lastRepetition = 8990;
  t.c.table[1].status = code(ItemStatus::Memorized);
  t.c.loaded.header.status = code(ItemStatus::Memorized);
  EXPECT_TRUE(t.c.writeItem(1));
  EXPECT_TRUE(t.c.closeCollection());
  ASSERT_TRUE(t.files.remove("/c.kbi").ok());

  ASSERT_TRUE(openCollection(t.c, "/c"));
  ASSERT_EQ(t.c.header.itemCount, 2);
  EXPECT_EQ(t.c.table[1].interval, 9);
  EXPECT_EQ(t.c.table[1].status, code(ItemStatus::Outstanding));
  EXPECT_EQ(t.c.counters.memorizedCount, 1);
  EXPECT_EQ(t.index().size(), 12u + 2 * 12);
}

class RecordingProgress final : public ProgressWindow {
 public:
  int shown = 0;
  int hidden = 0;
  bool show() override { return ++shown, true; }
  void hide() override { ++hidden; }
  void setLine(std::u16string_view) override {}
};

TEST(Rebuild, ShowsTheWorkingWindowUnlessOneIsOpenAlready) {
  TestCollection t;
  RecordingProgress window;
  t.c.progress.setWindow(&window);
  writeTexts(t, {{0}});
  ASSERT_TRUE(openCollection(t.c, "/c"));
  EXPECT_EQ(window.shown, 1);
  EXPECT_EQ(window.hidden, 1);
  t.c.progress.openProgress();
  t.c.rebuildIndex();
  EXPECT_TRUE(t.c.progress.isOpen());
  EXPECT_EQ(window.shown, 2);
}

TEST(Reset, ReturnsEveryItemToNewMaterialInPlace) {
  TestCollection t;
  t.create();
  t.add(u"one", u"1");
  t.add(u"two", u"2");
  t.c.loaded.header.repetitions = 4;
  t.c.loaded.header.lapses = 2;
  t.c.loaded.header.aFactor = 1800;
  t.c.loaded.header.setItemId(77);
  t.c.table[1] = {t.c.table[1].recordOffset, 20, 8990, 0, code(ItemStatus::Drill), 0};
  EXPECT_TRUE(t.c.writeItem(1));
  t.c.header.itemCount = 3;  // an item added and never written
  t.c.table[2] = {kNoRecord, 5, 5, 0, code(ItemStatus::Memorized), 0};
  t.c.header.learningDay = 8990;
  t.c.recount();
  const std::size_t size = t.texts().size();

  t.messages.answers = {false};
  resetCollection(t.c);
  EXPECT_EQ(t.c.table[1].status, code(ItemStatus::Drill));

  t.c.currentPosition = 0;
  resetCollection(t.c);
  EXPECT_EQ(t.files.bytes("/c.kdb").size(), size);
  EXPECT_EQ(t.c.counters, CollectionCounters{});
  EXPECT_EQ(t.c.header.learningDay, 0);
  for (std::uint16_t p = 0; p < 3; ++p) {
    EXPECT_EQ(t.c.table[p].status, code(ItemStatus::Pending));
    EXPECT_EQ(t.c.table[p].interval, 0);
    EXPECT_EQ(t.c.table[p].lastRepetition, 0);
  }
  EXPECT_EQ(t.c.table[2].recordOffset, kNoRecord);
  ASSERT_TRUE(t.read(1));
  EXPECT_EQ(t.c.loaded.question, u"two");
  EXPECT_EQ(t.c.loaded.header.itemId(), 77u);
  EXPECT_EQ(t.c.loaded.header.aFactor, kNewItemAFactor);
  EXPECT_EQ(t.c.loaded.header.repetitions, 0);
  EXPECT_EQ(t.c.loaded.header.lapses, 0);
  EXPECT_EQ(t.c.loaded.header.status, code(ItemStatus::Pending));
}

}  // namespace
}  // namespace kelvora::store
