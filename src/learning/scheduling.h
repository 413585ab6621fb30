// Repetition scheduling: how one grade changes an item's interval, factor, counts and status,
// when a memorized item falls due, and the factor conversions of the XML exchange format.
#pragma once

#include <cstdint>
#include <optional>

#include "store/collection.h"
#include "store/day_number.h"
#include "store/item_index_entry.h"
#include "store/item_status.h"

namespace kelvora::learning {

// The six steps of recall, lowest first; Pass and above are passing grades.
enum class Grade : std::uint8_t { Null = 0, Bad, Fail, Pass, Good, Bright };

inline constexpr int kLowestGrade = 0;
inline constexpr int kHighestGrade = 5;
inline constexpr Grade kFirstPassingGrade = Grade::Pass;
// A drill item leaves the drill on this grade or a higher one.
inline constexpr Grade kFirstDrillLeavingGrade = Grade::Good;

// The grade a number 0..5 stands for (a key, a button, a command-line argument); nothing for
// any other number.
constexpr std::optional<Grade> gradeFromNumber(int number) {
  if (number < kLowestGrade || number > kHighestGrade) return std::nullopt;
  return static_cast<Grade>(number);
}

// Remember makes an item Memorized with this interval (days) from today.
inline constexpr std::uint16_t kRememberInterval = 365;

// The factor scales. The store keeps the A-factor in thousandths within 1300..3300 once graded;
// the XML format shows it in thousandths within 1200..6900 (both ranges span linearly onto each
// other), and its U-factor is 1000 after a single repetition.
inline constexpr std::int64_t kLowestStoredAFactor = 1300;
inline constexpr std::int64_t kHighestStoredAFactor = 3300;
inline constexpr std::int64_t kLowestExportedAFactor = 1200;
inline constexpr std::int64_t kHighestExportedAFactor = 6900;
inline constexpr std::int64_t kFirstRepetitionUFactor = 1000;

// Field limits: a grade that would carry a value past them leaves it at the limit.
inline constexpr std::uint16_t kMaxInterval = 0xFFFF;  // days
inline constexpr std::uint16_t kMaxAFactor = 0xFFFF;   // thousandths
inline constexpr std::uint8_t kMaxRepetitions = 0xFF;
inline constexpr std::uint8_t kMaxLapses = 0xFF;

// The learning fields of one item that a grade reads and changes: the index entry's status and
// dates, the record header's factor and counts.
struct LearningData {
  std::uint8_t status = 0;              // an ItemStatus code, or any other byte
  std::uint16_t interval = 0;           // days
  store::DayNumber lastRepetition = 0;  // 0 = never repeated
  std::uint16_t aFactor = 0;            // thousandths
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;

  bool operator==(const LearningData&) const = default;
};

// What one grade given today makes of an item's learning data. Pending and Outstanding items are
// scheduled anew; Drill items leave the drill on Good or Bright and gain a lapse otherwise; every
// other status comes back unchanged.
LearningData schedule(const LearningData& item, Grade grade, store::DayNumber today);

// The current item's learning data as a grade reads it (its index entry and the loaded record
// header); nothing when the current position is past the last item.
std::optional<LearningData> currentLearningData(const store::Collection& collection);

// What applyGrade did to the current item.
struct GradeOutcome {
  bool changed = false;             // false: refused grade or position, or a status grades skip
  std::uint8_t previousStatus = 0;  // the entry's status code before the grade

  bool wasOutstanding() const {
    return previousStatus == store::code(store::ItemStatus::Outstanding);
  }
  bool wasPending() const { return previousStatus == store::code(store::ItemStatus::Pending); }
};

// Applies a grade to the current item: reads its learning data from the index entry at
// collection.currentPosition and the loaded record header, schedules it with today from the
// collection, stores the result back and moves the counters along with the status. Does not
// write the item. A current position past the last item changes nothing. Counters never wrap:
// one that would drop below 0 stays at 0 (it was already out of step; the next recount
// repairs it).
GradeOutcome applyGrade(store::Collection& collection, Grade grade);

// Stored factor (thousandths, 1300..3300 in use) to the XML A-factor in thousandths: the
// stored range maps linearly onto 1200..6900, and results are limited to that range.
std::uint16_t exportAFactor(std::uint16_t stored);
// XML A-factor in thousandths (any value a file may hold) back to a stored factor in 1300..3300.
std::uint16_t importAFactor(int exported);
// The XML U-factor in thousandths: 1000 after a single repetition, the stored factor otherwise.
std::uint16_t exportUFactor(std::uint16_t stored, std::uint8_t repetitions);

}  // namespace kelvora::learning
