// A collection over the in-memory file port with a fixed today, for the store's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"

namespace kelvora::testing {

inline constexpr store::DayNumber kTestToday = 9000;

struct TestCollection {
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  store::DayNumber today = kTestToday;
  store::Collection c{files, messages, [this] { return today; }};

  // Creates an empty collection at base and adds items with the given texts, each written.
  void create(const std::string& base = "/c") { ASSERT_TRUE(store::createCollection(c, base)); }

  // The texts and index files as the collection leaves them: what the journal holds is applied
  // first, as a close would do.
  store::Bytes& texts(const std::string& base = "/c") {
    EXPECT_TRUE(c.checkpoint());
    return files.bytes(base + ".kdb");
  }
  store::Bytes& index(const std::string& base = "/c") {
    EXPECT_TRUE(c.checkpoint());
    return files.bytes(base + ".kbi");
  }

  // Makes item p the current one and reads it, as moving to it does.
  bool read(std::uint16_t p) {
    c.currentPosition = p;
    return c.readItem(p);
  }

  // Appends a new item the way the editor does and writes it; returns its position.
  std::uint16_t add(std::u16string question, std::u16string answer) {
    std::uint16_t p = c.header.itemCount++;
    c.table[p] = store::ItemIndexEntry{};
    c.table[p].recordOffset = store::kNoRecord;
    c.loaded.header = store::newItemHeader(c.takeSlotNumber());
    c.loaded.question = std::move(question);
    c.loaded.answer = std::move(answer);
    c.currentPosition = p;
    c.loaded.loadedPosition = p;
    EXPECT_TRUE(c.writeItem(p));
    return p;
  }
};

}  // namespace kelvora::testing
