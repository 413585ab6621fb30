// The XML collection writer. Each call gathers its lines as the file's bytes in a buffer on the
// stack and hands them to the text stream in large pieces.
#include "exchange/xml_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <string_view>

#include "exchange/xml_escape.h"
#include "exchange/xml_format.h"
#include "learning/calendar_date.h"
#include "learning/scheduling.h"
#include "store/item_status.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {

// Indents of the templates: children of the root, of the element, and below that.
constexpr std::size_t kRootChild = 2;
constexpr std::size_t kElementChild = 4;
constexpr std::size_t kInnerChild = 6;

// The writer's output as the file's own bytes: everything it writes is ASCII (a character
// above 127 goes out as a reference), and each "\n" of the templates and of the texts becomes
// CR LF here, so the text stream takes whole blocks of bytes.
class LineBuffer {
 public:
  explicit LineBuffer(store::TextWriter& out) : m_out(out) {}
  ~LineBuffer() { flush(); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  // The templates' own text, all ASCII.
  void text(std::u16string_view s) {
    if (m_size + 2 * s.size() + kRoom >= m_buffer.size()) {
      flush();
      if (2 * s.size() + kRoom >= m_buffer.size()) {  // longer than any template: piece by piece
        for (std::size_t at = 0; at < s.size(); at += 1024) text(s.substr(at, 1024));
        return;
      }
    }
    char* out = m_buffer.data() + m_size;
    for (const char16_t unit : s) {
      if (unit == u'\n') *out++ = '\r';
      *out++ = static_cast<char>(unit);
    }
    m_size = static_cast<std::size_t>(out - m_buffer.data());
  }

  void spaces(std::size_t count) {
    if (m_size + count + kRoom > m_buffer.size()) flush();
    std::fill_n(m_buffer.data() + m_size, count, ' ');
    m_size += count;
  }

  // An item text: runs that need no escape are copied unit for byte, the rest as
  // escapeXmlUnit has them.
  void escaped(std::u16string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
      if (m_size + kRoom >= m_buffer.size()) flush();
      const std::size_t limit = std::min(s.size() - i, m_buffer.size() - kRoom - m_size);
      char* out = m_buffer.data() + m_size;
      std::size_t n = 0;
      while (n < limit) {
        const char16_t unit = s[i + n];
        if (unit >= 0x80 || unit == u'<' || unit == u'>' || unit == u'&' || unit == u'\n') break;
        out[n++] = static_cast<char>(unit);
      }
      m_size += n;
      i += n;
      if (i == s.size() || n == limit) continue;
      const char16_t unit = s[i++];
      if (unit == u'\n') {
        m_buffer[m_size++] = '\r';
        m_buffer[m_size++] = '\n';
        continue;
      }
      std::array<char16_t, kMaxEscapedUnit> piece{};
      const std::size_t length = escapeXmlUnit(unit, piece);
      for (std::size_t k = 0; k < length; ++k) m_buffer[m_size++] = static_cast<char>(piece[k]);
    }
  }

  // A decimal number, zero-padded to width as "%0*d" does (a minus sign counts in the width).
  void number(long long value, std::size_t width = 0) {
    if (m_size + kRoom + width > m_buffer.size()) flush();
    const unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::array<char, 24> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), magnitude).ptr;
    const auto length = static_cast<std::size_t>(end - digits.data());
    const std::size_t used = length + (value < 0 ? 1 : 0);
    if (value < 0) m_buffer[m_size++] = '-';
    for (std::size_t k = used; k < width; ++k) m_buffer[m_size++] = '0';
    std::copy_n(digits.data(), length, m_buffer.data() + m_size);
    m_size += length;
  }

  // A value in thousandths as "%.3f" shows value * 0.001: for whole thousandths below 2^16 the
  // product lies within far less than half a unit of the third decimal, so the digits are
  // exactly these.
  void thousandths(unsigned value) {
    number(value / 1000);
    text(u".");
    number(value % 1000, 3);
  }

  void flush() {
    if (m_size == 0) return;
    m_out.writeBytes({m_buffer.data(), m_size});
    m_size = 0;
  }

 private:
  // Room kept free for the longest piece one step writes: an escaped unit, a number, a line end.
  static constexpr std::size_t kRoom = 32;

  store::TextWriter& m_out;
  std::array<char, 16384> m_buffer;
  std::size_t m_size = 0;
};

