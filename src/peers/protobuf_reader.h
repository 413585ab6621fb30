// Reading protobuf messages field by field: the few messages the newest Anki packages hold (the
// package's version, the media list, note type and template settings) need no more than this.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvora::peers {

enum class WireType : std::uint8_t { Varint = 0, Fixed64 = 1, Bytes = 2, Fixed32 = 5 };

struct ProtoField {
  std::uint32_t number = 0;
  WireType type = WireType::Varint;
  std::uint64_t value = 0;              // Varint, Fixed64 and Fixed32 fields
  std::span<const std::uint8_t> bytes;  // Bytes fields: strings, bytes and nested messages

  std::string_view text() const {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  }
};

// Walks the fields of one message in the order they are written. A field that runs past the
// end, an unknown wire type (the old groups among them), a varint of more than ten bytes or a
// field number of 0 stops the walk as malformed: next() returns false and malformed() is true.
class ProtoReader {
 public:
  explicit ProtoReader(std::span<const std::uint8_t> message) : m_rest(message) {}

  // The next field; false at the end of the message or when it is malformed.
  bool next(ProtoField& field);
  bool malformed() const { return m_malformed; }

 private:
  bool readVarint(std::uint64_t& value);
  bool fail();

  std::span<const std::uint8_t> m_rest;
  bool m_malformed = false;
};

}  // namespace kelvora::peers
