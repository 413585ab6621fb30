// Field-by-field protobuf reading over a bounded span.
#include "peers/protobuf_reader.h"

namespace kelvora::peers {

bool ProtoReader::fail() {
  m_malformed = true;
  m_rest = {};
  return false;
}

bool ProtoReader::readVarint(std::uint64_t& value) {
  value = 0;
  for (std::size_t i = 0; i < 10; ++i) {
    if (i >= m_rest.size()) return false;
    const std::uint8_t byte = m_rest[i];
    value |= std::uint64_t{byte & 0x7Fu} << (7 * i);
    if ((byte & 0x80) == 0) {
      m_rest = m_rest.subspan(i + 1);
      return true;
    }
  }
  return false;
}

bool ProtoReader::next(ProtoField& field) {
  if (m_rest.empty()) return false;
  std::uint64_t key = 0;
  if (!readVarint(key) || (key >> 3) == 0 || (key >> 3) > 0x1FFFFFFF) return fail();
  field.number = static_cast<std::uint32_t>(key >> 3);
  field.bytes = {};
  field.value = 0;
  const auto fixed = [&](std::size_t size) {
    if (m_rest.size() < size) return false;
    for (std::size_t i = 0; i < size; ++i) field.value |= std::uint64_t{m_rest[i]} << (8 * i);
    m_rest = m_rest.subspan(size);
    return true;
  };
  switch (key & 7) {
    case 0:
      field.type = WireType::Varint;
      return readVarint(field.value) || fail();
    case 1:
      field.type = WireType::Fixed64;
      return fixed(8) || fail();
    case 5:
      field.type = WireType::Fixed32;
      return fixed(4) || fail();
    case 2: {
      field.type = WireType::Bytes;
      std::uint64_t length = 0;
      if (!readVarint(length) || length > m_rest.size()) return fail();
      field.bytes = m_rest.first(static_cast<std::size_t>(length));
      m_rest = m_rest.subspan(static_cast<std::size_t>(length));
      return true;
    }
    default:
      return fail();
  }
}

}  // namespace kelvora::peers
