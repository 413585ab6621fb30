// The learning clock on a POSIX system: the local date from the C library's time zone rules.
#pragma once

#include <cstdint>

#include "learning/clock.h"

namespace kelvora::platform {

class SystemClock final : public learning::Clock {
 public:
  learning::CalendarDate localDate() const override;
  learning::LocalTime localTime() const override;
};

// Milliseconds from an arbitrary fixed start that never goes back (CLOCK_MONOTONIC): the clock
// that groups the collection's journal syncs.
std::uint64_t monotonicMilliseconds();

}  // namespace kelvora::platform
