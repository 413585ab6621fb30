// Update from XML: items matched by ID take the file's texts and keep their progress, the rest of
// the file is appended, a collection updated from its own export stays byte for byte the same,
// and a refused, failed, stopped or killed update leaves the collection as it was.
#include "exchange/xml_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/exchange_commands.h"
#include "learning/grade_undo.h"
#include "learning/scheduling.h"
#include "store/collection_opening.h"
#include "store/user_texts.h"
#include "store/utf16_text.h"
#include "test_collection.h"

namespace kelvora::exchange {
namespace {

using store::code;
using store::ItemStatus;

constexpr XmlTime kNow{2004, 8, 21, 9, 5};
constexpr char kLearned[] =
    "<LearningData><Interval>12</Interval><Repetitions>3</Repetitions><Lapses>1</Lapses>"
    "<LastRepetition>14.08.2004</LastRepetition><AFactor>2.5</AFactor></LearningData>";
constexpr char kNew[] =
    "<LearningData><Repetitions>0</Repetitions><Lapses>0</Lapses><AFactor>2.5</AFactor>"
    "</LearningData>";

std::string element(const std::string& id, const std::string& question, const std::string& answer,
                    const std::string& learning = kNew) {
  return "<KelvoraElement>" + (id.empty() ? std::string() : "<ID>" + id + "</ID>") +
         "<Content><Question>" + question + "</Question><Answer>" + answer + "</Answer></Content>" +
         learning + "</KelvoraElement>\n";
}

std::string document(const std::vector<std::string>& elements) {
  std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KelvoraCollection>\n";
  for (const std::string& e : elements) out += e;
  return out + "</KelvoraCollection>\n";
}

// 4294967301 is 65537 * 65535 + 6: read as an ID it gives idLow 6 and idHigh 1, item ID 65541.
const std::vector<std::string> kDeck = {
    element("1", "one", "1", kLearned),
    element("2", "two", "2"),
    element("2", "two again", "2 again", kLearned),  // the deck repeats an ID
    element("4294967301", "big", "B", kLearned),
    element("70000", "caf\xC3\xA9 &lt;b&gt;", "line one\nline two", kLearned),
    element("3", "", "only an answer", ""),  // no learning data: Dismissed
    element("4", "\xF0\x9F\x98\x80 wide", "4"),
};

struct Item {
  std::u16string question;
  std::u16string answer;
  store::ItemIndexEntry entry;
  std::uint32_t id;
  std::uint16_t aFactor;
  std::uint8_t repetitions;
  std::uint8_t lapses;
  bool operator==(const Item&) const = default;
};

// Every item as the collection at hand holds it.
std::vector<Item> itemsOf(testing::TestCollection& t) {
  std::vector<Item> out;
  for (std::uint16_t p = 0; p < t.c.header.itemCount; ++p) {
    t.read(p);
    const store::ItemRecordHeader& h = t.c.loaded.header;
    out.push_back({t.c.loaded.question, t.c.loaded.answer, t.c.table[p], h.itemId(), h.aFactor,
                   h.repetitions, h.lapses});
  }
  return out;
}

struct Fixture : testing::TestCollection {
  // The deck imported at /c, graded a little, and closed.
  explicit Fixture(bool unicode = true) {
    today = 8999;
    c.settings.utf8 = unicode ? 1 : 0;
    put("/c.xml", document(kDeck));
    EXPECT_TRUE(importCollection(c, ExchangeKind::Xml, "/c"));
    open();
    read(1);
    const store::UndoStep step = learning::beginUndoStep(
        c, store::UndoKind::Grade, static_cast<std::uint8_t>(learning::Grade::Good));
    EXPECT_TRUE(learning::applyGrade(c, learning::Grade::Good).changed);
    EXPECT_TRUE(c.writeItem(1));
    learning::keepUndoStep(c, step);
    EXPECT_TRUE(c.closeCollection());
    messages.shown.clear();
  }
  void put(const std::string& path, const std::string& text) {
    files.put(path, {text.begin(), text.end()});
  }
  void open() { ASSERT_TRUE(store::openCollection(c, "/c")); }
  std::vector<Item> items() { return itemsOf(*this); }
};

TEST(UpdateFromXml, ACollectionUpdatedFromItsOwnExportStaysByteForByteTheSame) {
  for (const bool unicode : {true, false}) {
    SCOPED_TRACE(unicode ? "Unicode" : "Compressed Unicode");
    Fixture f(unicode);
    ASSERT_TRUE(exportCollection(f.c, ExchangeKind::Xml, "/c", "/export.xml", kNow));
    const auto before = f.files.snapshot();
    f.open();
    const auto done = updateWithMessages(f.c, "/export.xml");
    ASSERT_TRUE(done);
    EXPECT_EQ(*done,
              u"The collection has been updated from:\r\n/export.xml\r\n\r\nItems updated: 0\r\n"
              u"Items added: 0\r\nItems left alone: 7");
    EXPECT_TRUE(f.messages.shown.empty());
    ASSERT_TRUE(f.c.closeCollection());
    EXPECT_EQ(f.files.snapshot(), before);
  }
}

TEST(UpdateFromXml, MatchedItemsTakeTheTextsAndKeepTheirProgressTheRestIsAppended) {
  Fixture f;
  f.open();
  const std::vector<Item> before = f.items();
  f.put("/new.xml",
        document({
            element("1", "one, mended", "1", kNew),  // the file's learning data is not taken
            element("2", "two", "2"),                // unchanged
            element("4294967301", "big", "B, mended"),
            element("2", "two again, mended", "2 again"),          // the second item of ID 2
            element("2", "two a third time", "2 more", kLearned),  // no third item: appended
            element("0", "zero", "0"),                             // 0 and below are no ID
            element("-5", "minus five", "-5"),
            element("", "no ID", "none", kLearned),
            element("65541", "", ""),  // neither text: not an item, nothing changes
            element("99", "new", "n", kLearned),
        }));
  const auto result = updateFromXml(f.c, "/new.xml");
  ASSERT_EQ(result.outcome, UpdateOutcome::Updated);
  EXPECT_EQ(result.updated, 3);
  EXPECT_EQ(result.added, 5);
  EXPECT_EQ(result.leftAlone, 4);
  EXPECT_TRUE(f.messages.shown.empty());
  ASSERT_TRUE(f.c.closeCollection());

  f.open();
  const std::vector<Item> after = f.items();
  ASSERT_EQ(after.size(), 12u);
  std::vector<Item> expected(before);
  expected[0].question = u"one, mended";
  expected[2].question = u"two again, mended";
  expected[3].answer = u"B, mended";
  for (std::size_t p = 0; p < before.size(); ++p) {
    SCOPED_TRACE(p);
    // Everything but the texts stays; a record that grew has moved to the end of the file.
    if (expected[p] != before[p]) expected[p].entry.recordOffset = after[p].entry.recordOffset;
    EXPECT_EQ(after[p], expected[p]);
  }
  // The appended items read as an import of the same elements reads them.
  const std::vector<std::u16string> addedQuestions = {u"two a third time", u"zero", u"minus five",
                                                      u"no ID", u"new"};
  for (std::size_t i = 0; i < addedQuestions.size(); ++i) {
    EXPECT_EQ(after[7 + i].question, addedQuestions[i]);
  }
  EXPECT_EQ(after[7].id, 2u);
  EXPECT_EQ(after[8].id, 0u);
  EXPECT_EQ(after[9].id, 0u);
  EXPECT_EQ(after[11].id, 99u);
  EXPECT_EQ(after[11].entry.status, code(ItemStatus::Memorized));  // due on 26.08.2004
  EXPECT_EQ(after[11].entry.interval, 12);
  EXPECT_EQ(after[11].repetitions, 3);
  EXPECT_EQ(after[11].lapses, 1);
  EXPECT_EQ(after[8].entry.status, code(ItemStatus::Pending));
  const store::CollectionCounters counters = f.c.counters;
  f.c.recount();
  EXPECT_EQ(f.c.counters, counters);
}

TEST(UpdateFromXml, AnUpdatedItemLosesItsUndoStepsOthersKeepTheirs) {
  Fixture f;
  f.open();
  f.read(6);
  const store::UndoStep step = learning::beginUndoStep(
      f.c, store::UndoKind::Grade, static_cast<std::uint8_t>(learning::Grade::Bright));
  ASSERT_TRUE(learning::applyGrade(f.c, learning::Grade::Bright).changed);
  ASSERT_TRUE(f.c.writeItem(6));
  learning::keepUndoStep(f.c, step);
  ASSERT_EQ(f.c.undoLog().steps().size(), 2u);
  // The loaded item's typed text is stored, even by an update that changes nothing.
  f.read(0);
  f.c.loaded.answer = u"typed";
  f.c.loaded.itemModified = true;
  f.put("/new.xml", document({element("2", "two", "2")}));
  ASSERT_EQ(updateFromXml(f.c, "/new.xml").updated, 0);
  f.put("/new.xml", document({element("70000", "new question", "A")}));
  ASSERT_EQ(updateFromXml(f.c, "/new.xml").updated, 1);
  EXPECT_EQ(f.c.undoLog().steps().size(), 2u);
  f.put("/new.xml", document({element("4", "wide, mended", "4")}));
  ASSERT_EQ(updateFromXml(f.c, "/new.xml").updated, 1);
  EXPECT_EQ(learning::undoLastStep(f.c), std::optional<std::uint16_t>(1));
  EXPECT_FALSE(learning::undoLastStep(f.c));
  ASSERT_TRUE(f.c.closeCollection());
  f.open();
  f.read(0);
  EXPECT_EQ(f.c.loaded.answer, u"typed");
}

TEST(UpdateFromXml, ItemsPastTheLimitStopTheUpdateBeforeItBegins) {
  std::vector<std::string> elements = {element("1", "one, mended", "1")};
  const std::size_t room = store::MaxItems - kDeck.size();
  for (std::size_t i = 0; i < room; ++i) elements.push_back(element("", "q", "a"));
  for (const bool fits : {false, true}) {
    SCOPED_TRACE(fits ? "fits" : "one too many");
    Fixture f;
    std::vector<std::string> file = elements;
    if (!fits) file.push_back(element("", "q", "a"));
    f.put("/big.xml", document(file));
    f.open();
    const auto before = f.files.snapshot();
    const auto done = updateWithMessages(f.c, "/big.xml");
    if (fits) {
      ASSERT_TRUE(done);
      EXPECT_EQ(f.c.header.itemCount, store::MaxItems);
      continue;
    }
    EXPECT_FALSE(done);
    EXPECT_EQ(f.messages.texts(),
              std::vector<std::u16string>{std::u16string(store::texts::kUpdateTooMany)});
    EXPECT_EQ(f.c.header.itemCount, kDeck.size());
    ASSERT_TRUE(f.read(0));
    EXPECT_EQ(f.c.loaded.question, u"one");
    ASSERT_TRUE(f.c.closeCollection());
    EXPECT_EQ(f.files.snapshot(), before);
  }
  // A file of more elements than a collection holds is refused however many match.
  Fixture f;
  elements.resize(store::MaxItems + 1, element("1", "one", "1"));
  f.put("/big.xml", document(elements));
  f.open();
  EXPECT_EQ(updateFromXml(f.c, "/big.xml").outcome, UpdateOutcome::TooManyItems);
}

TEST(UpdateFromXml, AFileThatCannotBeReadChangesNothing) {
  Fixture f;
  f.put("/new.xml", document({element("1", "one, mended", "1"), element("", "new", "n")}));
  f.open();
  const auto before = f.items();
  EXPECT_FALSE(updateWithMessages(f.c, "/missing.xml"));
  EXPECT_EQ(f.messages.texts().back(), store::texts::kUpdateFailed);
  f.files.readBudget = 40;  // the file ends in a read error
  f.messages.shown.clear();
  EXPECT_FALSE(updateWithMessages(f.c, "/new.xml"));
  EXPECT_EQ(f.messages.texts().back(), store::texts::kUpdateFailed);
  f.files.heal();
  EXPECT_EQ(f.items(), before);
}

// Each write of the update refused in turn, then a kill before each: the collection is the old
// one or the new one, never a mixture, and a refusal is reported and changes nothing.
TEST(UpdateFromXml, ARefusedOrKilledUpdateLeavesTheOldCollectionOrTheNewOne) {
  const std::string file =
      document({element("1", "one, mended and longer", "1"), element("70000", "seventy", "7"),
                element("", "new", "n", kLearned)});
  std::vector<Item> oldItems;
  std::vector<Item> newItems;
  {
    Fixture f;
    f.put("/new.xml", file);
    f.open();
    oldItems = f.items();
    ASSERT_EQ(updateFromXml(f.c, "/new.xml").outcome, UpdateOutcome::Updated);
    ASSERT_TRUE(f.c.closeCollection());
    f.open();
    newItems = f.items();
  }
  ASSERT_EQ(newItems.size(), oldItems.size() + 1);
  int refusals = 0;
  int kills = 0;
  for (long k = 0;; ++k) {
    bool reached = false;
    {
      Fixture f;
      f.put("/new.xml", file);
      f.open();
      f.files.failWriteOp = f.files.writeOps + k;
      const UpdateResult result = updateFromXml(f.c, "/new.xml");
      f.files.heal();
      if (result.outcome == UpdateOutcome::NotStored) {
        ++refusals;
        EXPECT_EQ(f.messages.texts().back(), u"Error while saving database!") << k;
        EXPECT_EQ(f.items(), oldItems) << k;
      } else {
        ASSERT_EQ(result.outcome, UpdateOutcome::Updated) << k;
      }
      (void)f.c.closeCollection();
      f.open();
      const std::vector<Item> after = f.items();
      EXPECT_TRUE(after == oldItems || after == newItems) << k;
      if (result.outcome == UpdateOutcome::Updated) {
        EXPECT_EQ(after, newItems) << k;
      }
    }
    for (const bool torn : {false, true}) {
      Fixture f;
      f.put("/new.xml", file);
      f.open();
      f.files.killAtWriteOp = f.files.writeOps + k;
      f.files.torn = torn;
      (void)updateFromXml(f.c, "/new.xml");
      (void)f.c.closeCollection();
      if (!f.files.killed) continue;
      reached = true;
      ++kills;
      testing::TestCollection after;
      after.today = f.today;
      after.files.restore(*f.files.killed);
      ASSERT_TRUE(store::openCollection(after.c, "/c")) << k;
      const std::vector<Item> items = itemsOf(after);
      EXPECT_TRUE(items == oldItems || items == newItems) << k << (torn ? " torn" : "");
    }
    if (!reached) break;
  }
  EXPECT_GT(refusals, 0);
  EXPECT_GT(kills, 4);
}

}  // namespace
}  // namespace kelvora::exchange
