// The Q&A text reader.
#include "exchange/qa_reader.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "store/item_status.h"

namespace kelvora::exchange {

namespace {

// Of a line only the prefix and the longest text a target can take ever matter.
constexpr std::size_t kLineKept = kQaPrefixLength + kQaMaxText;

// Reads one whole line without its end, keeping at most kLineKept code units of it, so that a
// long line neither splits into two nor makes memory grow. False at the end of the stream.
bool readBoundedLine(store::TextReader& in, std::u16string& line) {
  line.clear();
  std::optional<char16_t> unit = in.get();
  if (!unit) return false;
  for (; unit && *unit != u'\n'; unit = in.get()) {
    if (line.size() < kLineKept) line.push_back(*unit);
  }
  return true;
}

// "Q:" or "A:", then a blank or the end of the line. The last line of a file may lack its line
// end, so "Q:" there still counts.
bool isPairLine(std::u16string_view line) {
  return line.size() >= 2 && (line[0] == kQuestionLetter || line[0] == kAnswerLetter) &&
         line[1] == u':' && (line.size() == 2 || line[2] == u' ');
}

// Adds one line to a text. Every line after the first goes after a CR LF, so that leading and
// trailing empty lines come back as written; the text is cut at kQaMaxText.
void appendLine(std::u16string& target, bool first, std::u16string_view text) {
  if (!first && target.size() < kQaMaxText) target += u"\r\n";
  if (target.size() < kQaMaxText) {
    target.append(text.substr(0, std::min(text.size(), kQaMaxText - target.size())));
  }
  if (target.size() > kQaMaxText) target.resize(kQaMaxText);
}

bool readPair(store::TextReader& in, std::u16string& line, std::u16string& question,
              std::u16string& answer, QaCounts& counts, store::Progress& progress) {
  question.clear();
  answer.clear();
  bool questionTaken = false;
  bool answerTaken = false;
  bool inAnswer = false;
  while (readBoundedLine(in, line) && isPairLine(line)) {
    if (line[0] == kAnswerLetter) inAnswer = true;
    const std::u16string_view text =
        std::u16string_view(line).substr(std::min(line.size(), kQaPrefixLength));
    bool& taken = inAnswer ? answerTaken : questionTaken;
    appendLine(inAnswer ? answer : question, !taken, text);
    taken = true;
  }
  if (!questionTaken && !answerTaken) return false;
  ++counts.questions;
  ++counts.answers;
  showQaCounts(progress, counts);
  return true;
}

}  // namespace

bool readQaPair(store::TextReader& in, std::u16string& question, std::u16string& answer,
                QaCounts& counts, store::Progress& progress) {
  std::u16string line;
  return readPair(in, line, question, answer, counts, progress);
}

bool importQaItems(store::TextReader& in, ItemSink& sink, QaCounts& counts,
                   store::Progress& progress) {
  std::u16string line;
  std::u16string question;
  std::u16string answer;
  line.reserve(kLineKept);
  question.reserve(kQaMaxText);
  answer.reserve(kQaMaxText);
  const store::ItemRecordHeader header = store::newItemHeader();
  while (!sink.full()) {
    if (!readPair(in, line, question, answer, counts, progress)) return true;
    if (!sink.append(header, std::u16string_view(question), std::u16string_view(answer)))
      return false;
    if (progress.stopAt(in.bytesRead(), in.fileLength())) return false;
  }
  return true;
}

}  // namespace kelvora::exchange
