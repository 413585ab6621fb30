// An application over a collection in memory, opened through the Open command, for the
// command layer's tests.
#pragma once

#include <gtest/gtest.h>

#include "fake_shell_port.h"
#include "fixed_clock.h"
#include "memory_file_system.h"
#include "shell/application.h"
#include "store/collection_opening.h"

namespace kelvora::shell {

using store::code;
using store::ItemStatus;

struct Fixture {
  fakes::MemoryFileSystem files;
  fakes::FakeShellPort port;
  fakes::FixedClock clock{learning::CalendarDate{2004, 8, 14}};  // day 8993
  store::Collection c{files, port, [this] { return learning::today(clock); }};
  learning::LinearRandom random;
  Application app{c, port, random, clock, nullptr, ApplicationConfig{}};

  // Opens a collection of items "q0"/"a0", ... with the given statuses through the Open
  // command; item 1 of a Memorized collection falls due on day 8994.
  explicit Fixture(std::initializer_list<ItemStatus> statuses, std::uint32_t firstId = 0) {
    EXPECT_TRUE(store::createCollection(c, "/c"));
    for (ItemStatus s : statuses) {
      const std::uint16_t p = c.header.itemCount++;
      c.table[p] = {store::kNoRecord, 1, 8993, 0, code(s), 0};
      c.currentPosition = p;
      c.loaded.loadedPosition = p;
      c.loaded.header = {};
      c.loaded.header.aFactor = 2500;
      if (firstId != 0) c.loaded.header.setItemId(firstId + p);
      c.loaded.question = u"q" + std::u16string(1, static_cast<char16_t>(u'0' + p));
      c.loaded.answer = u"a" + std::u16string(1, static_cast<char16_t>(u'0' + p));
      EXPECT_TRUE(c.writeItem(p));
    }
    EXPECT_TRUE(c.closeCollection());
    app.start();
    port.files = {std::filesystem::path("/c.kdb")};
    app.onCommand(cmd::Open);
  }
};

}  // namespace kelvora::shell
