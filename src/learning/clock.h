// The clock port of the learning subsystem: the current local date, read afresh on every call.
// The desktop program hands in the system clock, tests a fixed one.
#pragma once

#include "learning/calendar_date.h"

namespace kelvora::learning {

// A local date with the time of day, to the minute.
struct LocalTime {
  CalendarDate date;
  int hour = 0;
  int minute = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Today's date on the local clock.
  virtual CalendarDate localDate() const = 0;
  // The local date and time; clocks that know only the date give midnight.
  virtual LocalTime localTime() const { return {localDate(), 0, 0}; }
};

// Today's day number; nothing is cached, so a session that runs past midnight sees the new day.
inline DayNumber today(const Clock& clock) { return dateToDay(clock.localDate()); }

}  // namespace kelvora::learning
