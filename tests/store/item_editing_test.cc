// Typed text as a record keeps it: the cut at the longest text and the message that tells so.
#include "store/item_editing.h"

#include <gtest/gtest.h>

#include "store/user_texts.h"
#include "test_collection.h"

namespace kelvora::store {
namespace {

TEST(ItemEditing, TypedTextIsCutToWhatARecordKeepsAndTheCutIsReported) {
  struct Row {
    std::uint8_t utf8;
    std::size_t typed;
    std::size_t kept;
    bool told;
  };
  // The editor keeps one unit less than a record's limit; the Unicode form holds two bytes a
  // unit, so half as many units fit into a record.
  for (Row row : {Row{0, 9999, 9999, false}, Row{0, 10000, 9999, true}, Row{1, 5000, 5000, false},
                  Row{1, 5001, 5000, true}}) {
    testing::TestCollection t;
    t.c.settings.utf8 = row.utf8;
    t.create();
    const bool replaced = takeOverText(t.c, false, std::u16string(row.typed, u'x'));
    EXPECT_FALSE(replaced);
    EXPECT_EQ(t.c.loaded.answer.size(), row.kept) << row.typed;
    EXPECT_TRUE(t.c.loaded.itemModified);
    const std::vector<std::u16string> told{std::u16string(texts::kItemTooLong)};
    EXPECT_EQ(t.messages.texts(), row.told ? told : std::vector<std::u16string>{}) << row.typed;
  }
}

TEST(ItemEditing, CharactersTheCompressedFormCannotHoldBecomeQuestionMarks) {
  testing::TestCollection t;
  t.c.settings.utf8 = 0;
  t.create();
  EXPECT_TRUE(takeOverText(t.c, true, u"Seoul \uc11c\uc6b8"));
  EXPECT_EQ(t.c.loaded.question, u"Seoul ??");
  EXPECT_TRUE(t.messages.texts().empty()) << "the caller tells once per command";
}

}  // namespace
}  // namespace kelvora::store
