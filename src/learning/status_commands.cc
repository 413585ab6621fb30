// The three status commands: question, counters out of the old status and into the new one,
// learning data, write, and the continuation of learning.
#include "learning/status_commands.h"

#include "learning/grade_undo.h"
#include "learning/scheduling.h"
#include "store/user_texts.h"

namespace kelvora::learning {

using store::code;
using store::ItemStatus;

namespace {

void raise(std::uint16_t& counter) {
  if (counter < 0xFFFF) ++counter;
}

std::u16string_view questionFor(StatusCommand command) {
  switch (command) {
    case StatusCommand::Forget:
      return store::texts::kForgetQuestion;
    case StatusCommand::Remember:
      return store::texts::kRememberQuestion;
    case StatusCommand::Dismiss:
      break;
  }
  return store::texts::kDismissQuestion;
}

store::UndoKind undoKindOf(StatusCommand command) {
  switch (command) {
    case StatusCommand::Forget:
      return store::UndoKind::Forget;
    case StatusCommand::Remember:
      return store::UndoKind::Remember;
    case StatusCommand::Dismiss:
      break;
  }
  return store::UndoKind::Dismiss;
}

}  // namespace

void applyStatusCommand(store::Collection& c, StatusCommand command, bool learning,
                        LearningSession& session) {
  if (!c.isOpen || c.currentPosition >= c.header.itemCount) return;
  store::ItemIndexEntry& entry = c.table[c.currentPosition];
  const std::uint8_t old = entry.status;
  if (command == StatusCommand::Forget && old == code(ItemStatus::Pending)) return;
  if (command == StatusCommand::Remember && old == code(ItemStatus::Memorized)) return;
  if (!c.messages().askYesNo(questionFor(command), store::DefaultAnswer::Yes)) return;

  const store::UndoStep step = beginUndoStep(c, undoKindOf(command));
  store::CollectionCounters& n = c.counters;
  store::uncountStatus(n, old);

  store::ItemRecordHeader& h = c.loaded.header;
  ItemStatus status = ItemStatus::Pending;
  entry.interval = 0;
  entry.lastRepetition = 0;
  h.repetitions = 0;
  switch (command) {
    case StatusCommand::Forget:
      break;
    case StatusCommand::Remember:
      status = ItemStatus::Memorized;
      entry.interval = kRememberInterval;
      entry.lastRepetition = c.today();
      h.repetitions = 1;
      raise(n.memorizedCount);
      break;
    case StatusCommand::Dismiss:
      status = ItemStatus::Dismissed;
      raise(n.dismissedCount);
      break;
  }
  entry.status = code(status);
  h.status = code(status);
  h.interval = entry.interval;
  h.lastRepetition = entry.lastRepetition;
  h.aFactor = store::kNewItemAFactor;
  h.lapses = 0;
  // Not stored, the command is undone with the item (the user was told), and learning goes
  // on from the item as it was.
  const bool stored = c.writeItem(c.currentPosition);
  if (stored) keepUndoStep(c, step);

  if (!learning || !stored) return;
  if (old == code(ItemStatus::Drill)) {
    session.startLearning(StartKind::ContinueDrill);
  } else if (old == code(ItemStatus::Outstanding)) {
    session.startLearning(StartKind::ContinueOutstanding);
  } else {
    session.startLearning(StartKind::ContinueNew);
  }
}

}  // namespace kelvora::learning
