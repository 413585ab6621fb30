// The import and export operations as a whole: which files appear, what the user is told,
// and that failures are never reported as success.
#include "exchange/exchange_commands.h"

#include <gtest/gtest.h>

#include "store/user_texts.h"
#include "test_collection.h"

namespace kelvora::exchange {
namespace {

constexpr XmlTime kNow{2004, 8, 14, 9, 5};

struct Fixture : testing::TestCollection {
  Fixture() { today = 8993; }
  void putText(const std::string& path, const std::string& text) {
    files.put(path, {text.begin(), text.end()});
  }
  std::string text(const std::string& path) {
    auto& b = files.bytes(path);
    return {b.begin(), b.end()};
  }
  // Opens the collection at base and returns its items' questions.
  std::vector<std::u16string> questions(const std::string& base) {
    std::vector<std::u16string> out;
    EXPECT_TRUE(store::openCollection(c, base));
    for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
      read(p);
      out.push_back(c.loaded.question);
    }
    EXPECT_TRUE(c.closeCollection());
    return out;
  }
};

TEST(ImportCollection, ReadsTheSourceByItsFormatsExtension) {
  Fixture f;
  f.putText("/d/list.dat", "Q: a\nA: b\n");
  EXPECT_FALSE(importCollection(f.c, ExchangeKind::QaText, "/d/list"));
  EXPECT_FALSE(f.c.isOpen);
}

// The settings in force replace an old settings file: its text form went with its texts.
TEST(ImportCollection, WritesTheSettingsInForceAndTellsOfCharactersTurnedToQuestionMarks) {
  for (bool unicode : {false, true}) {
    Fixture f;
    f.putText("/d/cjk.txt", "Q: \xE8\xAA\x9E\nA: word\n");
    f.putText("/d/cjk.cfg", unicode ? "UTF8 0\n" : "UTF8 1\n");
    f.c.settings.utf8 = unicode ? 1 : 0;
    ASSERT_TRUE(importCollection(f.c, ExchangeKind::QaText, "/d/cjk"));
    if (unicode) {
      EXPECT_TRUE(f.messages.shown.empty());
      EXPECT_EQ(f.questions("/d/cjk"), std::vector<std::u16string>{u"\u8A9E"});
    } else {
      ASSERT_EQ(f.messages.texts(),
                std::vector<std::u16string>{std::u16string(store::texts::kReplacedAtImport)});
      EXPECT_EQ(f.messages.shown[0].kind, store::MessageKind::Information);
      EXPECT_EQ(f.questions("/d/cjk"), std::vector<std::u16string>{u"?"});
    }
  }
}

TEST(ExportCollection, EmptyCollectionGivesTheHeaderAndRootEndOnly) {
  Fixture f;
  ASSERT_TRUE(store::createCollection(f.c, "/d/empty"));
  EXPECT_TRUE(f.c.closeCollection());
  ASSERT_TRUE(exportCollection(f.c, ExchangeKind::Xml, "/d/empty", "/out/e.xml", kNow));
  EXPECT_EQ(f.text("/out/e.xml"),
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
            "<!-- Created 2004-08-14 9:05 by KelvoraCE 3.0, build May 28, 2004 -->\r\n"
            "<KelvoraCollection>\r\n  <Count>0</Count>\r\n</KelvoraCollection>\r\n");
  EXPECT_FALSE(f.c.isOpen);
}

TEST(ExportCollection, RebuildsADamagedIndexAndBothFormatsImportBack) {
  for (ExchangeKind kind : {ExchangeKind::Xml, ExchangeKind::QaText}) {
    Fixture f;
    f.putText("/d/src.txt", "Q: one\nQ: more\nA: 1\n\nQ: two\nA: 2\n");
    ASSERT_TRUE(importCollection(f.c, ExchangeKind::QaText, "/d/src"));
    f.putText("/d/src.kbi", "damaged");
    const char* out = kind == ExchangeKind::Xml ? "/d/copy.xml" : "/d/copy.txt";
    ASSERT_TRUE(exportCollection(f.c, kind, "/d/src", out, kNow));
    ASSERT_TRUE(importCollection(f.c, kind, "/d/copy"));
    // The import leaves the collection closed, its texts and settings beside the source, and
    // no index: the first opening builds it.
    EXPECT_FALSE(f.c.isOpen);
    EXPECT_TRUE(f.files.exists("/d/copy.kdb") && f.files.exists("/d/copy.cfg"));
    EXPECT_FALSE(f.files.exists("/d/copy.kbi"));
    EXPECT_TRUE(f.messages.shown.empty());
    EXPECT_EQ(f.questions("/d/copy"), (std::vector<std::u16string>{u"one\r\nmore", u"two"}));
  }
}

TEST(ExportCollection, OutputThatCannotBeWrittenIsAFailure) {
  for (ExchangeKind kind : {ExchangeKind::Xml, ExchangeKind::QaText}) {
    Fixture f;
    f.putText("/d/src.txt", "Q: one\nA: 1\n");
    ASSERT_TRUE(importCollection(f.c, ExchangeKind::QaText, "/d/src"));
    f.files.openFailures["/ro/out.tmp"] = store::OpenError::AccessDenied;  // a read-only folder
    EXPECT_FALSE(exportCollection(f.c, kind, "/d/src", "/ro/out", kNow));
    EXPECT_EQ(
        f.messages.texts(),
        std::vector<std::u16string>{u"Access denied! Probably file has\nread-only attribute set."});
    // An earlier export at the target survives a later one that the disk cuts short.
    ASSERT_TRUE(exportCollection(f.c, kind, "/d/src", "/d/out", kNow));
    const auto earlier = f.files.bytes("/d/out");
    f.files.writeBudget = 5;
    EXPECT_FALSE(exportCollection(f.c, kind, "/d/src", "/d/out", kNow));
    EXPECT_FALSE(f.c.isOpen);
    EXPECT_EQ(f.files.bytes("/d/out"), earlier);
    EXPECT_FALSE(f.files.exists("/d/out.tmp"));
  }
}

}  // namespace
}  // namespace kelvora::exchange
