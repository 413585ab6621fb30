// Learning status codes as stored in the index entry and the record header.
#pragma once

#include <cstdint>

namespace kelvora::store {

enum class ItemStatus : std::uint8_t {
  Pending = 0,  // new, never learned
  Drill = 1,
  Memorized = 2,
  Outstanding = 3,  // memorized and due
  Dismissed = 4,
  Deleted = 16,
};

// Status fields are raw bytes: a code outside the six is carried unchanged and counted nowhere.
constexpr std::uint8_t code(ItemStatus s) { return static_cast<std::uint8_t>(s); }

}  // namespace kelvora::store
