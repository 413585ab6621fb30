// The XML collection reader: the tag scanner's steps, the field conversions and the import loop.
#include "exchange/xml_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
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

// The eight texts of one element, their storage kept from element to element.
struct ElementFields {
  std::u16string id, question, answer, interval, repetitions, lapses, lastRepetition, aFactor;

  ElementFields() {
    for (std::u16string* field : smallFields()) field->reserve(kFieldCapacity);
    question.reserve(kTextCapacity);
    answer.reserve(kTextCapacity);
  }
  std::array<std::u16string*, 6> smallFields() {
    return {&id, &interval, &repetitions, &lapses, &lastRepetition, &aFactor};
  }
  void clear() {
    for (std::u16string* field : smallFields()) field->clear();
    question.clear();
    answer.clear();
  }
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
  const std::array<std::pair<std::u16string_view, std::u16string*>, 5> fields = {{
      {kIntervalElement, &f.interval},
      {kRepetitionsElement, &f.repetitions},
      {kLapsesElement, &f.lapses},
      {kLastRepetitionElement, &f.lastRepetition},
      {kAFactorElement, &f.aFactor},
  }};
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

bool importXmlItems(store::TextReader& in, ImportSink& sink, store::DayNumber today,
                    store::Progress& progress) {
  XmlScanner scanner(in);
  ElementFields f;
  std::u16string question;
  std::u16string answer;
  for (;;) {
    f.clear();
    if (!scanner.findNextElement()) return true;
    // Children may come in any order, and a repeated one replaces the earlier text.
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
    if (!f.question.empty() || !f.answer.empty()) {
      if (sink.full()) return true;
      // A text without "&" is its own unescaped form.
      const auto unescaped = [](const std::u16string& text, std::u16string& out) {
        if (store::findUnit(text, u'&') == text.size()) return std::u16string_view(text);
        unescapeXmlText(text, out);
        return std::u16string_view(out);
      };
      if (!sink.append(importedHeader(f, today), unescaped(f.question, question),
                       unescaped(f.answer, answer))) {
        return false;
      }
      showParsing(progress, sink.itemCount());
      if (progress.stopAt(in.bytesRead(), in.fileLength())) return false;
    }
    if (in.atEnd()) return true;
  }
}

}  // namespace kelvora::exchange
