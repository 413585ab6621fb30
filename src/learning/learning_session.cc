// Selection of the next item and the flow of questions in learn mode.
#include "learning/learning_session.h"

#include <algorithm>

#include "learning/grade_undo.h"
#include "learning/scheduling.h"
#include "store/user_texts.h"

namespace kelvora::learning {

using store::code;
using store::ItemStatus;

LearningSession::LearningSession(store::Collection& collection, Random& random, SessionHost& host)
    : m_c(collection), m_random(random), m_host(host) {}

std::optional<std::uint16_t> LearningSession::firstOf(ItemStatus status) const {
  return m_c.nthOfStatus(status, 0);
}

// The n-th item of the status in table order, n drawn from the generator and scaled to the
// counter. A counter larger than the items really there gives the last of them.
std::optional<std::uint16_t> LearningSession::randomOf(ItemStatus status, int count) {
  if (count <= 0) return std::nullopt;
  const int drawn = m_random.next();
  const int n =
      std::min(static_cast<int>((static_cast<long long>(count) * drawn) / kRandomMax), count - 1);
  return m_c.nthOfStatus(status, n);
}

void LearningSession::makeCurrent(std::uint16_t position) {
  m_c.currentPosition = position;
  m_c.readItem(position);
}

bool LearningSession::askNewMaterial() {
  return m_c.messages().askYesNo(store::texts::kNewMaterialQuestion, store::DefaultAnswer::Yes);
}

void LearningSession::noMoreItems() {
  m_c.messages().showMessage(store::texts::kNoMoreItems, store::MessageKind::Information);
  m_host.enterIdle();
}

void LearningSession::startLearning(StartKind kind) {
  if (!m_c.isOpen) return;
  if (m_c.header.learningDay == 0) {
    m_c.header.learningDay = m_c.today();
    // Not stored, the day is set again at the next start; learning goes on either way.
    (void)m_c.indexEntryChanged(m_c.currentPosition);
  }
  std::optional<std::uint16_t> found;
  switch (kind) {
    case StartKind::Start:
    case StartKind::ContinueOutstanding:
      if (m_c.counters.outstandingCount > 0) found = firstOf(ItemStatus::Outstanding);
      if (!found && offerFinalDrill(false)) found = m_c.currentPosition;
      break;
    case StartKind::ContinueDrill:
      if (m_c.counters.drillCount > 0) found = firstOf(ItemStatus::Drill);
      if (!found && m_c.counters.outstandingCount > 0) found = firstOf(ItemStatus::Outstanding);
      break;
    case StartKind::ContinueNew:
      break;
  }
  if (!found) {
    found = firstOf(ItemStatus::Pending);
    if (!found) {
      noMoreItems();
      return;
    }
    if ((kind == StartKind::ContinueDrill || kind == StartKind::ContinueOutstanding) &&
        !askNewMaterial()) {
      m_host.enterIdle();
      return;
    }
  }
  makeCurrent(*found);
  m_host.enterLearnState(LearnState::Question, true);
}

bool LearningSession::undoLastGrade() {
  const std::optional<std::uint16_t> position = undoLastStep(m_c);
  if (!position) return false;
  makeCurrent(*position);
  m_lastGraded = kNoPosition;
  m_host.enterLearnState(LearnState::Question, true);
  return true;
}

void LearningSession::retryAfterFailedGrade() {
  // The grade could not be stored and was undone (the user was told): the same item is asked
  // again, so nothing is learned that the collection does not hold.
  m_host.enterLearnState(LearnState::Question, true);
}

void LearningSession::gradeCurrentItem(Grade grade) {
  if (!m_c.isOpen || m_c.currentPosition >= m_c.header.itemCount) return;
  m_lastGraded = m_c.currentPosition;
  const store::UndoStep step =
      beginUndoStep(m_c, store::UndoKind::Grade, static_cast<std::uint8_t>(grade));
  const GradeOutcome outcome = applyGrade(m_c, grade);
  if (!outcome.changed) return;

  if (outcome.wasPending() || outcome.wasOutstanding()) {
    m_host.enterLearnState(LearnState::Question, false);
    if (!m_c.writeItem(m_c.currentPosition)) {
      retryAfterFailedGrade();
      return;
    }
    keepUndoStep(m_c, step);
    if (auto next = randomOf(ItemStatus::Outstanding, m_c.counters.outstandingCount)) {
      makeCurrent(*next);
      m_host.showItem();
      return;
    }
    if (auto pending = firstOf(ItemStatus::Pending)) {
      if (outcome.wasOutstanding() && !askNewMaterial()) {
        // Declined new material: the drill is offered, and without one learning ends here.
        if (!offerFinalDrill(true)) m_host.enterIdle();
        return;
      }
      makeCurrent(*pending);
      m_host.showItem();
      return;
    }
    if (!offerFinalDrill(true)) noMoreItems();
    return;
  }

  // A drill item.
  if (!m_c.writeItem(m_c.currentPosition)) {
    retryAfterFailedGrade();
    return;
  }
  keepUndoStep(m_c, step);
  auto next = randomOf(ItemStatus::Drill, m_c.counters.drillCount);
  if (!next) next = randomOf(ItemStatus::Outstanding, m_c.counters.outstandingCount);
  if (next) {
    makeCurrent(*next);
    m_host.enterLearnState(LearnState::Question, true);
    return;
  }
  auto pending = firstOf(ItemStatus::Pending);
  if (!pending) {
    noMoreItems();
    return;
  }
  if (!askNewMaterial()) {
    m_host.enterIdle();
    return;
  }
  makeCurrent(*pending);
  m_host.enterLearnState(LearnState::Question, true);
}

bool LearningSession::offerFinalDrill(bool show) {
  if (m_c.counters.drillCount == 0) return false;
  auto drill = firstOf(ItemStatus::Drill);
  if (!drill) return false;
  if (!m_c.messages().askYesNo(store::texts::kFinalDrillQuestion, store::DefaultAnswer::Yes)) {
    m_host.enterIdle();
    return false;
  }
  makeCurrent(*drill);
  m_host.enterLearnState(LearnState::Question, show);
  return true;
}

void LearningSession::reviewLastGraded() {
  if (m_lastGraded >= m_c.header.itemCount) return;
  makeCurrent(m_lastGraded);
  m_host.enterLearnState(LearnState::Review, true);
}

void LearningSession::cancelLearning() {
  const bool onDrillItem = m_c.currentPosition < m_c.header.itemCount &&
                           m_c.table[m_c.currentPosition].status == code(ItemStatus::Drill);
  if (!onDrillItem && offerFinalDrill(true)) return;
  m_host.enterIdle();
}

}  // namespace kelvora::learning
