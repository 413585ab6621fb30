// Undo steps: what is kept of an item around a change, and taking it back.
#include "learning/grade_undo.h"

#include "store/item_status.h"

namespace kelvora::learning {

namespace {

using store::code;
using store::ItemStatus;

store::UndoItemState stateOf(const store::ItemIndexEntry& entry,
                             const store::ItemRecordHeader& header) {
  store::UndoItemState s;
  s.entryStatus = entry.status;
  s.headerStatus = header.status;
  s.entryInterval = entry.interval;
  s.entryLastRepetition = entry.lastRepetition;
  s.headerInterval = header.interval;
  s.headerLastRepetition = header.lastRepetition;
  s.aFactor = header.aFactor;
  s.repetitions = header.repetitions;
  s.lapses = header.lapses;
  return s;
}

// The item is as the step left it. A Memorized item that has come due since counts: a recount
// on a later day turns it Outstanding, which is no change of its own.
bool standsAsLeft(store::UndoItemState now, const store::UndoItemState& after) {
  if (now.entryStatus == code(ItemStatus::Outstanding) &&
      after.entryStatus == code(ItemStatus::Memorized)) {
    now.entryStatus = after.entryStatus;
  }
  return now == after;
}

}  // namespace

store::UndoStep beginUndoStep(const store::Collection& c, store::UndoKind kind,
                              std::uint8_t grade) {
  store::UndoStep step;
  step.kind = kind;
  step.grade = grade;
  step.position = c.currentPosition;
  if (c.currentPosition < c.header.itemCount && c.currentPosition < c.table.size()) {
    step.before = stateOf(c.table[c.currentPosition], c.loaded.header);
  }
  step.slotNumber = c.loaded.header.slotNumber;
  step.countersBefore = c.counters;
  return step;
}

void keepUndoStep(store::Collection& c, store::UndoStep step) {
  if (step.position >= c.header.itemCount || step.position >= c.table.size()) return;
  step.after = stateOf(c.table[step.position], c.loaded.header);
  step.countersAfter = c.counters;
  if (step.after == step.before) return;  // nothing changed that could be taken back
  (void)c.undoLog().push(step);
}

std::optional<std::uint16_t> undoLastStep(store::Collection& c) {
  if (!c.isOpen) return std::nullopt;
  store::UndoLog& log = c.undoLog();
  while (!log.steps().empty()) {
    const store::UndoStep step = log.steps().back();
    bool stands = step.position < c.header.itemCount && step.after != step.before;
    if (stands) {
      // Edited texts are written back first; that drops the item's steps when they are its.
      if (!c.flushItem()) return std::nullopt;
      if (log.steps().empty() || !(log.steps().back() == step)) continue;
      c.currentPosition = step.position;
      stands = c.readItem(step.position) && c.loaded.header.slotNumber == step.slotNumber &&
               standsAsLeft(stateOf(c.table[step.position], c.loaded.header), step.after);
    }
    if (!stands) {
      // Stale: dropped, and the one before it is tried. Should it stay in the file, it is as
      // stale at its next use.
      (void)log.popNewest();
      continue;
    }
    store::ItemIndexEntry& entry = c.table[step.position];
    const std::uint8_t statusNow = entry.status;
    store::ItemRecordHeader& h = c.loaded.header;
    entry.status = step.before.entryStatus;
    entry.interval = step.before.entryInterval;
    entry.lastRepetition = step.before.entryLastRepetition;
    h.status = step.before.headerStatus;
    h.interval = step.before.headerInterval;
    h.lastRepetition = step.before.headerLastRepetition;
    h.aFactor = step.before.aFactor;
    h.repetitions = step.before.repetitions;
    h.lapses = step.before.lapses;
    if (c.counters == step.countersAfter) {
      c.counters = step.countersBefore;
    } else {
      // Something else moved the counters since (a recount on a later day): the item's own
      // share is moved back.
      store::uncountStatus(c.counters, statusNow);
      store::countStatus(c.counters, step.before.entryStatus);
    }
    if (!c.writeItem(step.position)) return std::nullopt;
    (void)log.popNewest();
    c.events().countersChanged();
    return step.position;
  }
  return std::nullopt;
}

}  // namespace kelvora::learning
