// Repetition scheduling. The factor and interval arithmetic is IEEE double, one operation per
// statement in a fixed order, so that every build gives the same truncated results.
#include "learning/scheduling.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kelvora::learning {
namespace {

using store::code;
using store::ItemStatus;

constexpr double kThousandth = 0.001;
constexpr double kThousand = 1000.0;
constexpr double kLowestFactor = 1.3;  // kLowestStoredAFactor in units

constexpr std::int64_t kPerMille = 1000;
constexpr std::int64_t kStoredAFactorSpan = kHighestStoredAFactor - kLowestStoredAFactor;
constexpr std::int64_t kExportedAFactorSpan = kHighestExportedAFactor - kLowestExportedAFactor;

// Truncates toward zero into a 16-bit field, saturating instead of converting out of range.
std::uint16_t truncateToField(double value, std::uint16_t limit) {
  if (!(value > 0.0)) return 0;
  if (value >= static_cast<double>(limit)) return limit;
  return static_cast<std::uint16_t>(value);
}

void raise(std::uint16_t& counter) {
  if (counter < std::numeric_limits<std::uint16_t>::max()) ++counter;
}

void lower(std::uint16_t& counter) {
  if (counter > 0) --counter;
}

void raise(std::uint8_t& count, std::uint8_t limit) {
  if (count < limit) ++count;
}

// F' for a passing grade: F + 0.1 - (5 - g) * (0.08 + 0.02 * (5 - g)), in this order.
double passingFactor(int grade, double factor) {
  double d = 5.0 - grade;
  double t = d * 0.02;
  t = t + 0.08;
  t = t * d;
  t = 0.1 - t;
  double result = t + factor;
  return result;
}

// F' for a failing grade: the same function of g, evaluated in its own order.
double failingFactor(int grade, double factor) {
  double t1 = grade * 0.28;
  double t2 = factor - 0.8;
  double s = t1 + t2;
  double q = grade * grade;
  q = q * 0.02;
  double result = s - q;
  return result;
}

// The interval after a passing grade of an item repeated before. A zero interval counts as one
// day; a repetition later than planned uses the time that really elapsed.
std::uint16_t passingInterval(std::uint16_t interval, store::DayNumber previous,
                              store::DayNumber today, double factor) {
  if (interval == 0) interval = 1;
  int elapsed = 0;
  if (previous != 0 && today > previous) elapsed = today - previous;
  int base = elapsed > interval ? elapsed : interval;
  double baseDays = base;
  double product = baseDays * factor;
  return truncateToField(product, kMaxInterval);
}

// A Pending or Outstanding item after any grade: dated today, with a new interval, factor,
// counts and status.
LearningData scheduleAnew(const LearningData& item, int grade, store::DayNumber today) {
  LearningData next = item;
  next.lastRepetition = today;
  double factor = item.aFactor * kThousandth;

  double newFactor = 0.0;
  if (grade >= static_cast<int>(kFirstPassingGrade)) {
    // Pass, Good and Bright of a first repetition give 4, 5 and 6 days.
    if (item.repetitions == 0) {
      next.interval = static_cast<std::uint16_t>(grade + 1);
    } else {
      next.interval = passingInterval(item.interval, item.lastRepetition, today, factor);
    }
    raise(next.repetitions, kMaxRepetitions);
    newFactor = passingFactor(grade, factor);
    next.status = code(ItemStatus::Memorized);
  } else {
    // Fail, Bad and Null bring the item back after 3, 2 and 1 days, once the drill is over.
    next.interval = static_cast<std::uint16_t>(grade + 1);
    next.repetitions = 1;
    raise(next.lapses, kMaxLapses);
    newFactor = failingFactor(grade, factor);
    next.status = code(ItemStatus::Drill);
  }

  if (newFactor < kLowestFactor) newFactor = kLowestFactor;
  double thousandths = newFactor * kThousand;
  next.aFactor = truncateToField(thousandths, kMaxAFactor);
  return next;
}

LearningData gradeDrill(const LearningData& item, Grade grade) {
  LearningData next = item;
  if (grade >= kFirstDrillLeavingGrade) {
    next.status = code(ItemStatus::Memorized);
  } else {
    raise(next.lapses, kMaxLapses);
  }
  return next;
}

bool isScheduledAnew(std::uint8_t status) {
  return status == code(ItemStatus::Pending) || status == code(ItemStatus::Outstanding);
}

// The counters follow the item out of its old status and into the new one.
void moveCounters(store::CollectionCounters& n, std::uint8_t before, std::uint8_t after) {
  if (isScheduledAnew(before)) {
    if (before == code(ItemStatus::Outstanding)) {
      lower(n.outstandingCount);
    } else {
      raise(n.memorizedCount);
    }
    if (after == code(ItemStatus::Drill)) raise(n.drillCount);
  } else if (before == code(ItemStatus::Drill) && after == code(ItemStatus::Memorized)) {
    lower(n.drillCount);
  }
}

std::uint16_t limited(std::int64_t value, std::int64_t low, std::int64_t high) {
  return static_cast<std::uint16_t>(std::clamp(value, low, high));
}

// The current item's entry, or nothing when the current position is past the last item.
store::ItemIndexEntry* currentEntry(store::Collection& c) {
  const std::uint16_t position = c.currentPosition;
  if (position >= c.header.itemCount || position >= c.table.size()) return nullptr;
  return &c.table[position];
}

LearningData learningData(const store::ItemIndexEntry& entry,
                          const store::ItemRecordHeader& header) {
  return {entry.status,   entry.interval,     entry.lastRepetition,
          header.aFactor, header.repetitions, header.lapses};
}

}  // namespace

