// The XML collection reader: the tag scanner's steps, the field conversions and the import loop.
#include "exchange/xml_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "exchange/xml_escape.h"
#include "learning/calendar_date.h"
#include "learning/scheduling.h"
#include "store/item_record_header.h"
#include "store/item_status.h"
#include "store/utf16_text.h"

namespace kelvora::exchange {

namespace {

constexpr std::uint16_t kFirstYear = 1980;
constexpr std::uint16_t kLastYear = 2159;

using store::isAsciiDigit;
using store::isWhiteSpace;

// One number of a date at pos: white space, then at least one digit. Values past 65535 are held
// there; they are out of every range the caller accepts anyway.
bool readDatePart(std::u16string_view text, std::size_t& pos, std::uint32_t& value) {
  while (pos < text.size() && isWhiteSpace(text[pos])) ++pos;
  if (pos == text.size() || !isAsciiDigit(text[pos])) return false;
  value = 0;
  for (; pos < text.size() && isAsciiDigit(text[pos]); ++pos) {
    value = std::min<std::uint32_t>(value * 10 + (text[pos] - u'0'), 0xFFFF + 1);
  }
  return true;
}

// The eight texts of one element, their storage kept from element to element. A question or
// answer the quick way took stands as plain bytes of the reader's buffer instead.
struct ElementFields {
  std::u16string id, question, answer, interval, repetitions, lapses, lastRepetition, aFactor;
  std::string_view plainQuestion, plainAnswer;
  bool questionIsPlain = false;
  bool answerIsPlain = false;

  ElementFields() {
    for (std::u16string* field : smallFields()) field->reserve(kFieldCapacity);
    question.reserve(kTextCapacity);
    answer.reserve(kTextCapacity);
  }
  // The children of LearningData the reader keeps, by name.
  std::array<std::pair<std::u16string_view, std::u16string*>, 5> learningFields() {
    return {{
        {kIntervalElement, &interval},
        {kRepetitionsElement, &repetitions},
        {kLapsesElement, &lapses},
        {kLastRepetitionElement, &lastRepetition},
        {kAFactorElement, &aFactor},
    }};
  }
  std::array<std::u16string*, 6> smallFields() {
    return {&id, &interval, &repetitions, &lapses, &lastRepetition, &aFactor};
  }
  void clear() {
    for (std::u16string* field : smallFields()) field->clear();
    question.clear();
    answer.clear();
    questionIsPlain = false;
    answerIsPlain = false;
  }
  bool hasText() const {
    return (questionIsPlain ? !plainQuestion.empty() : !question.empty()) ||
           (answerIsPlain ? !plainAnswer.empty() : !answer.empty());
  }
};

bool sameName(std::string_view bytes, std::u16string_view name) {
  return bytes.size() == name.size() && std::equal(bytes.begin(), bytes.end(), name.begin());
}

// Bytes of an element the quick way looks at in one piece: a longer element is read the slow way.
constexpr std::size_t kQuickElementBytes = std::size_t{8} * 1024;

// The quick way through one element, over the bytes buffered after its start tag. It takes the
// scanner's own steps, and only as long as each is plain: every tag name ASCII without CR, not
// empty and closed within the bytes, every text kept ASCII without CR up to its own end tag and
// within its capacity, the element's end tag among the bytes. At anything else it gives up and
// the element is read the slow way; nothing has been taken from the stream then.
class BufferedElement {
 public:
  explicit BufferedElement(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  // Reads the element's children into f (cleared before) and returns how many bytes it took,
  // its end tag included; 0 when it gave up.
  std::size_t read(ElementFields& f) {
    for (;;) {
      const Step step = nextChild(kItemElement);
      if (step == Step::GiveUp) return 0;
      if (step == Step::End) return m_pos;
      std::string_view text;
      if (sameName(m_name, kIdElement)) {
        if (!readText(text, kFieldCapacity, kIdElement)) return 0;
        f.id.assign(text.begin(), text.end());
      } else if (sameName(m_name, kContentElement)) {
        if (!readContent(f)) return 0;
      } else if (sameName(m_name, kLearningDataElement)) {
        if (!readLearningData(f)) return 0;
      }
    }
  }

 private:
  enum class Step { Child, End, GiveUp };

  // As the scanner's nextChildTag: Child with its name in m_name, End at parent's end tag.
  Step nextChild(std::u16string_view parent) {
    for (;;) {
      const std::size_t open = find(m_pos, '<');
      if (open == m_bytes.size()) return Step::GiveUp;
      m_pos = open + 1;
      bool closing = false;
      if (!readName(closing)) return Step::GiveUp;
      if (!closing) return Step::Child;
      if (sameName(m_name, parent)) return Step::End;
    }
  }

  // Where the first byte equal to value stands from at on, or the end of the bytes. Most are
  // close by: sixteen bytes are looked at in one step before the rest is searched.
  std::size_t find(std::size_t at, std::uint8_t value) const {
    const std::size_t size = m_bytes.size();
    if (size - at >= 16) {
      if (const std::uint32_t marks = store::bytesEqual16(m_bytes.data() + at, value)) {
        return at + static_cast<std::size_t>(std::countr_zero(marks));
      }
      at += 16;
    }
    const void* found = std::memchr(m_bytes.data() + at, value, size - at);
    return found == nullptr
               ? size
               : static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - m_bytes.data());
  }

