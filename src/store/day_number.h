// The date type of every learning field: a whole count of days, day 1 being 1 January 1980.
// 0 in a learning field means "no date". Conversions to calendar dates live in learning/.
#pragma once

#include <cstdint>
#include <functional>

namespace kelvora::store {

using DayNumber = std::uint16_t;

// Today's day number on the local clock. The store never reads the clock itself; the program
// hands in this port (tests hand in a fixed day).
using TodayFn = std::function<DayNumber()>;

}  // namespace kelvora::store
