// Any bytes as a note type's templates and a note's fields: rendering must neither crash nor
// break the rules a card's two sides keep, and the HTML helpers must agree with each other.
// Input: a flags byte (bit 0: a cloze note type; the other bits, less one, the card ordinal),
// then NUL-separated parts: question template, answer template, then field name and value pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "peers/anki_template.h"

using namespace kelvora::peers;

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

void checkSide(const std::string& side) {
  if (side.size() > kAnkiMaxSideBytes) std::abort();
  if (!side.empty() && (isBlank(side.front()) || isBlank(side.back()))) std::abort();
}

void checkHtmlHelpers(std::string_view html) {
  const std::string text = htmlToText(html);
  if (text.size() > html.size()) std::abort();
  if (!holdsMarkup(html) && text != html) std::abort();
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): the name libFuzzer looks for
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool cloze = data[0] & 1;
  const int ordinal = (data[0] >> 1) - 1;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<std::string_view> parts;
  for (std::size_t pos = 0;;) {
    const std::size_t end = input.find('\0', pos);
    parts.push_back(input.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  const std::string_view questionFormat = parts[0];
  const std::string_view answerFormat = parts.size() > 1 ? parts[1] : std::string_view();
  std::vector<NoteField> fields;
  for (std::size_t i = 2; i < parts.size(); i += 2) {
    fields.push_back({parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string_view()});
  }

  const RenderedCard card = renderCard(questionFormat, answerFormat, fields, ordinal, cloze);
  const RenderedCard again = renderCard(questionFormat, answerFormat, fields, ordinal, cloze);
  if (again.question != card.question || again.answer != card.answer ||
      again.fellBack != card.fellBack) {
    std::abort();
  }

  if (card.fellBack) {
    if (card.question != (fields.empty() ? std::string_view() : fields[0].value)) std::abort();
    if (card.answer != (fields.size() < 2 ? std::string_view() : fields[1].value)) std::abort();
  } else {
    checkSide(card.question);
    checkSide(card.answer);
    // Without braces a template is all text, copied as it stands.
    if (!cloze && questionFormat.find('{') == std::string_view::npos &&
        answerFormat.find('{') == std::string_view::npos &&
        (card.question != trimmed(questionFormat) || card.answer != trimmed(answerFormat))) {
      std::abort();
    }
    // A cloze card is only made when its question hides one of its deletions; text: may drop
    // the "[...]" with the tag around it, so templates using it are left out.
    if (cloze && questionFormat.find("text") == std::string_view::npos &&
        card.question.find("[...]") == std::string::npos) {
      std::abort();
    }
    // Every "{{" of a template begins a tag, so when no field can bring a '{' (or an entity
    // that text: decodes to one) none is left in the question, nor in an answer that shows a
    // question without '{'.
    bool bracesFromFields = false;
    for (const NoteField& f : fields) {
      if (f.value.find_first_of("{&") != std::string_view::npos) bracesFromFields = true;
    }
    if (!bracesFromFields) {
      if (card.question.find("{{") != std::string::npos) std::abort();
      if (card.question.find('{') == std::string::npos &&
          card.answer.find("{{") != std::string::npos) {
        std::abort();
      }
    }
  }

  checkHtmlHelpers(questionFormat);
  for (const NoteField& f : fields) checkHtmlHelpers(f.value);
  return 0;
}
