// A full 30000-item collection on disk, shared by the benchmarks.
#pragma once

#include <string>

#include "platform/posix_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "temp_dir.h"

namespace kelvora::bench {

constexpr std::uint16_t kItems = store::MaxItems;

struct Bench {
  fakes::TempDir dir;
  platform::PosixFileSystem files;
  fakes::RecordingMessages messages;
  store::Collection c{files, messages, [] { return store::DayNumber{9000}; }};

  // Appends count new items to the open collection, the index written once at the end.
  void fill(std::uint16_t count = kItems) {
    store::Collection::Batch batch(c);
    for (std::uint16_t p = 0; p < count; ++p) {
      c.header.itemCount = p + 1;
      c.table[p] = store::ItemIndexEntry{store::kNoRecord, 0, 0, 0, 0, 0};
      c.currentPosition = p;
      c.loaded.loadedPosition = p;
      c.loaded.header = store::newItemHeader(c.takeSlotNumber());
      c.loaded.question =
          u"What is the capital of country number " + std::u16string(1, u'A' + p % 26);
      c.loaded.answer = u"The capital of that country, with a short note about it.";
      if (p % 2 == 1) {
        // Every other item has been learned, every fourth carries an accented letter and
        // every third an ID, as in a collection that has been used for a while.
        c.table[p] = store::ItemIndexEntry{store::kNoRecord,
                                           static_cast<std::uint16_t>(p % 50),
                                           8900,
                                           0,
                                           store::code(store::ItemStatus::Memorized),
                                           0};
        c.loaded.header.repetitions = 3;
        c.loaded.header.lapses = 1;
        c.loaded.header.aFactor = 2180;
      }
      if (p % 4 == 0) c.loaded.answer += u" (caf\u00E9)";
      if (p % 3 == 0) c.loaded.header.setItemId(p + 1000u);
      (void)c.writeItem(p);
    }
  }

  void createFilled(const std::string& name, std::uint16_t count = kItems) {
    store::createCollection(c, dir / name);
    fill(count);
  }
};

}  // namespace kelvora::bench
