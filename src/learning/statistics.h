// The "Statistics" and "Item" panels beside the question and answer: the collection's name,
// size and counts, and the current item's learning data, as texts and bar values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "learning/calendar_date.h"
#include "store/collection.h"

namespace kelvora::learning {

struct ProgressBar {
  int maximum = 1;
  int position = 0;
  bool operator==(const ProgressBar&) const = default;
};

struct StatisticsPanel {
  bool visible = true;  // false while a narrow screen shows Q/A sizes
  std::array<std::u16string, 2> titleLines = {u" ", u" "};
  std::array<std::u16string, 3> statisticsValues = {u" ", u" ",
                                                    u" "};  // Memorized, Pending, To repeat
  std::array<ProgressBar, 3> bars;                          // wide screens only
  std::array<std::u16string, 5> itemLabels = {u"Number:", u"Status:", u"Last rep:", u"Interval:",
                                              u"Next:"};
  std::array<std::u16string, 5> itemValues = {u" ", u" ", u" ", u" ", u" "};

  bool operator==(const StatisticsPanel&) const = default;
};

inline constexpr std::array<const char16_t*, 3> kStatisticsLabels = {u"Memorized:", u"Pending:",
                                                                     u"To repeat:"};

// What the panels show now. idle: the application is in its Idle mode (item values blank);
// narrowScreen and ratio: a narrow screen with a Q/A size chosen hides the panels and leaves
// the previous content (the result then only has visible = false and previous's texts).
struct StatisticsInput {
  const store::Collection& collection;
  std::u16string_view collectionTitle;
  bool idle;
  bool narrowScreen;
  std::uint8_t ratio;
  const ShortDateFormat& dateFormat;
};
StatisticsPanel refreshStatistics(const StatisticsInput& input, const StatisticsPanel& previous);

// An item's status as the item panel names it; Outstanding is "Memorized", and a byte outside
// the known codes shows blank.
std::u16string statusText(std::uint8_t status, bool narrowScreen);

// "1 day", "N days".
std::u16string intervalText(std::uint16_t interval);

// The "To repeat:" value for o outstanding and d drill items.
std::u16string toRepeatText(int outstanding, int drill);

}  // namespace kelvora::learning
