// Renders an Anki card's question and answer from its note type's templates and its note's
// fields, and tells the importer which texts hold HTML markup.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace kelvora::peers {

// One field of a note, both views UTF-8 and kept alive by the caller for the call. The value is
// HTML.
struct NoteField {
  std::string_view name;
  std::string_view value;
};

struct RenderedCard {
  std::string question;  // UTF-8 HTML
  std::string answer;    // UTF-8 HTML: what the answer side shows besides the question
  // The templates could not be rendered: question is the first field's value and answer the
  // second's (each empty when the note has no such field), both as they stand.
  bool fellBack = false;
};

// Sections nest at most this deep, and so do cloze deletions inside one another; deeper falls
// back.
inline constexpr std::size_t kAnkiMaxNesting = 64;
// A side rendered longer than this many bytes (before trimming) falls back; nothing is cut.
inline constexpr std::size_t kAnkiMaxSideBytes = std::size_t{1} << 20;
// A field tag with more filters than this falls back.
inline constexpr std::size_t kAnkiMaxFilters = 8;
// Bytes of field values that the filters of one card may read, both sides together; past it the
// card falls back. It bounds the work of a template that filters one huge field many times.
inline constexpr std::size_t kAnkiMaxFilterWork = std::size_t{8} << 20;

// Renders the card with the given template ordinal (0-based) of a standard note type, or for a
// cloze note type the card of cloze number cardOrdinal + 1. Tags: {{Field}}, {{FrontSide}} (answer
// only), sections {{#Field}} / {{^Field}} ... {{/Field}}, and the filters cloze:, type: (also
// type:cloze: and type:nc:), hint: and text:, chained right to left. The cloze deletions of the
// card show "[...]" in the question and their text, unmarked, in the answer; a hint is never
// shown. A leading {{FrontSide}} of the answer template, with an <hr id=answer> after it, is left
// out. Both sides are trimmed of ASCII white space. Anything else falls back (see RenderedCard),
// as does a cloze card whose question shows no deletion of its number through a cloze filter.
// Duplicate field names: the first field of a name is the one used.
RenderedCard renderCard(std::string_view questionFormat, std::string_view answerFormat,
                        std::span<const NoteField> fields, int cardOrdinal, bool cloze);

// The text of an HTML fragment: tags and comments removed, with the content of <style> and
// <script> elements; &amp; &lt; &gt; &quot; &apos; &nbsp; and numeric references (&#N; &#xH;, at
// most ten digits) decoded to UTF-8, a reference to 0, a surrogate or past U+10FFFF giving U+FFFD.
// Other text, including a '<' that begins no tag and an unknown entity, is kept. The result is
// never longer than html.
struct HtmlTextOptions {
  bool breaksAsLines = false;  // a <br> and the end of a <div>, <p>, <li> or <tr> give a line feed
  bool imageNames = false;     // an <img> gives its src attribute, with a blank on either side
};
std::string htmlToText(std::string_view html, HtmlTextOptions options = {});

// Whether text holds a tag (a '<' followed by a letter, "/" and a letter, '!' or '?', up to a
// later '>'), a comment, or an entity reference (&name; &#N; &#xH;). When it holds none,
// htmlToText(text) == text.
bool holdsMarkup(std::string_view text);

}  // namespace kelvora::peers
