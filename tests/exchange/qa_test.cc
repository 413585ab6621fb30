// The Q&A text format: the exact lines written, the pairs read back, and where reading stops.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "doc_page.h"
#include "exchange/import_sink.h"
#include "exchange/qa_reader.h"
#include "exchange/qa_writer.h"
#include "test_collection.h"

namespace kelvora::exchange {
namespace {

struct Item {
  std::u16string question;
  std::u16string answer;
  bool operator==(const Item&) const = default;
  // NOLINTNEXTLINE(readability-identifier-naming): the name GoogleTest looks for
  friend void PrintTo(const Item& item, std::ostream* os) {
    *os << ::testing::PrintToString(item.question) << " / "
        << ::testing::PrintToString(item.answer);
  }
};

class ProgressLines final : public store::ProgressWindow {
 public:
  bool show() override { return true; }
  void hide() override {}
  void setLine(std::u16string_view text) override { last = text; }
  std::u16string last;
};

std::string asString(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

struct QaFixture : testing::TestCollection {
  ProgressLines window;
  QaCounts counts;

  QaFixture() {
    c.progress.setWindow(&window);
    c.progress.openProgress();
  }

  // Imports bytes as a Q&A file into a new collection and reads back its items.
  std::vector<Item> import(const std::string& bytes) {
    files.put("/in.txt", {bytes.begin(), bytes.end()});
    auto in = store::openTextReader(files, "/in.txt");
    EXPECT_TRUE(c.openForReplacing("/x"));
    {
      ImportSink sink(c);
      EXPECT_TRUE(importQaItems(*in, sink, counts, c.progress));
      EXPECT_TRUE(sink.finish());
    }
    EXPECT_TRUE(c.installImportedTexts());
    EXPECT_TRUE(store::openCollection(c, "/x"));
    std::vector<Item> items;
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      EXPECT_TRUE(read(p));
      items.push_back({c.loaded.question, c.loaded.answer});
    }
    return items;
  }

  void create(const std::vector<Item>& items) {
    TestCollection::create("/x");
    for (const Item& item : items) add(item.question, item.answer);
  }

  // Exports the open collection; the file's bytes, or "" when closing reported a failure.
  std::string exportAll() {
    auto out = store::createTextWriter(files, "/out.txt");
    exportQaItems(*out, c, counts);
    return out->close() ? asString(files.bytes("/out.txt")) : std::string();
  }
};

TEST(QaWriter, TextLinesAsBytes) {
  struct Case {
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      {u"", "Q: \r\n"},
      {u"a\r\n", "Q: a\r\nQ: \r\n"},
      // A carriage return at the end breaks the line as CR LF does.
      {u"a\r", "Q: a\r\nQ: \r\n"},
      // A lone CR or LF inside a text breaks the line without swallowing what follows.
      {u"a\rb", "Q: a\r\nQ: b\r\n"},
      {u"a\nb", "Q: a\r\nQ: b\r\n"},
      {std::u16string(10005, u'x'), "Q: " + std::string(9999, 'x') + "\r\n"},
  };
  for (const Case& k : cases) {
    fakes::MemoryFileSystem files;
    store::Progress progress;
    QaCounts counts;
    auto out = store::createTextWriter(files, "/q.txt");
    EXPECT_TRUE(writeQaText(*out, u'Q', k.text, counts, progress));
    ASSERT_TRUE(out->close());
    EXPECT_EQ(asString(files.bytes("/q.txt")), k.bytes);
    EXPECT_EQ(std::pair(counts.questions, counts.answers), std::pair(1, 0));
  }
}

TEST(QaWriter, ExportStopsAtFirstFailedLine) {
  QaFixture f;
  const std::u16string long9999(9999, u'w');
  f.create(std::vector<Item>(20, {long9999, long9999}));
  f.files.writeBudget = 1000;
  EXPECT_EQ(f.exportAll(), "");
  // Output goes out in buffer-sized pieces: the first of them fails inside the item after the
  // last one that fits whole, and nothing is counted after that.
  const std::size_t itemBytes = 2 * (3 + 9999 + 2) + 2;
  EXPECT_EQ(f.counts.questions, static_cast<int>(store::kTextBufferBytes / itemBytes));
  EXPECT_EQ(f.counts.answers, f.counts.questions);
}

TEST(QaReader, PairsAndWhereReadingStops) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Item> items;
  };
  const Case cases[] = {
      {"multi-line", "Q: a\r\nQ: b\r\nA: c\r\n", {{u"a\r\nb", u"c"}}},
      {"ends with break", "Q: a\r\nQ: \r\nA: \r\n", {{u"a\r\n", u""}}},
      {"leading break kept", "Q:\r\nQ: b\r\nA: c", {{u"\r\nb", u"c"}}},
      {"empty answers", "Q: q\r\nA: \r\n\r\nQ: r\r\nA:\r\n", {{u"q", u""}, {u"r", u""}}},
      {"two blank lines", "Q: 1\r\nA: 1\r\n\r\n\r\nQ: 2\r\nA: 2\r\n", {{u"1", u"1"}}},
      {"blank first line", "\r\nQ: 1\r\nA: 1\r\n", {}},
      {"note between pairs", "Q: 1\r\nA: 1\r\n\r\nNote: x\r\nQ: 2\r\nA: 2\r\n", {{u"1", u"1"}}},
      {"note after answer",
       "Q: 1\r\nA: 1\r\nNote: x\r\nQ: 2\r\nA: 2\r\n",
       {{u"1", u"1"}, {u"2", u"2"}}},
      {"only answers", "A: y\r\nA: z\r\n", {{u"", u"y\r\nz"}}},
      {"question after answer", "Q: x\r\nA: y\r\nQ: z\r\n", {{u"x", u"y\r\nz"}}},
      {"no blank after colon", "Q:x\r\nA: y\r\n", {}},
      {"no blank ends pair", "Q: x\r\nA:y\r\nA: z\r\n", {{u"x", u""}, {u"", u"z"}}},
      {"bare prefix at end", "Q: a\r\nA:", {{u"a", u""}}},
  };
  for (const Case& k : cases) {
    QaFixture f;
    EXPECT_EQ(f.import(k.bytes), k.items) << k.name;
    EXPECT_EQ(f.counts.questions, static_cast<int>(k.items.size())) << k.name;
  }
}

