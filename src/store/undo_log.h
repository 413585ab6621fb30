// The steps that "Undo grade" takes back, kept in a small file beside the collection so that
// they outlive the program. Each step holds the learning data of one item before and after a
// grade or status command and the counters around it; a step is only ever taken back while
// the item still stands exactly as the step left it, so a step that a kill, a full disk or a
// later change made stale is dropped instead of applied. A collection without the file has no
// steps; a damaged file reads as none.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "store/collection_counters.h"
#include "store/day_number.h"
#include "store/file_system.h"
#include "store/undo_format.h"

namespace kelvora::store {

enum class UndoKind : std::uint8_t { Grade = 1, Forget = 2, Remember = 3, Dismiss = 4 };

// The learning data of one item, from its index entry and its record header.
struct UndoItemState {
  std::uint8_t entryStatus = 0;
  std::uint8_t headerStatus = 0;
  std::uint16_t entryInterval = 0;
  DayNumber entryLastRepetition = 0;
  std::uint16_t headerInterval = 0;
  DayNumber headerLastRepetition = 0;
  std::uint16_t aFactor = 0;
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;

  bool operator==(const UndoItemState&) const = default;
};

struct UndoStep {
  std::uint16_t position = 0;
  std::uint16_t slotNumber = 0;
  UndoKind kind = UndoKind::Grade;
  std::uint8_t grade = 0;  // for a Grade
  UndoItemState before;
  UndoItemState after;
  CollectionCounters countersBefore;
  CollectionCounters countersAfter;

  bool operator==(const UndoStep&) const = default;
};

// The bytes of one step and back; a step whose check sum or kind is wrong reads as nothing.
std::array<std::uint8_t, kUndoStepSize> encodeUndoStep(const UndoStep& step);
std::optional<UndoStep> decodeUndoStep(std::span<const std::uint8_t, kUndoStepSize> bytes);
// The steps a whole file holds, oldest first: none when its header is damaged, without those
// steps whose bytes are.
std::deque<UndoStep> parseUndoFile(std::span<const std::uint8_t> bytes);

// BASE.kun.
std::filesystem::path undoPath(const std::filesystem::path& base);

// The steps of one open collection, read from its file on first use and written through to it.
class UndoLog {
 public:
  // The collection at base was opened; nothing is read yet.
  void open(FileSystem& files, const std::filesystem::path& base);
  // The collection was closed: the file is released.
  void close();

  // The steps, oldest first.
  const std::deque<UndoStep>& steps();
  // Adds a step, the oldest going when kUndoCapacity are kept. False when it could not be
  // written; the step is then not kept.
  bool push(const UndoStep& step);
  // Takes the newest step off; false when that could not be written (it is then still kept in
  // the file, and dropped as stale at its next use, since its item no longer matches it).
  bool popNewest();
  // Drops every step of the item with this slot number (an edit or a deletion).
  bool dropItem(std::uint16_t slotNumber);
  // Drops every step and removes the file (reset, import, swap).
  bool clear();

 private:
  bool load();
  bool writeAll();
  bool writeHeader();

  FileSystem* m_files = nullptr;
  std::filesystem::path m_path;
  std::unique_ptr<BinaryFile> m_file;
  std::deque<UndoStep> m_steps;
  std::uint16_t m_first = 0;  // ring place of the oldest step in the file
  bool m_loaded = false;
};

}  // namespace kelvora::store