  // A tag name just after its "<", into m_name; false where the scanner would not read it plain.
  bool readName(bool& closing) {
    const std::size_t size = m_bytes.size();
    closing = m_pos < size && m_bytes[m_pos] == '/';
    const std::size_t start = m_pos + (closing ? 1 : 0);
    if (start >= size) return false;
    const std::uint8_t* name = m_bytes.data() + start;
    std::size_t n = 0;
    if (size - start >= 16) {
      // A name shorter than sixteen bytes, as most are, is found and checked in one step.
      const std::uint32_t closes = store::bytesEqual16(name, '>');
      n = static_cast<std::size_t>(std::countr_zero(closes | 0x10000));
      const std::uint32_t before = (std::uint32_t{1} << n) - 1;
      if (n < 16) {
        if (((store::wideBytes16(name) | store::bytesEqual16(name, '\r')) & before) != 0) {
          return false;
        }
      } else {
        n = find(start, '>') - start;
        if (n > kMaxTagName || start + n == size || !plainBytes(name, n)) return false;
      }
    } else {
      n = find(start, '>') - start;
      if (start + n == size || !plainBytes(name, n)) return false;
    }
    if (n == 0) return false;
    m_name = std::string_view(reinterpret_cast<const char*>(name), n);
    m_pos = start + n + 1;
    return true;
  }

  static bool plainBytes(const std::uint8_t* bytes, std::size_t n) {
    std::uint8_t notPlain = 0;
    for (std::size_t i = 0; i < n; ++i) notPlain |= (bytes[i] & 0x80) | (bytes[i] == '\r' ? 1 : 0);
    return notPlain == 0;
  }

  // As the scanner's readElementText, for a text that is all plain and ends at the element's
  // own end tag.
  bool readText(std::string_view& text, std::size_t capacity, std::u16string_view element) {
    const std::size_t start = m_pos;
    const std::size_t n = store::asciiRunBefore(m_bytes.subspan(start), '<', '\r');
    if (start + n == m_bytes.size() || m_bytes[start + n] != '<' || n > capacity - 1) return false;
    m_pos = start + n + 1;
    bool closing = false;
    if (!readName(closing) || !closing || !sameName(m_name, element)) return false;
    text = std::string_view(reinterpret_cast<const char*>(m_bytes.data()) + start, n);
    return true;
  }

  bool readContent(ElementFields& f) {
    for (;;) {
      const Step step = nextChild(kContentElement);
      if (step != Step::Child) return step == Step::End;
      if (sameName(m_name, kQuestionElement)) {
        if (!readText(f.plainQuestion, kTextCapacity, kQuestionElement)) return false;
        f.questionIsPlain = true;
      } else if (sameName(m_name, kAnswerElement)) {
        if (!readText(f.plainAnswer, kTextCapacity, kAnswerElement)) return false;
        f.answerIsPlain = true;
      }
    }
  }

