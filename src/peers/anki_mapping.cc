// Card scheduling to learning data.
#include "peers/anki_mapping.h"

#include <algorithm>

#include "learning/calendar_date.h"
#include "store/collection_format.h"
#include "store/item_status.h"

namespace kelvora::peers {
namespace {

store::DayNumber heldDay(std::int64_t day) {
  return static_cast<store::DayNumber>(
      std::clamp<std::int64_t>(day, learning::kFirstDay, learning::kLastDay));
}

}  // namespace

ItemLearning mapAnkiCard(const AnkiCardState& card, store::DayNumber creationDay,
                         store::DayNumber today) {
  ItemLearning item;
  item.aFactor = card.factor == 0
                     ? store::kNewItemAFactor
                     : static_cast<std::uint16_t>(std::clamp<std::int64_t>(
                           card.factor, kLowestImportedFactor, kHighestImportedFactor));
  item.lapses = static_cast<std::uint8_t>(std::clamp<std::int64_t>(card.lapses, 0, 255));
  const std::int64_t counted =
      card.newestReviewDay ? std::int64_t{card.passesSinceLapse} : card.reps;
  const auto repetitions = static_cast<std::uint8_t>(std::clamp<std::int64_t>(counted, 1, 255));
  if (card.type == 2) {
    item.status = store::code(store::ItemStatus::Memorized);
    item.interval = static_cast<std::uint16_t>(std::clamp<std::int64_t>(card.ivl, 1, 0xFFFF));
    if (card.newestReviewDay) {
      item.lastRepetition = *card.newestReviewDay;
    } else {
      // Due on its day counted from the collection's creation: last seen an interval before.
      const std::int64_t due = card.odid != 0 ? card.odue : card.due;
      item.lastRepetition = heldDay(std::int64_t{creationDay} + due - item.interval);
    }
    item.repetitions = repetitions;
  } else if (card.type == 3) {
    // Forgotten and being learned again: due a day after it was last seen, yesterday when the
    // log does not say.
    item.status = store::code(store::ItemStatus::Memorized);
    item.interval = 1;
    item.lastRepetition =
        card.newestReviewDay ? *card.newestReviewDay : heldDay(std::int64_t{today} - 1);
    item.repetitions = repetitions;
  } else {
    // New, or in its first learning steps: it has never graduated.
    item.status = store::code(store::ItemStatus::Pending);
    item.aFactor = store::kNewItemAFactor;
    item.lapses = 0;
  }
  if (card.queue == -1) item.status = store::code(store::ItemStatus::Dismissed);
  return item;
}

store::ItemRecordHeader importedItemHeader(const ItemLearning& learning) {
  store::ItemRecordHeader header = store::newItemHeader();
  header.status = learning.status;
  header.interval = learning.interval;
  header.lastRepetition = learning.lastRepetition;
  header.aFactor = learning.aFactor;
  header.repetitions = learning.repetitions;
  header.lapses = learning.lapses;
  return header;
}

}  // namespace kelvora::peers
