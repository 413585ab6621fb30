// The learning clock on a POSIX system: the local date from the C library's time zone rules.
#pragma once

#include "learning/clock.h"

namespace kelvora::platform {

class SystemClock final : public learning::Clock {
 public:
  learning::CalendarDate localDate() const override;
  learning::LocalTime localTime() const override;
};

}  // namespace kelvora::platform