  bool readLearningData(ElementFields& f) {
    const auto fields = f.learningFields();
    for (;;) {
      const Step step = nextChild(kLearningDataElement);
      if (step != Step::Child) return step == Step::End;
      for (const auto& [fieldName, field] : fields) {
        if (sameName(m_name, fieldName)) {
          std::string_view text;
          if (!readText(text, kFieldCapacity, fieldName)) return false;
          field->assign(text.begin(), text.end());
          break;
        }
      }
    }
  }

  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
  std::string_view m_name;
};

void readContent(XmlScanner& scanner, ElementFields& f) {
  while (scanner.nextChildTag(kContentElement)) {
    const std::u16string_view name = scanner.tagName();
    if (name == kQuestionElement) {
      scanner.readElementText(f.question, kTextCapacity, kQuestionElement);
    } else if (name == kAnswerElement) {
      scanner.readElementText(f.answer, kTextCapacity, kAnswerElement);
    }
  }
}

void readLearningData(XmlScanner& scanner, ElementFields& f) {
  const auto fields = f.learningFields();
  while (scanner.nextChildTag(kLearningDataElement)) {
    const std::u16string_view name = scanner.tagName();
    for (const auto& [fieldName, text] : fields) {
      if (name == fieldName) {
        scanner.readElementText(*text, kFieldCapacity, fieldName);
        break;
      }
    }
  }
}

// The children of an element, step by step through the scanner. They may come in any order,
// and a repeated one replaces the earlier text.
void readElementSlowly(XmlScanner& scanner, ElementFields& f) {
  while (scanner.nextChildTag(kItemElement)) {
    const std::u16string_view name = scanner.tagName();
    if (name == kIdElement) {
      scanner.readElementText(f.id, kFieldCapacity, kIdElement);
    } else if (name == kContentElement) {
      readContent(scanner, f);
    } else if (name == kLearningDataElement) {
      readLearningData(scanner, f);
    }
  }
}

std::uint64_t lowBits(std::u16string_view text) {
  return static_cast<std::uint64_t>(readXmlInteger(text));
}

std::uint8_t importedStatus(const ElementFields& f, const store::ItemRecordHeader& h,
                            store::DayNumber today) {
  using store::ItemStatus;
  if (f.aFactor.empty()) return code(ItemStatus::Dismissed);
  const std::uint32_t due = store::nextRepetitionDay(h.lastRepetition, h.interval);
  if (h.repetitions > 0)
    return code(due <= today ? ItemStatus::Outstanding : ItemStatus::Memorized);
  if (h.lapses > 0) return code(due <= today ? ItemStatus::Drill : ItemStatus::Memorized);
  return code(ItemStatus::Pending);
}

store::ItemRecordHeader importedHeader(const ElementFields& f, store::DayNumber today) {
  store::ItemRecordHeader h;
  // An ID field holds at most 15 characters, so its value is exact; a negative one is no ID.
  const std::int64_t id = readXmlInteger(f.id);
  if (id > 0) {
    h.idLow = static_cast<std::uint16_t>(id % store::kIdBase);
    h.idHigh = static_cast<std::uint8_t>((id / store::kIdBase) & 0xFF);
  }
  h.interval = static_cast<std::uint16_t>(lowBits(f.interval) & 0xFFFF);
  h.repetitions = static_cast<std::uint8_t>(lowBits(f.repetitions) & 0xFF);
  h.lapses = static_cast<std::uint8_t>(lowBits(f.lapses) & 0xFF);
  h.lastRepetition = readXmlDate(f.lastRepetition);
  h.aFactor = readXmlAFactor(f.aFactor);
  h.status = importedStatus(f, h, today);
  return h;
}

void showParsing(store::Progress& progress, std::uint16_t itemCount) {
  if (!progress.isOpen()) return;
  progress.setProgressText(u"Parsing XML: " + store::decimalText(itemCount));
}

}  // namespace

int XmlScanner::readTagNameSlow() {
  m_tagLength = 0;
  bool closing = false;
  const std::span<const std::uint8_t> bytes = m_in.bufferedBytes();
  const std::size_t at = !bytes.empty() && bytes[0] == '/' ? 1 : 0;
  const std::uint8_t* name = bytes.data() + at;
  const std::size_t most = bytes.empty() ? 0 : std::min(bytes.size() - at, kMaxTagName + 1);
  const void* end = most == 0 ? nullptr : std::memchr(name, '>', most);
  if (end != nullptr) {
    const auto n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - name);
    std::uint8_t notPlain = 0;
    for (std::size_t i = 0; i < n; ++i) notPlain |= (name[i] & 0x80) | (name[i] == '\r' ? 1 : 0);
    if (notPlain == 0) return takeName(name, at, n);
  }
  std::optional<char16_t> c = m_in.get();
  if (c && *c == u'/') {
    closing = true;
    c = m_in.get();
  }
  for (;;) {
    if (!c) return 0;
    if (*c == u'>') {
      const int length = static_cast<int>(m_tagLength);
      return closing ? -length : length;
    }
    if (m_tagLength == kMaxTagName) return 0;
    m_tag[m_tagLength++] = *c;
    c = m_in.get();
  }
}

bool XmlScanner::skipPastTagOpeningSlow() {
  for (;;) {
    const std::span<const std::uint8_t> bytes = m_in.bufferedBytes();
    if (bytes.empty()) {
      const std::optional<char16_t> c = m_in.get();
      if (!c) return false;
      if (*c == u'<') return true;
      continue;
    }
    const void* found = std::memchr(bytes.data(), '<', bytes.size());
    if (found == nullptr) {
      m_in.skipBytes(bytes.size());
      continue;
    }
    m_in.skipBytes(
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data()) + 1);
    return true;
  }
}

