// Where the items of the statuses learning draws from stand in the table: for each of them a
// Fenwick tree of counts over the positions, so that the n-th item of a status in table order
// is found, and one entry's change is taken in, in O(log n) steps whatever the collection's size.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "store/item_index_entry.h"
#include "store/item_status.h"

namespace kelvora::store {

class StatusIndex {
 public:
  // The statuses kept: a new item, the final drill, a due item.
  static constexpr std::array<ItemStatus, 3> kTracked = {ItemStatus::Pending, ItemStatus::Drill,
                                                         ItemStatus::Outstanding};

  // Whether the status is one the index keeps.
  static bool keeps(ItemStatus status) { return slot(code(status)) >= 0; }

  // Takes the statuses of the first count entries of the table.
  void rebuild(const std::vector<ItemIndexEntry>& table, std::uint16_t count);
  // The number of positions the index covers.
  std::uint16_t size() const { return static_cast<std::uint16_t>(m_status.size()); }
  // The entry at position (below size()) now has status.
  void set(std::uint16_t position, std::uint8_t status);
  // How many items have the status; 0 for a status not kept.
  int count(ItemStatus status) const;
  // The position of the n-th item (from 0) of the status in table order; nothing when fewer
  // items have it, or the status is not kept.
  std::optional<std::uint16_t> nth(ItemStatus status, int n) const;

 private:
  // The status's tree, or -1 for a status not kept.
  static int slot(std::uint8_t status) {
    for (std::size_t i = 0; i < kTracked.size(); ++i) {
      if (code(kTracked[i]) == status) return static_cast<int>(i);
    }
    return -1;
  }
  void add(int tree, std::uint16_t position, int delta);

  std::vector<std::uint8_t> m_status;  // each position's status as the trees count it
  // Per kept status, 1-based: element i covers the positions (i - lowbit(i), i].
  std::array<std::vector<std::int32_t>, kTracked.size()> m_trees;
  std::array<int, kTracked.size()> m_counts{};
};

}  // namespace kelvora::store
