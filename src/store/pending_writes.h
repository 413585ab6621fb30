// Bytes written to a file in memory only, as non-overlapping runs by offset: what the journal
// holds and the collection files do not hold yet. Reads lay them over the file's own bytes.
#pragma once

#include <cstdint>
#include <map>
#include <span>

#include "store/byte_io.h"
#include "store/file_system.h"

namespace kelvora::store {

class PendingWrites {
 public:
  // Records bytes at offset; later writes win where they overlap earlier ones, and a write
  // that continues a run joins it.
  void add(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Moves every run of other into this one, other's bytes winning.
  void absorb(PendingWrites& other);
  // Copies the pending bytes that fall inside [offset, offset + into.size()) into into.
  void overlay(std::uint64_t offset, std::span<std::uint8_t> into) const;
  // The end of the last run, or 0.
  std::uint64_t end() const;
  std::size_t byteCount() const { return m_bytes; }
  bool empty() const { return m_runs.empty(); }
  void clear();
  // Writes every run to file, runs close together in one write with the file's bytes between
  // them; the first failure ends the walk.
  IoResult applyTo(BinaryFile& file) const;
  // Calls f(offset, bytes) for each run in order.
  template <class F>
  void forEach(F f) const {
    for (const auto& [offset, bytes] : m_runs) f(offset, std::span<const std::uint8_t>(bytes));
  }

 private:
  std::map<std::uint64_t, Bytes> m_runs;
  std::size_t m_bytes = 0;
};

}  // namespace kelvora::store
