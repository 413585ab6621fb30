// Reading an Anki collection database: its note types (as JSON in the col table up to schema
// 11, in tables of their own with protobuf settings in the newer schemas), its notes and cards,
// and from the review log each card's newest review and passes since its last lapse.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "peers/anki_mapping.h"
#include "peers/peer_ports.h"
#include "store/day_number.h"

namespace kelvora::peers {

// The newest collection schema read; a newer one is refused rather than misread.
inline constexpr std::int64_t kNewestAnkiSchema = 18;

// One card as the item it becomes: texts as UTF-8 HTML, and its keys in the source.
struct AnkiItem {
  std::string question;
  std::string answer;
  ItemLearning learning;
  std::string noteGuid;
  std::int64_t templateOrdinal = 0;
  std::int64_t cardId = 0;
};

// What was read, and what the collection had that items cannot keep.
struct AnkiReport {
  std::int64_t schema = 0;
  std::size_t cardsInCollection = 0;    // known before the first card is handed over
  std::size_t cards = 0;                // cards handed over as items
  std::size_t renderedFirstFields = 0;  // cards whose templates could not be rendered
  std::size_t cardsWithoutNote = 0;     // left out: their note is missing
  std::size_t reviewRows = 0;           // the review history, not kept beyond each card's state
  std::size_t decks = 0;
  std::size_t notesWithTags = 0;
  std::size_t notesWithMoreFields = 0;  // notes with fields past the second
};

enum class AnkiRead {
  Whole,         // every card handed over
  Stopped,       // item() asked to stop
  Broken,        // the database is not an Anki collection or could not be read; error says why
  NewerSchema,   // made by a newer Anki than is known: report.schema says which
  TooManyCards,  // more cards with notes than maxCards: report.cardsInCollection says how many
};

// Reads the collection in db and hands over its cards in the order they become items: cards
// that have been studied first, by note and template, then new cards in the order of the new
// queue. today and localDay give the day numbers of the learning data. A collection of more
// than maxCards cards with notes is refused before its cards, notes or review log are loaded.
AnkiRead readAnkiCollection(Database& db,
                            const std::function<store::DayNumber(std::int64_t)>& localDay,
                            store::DayNumber today, std::size_t maxCards, AnkiReport& report,
                            std::string& error, const std::function<bool(const AnkiItem&)>& item);

}  // namespace kelvora::peers
