// Reads the wall clock and converts it to the local calendar date with localtime_r.
#include "platform/system_clock.h"

#include <algorithm>
#include <ctime>

namespace kelvora::platform {

learning::CalendarDate SystemClock::localDate() const { return localTime().date; }

learning::LocalTime SystemClock::localTime() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
    // No usable clock: 1 January 1980, the first day a learning date can name.
    return {{1980, 1, 1}, 0, 0};
  }
  const int year = std::clamp(local.tm_year + 1900, 0, 0xFFFF);
  return {{static_cast<std::uint16_t>(year), static_cast<std::uint8_t>(local.tm_mon + 1),
           static_cast<std::uint8_t>(local.tm_mday)},
          local.tm_hour,
          local.tm_min};
}

std::uint64_t monotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace kelvora::platform
