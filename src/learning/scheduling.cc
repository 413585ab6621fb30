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
constexpr double kLowestFactor = 1.3;

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

void scheduleAnew(store::Collection& c, store::ItemIndexEntry& entry, int grade) {
  store::ItemRecordHeader& header = c.loaded.header;
  const store::DayNumber today = c.today();
  const store::DayNumber previous = entry.lastRepetition;
  entry.lastRepetition = today;

  double factor = header.aFactor * kThousandth;

  if (entry.status == code(ItemStatus::Outstanding)) {
    lower(c.counters.outstandingCount);
  } else {
    raise(c.counters.memorizedCount);
  }

  double newFactor = 0.0;
  std::uint8_t newStatus = 0;
  if (grade >= kFirstPassingGrade) {
    // Pass, Good and Bright of a first repetition give 4, 5 and 6 days.
    if (header.repetitions == 0) {
      entry.interval = static_cast<std::uint16_t>(grade + 1);
    } else {
      entry.interval = passingInterval(entry.interval, previous, today, factor);
    }
    raise(header.repetitions, kMaxRepetitions);
    newFactor = passingFactor(grade, factor);
    newStatus = code(ItemStatus::Memorized);
  } else {
    // Fail, Bad and Null bring the item back after 3, 2 and 1 days, once the drill is over.
    entry.interval = static_cast<std::uint16_t>(grade + 1);
    header.repetitions = 1;
    raise(header.lapses, kMaxLapses);
    newFactor = failingFactor(grade, factor);
    newStatus = code(ItemStatus::Drill);
    raise(c.counters.drillCount);
  }

  if (newFactor < kLowestFactor) newFactor = kLowestFactor;
  double thousandths = newFactor * kThousand;
  header.aFactor = truncateToField(thousandths, kMaxAFactor);

  entry.status = newStatus;
  header.status = newStatus;
  // The entry's dates win when the item is written; the header's copies are kept in step.
  header.interval = entry.interval;
  header.lastRepetition = entry.lastRepetition;
}

void gradeDrill(store::Collection& c, store::ItemIndexEntry& entry, int grade) {
  if (grade >= static_cast<int>(Grade::Good)) {
    entry.status = code(ItemStatus::Memorized);
    c.loaded.header.status = code(ItemStatus::Memorized);
    lower(c.counters.drillCount);
  } else {
    raise(c.loaded.header.lapses, kMaxLapses);
  }
}

std::uint16_t limited(std::int64_t value, std::int64_t low, std::int64_t high) {
  return static_cast<std::uint16_t>(std::clamp(value, low, high));
}

}  // namespace

GradeOutcome applyGrade(store::Collection& collection, int grade) {
  GradeOutcome outcome;
  const std::uint16_t position = collection.currentPosition;
  if (position >= collection.header.itemCount || position >= collection.table.size()) {
    return outcome;
  }
  store::ItemIndexEntry& entry = collection.table[position];
  outcome.previousStatus = entry.status;
  if (grade < kLowestGrade || grade > kHighestGrade) return outcome;

  switch (static_cast<ItemStatus>(entry.status)) {
    case ItemStatus::Pending:
    case ItemStatus::Outstanding:
      scheduleAnew(collection, entry, grade);
      outcome.changed = true;
      break;
    case ItemStatus::Drill:
      gradeDrill(collection, entry, grade);
      outcome.changed = true;
      break;
    default:
      break;
  }
  return outcome;
}

bool isDue(const store::ItemIndexEntry& entry, store::DayNumber today) {
  const int nextDay = int{entry.lastRepetition} + int{entry.interval};
  return entry.status == code(ItemStatus::Memorized) && nextDay <= today;
}

// Both conversions keep the written integer steps, each division truncating toward zero, in
// 64-bit arithmetic so that no value a file can hold overflows.
std::uint16_t exportAFactor(std::uint16_t stored) {
  const std::int64_t e = stored;
  const std::int64_t exported = 1200 + (((e - 1300) * 1000 / 2000) * 5700) / 1000;
  return limited(exported, 1200, 6900);
}

std::uint16_t importAFactor(int exported) {
  const std::int64_t a = exported;
  const std::int64_t stored = 1300 + (((a - 1200) * 1000 / 5700) * 2000) / 1000;
  return limited(stored, 1300, 3300);
}

std::uint16_t exportUFactor(std::uint16_t stored, std::uint8_t repetitions) {
  return repetitions == 1 ? 1000 : stored;
}

}  // namespace kelvora::learning
