// Importing characters the collection's text form cannot store: the question comes before
// anything is written, Yes makes a Unicode collection whose settings file says so (also over an
// old collection whose settings said otherwise), No keeps the form and its notice.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "exchange/exchange_commands.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection_opening.h"
#include "store/item_editing.h"
#include "store/settings.h"
#include "store/user_texts.h"

namespace kelvora::exchange {
namespace {

using fakes::MemoryFileSystem;

void put(MemoryFileSystem& fs, const char* path, const std::string& text) {
  fs.put(path, {text.begin(), text.end()});
}

// An old compressed collection at /c holding one ASCII item, closed cleanly.
void oldCollection(MemoryFileSystem& fs) {
  fakes::RecordingMessages m;
  store::Collection c(fs, m, [] { return store::DayNumber{9000}; });
  ASSERT_TRUE(store::createCollection(c, "/c"));
  ASSERT_EQ(store::addItem(c), store::AddOutcome::Added);
  c.loaded.question = u"old";
  c.loaded.answer = u"item";
  c.loaded.itemModified = true;
  ASSERT_TRUE(c.closeCollection());
}

struct Imported {
  std::vector<std::u16string> asked;
  std::vector<std::u16string> shown;
  std::u16string question;  // of the first item, as a fresh program reads it
  std::uint8_t utf8 = 0;    // the settings file's
};

Imported import(MemoryFileSystem& fs, ExchangeKind kind, std::deque<bool> answers) {
  fakes::RecordingMessages m;
  m.answers = std::move(answers);
  store::Collection c(fs, m, [] { return store::DayNumber{9000}; });
  Imported out;
  EXPECT_TRUE(importWithQuestions(c, kind, "/c", WideCharacters::Ask));
  out.asked = m.asked;
  out.shown = m.texts();
  fakes::RecordingMessages quiet;
  store::Collection fresh(fs, quiet, [] { return store::DayNumber{9000}; });
  EXPECT_TRUE(store::openCollection(fresh, "/c"));
  fresh.currentPosition = 0;
  EXPECT_TRUE(fresh.readItem(0));
  out.question = fresh.loaded.question;
  out.utf8 = fresh.settings.utf8;
  EXPECT_TRUE(fresh.closeCollection());
  return out;
}

TEST(ImportEncoding, YesStoresTheNewCollectionInUnicodeOverAnOldCompressedOne) {
  MemoryFileSystem fs;
  oldCollection(fs);
  put(fs, "/c.txt", "Q: \xE6\x97\xA5\xE8\xAA\x9E\nA: Japanese\n");    // U+65E5 U+8A9E
  const Imported r = import(fs, ExchangeKind::QaText, {true, true});  // overwrite, Unicode
  ASSERT_EQ(r.asked.size(), 2u);
  EXPECT_EQ(r.asked[1], store::texts::kStoreAsUnicodeQuestion);
  EXPECT_EQ(r.question, u"\u65E5\u8A9E");
  EXPECT_EQ(r.utf8, 1);
  EXPECT_TRUE(r.shown.empty()) << "no notice of replaced characters";
  EXPECT_FALSE(fs.exists("/c.cfg.tmp"));
}

TEST(ImportEncoding, NoKeepsTheCompressedFormAndTellsAfterwards) {
  MemoryFileSystem fs;
  oldCollection(fs);
  put(fs, "/c.txt", "Q: \xE8\xAA\x9E word\nA: language\n");
  const Imported r = import(fs, ExchangeKind::QaText, {true, false});
  EXPECT_EQ(r.question, u"? word");
  EXPECT_EQ(r.utf8, 0);
  ASSERT_EQ(r.shown.size(), 1u);
  EXPECT_EQ(r.shown[0], store::texts::kReplacedAtImport);
}

TEST(ImportEncoding, OnlyASourceThatNeedsItIsAskedAbout) {
  const struct {
    ExchangeKind kind;
    const char* path;
    std::string text;
    bool needs;
  } rows[] = {
      // U+7FFF is the last unit the compressed form holds.
      {ExchangeKind::QaText, "/c.txt", "Q: \xE7\xBF\xBF\nA: a\n", false},
      {ExchangeKind::QaText, "/c.txt", "Q: \xE8\x80\x80\nA: a\n", true},      // U+8000
      {ExchangeKind::QaText, "/c.txt", "Q: \xF0\x9F\x98\x80\nA: a\n", true},  // a pair
      {ExchangeKind::Xml, "/c.xml", "<item><q>&#32768;</q></item>", true},
      // The reader keeps the low 16 bits of a reference, and reads no hex ones.
      {ExchangeKind::Xml, "/c.xml", "<item><q>&#98304;</q></item>", true},
      {ExchangeKind::Xml, "/c.xml", "<item><q>&#x8000;</q></item>", false},
      {ExchangeKind::Xml, "/c.xml", "<item><q>&#32767; &amp;</q></item>", false},
  };
  for (const auto& row : rows) {
    MemoryFileSystem fs;
    put(fs, row.path, row.text);
    EXPECT_EQ(sourceNeedsUnicode(fs, row.kind, "/c"), row.needs) << row.text;
  }
  MemoryFileSystem none;
  EXPECT_FALSE(sourceNeedsUnicode(none, ExchangeKind::QaText, "/c"));
}

TEST(ImportEncoding, WithoutAQuestionTheSourceIsReadAgainIntoUnicodeOnlyWhenItMust) {
  // Many pairs before the one character that needs Unicode: it shows only at the end.
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Q: question " + std::to_string(i) + "\nA: answer\n\n";
  text += "Q: \xE8\xAA\x9E\nA: language\n";
  for (const bool readingAgainFails : {false, true}) {
    MemoryFileSystem fs;
    oldCollection(fs);
    put(fs, "/c.txt", text);
    // The first reading has the whole source; the second runs out halfway.
    if (readingAgainFails) fs.readBudget = text.size() + text.size() / 2;
    fakes::RecordingMessages m;
    m.answers = {true};  // overwrite
    store::Collection c(fs, m, [] { return store::DayNumber{9000}; });
    const auto done =
        importWithQuestions(c, ExchangeKind::QaText, "/c", WideCharacters::UnicodeWhenNeeded);
    EXPECT_EQ(m.asked.size(), 1u) << "only whether to overwrite";
    fs.readBudget = SIZE_MAX;
    fakes::RecordingMessages quiet;
    store::Collection fresh(fs, quiet, [] { return store::DayNumber{9000}; });
    ASSERT_TRUE(store::openCollection(fresh, "/c"));
    ASSERT_TRUE(fresh.readItem(fresh.header.itemCount - 1));
    if (readingAgainFails) {
      EXPECT_FALSE(done);
      EXPECT_EQ(m.texts(),
                std::vector<std::u16string>{std::u16string(store::texts::kImportFailed)});
      EXPECT_EQ(fresh.header.itemCount, 1u) << "the old collection stays";
      EXPECT_EQ(fresh.loaded.question, u"old");
      EXPECT_EQ(fresh.settings.utf8, 0);
    } else {
      EXPECT_TRUE(done);
      EXPECT_TRUE(m.texts().empty()) << "no notice of replaced characters";
      EXPECT_EQ(fresh.header.itemCount, 301u);
      EXPECT_EQ(fresh.loaded.question, u"\u8A9E");
      EXPECT_EQ(fresh.settings.utf8, 1);
    }
    EXPECT_FALSE(fs.exists("/c.kdb.tmp"));
    EXPECT_FALSE(fs.exists("/c.cfg.tmp"));
    EXPECT_TRUE(fresh.closeCollection());
  }
}

}  // namespace
}  // namespace kelvora::exchange
