// What the store tells the layers above when the open collection changes. Every hook does
// nothing by default; the shell overrides what its screen needs.
#pragma once

#include <filesystem>

namespace kelvora::store {

class CollectionEvents {
 public:
  virtual ~CollectionEvents() = default;
  // Before an open collection is closed by opening or creating another: an edit control that
  // holds the focus hands its text over to the loaded item.
  virtual void commitEdits() {}
  // The counters were recomputed: the statistics panel shows them again.
  virtual void countersChanged() {}
  // The open collection was closed by opening or creating another one: menus, mode buttons
  // and statistics follow.
  virtual void collectionClosed() {}
  // A collection was opened or created at base: the recent list takes it, and display
  // settings, encoding and HTML marks and the menus follow.
  virtual void collectionOpened(const std::filesystem::path& /*base*/) {}
};

}  // namespace kelvora::store
