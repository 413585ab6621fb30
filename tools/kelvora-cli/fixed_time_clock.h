// The clock of a run whose date or time the command line fixes (--today, --now).
#pragma once

#include "learning/clock.h"

namespace kelvora::cli {

class FixedTimeClock final : public learning::Clock {
 public:
  explicit FixedTimeClock(learning::LocalTime time) : m_time(time) {}
  learning::CalendarDate localDate() const override { return m_time.date; }
  learning::LocalTime localTime() const override { return m_time; }

 private:
  learning::LocalTime m_time;
};

}  // namespace kelvora::cli