void startTagLine(LineBuffer& b, std::size_t indent, std::u16string_view name) {
  b.spaces(indent);
  b.text(u"<");
  b.text(name);
  b.text(u">\n");
}

void endTagLine(LineBuffer& b, std::size_t indent, std::u16string_view name) {
  b.spaces(indent);
  b.text(u"</");
  b.text(name);
  b.text(u">\n");
}

// The opening of a one-line element "<name>value</name>"; fieldEnd closes it.
void fieldStart(LineBuffer& b, std::size_t indent, std::u16string_view name) {
  b.spaces(indent);
  b.text(u"<");
  b.text(name);
  b.text(u">");
}

void fieldEnd(LineBuffer& b, std::u16string_view name) {
  b.text(u"</");
  b.text(name);
  b.text(u">\n");
}

void numberField(LineBuffer& b, std::size_t indent, std::u16string_view name, long long value) {
  fieldStart(b, indent, name);
  b.number(value);
  fieldEnd(b, name);
}

void factorField(LineBuffer& b, std::u16string_view name, unsigned value) {
  fieldStart(b, kInnerChild, name);
  b.thousandths(value);
  fieldEnd(b, name);
}

void writeLearningData(LineBuffer& b, const store::ItemRecordHeader& h) {
  startTagLine(b, kElementChild, kLearningDataElement);
  if (h.interval != 0) numberField(b, kInnerChild, kIntervalElement, h.interval);
  numberField(b, kInnerChild, kRepetitionsElement, h.repetitions);
  numberField(b, kInnerChild, kLapsesElement, h.lapses);
  if (h.lastRepetition != 0) {
    const learning::CalendarDate date = learning::dayToDate(h.lastRepetition);
    fieldStart(b, kInnerChild, kLastRepetitionElement);
    b.number(date.day, 2);
    b.text(u".");
    b.number(date.month, 2);
    b.text(u".");
    b.number(date.year);
    fieldEnd(b, kLastRepetitionElement);
  }
  factorField(b, kAFactorElement, learning::exportAFactor(h.aFactor));
  factorField(b, kUFactorElement, learning::exportUFactor(h.aFactor, h.repetitions));
  endTagLine(b, kElementChild, kLearningDataElement);
}

void showWriting(store::Progress& progress, std::uint16_t slotNumber) {
  if (!progress.isOpen()) return;
  progress.setProgressText(u"Writing XML: " + store::decimalText(slotNumber));
}

}  // namespace

void writeXmlHeader(store::TextWriter& out, std::uint16_t itemCount, const XmlTime& now) {
  LineBuffer b(out);
  b.text(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
  b.text(u"<!-- Created ");
  b.number(now.year);
  b.text(u"-");
  b.number(now.month, 2);
  b.text(u"-");
  b.number(now.day, 2);
  b.text(u" ");
  b.number(now.hour);
  b.text(u":");
  b.number(now.minute, 2);
  b.text(u" by KelvoraCE 3.0, build May 28, 2004 -->\n");
  startTagLine(b, 0, kRootElement);
  numberField(b, kRootChild, kCountElement, itemCount);
}

void writeXmlItem(store::TextWriter& out, const store::LoadedItem& item,
                  store::Progress& progress) {
  const store::ItemRecordHeader& h = item.header;
  {
    LineBuffer b(out);
    startTagLine(b, kRootChild, kItemElement);
    if (h.idLow != 0 || h.idHigh != 0) numberField(b, kElementChild, kIdElement, h.itemId());
    fieldStart(b, kElementChild, kTypeElement);
    b.text(u"Item");
    fieldEnd(b, kTypeElement);
    startTagLine(b, kElementChild, kContentElement);
    fieldStart(b, kInnerChild, kQuestionElement);
    b.escaped(item.question);
    fieldEnd(b, kQuestionElement);
    fieldStart(b, kInnerChild, kAnswerElement);
    b.escaped(item.answer);
    fieldEnd(b, kAnswerElement);
    endTagLine(b, kElementChild, kContentElement);
    if (h.status != store::code(store::ItemStatus::Dismissed)) writeLearningData(b, h);
    endTagLine(b, kRootChild, kItemElement);
  }
  showWriting(progress, h.slotNumber);
}

void writeXmlFooter(store::TextWriter& out) {
  LineBuffer b(out);
  endTagLine(b, 0, kRootElement);
}

}  // namespace kelvora::exchange
