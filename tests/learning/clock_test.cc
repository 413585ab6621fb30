// Today's day number comes from the clock port, read afresh on each call.
#include "learning/clock.h"

#include <gtest/gtest.h>

#include "fixed_clock.h"

namespace kelvora::learning {
namespace {

TEST(Clock, TodayReadsTheClockOnEveryCall) {
  fakes::FixedClock clock({2004, 8, 14});
  EXPECT_EQ(today(clock), 8993);
  clock.date = {2005, 1, 1};
  EXPECT_EQ(today(clock), 9133);
}

}  // namespace
}  // namespace kelvora::learning