bool XmlScanner::findNextElement() {
  while (skipPastTagOpening()) {
    const int length = readTagName();
    if (length > 0 && tagName() == kItemElement) return true;
    if (length < 0 && tagName() == kRootElement) return false;
  }
  return false;
}

bool XmlScanner::nextChildTag(std::u16string_view parent) {
  while (skipPastTagOpening()) {
    const int length = readTagName();
    if (length > 0) return true;
    if (length < 0 && tagName() == parent) return false;
  }
  return false;
}

std::size_t XmlScanner::readElementText(std::u16string& destination, std::size_t capacity,
                                        std::u16string_view elementName) {
  destination.clear();
  const std::size_t limit = capacity == 0 ? 0 : capacity - 1;
  for (;;) {
    // Text of plain ASCII up to the next tag is copied in one piece, as far as there is room.
    const std::span<const std::uint8_t> bytes = m_in.bufferedBytes();
    const std::size_t room = limit - std::min(limit, destination.size());
    const std::size_t n =
        store::asciiRunBefore(bytes.first(std::min(bytes.size(), room)), '<', '\r');
    store::appendAscii(destination, bytes.first(n));
    m_in.skipBytes(n);
    const std::optional<char16_t> c = m_in.get();
    if (!c) break;
    if (*c != u'<') {
      if (destination.size() == limit) break;
      destination.push_back(*c);
      continue;
    }
    const int length = readTagName();
    if (length == 0) break;
    if (length < 0 && tagName() == elementName) break;
    if (destination.size() + tagName().size() + 3 >= limit) break;
    destination.push_back(u'<');
    if (length < 0) destination.push_back(u'/');
    destination.append(tagName());
    destination.push_back(u'>');
  }
  return destination.size();
}

store::DayNumber readXmlDate(std::u16string_view text) {
  std::size_t pos = 0;
  std::array<std::uint32_t, 3> parts{};  // day, month, year
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      if (pos == text.size() || text[pos] != u'.') return 0;
      ++pos;
    }
    if (!readDatePart(text, pos, parts[i])) return 0;
  }
  const auto [day, month, year] = parts;
  if (month < 1 || month > 12 || day < 1 ||
      day > static_cast<std::uint32_t>(learning::monthLength(year, month)))
    return 0;
  if (year < kFirstYear) return 0;
  if (year > kLastYear) return learning::kLastDay;
  return learning::dateToDay(static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month),
                             static_cast<std::uint16_t>(day));
}

std::uint16_t readXmlAFactor(std::u16string_view text) {
  const double thousandths = std::trunc(readXmlReal(text) * 1000.0);
  int exported = 0;
  if (thousandths >= static_cast<double>(INT_MAX)) {
    exported = INT_MAX;
  } else if (thousandths <= static_cast<double>(INT_MIN)) {
    exported = INT_MIN;
  } else if (!std::isnan(thousandths)) {
    exported = static_cast<int>(thousandths);
  }
  return learning::importAFactor(exported);
}

bool importXmlItems(store::TextReader& in, ItemSink& sink, store::DayNumber today,
                    store::Progress& progress, bool firstHalf) {
  const std::uint64_t share = firstHalf ? 2 : 1;
  XmlScanner scanner(in);
  ElementFields f;
  std::u16string question;
  std::u16string answer;
  for (;;) {
    f.clear();
    if (!scanner.findNextElement()) return true;
    if (const std::size_t taken =
            BufferedElement(in.bufferedBytesAtLeast(kQuickElementBytes)).read(f)) {
      in.skipBytes(taken);
    } else {
      f.clear();
      readElementSlowly(scanner, f);
    }
    if (f.hasText()) {
      if (sink.full()) return true;
      // A text without "&" is its own unescaped form.
      const auto unescaped = [](const std::u16string& text, std::u16string& out) {
        if (store::findUnit(text, u'&') == text.size()) return std::u16string_view(text);
        unescapeXmlText(text, out);
        return std::u16string_view(out);
      };
      const auto text = [&](bool isPlain, std::string_view plain, std::u16string& units,
                            std::u16string& out) {
        if (!isPlain) return ImportText(unescaped(units, out));
        if (plain.find('&') == std::string_view::npos) return ImportText::plain(plain);
        units.assign(plain.begin(), plain.end());
        unescapeXmlText(units, out);
        return ImportText(std::u16string_view(out));
      };
      if (!sink.append(importedHeader(f, today),
                       text(f.questionIsPlain, f.plainQuestion, f.question, question),
                       text(f.answerIsPlain, f.plainAnswer, f.answer, answer))) {
        return false;
      }
      showParsing(progress, sink.itemCount());
      if (progress.stopAt(in.bytesRead(), in.fileLength() * share)) return false;
    }
    if (in.atEnd()) return true;
  }
}

}  // namespace kelvora::exchange
