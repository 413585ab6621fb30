// The date type of every learning field: a whole count of days, day 1 being 1 January 1980.
// 0 in a learning field means "no date". Conversions to calendar dates live in learning/.
#pragma once

#include <cstdint>
#include <functional>

namespace kelvora::store {

using DayNumber = std::uint16_t;

// The day of an item's next repetition: lastRepetition + interval (days) as a full-width sum.
// An interval reaching past day 65535 gives a day beyond every day number, so such an item
// never comes due. The due rule, the import's statuses and the calendar's counts use this.
constexpr std::uint32_t nextRepetitionDay(DayNumber lastRepetition, std::uint16_t interval) {
  return std::uint32_t{lastRepetition} + interval;
}

// The same day as a 16-bit day number holds it: a repetition due past day 65535 wraps around
// like the stored field. Only for showing the date of the next repetition.
constexpr DayNumber wrappedNextRepetitionDay(DayNumber lastRepetition, std::uint16_t interval) {
  return static_cast<DayNumber>(lastRepetition + interval);
}

// Today's day number on the local clock. The store never reads the clock itself; the program
// hands in this port (tests hand in a fixed day).
using TodayFn = std::function<DayNumber()>;

}  // namespace kelvora::store
