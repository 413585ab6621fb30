// Writes item texts in the Q&A text format: each text as prefixed lines, each item as its
// question, its answer and a blank separator line.
#pragma once

#include <string_view>

#include "exchange/qa_format.h"
#include "store/collection.h"
#include "store/progress.h"
#include "store/text_stream.h"

namespace kelvora::exchange {

// Writes text as one line per text line, each "L: " + the line + line end with L the letter
// ('Q' or 'A'). A CR LF pair, a lone CR or a lone LF breaks the text; a break at the very end
// is followed by an empty line "L: ", and an empty text gives just "L: ". A line longer than
// kQaMaxText is written as its first kQaMaxText units. Counts the text and shows the counts.
// False as soon as a line could not be written (out.ok() turned false); the text is then not
// counted.
bool writeQaText(store::TextWriter& out, char16_t letter, std::u16string_view text,
                 QaCounts& counts, store::Progress& progress);

// Writes all items of the open collection in table order, each followed by a blank line, with
// collection.progress showing the counts. Stops at the first line that could not be written;
// whether the output is complete is for the caller to learn from out.close().
void exportQaItems(store::TextWriter& out, store::Collection& collection, QaCounts& counts);

}  // namespace kelvora::exchange
