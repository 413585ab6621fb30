// How an Anki card's scheduling becomes an item's learning data, in the store's own units: the
// interval in days, the A-factor in thousandths, the last repetition as a day number.
#pragma once

#include <cstdint>
#include <optional>

#include "store/day_number.h"
#include "store/item_record_header.h"

namespace kelvora::peers {

// A card's columns as the collection holds them, and what its review log says of it.
struct AnkiCardState {
  std::int64_t type = 0;    // 0 new, 1 learning, 2 review, 3 relearning
  std::int64_t queue = 0;   // -1 suspended, -2 and -3 buried, 0 new, 1 and 3 learning, 2 review
  std::int64_t due = 0;     // review cards: days since the collection's creation day
  std::int64_t ivl = 0;     // review cards: days
  std::int64_t factor = 0;  // permille
  std::int64_t lapses = 0;
  std::int64_t odue = 0;  // the due of a card moved into a filtered deck
  std::int64_t odid = 0;  // the deck it came from, 0 when it is in its own
  std::optional<store::DayNumber> newestReviewDay;  // local day of its newest review
  std::uint32_t passesSinceLapse = 0;               // passing reviews since its last lapse
  std::int64_t reps = 0;  // the card's own count of its reviews, for a card the log lacks
};

struct ItemLearning {
  std::uint8_t status = 0;
  std::uint16_t interval = 0;
  store::DayNumber lastRepetition = 0;
  std::uint16_t aFactor = 0;
  std::uint8_t repetitions = 0;
  std::uint8_t lapses = 0;
};

inline constexpr std::uint16_t kLowestImportedFactor = 1300;
inline constexpr std::uint16_t kHighestImportedFactor = 3300;

// The learning data of a card of a collection created on creationDay, read today. The
// repetitions are the passes since the last lapse the review log shows, or the card's own count
// of its reviews when the log has none of it (a package written without its history). A learned
// item always has at least one repetition: none would give it the first-repetition rule and
// bring a long-learned card back within days.
ItemLearning mapAnkiCard(const AnkiCardState& card, store::DayNumber creationDay,
                         store::DayNumber today);

// The header an imported item starts with: the learning data set, no ID, no lengths.
store::ItemRecordHeader importedItemHeader(const ItemLearning& learning);

}  // namespace kelvora::peers
