// Long operations stopped by the user (Cancel in the "Working" window) at any item: the files
// stay exactly as they were, nothing is reported as failed, and an operation left to run says
// how far it has come up to the end.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "exchange/exchange_commands.h"
#include "exchange/xml_update.h"
#include "stopping_progress.h"
#include "store/item_editing.h"
#include "store/reset_collection.h"
#include "store/utf16_text.h"
#include "test_collection.h"

namespace kelvora::exchange {
namespace {

constexpr XmlTime kNow{2004, 8, 14, 9, 5};
constexpr int kItems = 40;

struct Fixture : testing::TestCollection {
  fakes::StoppingProgress window;

  // A closed collection at /c whose items have been learned in part, its XML and Q&A exports
  // at /src (the sources of the imports) and an earlier export at /out.xml.
  Fixture() {
    create();
    for (int i = 0; i < kItems; ++i) {
      const std::u16string n = store::decimalText(static_cast<std::uint32_t>(i));
      add(u"question " + n, u"answer " + n);
    }
    for (std::uint16_t p = 0; p < kItems; p += 3) {
      c.table[p].status = store::code(store::ItemStatus::Memorized);
      c.table[p].interval = 6;
      c.table[p].lastRepetition = today - 2;
    }
    EXPECT_TRUE(c.indexChanged());
    EXPECT_TRUE(c.closeCollection());
    EXPECT_TRUE(exportCollection(c, ExchangeKind::Xml, "/c", "/src.xml", kNow));
    EXPECT_TRUE(exportCollection(c, ExchangeKind::QaText, "/c", "/src.txt", kNow));
    EXPECT_TRUE(exportCollection(c, ExchangeKind::Xml, "/c", "/out.xml", kNow));
    messages.shown.clear();
    c.progress.setWindow(&window);
  }
};

using Operation = std::function<void(Fixture&)>;

struct Case {
  const char* name;
  Operation run;
  bool onOpenCollection;  // reset and swap all work on the open collection
};

const Case kCases[] = {
    {"reset", [](Fixture& f) { (void)store::resetCollection(f.c); }, true},
    {"swap all", [](Fixture& f) { (void)store::swapAllItems(f.c); }, true},
    // The items of an export have no IDs: every element is added.
    {"update from XML", [](Fixture& f) { (void)updateWithMessages(f.c, "/src.xml"); }, true},
    {"XML import over the collection",
     [](Fixture& f) { (void)importWithQuestions(f.c, ExchangeKind::Xml, "/src", {}); }, false},
    {"Q&A import over the collection",
     [](Fixture& f) { (void)importWithQuestions(f.c, ExchangeKind::QaText, "/src", {}); }, false},
    {"XML export over an earlier one",
     [](Fixture& f) { (void)exportWithMessages(f.c, ExchangeKind::Xml, "/c", "/out.xml", kNow); },
     false},
    {"Q&A export to a new file",
     [](Fixture& f) {
       (void)exportWithMessages(f.c, ExchangeKind::QaText, "/c", "/new.txt", kNow);
     },
     false},
};

TEST(StoppedOperations, LeaveEveryFileAsItWasAtAnyItem) {
  for (const Case& op : kCases) {
    SCOPED_TRACE(op.name);
    int looks = 0;
    {
      // Left to run, the operation says how far it has come, never backwards, up to its end.
      Fixture f;
      if (op.onOpenCollection) {
        ASSERT_TRUE(store::openCollection(f.c, "/c"));
      }
      op.run(f);
      looks = f.window.looks;
      ASSERT_GE(looks, kItems);
      ASSERT_FALSE(f.window.completions.empty());
      for (std::size_t i = 1; i < f.window.completions.size(); ++i) {
        EXPECT_LE(f.window.completions[i - 1].first, f.window.completions[i].first);
      }
      const auto [done, total] = f.window.completions.back();
      EXPECT_GE(done + 1, total);  // the last item, counted before or after its work
      EXPECT_GT(total, 0u);
    }
    for (const int stopAt : {1, 2, looks / 2, looks - 1, looks}) {
      SCOPED_TRACE(stopAt);
      Fixture f;
      if (op.onOpenCollection) {
        ASSERT_TRUE(store::openCollection(f.c, "/c"));
      }
      const auto before = f.files.snapshot();
      const std::vector<store::ItemIndexEntry> table(f.c.table.begin(), f.c.table.begin() + kItems);
      f.window.stopAt = stopAt;
      op.run(f);
      EXPECT_TRUE(f.c.progress.wasCancelled());
      EXPECT_TRUE(f.messages.shown.empty()) << "a stop is not a failure";
      if (op.onOpenCollection) {
        // What the program shows is what the files hold.
        EXPECT_TRUE(std::equal(table.begin(), table.end(), f.c.table.begin()));
        ASSERT_TRUE(f.read(0));
        EXPECT_EQ(f.c.loaded.question, u"question 0");
        ASSERT_TRUE(f.c.closeCollection());
      }
      EXPECT_EQ(f.files.snapshot(), before);
    }
  }
}

}  // namespace
}  // namespace kelvora::exchange
