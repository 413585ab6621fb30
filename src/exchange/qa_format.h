// The Q&A text format shared by its writer and reader: the line prefixes, the length limits and
// the two progress counts. doc/qa_format.md describes the format with a byte example.
#pragma once

#include <cstddef>
#include <string>

#include "store/collection_format.h"
#include "store/progress.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

// A text line is "Q: " or "A: " (letter, colon, blank) and one line of the text; "Q:" or "A:"
// alone is a line of an empty text.
inline constexpr char16_t kQuestionLetter = u'Q';
inline constexpr char16_t kAnswerLetter = u'A';
inline constexpr std::size_t kQaPrefixLength = 3;

// Longest piece written after a prefix, and longest text read, in UTF-16 code units.
inline constexpr std::size_t kQaMaxText = store::MaxTextLength - 1;

// Texts written or read so far in one import or export, for the progress line.
struct QaCounts {
  int questions = 0;
  int answers = 0;
};

// Shows "Q: n  -  A: m" on the progress line when the window is open.
inline void showQaCounts(store::Progress& progress, const QaCounts& counts) {
  if (!progress.isOpen()) return;
  progress.setProgressText(u"Q: " + store::decimalText(counts.questions) + u"  -  A: " +
                           store::decimalText(counts.answers));
}

}  // namespace kelvora::exchange
