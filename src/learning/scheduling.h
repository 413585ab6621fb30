// Repetition scheduling: how one grade changes an item's interval, factor, counts and status,
// when a memorized item falls due, and the factor conversions of the XML exchange format.
#pragma once

#include <cstdint>

#include "store/collection.h"
#include "store/day_number.h"
#include "store/item_index_entry.h"
#include "store/item_status.h"

namespace kelvora::learning {

// The six steps of recall, lowest first; Pass and above are passing grades.
enum class Grade : std::uint8_t { Null = 0, Bad, Fail, Pass, Good, Bright };

inline constexpr int kLowestGrade = 0;
inline constexpr int kHighestGrade = 5;
inline constexpr int kFirstPassingGrade = 3;

// Field limits: a grade that would carry a value past them leaves it at the limit.
inline constexpr std::uint16_t kMaxInterval = 0xFFFF;  // days
inline constexpr std::uint16_t kMaxAFactor = 0xFFFF;   // thousandths
inline constexpr std::uint8_t kMaxRepetitions = 0xFF;
inline constexpr std::uint8_t kMaxLapses = 0xFF;

// What applyGrade did to the current item.
struct GradeOutcome {
  bool changed = false;             // false: refused grade or position, or a status grades skip
  std::uint8_t previousStatus = 0;  // the entry's status code before the grade

  bool wasOutstanding() const {
    return previousStatus == store::code(store::ItemStatus::Outstanding);
  }
  bool wasPending() const { return previousStatus == store::code(store::ItemStatus::Pending); }
};

// Applies grade 0..5 to the current item: its index entry at collection.currentPosition and the
// loaded record header, and the counters; today comes from the collection. Does not write the
// item. A grade outside 0..5 or a current position past the last item changes nothing. Pending
// and Outstanding items are scheduled anew; Drill items leave the drill on Good or Bright and
// gain a lapse otherwise; every other status is left alone. Counters never wrap: one that
// would drop below 0 stays at 0 (it was already out of step; the next recount repairs it).
GradeOutcome applyGrade(store::Collection& collection, int grade);
inline GradeOutcome applyGrade(store::Collection& collection, Grade grade) {
  return applyGrade(collection, static_cast<int>(grade));
}

// A Memorized entry is due once its next repetition day, lastRepetition + interval taken as a
// full-width sum (an interval reaching past day 65535 never comes due), is today or earlier.
bool isDue(const store::ItemIndexEntry& entry, store::DayNumber today);

// Stored factor (thousandths, 1300..3300 in use) to the XML A-factor in thousandths: the
// stored range maps linearly onto 1200..6900, and results are limited to that range.
std::uint16_t exportAFactor(std::uint16_t stored);
// XML A-factor in thousandths (any value a file may hold) back to a stored factor in 1300..3300.
std::uint16_t importAFactor(int exported);
// The XML U-factor in thousandths: 1000 after a single repetition, the stored factor otherwise.
std::uint16_t exportUFactor(std::uint16_t stored, std::uint8_t repetitions);

}  // namespace kelvora::learning
