// Reads the vocabulary files of Parley and KWordQuiz (KVTML 2): each entry as a question and an
// answer in two of the file's identifiers (languages), with the learning progress of that
// direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvora::peers {

// Elements nested deeper than this, the root counting as one, make the file unreadable.
inline constexpr std::size_t kKvtmlMaxDepth = 256;
// Grades above this are held to it: the learner's boxes end there.
inline constexpr std::uint8_t kKvtmlMaxBox = 7;

// A calendar date, month 1..12 and day valid in that month, year 1..9999.
struct KvtmlDate {
  std::uint16_t year;
  std::uint8_t month, day;
};

struct KvtmlEntry {
  // The entry's id attribute, entities expanded and otherwise as written (not normalised as a
  // number), so that a later import of the same file can match its entries.
  std::string id;
  // Texts of the two identifiers' translations, surrounding white space trimmed, line breaks LF.
  std::u16string question;
  std::u16string answer;
  bool inactive = false;
  // Of the grade the answer's translation holds for being asked from the question identifier:
  // currentgrade held to kKvtmlMaxBox, 0 when there is no such grade.
  std::uint8_t box = 0;
  std::optional<KvtmlDate> date;            // absent when the grade has no valid date
  std::uint16_t count = 0, errorCount = 0;  // held to 65535
};

// Identifier ids of the direction to read. Both -1: the first two identifiers in document order;
// one -1: the first identifier in document order other than the one given.
struct KvtmlPair {
  int question = -1;
  int answer = -1;
};

struct KvtmlReport {
  std::vector<std::pair<int, std::u16string>> identifiers;  // id and name, in document order
  std::size_t entries = 0;                                  // entries handed to the caller
  std::size_t entriesWithoutText = 0;  // skipped: the question's or the answer's text is empty
  std::u16string error;                // why the file could not be read; empty when it could
};

// Reads a whole KVTML 2 document held in `bytes` (UTF-8, a byte order mark allowed). The report is
// cleared first. Returns false with report.error set, before handing over any entry, when the
// bytes are not a KVTML 2 document: markup broken or cut short, nesting deeper than
// kKvtmlMaxDepth, no <kvtml> root, a version other than 2.x, an encoding other than UTF-8, fewer
// than two identifiers, or a pair naming an identifier the file lacks or one identifier twice.
// Otherwise hands each entry having both texts to entry() in document order and returns true,
// or returns false with report.error empty as soon as entry() returns false.
bool readKvtml(std::string_view bytes, const KvtmlPair& pair, KvtmlReport& report,
               const std::function<bool(const KvtmlEntry&)>& entry);

}  // namespace kelvora::peers
