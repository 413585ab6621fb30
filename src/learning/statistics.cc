// Fills the statistics and item panels from the counters and the current item.
#include "learning/statistics.h"

#include <algorithm>
#include <string>

#include "store/item_status.h"
#include "store/utf16_text.h"

namespace kelvora::learning {
namespace {

using store::ItemStatus;

constexpr const char16_t* kBlank = u" ";

using store::decimalText;

ProgressBar bar(int maximum, int position) { return {std::max(maximum, 1), position}; }

void fillItemRows(const StatisticsInput& input, StatisticsPanel& panel) {
  const store::Collection& c = input.collection;
  const std::uint16_t position = c.currentPosition;
  // An empty collection has no current item; neither has a position past the table.
  if (position >= c.header.itemCount || position >= c.table.size()) return;

  const store::ItemIndexEntry& entry = c.table[position];
  const store::ItemRecordHeader& header = c.loaded.header;
  const bool hasId = header.idLow != 0 || header.idHigh != 0;
  panel.itemLabels[0] = hasId ? u"Elem. ID:" : u"Number:";
  panel.itemValues[0] = decimalText(hasId ? header.itemId() : position + 1L);
  panel.itemValues[1] = statusText(entry.status, input.narrowScreen);
  panel.itemValues[2] =
      entry.lastRepetition != 0 ? shortDateText(entry.lastRepetition, input.dateFormat) : u"None";
  if (entry.interval == 0) {
    panel.itemValues[3] = u"None";
    panel.itemValues[4] = u"None";
    return;
  }
  panel.itemValues[3] = intervalText(entry.interval);
  // Shown as the 16-bit field holds it: a repetition due past the last day wraps around.
  const DayNumber next = store::wrappedNextRepetitionDay(entry.lastRepetition, entry.interval);
  panel.itemValues[4] =
      shortDateText(next, input.dateFormat) + u" (" + decimalText(header.repetitions) + u")";
}

}  // namespace

std::u16string statusText(std::uint8_t status, bool narrowScreen) {
  switch (static_cast<ItemStatus>(status)) {
    case ItemStatus::Pending:
      return u"Pending";
    case ItemStatus::Drill:
      return u"Drill";
    case ItemStatus::Memorized:
    case ItemStatus::Outstanding:
      return narrowScreen ? u"Memo." : u"Memorized";
    case ItemStatus::Dismissed:
      return narrowScreen ? u"Dism." : u"Dismissed";
    case ItemStatus::Deleted:
      return u"Deleted";
  }
  return kBlank;
}

std::u16string intervalText(std::uint16_t interval) {
  return decimalText(interval) + (interval == 1 ? u" day" : u" days");
}

std::u16string toRepeatText(int outstanding, int drill) {
  const int o = outstanding;
  const int d = drill;
  if ((o < 100 && d < 100) || (o < 1000 && d < 10) || (o < 10 && d < 1000)) {
    return decimalText(o) + u"+" + decimalText(d);
  }
  return decimalText(o > 0 ? o : d);
}

StatisticsPanel refreshStatistics(const StatisticsInput& input, const StatisticsPanel& previous) {
  StatisticsPanel panel = previous;
  if (input.narrowScreen && input.ratio != 0) {
    panel.visible = false;
    return panel;
  }
  panel.visible = true;
  // The labels persist: only a filled item row replaces the first one.
  panel.titleLines = {kBlank, kBlank};
  panel.statisticsValues = {kBlank, kBlank, kBlank};
  panel.bars = {};
  panel.itemValues = {kBlank, kBlank, kBlank, kBlank, kBlank};

  const store::Collection& c = input.collection;
  if (!c.isOpen) return panel;

  const int items = c.header.itemCount;
  const int memorized = c.counters.memorizedCount;
  const int outstanding = c.counters.outstandingCount;
  const int drill = c.counters.drillCount;
  const int dismissed = c.counters.dismissedCount;
  const int pending = items - dismissed - memorized;

  panel.titleLines[0] = std::u16string(input.collectionTitle);
  panel.titleLines[1] = items == 0   ? std::u16string(u"Empty")
                        : items == 1 ? u"1 item"
                                     : decimalText(items) + u" items";
  panel.statisticsValues = {decimalText(memorized), decimalText(pending),
                            toRepeatText(outstanding, drill)};
  panel.bars = {bar(items - dismissed, memorized), bar(items, pending),
                bar(drill + memorized, drill + outstanding)};

  if (!input.idle) fillItemRows(input, panel);
  return panel;
}

}  // namespace kelvora::learning
