// The XML collection writer. Each call gathers its lines in a buffer on the stack and hands
// them to the text stream in large pieces; "\n" goes out as the stream's line end.
#include "exchange/xml_writer.h"

#include <array>
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

class LineBuffer {
 public:
  explicit LineBuffer(store::TextWriter& out) : m_out(out) {}
  ~LineBuffer() { flush(); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

  void text(std::u16string_view s) {
    if (m_size + s.size() > m_buffer.size()) flush();
    if (s.size() > m_buffer.size()) {
      m_out.write(s);
      return;
    }
    s.copy(m_buffer.data() + m_size, s.size());
    m_size += s.size();
  }

  void spaces(std::size_t count) {
    constexpr std::u16string_view kSpaces = u"        ";
    text(kSpaces.substr(0, count));
  }

  void escaped(std::u16string_view s) {
    for (const char16_t unit : s) {
      if (m_size + kMaxEscapedUnit > m_buffer.size()) flush();
      m_size += escapeXmlUnit(
          unit, std::span<char16_t, kMaxEscapedUnit>(&m_buffer[m_size], kMaxEscapedUnit));
    }
  }

  // A decimal number, zero-padded to width as "%0*d" does (a minus sign counts in the width).
  void number(long long value, std::size_t width = 0) { text(store::decimalText(value, width)); }

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
    m_out.write({m_buffer.data(), m_size});
    m_size = 0;
  }

 private:
  store::TextWriter& m_out;
  std::array<char16_t, 4096> m_buffer;
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
