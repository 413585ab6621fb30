// The port through which the recent list survives between runs: a per-user place that holds
// its three entries. The desktop program hands in a file under the user's configuration
// folder; tests hand in an in-memory store.
#pragma once

#include <optional>

#include "store/recent_files.h"

namespace kelvora::store {

class RecentFileStore {
 public:
  virtual ~RecentFileStore() = default;

  // The three stored entries, a missing one empty; nothing stored yet reads as an empty list.
  // nullopt when the store exists but cannot be read.
  virtual std::optional<RecentFiles> read() = 0;
  // Replaces what is stored by list. False when that failed; what was stored before is then
  // still there.
  virtual bool write(const RecentFiles& list) = 0;
};

}  // namespace kelvora::store