TEST(QaReader, ImportedItemsAreNew) {
  QaFixture f;
  ASSERT_EQ(f.import("Q: a\r\nA: b\r\n\r\nQ: c\r\nA: d\r\n").size(), 2u);
  store::ItemRecordHeader expect;
  expect.aFactor = 2500;
  expect.slotNumber = 1;
  expect.questionLength = expect.answerLength = 1;  // one Compressed Unicode byte each
  EXPECT_EQ(f.c.loaded.header, expect);
  EXPECT_EQ(f.window.last, u"Q: 2  -  A: 2");
}

TEST(QaReader, LongLineIsOneItemCutToLimit) {
  QaFixture f;
  const std::string line(20000, 'x');
  const auto items = f.import("Q: " + line + "\r\nQ: more\r\nA: y\r\n\r\nQ: next\r\nA: z\r\n");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].question, std::u16string(9999, u'x'));
  EXPECT_EQ(items[0].answer, u"y");
  EXPECT_EQ(items[1], (Item{u"next", u"z"}));
}

TEST(QaReader, StopsAtMaxItems) {
  QaFixture f;
  std::string bytes;
  for (int i = 0; i <= store::MaxItems; ++i) {
    bytes += "Q: " + std::to_string(i) + "\r\nA: a\r\n\r\n";
  }
  const auto items = f.import(bytes);
  ASSERT_EQ(items.size(), std::size_t{store::MaxItems});
  EXPECT_EQ(items.back().question, u"29999");
  EXPECT_EQ(f.counts.questions, store::MaxItems);
}

TEST(QaFormatPage, ExampleIsWrittenAndReadBack) {
  const auto dumps = testing::hexDumps(testing::docPage("qa_format.md"));
  ASSERT_EQ(dumps.size(), 1u);
  const testing::PageBytes page = testing::wholeDump(dumps[0]);
  const std::vector<Item> items = {{u"What is 2+2?", u"4"}, {u"a\r\nb", u""}};
  QaFixture f;
  f.create(items);
  EXPECT_EQ(f.exportAll(), asString(page));
  EXPECT_EQ(f.window.last, u"Q: 2  -  A: 2");
  QaFixture g;
  EXPECT_EQ(g.import(asString(page)), items);
}

}  // namespace
}  // namespace kelvora::exchange
