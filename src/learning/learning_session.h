// Learn mode: which item comes next (due items, new material, the final drill of failed
// items), the questions put to the user on the way, and the write of every grade.
#pragma once

#include <cstdint>
#include <optional>

#include "learning/random.h"
#include "learning/scheduling.h"
#include "store/collection.h"

namespace kelvora::learning {

enum class LearnState { Question, Answer, Review };

// What learning asks of the application around it.
class SessionHost {
 public:
  virtual ~SessionHost() = default;
  // Leaves learning: Idle mode, empty panes.
  virtual void enterIdle() = 0;
  // Enters a learning state for the current (already read) item; shows it when show is set.
  virtual void enterLearnState(LearnState state, bool show) = 0;
  // Shows the current item in the present state.
  virtual void showItem() = 0;
};

enum class StartKind { Start, ContinueDrill, ContinueNew, ContinueOutstanding };

inline constexpr std::uint16_t kNoPosition = 0xFFFF;

class LearningSession {
 public:
  LearningSession(store::Collection& collection, Random& random, SessionHost& host);

  // Finds the next item to learn and shows its question, or ends learning.
  void startLearning(StartKind kind);
  // Applies a grade to the current item, writes it and moves on.
  void gradeCurrentItem(Grade grade);
  // Offers the drill of failed items; true when the user took it and a drill item is current.
  bool offerFinalDrill(bool show);
  // Shows the item graded last again with its answer; nothing before the first grade.
  void reviewLastGraded();
  // Ends learning, offering the final drill first unless the current item is a drill item.
  void cancelLearning();
  // Undo grade: takes back the last grade or status command (see grade_undo.h) and goes on
  // learning with that item shown as a question. False when there was nothing to take back.
  bool undoLastGrade();

  // Table position of the item graded last; kNoPosition until the first grade of the run.
  std::uint16_t lastGradedPosition() const { return m_lastGraded; }

 private:
  void retryAfterFailedGrade();
  std::optional<std::uint16_t> firstOf(store::ItemStatus status) const;
  std::optional<std::uint16_t> randomOf(store::ItemStatus status, int count);
  void makeCurrent(std::uint16_t position);
  bool askNewMaterial();
  void noMoreItems();

  store::Collection& m_c;
  Random& m_random;
  SessionHost& m_host;
  std::uint16_t m_lastGraded = kNoPosition;
};

}  // namespace kelvora::learning