std::optional<LearningData> currentLearningData(const store::Collection& c) {
  const std::uint16_t position = c.currentPosition;
  if (position >= c.header.itemCount || position >= c.table.size()) return std::nullopt;
  return learningData(c.table[position], c.loaded.header);
}

LearningData schedule(const LearningData& item, Grade grade, store::DayNumber today) {
  switch (static_cast<ItemStatus>(item.status)) {
    case ItemStatus::Pending:
    case ItemStatus::Outstanding:
      return scheduleAnew(item, static_cast<int>(grade), today);
    case ItemStatus::Drill:
      return gradeDrill(item, grade);
    default:
      return item;
  }
}

GradeOutcome applyGrade(store::Collection& collection, Grade grade) {
  GradeOutcome outcome;
  store::ItemIndexEntry* entry = currentEntry(collection);
  if (entry == nullptr) return outcome;
  outcome.previousStatus = entry->status;
  if (!isScheduledAnew(entry->status) && entry->status != code(ItemStatus::Drill)) return outcome;

  store::ItemRecordHeader& header = collection.loaded.header;
  const LearningData before = learningData(*entry, header);
  const LearningData after = schedule(before, grade, collection.today());

  entry->status = after.status;
  entry->interval = after.interval;
  entry->lastRepetition = after.lastRepetition;
  // A status the grade keeps leaves the header's own copy as it was.
  if (after.status != before.status) header.status = after.status;
  header.aFactor = after.aFactor;
  header.repetitions = after.repetitions;
  header.lapses = after.lapses;
  // The entry's dates win when the item is written; the header's copies are kept in step by
  // every grade that dates the item.
  if (isScheduledAnew(before.status)) {
    header.interval = after.interval;
    header.lastRepetition = after.lastRepetition;
  }
  moveCounters(collection.counters, before.status, after.status);
  outcome.changed = true;
  return outcome;
}

// Both conversions keep the written integer steps, each division truncating toward zero, in
// 64-bit arithmetic so that no value a file can hold overflows.
// The position within a range is taken in thousandths of the range first.
std::uint16_t exportAFactor(std::uint16_t stored) {
  const std::int64_t e = stored;
  const std::int64_t exported =
      kLowestExportedAFactor +
      (((e - kLowestStoredAFactor) * kPerMille / kStoredAFactorSpan) * kExportedAFactorSpan) /
          kPerMille;
  return limited(exported, kLowestExportedAFactor, kHighestExportedAFactor);
}

std::uint16_t importAFactor(int exported) {
  const std::int64_t a = exported;
  const std::int64_t stored =
      kLowestStoredAFactor +
      (((a - kLowestExportedAFactor) * kPerMille / kExportedAFactorSpan) * kStoredAFactorSpan) /
          kPerMille;
  return limited(stored, kLowestStoredAFactor, kHighestStoredAFactor);
}

std::uint16_t exportUFactor(std::uint16_t stored, std::uint8_t repetitions) {
  return repetitions == 1 ? static_cast<std::uint16_t>(kFirstRepetitionUFactor) : stored;
}

}  // namespace kelvora::learning
