// Keeping the recent list in recency order, and dropping vanished collections at load.
#include "store/recent_files.h"

#include "store/recent_file_store.h"

namespace kelvora::store {

void loadRecentFiles(RecentFiles& list, RecentFileStore& store, const CollectionExistsFn& exists) {
  std::optional<RecentFiles> stored = store.read();
  if (!stored) return;
  list = std::move(*stored);

  // Each entry is checked once, last first; an entry that is gone takes the ones below it up.
  auto& e = list.entries;
  auto gone = [&](const std::filesystem::path& p) { return p.empty() || !exists(p); };
  if (gone(e[2])) e[2].clear();
  if (gone(e[1])) {
    e[1] = std::move(e[2]);
    e[2].clear();
  }
  if (gone(e[0])) {
    e[0] = std::move(e[1]);
    e[1] = std::move(e[2]);
    e[2].clear();
  }
}

void updateRecentList(RecentFiles& list, const std::filesystem::path& base) {
  // A copy, as base may be one of the entries (the recent menu opens them by reference).
  std::filesystem::path top = base;
  auto& e = list.entries;
  // native() compares the exact text; path's own == would treat "a//b" and "a/b" as one.
  if (top.native() == e[1].native()) {
    e[1] = std::move(e[0]);
    e[0] = std::move(top);
  } else if (top.native() != e[0].native()) {
    e[2] = std::move(e[1]);
    e[1] = std::move(e[0]);
    e[0] = std::move(top);
  }
}

bool saveRecentFiles(const RecentFiles& list, RecentFileStore& store) { return store.write(list); }

}  // namespace kelvora::store
