// The system clock gives a real, current local date.
#include "platform/system_clock.h"

#include <gtest/gtest.h>

namespace kelvora::platform {
namespace {

TEST(SystemClock, GivesAPlausibleLocalDate) {
  const SystemClock clock;
  const learning::CalendarDate date = clock.localDate();
  EXPECT_GE(date.year, 2024);
  // A valid date of the calendar maps to a day number, never to 0 ("no date").
  EXPECT_NE(learning::dateToDay(date), 0);
  EXPECT_GE(learning::today(clock), learning::dateToDay(2024, 1, 1));
}

}  // namespace
}  // namespace kelvora::platform
