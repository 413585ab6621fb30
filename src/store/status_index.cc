// The status trees: built in one linear pass, changed and searched by binary lifting.
#include "store/status_index.h"

#include <bit>

namespace kelvora::store {

void StatusIndex::rebuild(const std::vector<ItemIndexEntry>& table, std::uint16_t count) {
  const std::size_t n = std::min<std::size_t>(count, table.size());
  m_status.resize(n);
  m_counts = {};
  for (auto& tree : m_trees) tree.assign(n + 1, 0);
  for (std::size_t p = 0; p < n; ++p) {
    m_status[p] = table[p].status;
    const int s = slot(m_status[p]);
    if (s < 0) continue;
    ++m_trees[static_cast<std::size_t>(s)][p + 1];
    ++m_counts[static_cast<std::size_t>(s)];
  }
  // Each element hands its sum on to the one above that covers it: linear, not n log n.
  for (auto& tree : m_trees) {
    for (std::size_t i = 1; i <= n; ++i) {
      const std::size_t parent = i + (i & (~i + 1));
      if (parent <= n) tree[parent] += tree[i];
    }
  }
}

void StatusIndex::add(int tree, std::uint16_t position, int delta) {
  std::vector<std::int32_t>& t = m_trees[static_cast<std::size_t>(tree)];
  for (std::size_t i = std::size_t{position} + 1; i < t.size(); i += i & (~i + 1)) t[i] += delta;
  m_counts[static_cast<std::size_t>(tree)] += delta;
}

void StatusIndex::set(std::uint16_t position, std::uint8_t status) {
  if (position >= m_status.size() || m_status[position] == status) return;
  const int before = slot(m_status[position]);
  const int after = slot(status);
  if (before >= 0) add(before, position, -1);
  if (after >= 0) add(after, position, +1);
  m_status[position] = status;
}

int StatusIndex::count(ItemStatus status) const {
  const int s = slot(code(status));
  return s < 0 ? 0 : m_counts[static_cast<std::size_t>(s)];
}

std::optional<std::uint16_t> StatusIndex::nth(ItemStatus status, int n) const {
  const int s = slot(code(status));
  if (s < 0 || n < 0 || n >= m_counts[static_cast<std::size_t>(s)]) return std::nullopt;
  const std::vector<std::int32_t>& t = m_trees[static_cast<std::size_t>(s)];
  // The largest prefix holding at most n items of the status ends just before the n-th.
  std::size_t at = 0;
  int left = n;
  for (std::size_t step = std::bit_floor(t.size() - 1); step != 0; step >>= 1) {
    if (at + step < t.size() && t[at + step] <= left) {
      at += step;
      left -= t[at];
    }
  }
  return static_cast<std::uint16_t>(at);
}

}  // namespace kelvora::store
