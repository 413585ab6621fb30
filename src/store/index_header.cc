// Field by field, little-endian, in the order of the file.
#include "store/index_header.h"

#include <algorithm>

#include "store/byte_io.h"

namespace kelvora::store {

std::array<std::uint8_t, kIndexHeaderSize> encodeIndexHeader(const IndexHeader& header) {
  Bytes out;
  out.reserve(kIndexHeaderSize);
  put16(out, header.headerSize);
  put16(out, header.entrySize);
  put16(out, header.recordHeaderSize);
  put16(out, header.itemCount);
  put16(out, header.learningDay);
  put16(out, header.nextSlotNumber);
  std::array<std::uint8_t, kIndexHeaderSize> bytes{};
  std::copy(out.begin(), out.end(), bytes.begin());
  return bytes;
}

IndexHeader decodeIndexHeader(std::span<const std::uint8_t, kIndexHeaderSize> bytes) {
  ByteReader in(bytes);
  IndexHeader header;
  header.headerSize = in.get16();
  header.entrySize = in.get16();
  header.recordHeaderSize = in.get16();
  header.itemCount = in.get16();
  header.learningDay = in.get16();
  header.nextSlotNumber = in.get16();
  return header;
}

}  // namespace kelvora::store
