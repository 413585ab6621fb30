// The header of a new item, and the header field by field, little-endian, in file order.
#include "store/item_record_header.h"

#include <algorithm>

#include "store/byte_io.h"
#include "store/item_status.h"

namespace kelvora::store {

ItemRecordHeader newItemHeader(std::uint16_t slotNumber) {
  ItemRecordHeader header;
  header.aFactor = kNewItemAFactor;
  header.status = code(ItemStatus::Pending);
  header.slotNumber = slotNumber;
  return header;
}

std::array<std::uint8_t, kRecordHeaderSize> encodeRecordHeader(const ItemRecordHeader& header) {
  Bytes out;
  out.reserve(kRecordHeaderSize);
  put16(out, header.questionLength);
  put16(out, header.answerLength);
  put16(out, header.interval);
  put16(out, header.lastRepetition);
  put16(out, header.aFactor);
  put16(out, header.slotNumber);
  put16(out, header.idLow);
  put8(out, header.status);
  put8(out, header.repetitions);
  put8(out, header.lapses);
  put8(out, header.idHigh);
  std::array<std::uint8_t, kRecordHeaderSize> bytes{};
  std::copy(out.begin(), out.end(), bytes.begin());
  return bytes;
}

ItemRecordHeader decodeRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> bytes) {
  ByteReader in(bytes);
  ItemRecordHeader header;
  header.questionLength = in.get16();
  header.answerLength = in.get16();
  header.interval = in.get16();
  header.lastRepetition = in.get16();
  header.aFactor = in.get16();
  header.slotNumber = in.get16();
  header.idLow = in.get16();
  header.status = in.get8();
  header.repetitions = in.get8();
  header.lapses = in.get8();
  header.idHigh = in.get8();
  return header;
}

}  // namespace kelvora::store
