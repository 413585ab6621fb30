// The clock port of the learning subsystem: the current local date, read afresh on every call.
// The desktop program hands in the system clock, tests a fixed one.
#pragma once

#include "learning/calendar_date.h"

namespace kelvora::learning {

class Clock {
 public:
  virtual ~Clock() = default;
  // Today's date on the local clock.
  virtual CalendarDate localDate() const = 0;
};

// Today's day number; nothing is cached, so a session that runs past midnight sees the new day.
inline DayNumber today(const Clock& clock) { return dateToDay(clock.localDate()); }

}  // namespace kelvora::learning
