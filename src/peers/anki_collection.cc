// A collection read in four walks: note types, review log, notes, cards; then the cards are
// put in item order and rendered one by one.
#include "peers/anki_collection.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "peers/anki_template.h"
#include "peers/json_reader.h"
#include "peers/protobuf_reader.h"

namespace kelvora::peers {
namespace {

constexpr char kFieldSeparator = '\x1f';

struct NoteType {
  bool cloze = false;
  std::vector<std::string> fieldNames;  // by ordinal
  // By ordinal; a template the note type lacks has both formats empty.
  std::vector<std::pair<std::string, std::string>> templates;
};

struct Note {
  std::int64_t noteType = 0;
  std::string guid;
  std::string fields;  // separated by 0x1F
  std::string tags;    // blank-separated
};

// Fields every card has besides its note's: the note's tags, and names of its deck and template
// that an item has no use for, given as empty.
constexpr std::string_view kCardFieldNames[] = {"Deck", "Subdeck", "Card", "Type", "CardFlag"};

struct Card {
  std::int64_t id = 0;
  std::int64_t note = 0;
  std::int64_t ordinal = 0;
  AnkiCardState state;
};

struct ReviewSummary {
  std::int64_t newestMs = -1;
  std::uint32_t passes = 0;
};

// Ordinals are held to what a note type can sensibly have, so a hostile one cannot make a
// vector of billions of entries.
constexpr std::int64_t kMaxOrdinal = 1000;

void putAt(std::vector<std::string>& names, std::int64_t ordinal, std::string name) {
  if (ordinal < 0 || ordinal >= kMaxOrdinal) return;
  const auto at = static_cast<std::size_t>(ordinal);
  if (names.size() <= at) names.resize(at + 1);
  names[at] = std::move(name);
}

void putTemplate(NoteType& type, std::int64_t ordinal, std::string question, std::string answer) {
  if (ordinal < 0 || ordinal >= kMaxOrdinal) return;
  const auto at = static_cast<std::size_t>(ordinal);
  if (type.templates.size() <= at) type.templates.resize(at + 1);
  type.templates[at] = {std::move(question), std::move(answer)};
}

bool noteTypesFromJson(std::string_view models, std::unordered_map<std::int64_t, NoteType>& types,
                       std::string& error) {
  const auto document = parseJson(models, &error);
  if (!document || document->kind != JsonValue::Kind::Object) {
    if (error.empty()) error = "the note types are not a JSON object";
    error = "the collection's note types cannot be read: " + error;
    return false;
  }
  for (const auto& [key, model] : document->members) {
    NoteType type;
    const JsonValue* id = model.find("id");
    std::int64_t typeId = id != nullptr ? id->integer() : 0;
    if (typeId == 0) {
      // The key is the note type's ID as text, when the id member does not say it.
      JsonValue keyText;
      keyText.kind = JsonValue::Kind::String;
      keyText.text = key;
      typeId = keyText.integer();
    }
    const JsonValue* kind = model.find("type");
    type.cloze = kind != nullptr && kind->integer() == 1;
    if (const JsonValue* fields = model.find("flds")) {
      for (std::size_t i = 0; i < fields->items.size(); ++i) {
        const JsonValue& field = fields->items[i];
        const JsonValue* name = field.find("name");
        const JsonValue* ord = field.find("ord");
        putAt(type.fieldNames,
              ord != nullptr ? ord->integer(static_cast<std::int64_t>(i))
                             : static_cast<std::int64_t>(i),
              name != nullptr ? name->string() : std::string());
      }
    }
    if (const JsonValue* templates = model.find("tmpls")) {
      for (std::size_t i = 0; i < templates->items.size(); ++i) {
        const JsonValue& t = templates->items[i];
        const JsonValue* ord = t.find("ord");
        const JsonValue* q = t.find("qfmt");
        const JsonValue* a = t.find("afmt");
        putTemplate(type,
                    ord != nullptr ? ord->integer(static_cast<std::int64_t>(i))
                                   : static_cast<std::int64_t>(i),
                    q != nullptr ? q->string() : std::string(),
                    a != nullptr ? a->string() : std::string());
      }
    }
    types[typeId] = std::move(type);
  }
  return true;
}

bool noteTypesFromTables(Database& db, std::unordered_map<std::int64_t, NoteType>& types,
                         std::string& error) {
  bool ok = db.query(
      "SELECT id, config FROM notetypes",
      [&](const DatabaseRow& row) {
        NoteType& type = types[row.integer(0)];
        ProtoReader config(row.blob(1));
        ProtoField field;
        while (config.next(field)) {
          if (field.number == 1 && field.type == WireType::Varint) type.cloze = field.value == 1;
        }
        return true;
      },
      error);
  ok = ok && db.query(
                 "SELECT ntid, ord, name FROM fields",
                 [&](const DatabaseRow& row) {
                   const auto at = types.find(row.integer(0));
                   if (at != types.end())
                     putAt(at->second.fieldNames, row.integer(1), std::string(row.text(2)));
                   return true;
                 },
                 error);
  ok = ok && db.query(
                 "SELECT ntid, ord, config FROM templates",
                 [&](const DatabaseRow& row) {
                   const auto at = types.find(row.integer(0));
                   if (at == types.end()) return true;
                   std::string question;
                   std::string answer;
                   ProtoReader config(row.blob(2));
                   ProtoField field;
                   while (config.next(field)) {
                     if (field.type != WireType::Bytes) continue;
                     if (field.number == 1) question = field.text();
                     if (field.number == 2) answer = field.text();
                   }
                   putTemplate(at->second, row.integer(1), std::move(question), std::move(answer));
                   return true;
                 },
                 error);
  if (!ok) error = "the collection's note types cannot be read: " + error;
  return ok;
}

// Review log rows are walked in their table's order, which is the order of their IDs, the
// moments they were made: a lapse starts the count of passes again. reviews holds an entry for
// each card that becomes an item; the rows of other cards are passed over.
bool summarizeReviews(Database& db, std::unordered_map<std::int64_t, ReviewSummary>& reviews,
                      std::size_t& rows, std::string& error) {
  return db.query(
      "SELECT cid, id, ease, type FROM revlog",
      [&](const DatabaseRow& row) {
        ++rows;
        const std::int64_t ease = row.integer(2);
        const std::int64_t kind = row.integer(3);
        // Ease 0 marks a change made by hand (a reschedule), not a review.
        if (ease < 1) return true;
        const auto card = reviews.find(row.integer(0));
        if (card == reviews.end()) return true;
        ReviewSummary& summary = card->second;
        summary.newestMs = std::max(summary.newestMs, row.integer(1));
        // Reviews proper (1) and reviews in a filtered deck (3) count; learning steps do not.
        if (kind == 1 || kind == 3) {
          if (ease == 1) {
            summary.passes = 0;
          } else {
            ++summary.passes;
          }
        }
        return true;
      },
      error);
}

std::vector<std::string_view> splitFields(std::string_view fields) {
  std::vector<std::string_view> out;
  while (true) {
    const std::size_t at = fields.find(kFieldSeparator);
    out.push_back(fields.substr(0, at));
    if (at == std::string_view::npos) return out;
    fields.remove_prefix(at + 1);
  }
}

}  // namespace

AnkiRead readAnkiCollection(Database& db,
                            const std::function<store::DayNumber(std::int64_t)>& localDay,
                            store::DayNumber today, std::size_t maxCards, AnkiReport& report,
                            std::string& error, const std::function<bool(const AnkiItem&)>& item) {
  std::int64_t creationSeconds = 0;
  std::string models;
  bool haveCol = false;
  // A damaged database shows as soon as its schema is read: said so, not taken for another kind.
  if (!db.query(
          "SELECT name FROM sqlite_master", [](const DatabaseRow&) { return true; }, error)) {
    error = "the collection cannot be read (" + error + ")";
    return AnkiRead::Broken;
  }
  if (!db.hasTable("col") || !db.hasTable("notes") || !db.hasTable("cards")) {
    error = "the database is not an Anki collection";
    return AnkiRead::Broken;
  }
  if (!db.query(
          "SELECT ver, crt, models FROM col",
          [&](const DatabaseRow& row) {
            report.schema = row.integer(0);
            creationSeconds = row.integer(1);
            models.assign(row.text(2));
            haveCol = true;
            return false;
          },
          error)) {
    error = "the collection cannot be read: " + error;
    return AnkiRead::Broken;
  }
  if (!haveCol) {
    error = "the collection has no settings row";
    return AnkiRead::Broken;
  }
  if (report.schema > kNewestAnkiSchema) return AnkiRead::NewerSchema;

  // Cards and notes are held in memory while the items are made: how many there are is known,
  // and checked, before any is loaded.
  std::int64_t allCards = 0;
  std::int64_t withNotes = 0;
  if (!db.query(
          "SELECT count(*), (SELECT count(*) FROM cards WHERE nid IN (SELECT id FROM notes)) "
          "FROM cards",
          [&](const DatabaseRow& row) {
            allCards = row.integer(0);
            withNotes = row.integer(1);
            return false;
          },
          error)) {
    error = "the cards cannot be read: " + error;
    return AnkiRead::Broken;
  }
  if (withNotes > static_cast<std::int64_t>(maxCards)) {
    report.cardsInCollection = static_cast<std::size_t>(withNotes);
    return AnkiRead::TooManyCards;
  }
  report.cardsWithoutNote =
      static_cast<std::size_t>(std::max<std::int64_t>(0, allCards - withNotes));

  std::unordered_map<std::int64_t, NoteType> types;
  const bool tables = db.hasTable("notetypes");
  if (tables ? !noteTypesFromTables(db, types, error) : !noteTypesFromJson(models, types, error)) {
    return AnkiRead::Broken;
  }
  if (db.hasTable("decks") &&
      !db.query(
          "SELECT count(*) FROM decks",
          [&](const DatabaseRow& row) {
            report.decks = static_cast<std::size_t>(std::max<std::int64_t>(0, row.integer(0)));
            return false;
          },
          error)) {
    error = "the decks cannot be read: " + error;
    return AnkiRead::Broken;
  }

  std::unordered_map<std::int64_t, Note> notes;
  if (!db.query(
          "SELECT id, guid, mid, flds, tags FROM notes WHERE id IN (SELECT nid FROM cards)",
          [&](const DatabaseRow& row) {
            Note& note = notes[row.integer(0)];
            note.guid.assign(row.text(1));
            note.noteType = row.integer(2);
            note.fields.assign(row.text(3));
            const std::string_view tags = row.text(4);
            const std::size_t first = tags.find_first_not_of(' ');
            if (first != std::string_view::npos) {
              ++report.notesWithTags;
              note.tags.assign(tags.substr(first, tags.find_last_not_of(' ') - first + 1));
            }
            if (std::count(note.fields.begin(), note.fields.end(), kFieldSeparator) >= 2) {
              ++report.notesWithMoreFields;
            }
            return true;
          },
          error)) {
    error = "the notes cannot be read: " + error;
    return AnkiRead::Broken;
  }

  std::vector<Card> cards;
  if (!db.query(
          "SELECT id, nid, ord, type, queue, due, ivl, factor, lapses, odue, odid, reps "
          "FROM cards WHERE nid IN (SELECT id FROM notes)",
          [&](const DatabaseRow& row) {
            Card card;
            card.id = row.integer(0);
            card.note = row.integer(1);
            card.ordinal = row.integer(2);
            card.state.type = row.integer(3);
            card.state.queue = row.integer(4);
            card.state.due = row.integer(5);
            card.state.ivl = row.integer(6);
            card.state.factor = row.integer(7);
            card.state.lapses = row.integer(8);
            card.state.odue = row.integer(9);
            card.state.odid = row.integer(10);
            card.state.reps = row.integer(11);
            cards.push_back(card);
            return true;
          },
          error)) {
    error = "the cards cannot be read: " + error;
    return AnkiRead::Broken;
  }
  std::unordered_map<std::int64_t, ReviewSummary> reviews;
  reviews.reserve(cards.size());
  for (const Card& card : cards) reviews.emplace(card.id, ReviewSummary{});
  if (db.hasTable("revlog") && !summarizeReviews(db, reviews, report.reviewRows, error)) {
    error = "the review log cannot be read: " + error;
    return AnkiRead::Broken;
  }
  // Studied cards by note and template; new ones after them, in the new queue's order.
  std::stable_sort(cards.begin(), cards.end(), [](const Card& a, const Card& b) {
    const bool aNew = a.state.type == 0;
    const bool bNew = b.state.type == 0;
    if (aNew != bNew) return bNew;
    if (aNew && a.state.due != b.state.due) return a.state.due < b.state.due;
    if (a.note != b.note) return a.note < b.note;
    return a.ordinal < b.ordinal;
  });

  report.cardsInCollection = cards.size();
  const store::DayNumber creationDay = localDay(creationSeconds);
  AnkiItem out;
  std::vector<NoteField> fields;
  for (Card& card : cards) {
    const auto note = notes.find(card.note);
    if (note == notes.end()) {
      ++report.cardsWithoutNote;
      continue;
    }
    if (const auto r = reviews.find(card.id); r != reviews.end() && r->second.newestMs >= 0) {
      card.state.newestReviewDay = localDay(r->second.newestMs / 1000);
      card.state.passesSinceLapse = r->second.passes;
    }
    out.learning = mapAnkiCard(card.state, creationDay, today);
    out.noteGuid = note->second.guid;
    out.templateOrdinal = card.ordinal;
    out.cardId = card.id;

    const std::vector<std::string_view> values = splitFields(note->second.fields);
    const auto type = types.find(note->second.noteType);
    bool rendered = false;
    if (type != types.end()) {
      const NoteType& t = type->second;
      fields.clear();
      for (std::size_t i = 0; i < values.size(); ++i) {
        fields.push_back(
            NoteField{i < t.fieldNames.size() ? std::string_view(t.fieldNames[i]) : "", values[i]});
      }
      // After the note's own, so that a field of the same name wins.
      fields.push_back(NoteField{"Tags", note->second.tags});
      for (const std::string_view name : kCardFieldNames) fields.push_back(NoteField{name, {}});
      const std::size_t which = t.cloze ? 0 : static_cast<std::size_t>(card.ordinal);
      if (card.ordinal >= 0 && which < t.templates.size() && !t.templates[which].first.empty()) {
        RenderedCard r = renderCard(t.templates[which].first, t.templates[which].second, fields,
                                    static_cast<int>(card.ordinal), t.cloze);
        // A card whose question renders empty shows nothing to answer: the fields stand in.
        if (!r.fellBack && !r.question.empty()) {
          out.question = std::move(r.question);
          out.answer = std::move(r.answer);
          rendered = true;
        }
      }
    }
    if (!rendered) {
      ++report.renderedFirstFields;
      out.question.assign(values.empty() ? std::string_view{} : values[0]);
      out.answer.assign(values.size() < 2 ? std::string_view{} : values[1]);
    }
    if (!item(out)) return AnkiRead::Stopped;
    ++report.cards;
  }
  return AnkiRead::Whole;
}

}  // namespace kelvora::peers
