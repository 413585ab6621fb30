// The four counters of a collection that the statistics show and learning moves along.
#pragma once

#include <cstdint>

namespace kelvora::store {

struct CollectionCounters {
  std::uint16_t memorizedCount = 0;    // Drill, Memorized or Outstanding
  std::uint16_t outstandingCount = 0;  // Outstanding
  std::uint16_t drillCount = 0;        // Drill
  std::uint16_t dismissedCount = 0;    // Dismissed

  bool operator==(const CollectionCounters&) const = default;
};

}  // namespace kelvora::store
