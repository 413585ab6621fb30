// Undo grade: the last grades and status commands of a collection taken back one by one, up to
// the last store::kUndoCapacity of them, across closing the collection and restarting the
// program (the steps are kept in the collection's undo file, store/undo_log.h).
#pragma once

#include <cstdint>
#include <optional>

#include "store/collection.h"
#include "store/undo_log.h"

namespace kelvora::learning {

// The current item's learning data and the counters before a change to it: a grade (with its
// code, 0..5), Forget, Remember or Dismiss. The item is the loaded one at currentPosition.
store::UndoStep beginUndoStep(const store::Collection& collection, store::UndoKind kind,
                              std::uint8_t grade = 0);
// Keeps the step once the change is stored, with the item and the counters as the change left
// them. A step that could not be written is not kept: the change stands, it only cannot be
// taken back.
void keepUndoStep(store::Collection& collection, store::UndoStep step);

// Takes back the newest step: the item's record fields (factor, repetitions, lapses, status),
// its entry (status, interval, last repetition) and the counters go back to what they were
// before that change, written as one change, and the item becomes the current one. A step whose
// item no longer stands exactly as the step left it (changed since, edited, deleted, or a
// change a kill or a full disk cut short) is dropped on the way and the next one is tried.
// Returns the item's position; nothing when no step was left, or when the item could not be
// stored (the user was told; the step is kept).
std::optional<std::uint16_t> undoLastStep(store::Collection& collection);

}  // namespace kelvora::learning
