// The three fixed layouts, byte for byte.
#include <gtest/gtest.h>

#include "store/index_header.h"
#include "store/item_index_entry.h"
#include "store/item_record_header.h"

namespace kelvora::store {
namespace {

TEST(ByteLayout, IndexHeaderIsLittleEndianInFileOrder) {
  IndexHeader h;
  h.itemCount = 0x0102;
  h.learningDay = 8993;
  h.nextSlotNumber = 0xFFEE;
  auto bytes = encodeIndexHeader(h);
  std::array<std::uint8_t, 12> expected = {12, 0, 12, 0, 18, 0, 0x02, 0x01, 0x21, 0x23, 0xEE, 0xFF};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(decodeIndexHeader(bytes), h);
}

TEST(ByteLayout, IndexEntryCarriesEveryByte) {
  ItemIndexEntry e{0xA1B2C3D4, 0x1234, 0x5678, 0x9ABC, 0x77, 0xFF};
  Bytes out;
  appendIndexEntry(out, e);
  Bytes expected = {0xD4, 0xC3, 0xB2, 0xA1, 0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0x77, 0xFF};
  EXPECT_EQ(out, expected);
  EXPECT_EQ(decodeIndexEntry(std::span<const std::uint8_t, 12>(out.data(), 12)), e);
}

TEST(ByteLayout, RecordHeaderFieldsSitAtTheirOffsets) {
  ItemRecordHeader h;
  h.questionLength = 3;
  h.answerLength = 4;
  h.interval = 0x0A0B;
  h.lastRepetition = 0x0C0D;
  h.aFactor = 2500;
  h.slotNumber = 0xFFFF;
  h.idLow = 0x1122;
  h.status = 3;
  h.repetitions = 200;
  h.lapses = 7;
  h.idHigh = 9;
  auto bytes = encodeRecordHeader(h);
  std::array<std::uint8_t, 18> expected = {3,    0,    4,    0,    0x0B, 0x0A, 0x0D, 0x0C, 0xC4,
                                           0x09, 0xFF, 0xFF, 0x22, 0x11, 3,    200,  7,    9};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(decodeRecordHeader(bytes), h);
}

TEST(ByteLayout, ItemIdSplitsOnBase65535) {
  struct Case {
    std::uint32_t id;
    std::uint16_t low;
    std::uint8_t high;
  };
  for (Case c : {Case{0, 0, 0}, Case{65534, 65534, 0}, Case{65535, 0, 1}, Case{65536, 1, 1},
                 Case{16776959, 65534, 255}}) {
    ItemRecordHeader h;
    h.setItemId(c.id);
    EXPECT_EQ(h.idLow, c.low) << c.id;
    EXPECT_EQ(h.idHigh, c.high) << c.id;
    EXPECT_EQ(h.itemId(), c.id);
  }
}

}  // namespace
}  // namespace kelvora::store
