// The XML collection reader: a forgiving streaming tag scanner, not a general XML parser. It
// looks only for the element names of xml_format.h, skips everything else and takes any other
// markup inside a question or answer into that text. Memory use does not grow with the file.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "exchange/import_sink.h"
#include "exchange/xml_format.h"
#include "store/day_number.h"
#include "store/progress.h"
#include "store/text_stream.h"

namespace kelvora::exchange {

// The reader's steps, each taking characters from the one input stream.
class XmlScanner {
 public:
  explicit XmlScanner(store::TextReader& in) : m_in(in) {}

  // Reads a tag name just after its "<": everything up to ">", a leading "/" marking a closing
  // tag. Attributes, a trailing "/" and white space belong to the name, and a declaration or
  // comment reads as an opening tag whose name begins with "?" or "!". Returns the name's
  // length, negative for a closing tag; 0 (no tag) at the end of the stream, for an empty
  // name, and when the name would pass kMaxTagName units, in which case the rest of the tag is
  // left in the stream.
  int readTagName() {
    // A name of plain ASCII that closes within the next sixteen bytes, as most do, is taken in
    // one step; anything else is read by readTagNameSlow.
    const std::span<const std::uint8_t> bytes = m_in.bufferedBytes();
    if (bytes.size() >= 17) {
      const std::size_t at = bytes[0] == '/' ? 1 : 0;
      const std::uint8_t* name = bytes.data() + at;
      const std::uint32_t closes = store::bytesEqual16(name, '>');
      const auto n = static_cast<std::size_t>(std::countr_zero(closes | 0x10000));
      const std::uint32_t before = (std::uint32_t{1} << n) - 1;
      if (n < 16 && ((store::wideBytes16(name) | store::bytesEqual16(name, '\r')) & before) == 0) {
        return takeName(name, at, n);
      }
    }
    return readTagNameSlow();
  }
  // The name the last readTagName stored.
  std::u16string_view tagName() const { return {m_tag.data(), m_tagLength}; }

  // Skips to the next KelvoraElement start tag: true there; false at the root end tag or the end
  // of the stream.
  bool findNextElement();

  // Skips to the next opening tag, true with its name in tagName(); false at the closing tag of
  // parent or the end of the stream. Text and other closing tags are skipped.
  bool nextChildTag(std::u16string_view parent);

  // Reads the text of the element whose start tag was just read into destination, keeping at
  // most capacity - 1 units (capacity >= 1), and returns its length. The element's end tag is
  // the normal end. Other tags are kept in the text as "<name>" or "</name>", and only while
  // the text's length plus the name's plus 3 stays below capacity - 1. Reading stops early,
  // leaving the rest of the element in the stream, at a full text, a tag that cannot be kept or
  // read, or the end of the stream. destination keeps its storage from call to call.
  std::size_t readElementText(std::u16string& destination, std::size_t capacity,
                              std::u16string_view elementName);

 private:
  // Takes everything up to and including the next "<"; false at the end of the stream. Between
  // tags there is mostly a line end and an indent: sixteen bytes are looked at in one step
  // before the rest is searched.
  bool skipPastTagOpening() {
    const std::span<const std::uint8_t> bytes = m_in.bufferedBytes();
    if (bytes.size() >= 16) {
      if (const std::uint32_t opens = store::bytesEqual16(bytes.data(), '<')) {
        m_in.skipBytes(static_cast<std::size_t>(std::countr_zero(opens)) + 1);
        return true;
      }
      m_in.skipBytes(16);
    }
    return skipPastTagOpeningSlow();
  }
  bool skipPastTagOpeningSlow();
  int readTagNameSlow();
  // Keeps the n plain ASCII bytes at name (after at bytes of "/") as the tag's name and takes
  // them and the ">" after them from the stream; returns readTagName's result.
  int takeName(const std::uint8_t* name, std::size_t at, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) m_tag[i] = name[i];
    m_tagLength = n;
    m_in.skipBytes(at + n + 1);
    const int length = static_cast<int>(n);
    return at == 1 ? -length : length;
  }

  store::TextReader& m_in;
  std::array<char16_t, kMaxTagName> m_tag;
  std::size_t m_tagLength = 0;
};

// LastRepetition: "day.month.year", each a run of decimal digits after optional white space,
// anything after the year ignored. Text that is not three such numbers, a month outside 1..12
// or a day outside its month reads as 0 (no date); a date before 1 January 1980 reads as 0 and
// one after 4 June 2159 as 65535.
store::DayNumber readXmlDate(std::u16string_view text);

// AFactor: the number read, times 1000.0, truncated toward zero and held within int, then
// turned into a stored factor in 1300..3300.
std::uint16_t readXmlAFactor(std::u16string_view text);

// Reads the whole document and appends one item per KelvoraElement that has a question or an
// answer, in document order, until the root end tag, the end of the stream or a full
// collection. today (taken once by the caller) decides the status of items with learning data.
// Shows "Parsing XML: n" with the new item count after each item. False when the sink refused
// an item (a record could not be written) or the work was stopped; the sink's finish() is left
// to the caller. With firstHalf the reading is the first half of a longer work, and the
// progress shown goes up to one half.
bool importXmlItems(store::TextReader& in, ItemSink& sink, store::DayNumber today,
                    store::Progress& progress, bool firstHalf = false);

}  // namespace kelvora::exchange
