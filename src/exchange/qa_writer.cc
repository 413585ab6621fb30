// The Q&A text writer.
#include "exchange/qa_writer.h"

#include <algorithm>

#include "exchange/import_sink.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {

// The prefix ("Q: " or "A: ") and the line end go out as the bytes they are on disk.
bool writeLine(store::TextWriter& out, std::string_view prefix, std::u16string_view piece) {
  out.writeBytes(prefix);
  out.write(piece.substr(0, std::min(piece.size(), kQaMaxText)));
  out.writeBytes("\r\n");
  return out.ok();
}

}  // namespace

bool writeQaText(store::TextWriter& out, char16_t letter, std::u16string_view text,
                 QaCounts& counts, store::Progress& progress) {
  const char prefix[kQaPrefixLength] = {static_cast<char>(letter), ':', ' '};
  const std::string_view prefixView(prefix, kQaPrefixLength);
  std::size_t begin = 0;
  for (;;) {
    // Lines of ASCII are passed over four units at a time.
    std::size_t end = begin;
    for (;;) {
      end += store::asciiUnitsBefore(text.substr(end), u'\r', u'\n');
      if (end == text.size() || text[end] == u'\r' || text[end] == u'\n') break;
      ++end;
    }
    if (!writeLine(out, prefixView, text.substr(begin, end - begin))) return false;
    if (end == text.size()) break;
    // Only the line feed of a CR LF pair goes with its carriage return: any other character
    // after a lone CR belongs to the next line, and a break at the end leaves an empty one.
    const bool pair = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
    begin = end + (pair ? 2 : 1);
  }
  if (letter == kQuestionLetter) ++counts.questions;
  if (letter == kAnswerLetter) ++counts.answers;
  showQaCounts(progress, counts);
  return true;
}

void exportQaItems(store::TextWriter& out, store::Collection& collection, QaCounts& counts) {
  const std::uint16_t count = collection.header.itemCount;
  for (std::uint16_t position = 0; position < count; ++position) {
    if (collection.progress.stopAt(position, count)) return;
    readItemForExport(collection, position);
    if (!writeQaText(out, kQuestionLetter, collection.loaded.question, counts,
                     collection.progress) ||
        !writeQaText(out, kAnswerLetter, collection.loaded.answer, counts, collection.progress)) {
      return;
    }
    out.writeBytes("\r\n");
  }
}

}  // namespace kelvora::exchange
