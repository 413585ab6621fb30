// A clock port for tests: it reports whatever date the test sets, so no test reads the wall clock.
#pragma once

#include "learning/clock.h"

namespace kelvora::fakes {

class FixedClock final : public learning::Clock {
 public:
  explicit FixedClock(learning::CalendarDate initial) : date(initial) {}
  learning::CalendarDate localDate() const override { return date; }

  learning::CalendarDate date;  // a test may move it to simulate midnight passing
};

}  // namespace kelvora::fakes
