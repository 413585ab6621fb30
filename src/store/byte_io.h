// Explicit little-endian encoding of the fixed-width fields of our binary files.
// Writers append to a byte vector; readers walk a bounded cursor and report a short read
// instead of reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvora::store {

using Bytes = std::vector<std::uint8_t>;

inline void put8(Bytes& out, std::uint8_t v) { out.push_back(v); }

inline void put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(Bytes& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}

// Reads fields in order from a fixed span. Once a read would run past the end the cursor
// is marked failed, every further read yields 0, and ok() stays false.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::uint8_t get8() {
    if (!take(1)) return 0;
    return m_bytes[m_pos - 1];
  }
  std::uint16_t get16() {
    if (!take(2)) return 0;
    return static_cast<std::uint16_t>(m_bytes[m_pos - 2] | (m_bytes[m_pos - 1] << 8));
  }
  std::uint32_t get32() {
    std::uint32_t low = get16();
    std::uint32_t high = get16();
    return low | (high << 16);
  }

  bool ok() const { return m_ok; }
  std::size_t position() const { return m_pos; }

 private:
  bool take(std::size_t n) {
    if (!m_ok || m_bytes.size() - m_pos < n) {
      m_ok = false;
      return false;
    }
    m_pos += n;
    return true;
  }

  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
  bool m_ok = true;
};

}  // namespace kelvora::store
