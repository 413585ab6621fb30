// An in-memory recent-list store for tests: it holds the last list written, and a test can make
// it fail as an unusable configuration folder would.
#pragma once

#include <optional>

#include "store/recent_file_store.h"

namespace kelvora::fakes {

class MemoryRecentFileStore final : public store::RecentFileStore {
 public:
  store::RecentFiles stored;
  bool failing = false;  // reading gives nullopt and writing stores nothing

  std::optional<store::RecentFiles> read() override {
    if (failing) return std::nullopt;
    return stored;
  }
  bool write(const store::RecentFiles& list) override {
    if (failing) return false;
    stored = list;
    return true;
  }
};

}  // namespace kelvora::fakes
