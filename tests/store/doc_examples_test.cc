// The worked examples of the store's format pages, read from doc/ and made again with the
// store: the collection files, the text forms, the settings file, the recent list and the
// journal.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "doc_page.h"
#include "store/recent_file_format.h"
#include "store/settings.h"
#include "store/text_encoding.h"
#include "test_collection.h"

namespace kelvora::store {
namespace {

using testing::HexLine;
using testing::PageBytes;
using testing::TestCollection;
using testing::wholeDump;

std::vector<std::vector<HexLine>> dumpsOf(const char* page, std::size_t expected) {
  std::vector<std::vector<HexLine>> dumps = testing::hexDumps(testing::docPage(page));
  EXPECT_EQ(dumps.size(), expected) << page;
  dumps.resize(expected);
  return dumps;
}

// Example 1 of the collection files page: "abc" / "defg" new, and "café" / "coffee" memorized.
void makeExampleOne(TestCollection& t) {
  t.create();
  t.add(u"abc", u"defg");
  t.add(u"caf\u00E9", u"coffee");
  t.c.table[1].status = code(ItemStatus::Memorized);
  t.c.table[1].interval = 4;
  t.c.table[1].lastRepetition = 8998;
  ItemRecordHeader& h = t.c.loaded.header;
  h.status = code(ItemStatus::Memorized);
  h.aFactor = 2600;
  h.repetitions = 1;
  h.setItemId(70000);
  ASSERT_TRUE(t.c.writeItem(1));
  t.c.header.learningDay = 8998;
  ASSERT_TRUE(t.c.indexChanged());
}

TEST(CollectionFilesPage, ExampleOneTwoItems) {
  const auto dumps = dumpsOf("collection_files.md", 6);
  TestCollection t;
  makeExampleOne(t);
  EXPECT_EQ(t.texts(), wholeDump(dumps[0]));
  EXPECT_EQ(t.index(), wholeDump(dumps[1]));
}

TEST(CollectionFilesPage, ExampleTwoAGrownRecordMoves) {
  const auto dumps = dumpsOf("collection_files.md", 6);
  TestCollection t;
  makeExampleOne(t);
  ASSERT_TRUE(t.read(0));
  t.c.loaded.answer = u"defghi";
  ASSERT_TRUE(t.c.writeItem(0));
  EXPECT_EQ(t.texts(), wholeDump(dumps[2]));
  EXPECT_EQ(t.index(), wholeDump(dumps[3]));
}

TEST(CollectionFilesPage, ExampleThreeUnicodeAndAnItemWithoutARecord) {
  const auto dumps = dumpsOf("collection_files.md", 6);
  TestCollection t;
  t.create();
  t.c.settings.utf8 = 1;
  t.add(u"abc", u"defg");
  t.c.table[1] = ItemIndexEntry{kNoRecord, 0, 0, 0, 0, 0};
  t.c.header.itemCount = 2;
  ASSERT_TRUE(t.c.indexChanged());
  EXPECT_EQ(t.texts(), wholeDump(dumps[4]));
  EXPECT_EQ(t.index(), wholeDump(dumps[5]));
  EXPECT_FALSE(t.read(1));
  EXPECT_EQ(t.c.loaded.header.slotNumber, 1);
  EXPECT_EQ(t.index()[10], 2) << "nextSlotNumber";
}

// The page's table of examples: text, its compressed form, its Unicode form.
TEST(TextEncodingPage, ExamplesTable) {
  const std::u16string texts[] = {u"abc",       u"\u00E9",  u"\u20AC",
                                  u"caf\u00E9", u"\u8000x", u"\U0001F600"};
  std::vector<std::pair<Bytes, Bytes>> forms;
  std::istringstream lines(testing::docPage("text_encoding.md"));
  for (std::string line; std::getline(lines, line);) {
    // "| text | `hex` note | `hex` |": three cells, the last two opening with bytes in quotes.
    std::vector<std::string> cells;
    std::istringstream row(line);
    for (std::string cell; std::getline(row, cell, '|');) cells.push_back(cell);
    if (cells.size() != 4 || !cells[0].empty()) continue;
    std::optional<Bytes> bytes[2];
    for (int i = 0; i < 2; ++i) {
      const std::string& cell = cells[2 + i];
      const std::size_t open = cell.find('`');
      const std::size_t close = cell.find('`', open + 1);
      if (open != 1 || close == std::string::npos) break;
      const auto hex = testing::hexLines({cell.substr(open + 1, close - open - 1)});
      if (hex.size() == 1) bytes[i] = hex[0].bytes;
    }
    if (bytes[0] && bytes[1]) forms.emplace_back(*bytes[0], *bytes[1]);
  }
  ASSERT_EQ(forms.size(), std::size(texts));
  for (std::size_t i = 0; i < forms.size(); ++i) {
    for (const auto& [encoding, bytes] :
         {std::pair{TextEncoding::CompressedUnicode, forms[i].first},
          std::pair{TextEncoding::Unicode, forms[i].second}}) {
      Bytes out;
      encodeText(out, texts[i], encoding);
      EXPECT_EQ(out, bytes) << "row " << i;
    }
  }
}

TEST(SettingsFilePage, Example) {
  const auto dumps = dumpsOf("settings_file.md", 1);
  fakes::MemoryFileSystem files;
  Settings s;
  s.questionFont = {u"DejaVu Sans Mono", 12, 400};
  s.answerFont = {u"\u00DCberschrift Sans", 16, 700};
  s.utf8 = 1;
  s.ratio = 2;
  ASSERT_TRUE(writeSettings(s, files, "/s"));
  EXPECT_EQ(files.bytes("/s.cfg"), wholeDump(dumps[0]));
}

TEST(RecentFilePage, Example) {
  const auto dumps = dumpsOf("recent_file.md", 1);
  const PageBytes bytes = wholeDump(dumps[0]);
  const RecentFiles list{{"/home/ana/decks/Verbs", "/home/ana/decks/Capitals", ""}};
  const std::string formatted = formatRecentFile(list);
  EXPECT_EQ(PageBytes(formatted.begin(), formatted.end()), bytes);
  EXPECT_EQ(parseRecentFile({reinterpret_cast<const char*>(bytes.data()), bytes.size()}), list);
}

TEST(JournalFilePage, WorkedExample) {
  const auto dumps = dumpsOf("journal_file.md", 1);
  TestCollection t;
  t.create();
  t.add(u"abc", u"defg");
  ASSERT_TRUE(t.c.closeCollection());
  ASSERT_TRUE(openCollection(t.c, "/c"));
  ASSERT_TRUE(t.read(0));
  t.c.loaded.answer = u"wxyz";
  ASSERT_TRUE(t.c.writeItem(0));
  EXPECT_EQ(t.files.bytes("/c.kjn"), wholeDump(dumps[0]));
}

}  // namespace
}  // namespace kelvora::store
