// Reads the Q&A text format: pairs of question and answer lines, each pair one new item.
#pragma once

#include <string>

#include "exchange/import_sink.h"
#include "exchange/qa_format.h"
#include "store/progress.h"
#include "store/text_stream.h"

namespace kelvora::exchange {

// Reads the next pair into question and answer: "Q:" and "A:" lines up to the first line that
// is neither, which is taken from the stream and dropped. The first "A:" line turns the rest of
// the pair into answer lines. The lines of a text are joined with CR LF and the text is cut to
// kQaMaxText code units. True when at least one pair line was taken; then both counts grow by
// one and are shown.
bool readQaPair(store::TextReader& in, std::u16string& question, std::u16string& answer,
                QaCounts& counts, store::Progress& progress);

// Appends one new, never learned item per pair until the stream ends, a line that cannot begin
// a pair is met, or the collection is full. False only when a record could not be written; the
// sink's finish() is left to the caller.
bool importQaItems(store::TextReader& in, ItemSink& sink, QaCounts& counts,
                   store::Progress& progress);

}  // namespace kelvora::exchange
