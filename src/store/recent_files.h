// The list of the three collections opened last: loaded when the program starts, kept in
// recency order while it runs, saved when it ends.
#pragma once

#include <array>
#include <filesystem>
#include <functional>

namespace kelvora::store {

class RecentFileStore;

// Entries are collection base paths (no extension), most recent first; an empty path is no
// entry. Paths are kept as the file system spells them (bytes on POSIX), never re-encoded, so a
// name that is not valid UTF-8 still opens the same collection.
struct RecentFiles {
  static constexpr std::size_t kCount = 3;
  std::array<std::filesystem::path, kCount> entries;

  friend bool operator==(const RecentFiles&, const RecentFiles&) = default;
};

// Whether the collection at a base path still exists; the program hands in
// Collection::collectionExists.
using CollectionExistsFn = std::function<bool(const std::filesystem::path& base)>;

// Replaces the list by what the store holds, then drops the entries whose collection is gone
// (an empty entry counts as gone), closing the gaps so the survivors keep their order. When
// the store cannot be read the list is left as it is.
void loadRecentFiles(RecentFiles& list, RecentFileStore& store, const CollectionExistsFn& exists);

// Puts base at the top after a collection was opened or created there. The second entry and
// the first swap when base is the second; the first stays when base is the first; otherwise
// everything moves down one place and the third entry falls off. Paths compare as exact text:
// differing case or spelling makes a different entry.
void updateRecentList(RecentFiles& list, const std::filesystem::path& base);

// Hands the list to the store. False when it could not be written; callers go on regardless.
bool saveRecentFiles(const RecentFiles& list, RecentFileStore& store);

}  // namespace kelvora::store
