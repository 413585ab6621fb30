// The XML reader's scanner and the Unicode check of a source work on the file's bytes, taking
// runs of ASCII in one piece. Here both are held against plain unit-by-unit readers of the same
// rules on random documents, read through buffers small enough that every run, tag and
// character is cut somewhere.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "exchange/exchange_commands.h"
#include "exchange/xml_escape.h"
#include "exchange/xml_reader.h"
#include "memory_file_system.h"
#include "store/text_stream.h"

namespace kelvora::exchange {
namespace {

using fakes::MemoryFileSystem;

// The scanner's rules taken one code unit at a time.
class UnitScanner {
 public:
  explicit UnitScanner(store::TextReader& in) : m_in(in) {}

  int readTagName() {
    m_tag.clear();
    std::optional<char16_t> c = m_in.get();
    bool closing = false;
    if (c && *c == u'/') {
      closing = true;
      c = m_in.get();
    }
    for (;;) {
      if (!c) return 0;
      if (*c == u'>') {
        const int length = static_cast<int>(m_tag.size());
        return closing ? -length : length;
      }
      if (m_tag.size() == kMaxTagName) return 0;
      m_tag.push_back(*c);
      c = m_in.get();
    }
  }
  std::u16string_view tagName() const { return m_tag; }

  bool findNextElement() {
    while (const std::optional<char16_t> c = m_in.get()) {
      if (*c != u'<') continue;
      const int length = readTagName();
      if (length > 0 && tagName() == kItemElement) return true;
      if (length < 0 && tagName() == kRootElement) return false;
    }
    return false;
  }

  bool nextChildTag(std::u16string_view parent) {
    while (const std::optional<char16_t> c = m_in.get()) {
      if (*c != u'<') continue;
      const int length = readTagName();
      if (length > 0) return true;
      if (length < 0 && tagName() == parent) return false;
    }
    return false;
  }

  std::size_t readElementText(std::u16string& destination, std::size_t capacity,
                              std::u16string_view elementName) {
    destination.clear();
    const std::size_t limit = capacity == 0 ? 0 : capacity - 1;
    std::optional<char16_t> c = m_in.get();
    while (c) {
      if (*c != u'<') {
        if (destination.size() == limit) break;
        destination.push_back(*c);
      } else {
        const int length = readTagName();
        if (length == 0) break;
        if (length < 0 && tagName() == elementName) break;
        if (destination.size() + tagName().size() + 3 >= limit) break;
        destination.push_back(u'<');
        if (length < 0) destination.push_back(u'/');
        destination.append(tagName());
        destination.push_back(u'>');
      }
      c = m_in.get();
    }
    return destination.size();
  }

 private:
  store::TextReader& m_in;
  std::u16string m_tag;
};

// Line by line: a unit from 0x8000 up, or an "&#" whose text up to the line's next ";" reads
// as one.
bool unitsNeedUnicode(MemoryFileSystem& files, const char* path, bool xml) {
  auto reader = store::openTextReader(files, path);
  std::u16string line;
  while (reader->readLine(line)) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] >= 0x8000) return true;
      if (!xml || line[i] != u'&' || i + 1 >= line.size() || line[i + 1] != u'#') continue;
      const std::size_t end = line.find(u';', i);
      if (end == std::u16string::npos) continue;
      const std::u16string unit = unescapeXmlText(std::u16string_view(line).substr(i, end - i + 1));
      if (!unit.empty() && unit[0] >= 0x8000) return true;
    }
  }
  return false;
}

// Pieces a document is made of: the element names, near misses, long and broken tags, text
// with references, line ends of every kind, characters of every length, stray bytes.
std::string randomDocument(std::mt19937& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {"<KelvoraElement>",
                                                   "</KelvoraElement>",
                                                   "</KelvoraCollection>",
                                                   "<Content>",
                                                   "</Content>",
                                                   "<Question>",
                                                   "</Question>",
                                                   "<Answer>",
                                                   "</Answer>",
                                                   "<ID>",
                                                   "</ID>",
                                                   "<LearningData>",
                                                   "</LearningData>",
                                                   "<AFactor>",
                                                   "</AFactor>",
                                                   "<Question attr=\"1\">",
                                                   "<Question/>",
                                                   "<>",
                                                   "</>",
                                                   "<",
                                                   ">",
                                                   "/",
                                                   "<!-- c -->",
                                                   "<?xml?>",
                                                   "text",
                                                   " ",
                                                   "\t",
                                                   "\r\n",
                                                   "\n",
                                                   "\r",
                                                   "\r\r\n",
                                                   "&",
                                                   "&#",
                                                   "&#32768;",
                                                   "&#98304",
                                                   ";",
                                                   "&# -1;",
                                                   "&#+40000 ;",
                                                   "&#12;34",
                                                   "&amp;",
                                                   "&lt",
                                                   "123",
                                                   "\xC3\xA9",
                                                   "\xE2\x82\xAC",
                                                   "\xE8\x80\x80",
                                                   "\xF0\x9F\x98\x80",
                                                   "\xF0\x9F",
                                                   "\x80",
                                                   "\xFF",
                                                   "\xE8\x80",
                                                   "\xEF\xBB\xBF"};
  std::string out;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::size_t which = random() % (kPieces.size() + 3);
    if (which < kPieces.size()) {
      out += kPieces[which];
    } else if (which == kPieces.size()) {
      // A tag name around the longest the scanner keeps, in plain ASCII or with a wide letter.
      const std::size_t length = kMaxTagName - 2 + random() % 5;
      out += "<" + std::string(length, 'n') + (random() % 2 ? "\xE2\x82\xAC" : "") + ">";
    } else {
      out += std::string(random() % 40, static_cast<char>('a' + random() % 26));
    }
  }
  return out;
}

TEST(XmlScanner, StepsAsTheUnitByUnitReaderDoes) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 400; ++round) {
    const std::string document = randomDocument(random, 5 + random() % 120);
    const std::size_t buffer = 8 + random() % 40;
    MemoryFileSystem files;
    files.put("/d.xml", {document.begin(), document.end()});
    store::TextReader fastIn(files.openForReading("/d.xml"), buffer);
    store::TextReader unitIn(files.openForReading("/d.xml"), buffer);
    XmlScanner fast(fastIn);
    UnitScanner unit(unitIn);
    std::u16string fastText;
    std::u16string unitText;
    for (int step = 0; step < 60; ++step) {
      const unsigned action = random() % 4;
      SCOPED_TRACE(testing::Message() << "round " << round << " step " << step << " action "
                                      << action << " buffer " << buffer);
      if (action == 0) {
        ASSERT_EQ(fast.findNextElement(), unit.findNextElement());
      } else if (action == 1) {
        ASSERT_EQ(fast.nextChildTag(kContentElement), unit.nextChildTag(kContentElement));
      } else if (action == 2) {
        ASSERT_EQ(fast.readTagName(), unit.readTagName());
      } else {
        const std::size_t capacity = random() % 2 ? kFieldCapacity : 1 + random() % 300;
        ASSERT_EQ(fast.readElementText(fastText, capacity, kQuestionElement),
                  unit.readElementText(unitText, capacity, kQuestionElement));
        ASSERT_TRUE(fastText == unitText);
      }
      ASSERT_TRUE(fast.tagName() == unit.tagName());
    }
    // What is left in the stream is the same too.
    std::u16string fastRest;
    std::u16string unitRest;
    while (auto c = fastIn.get()) fastRest.push_back(*c);
    while (auto c = unitIn.get()) unitRest.push_back(*c);
    ASSERT_TRUE(fastRest == unitRest) << "round " << round;
  }
}

TEST(XmlScanner, UnicodeCheckAgreesWithTheLineByLineOne) {
  std::mt19937 random(7);
  int needing = 0;
  for (int round = 0; round < 1500; ++round) {
    const std::string document = randomDocument(random, 1 + random() % 30);
    MemoryFileSystem files;
    files.put("/d.xml", {document.begin(), document.end()});
    files.put("/d.txt", {document.begin(), document.end()});
    const bool xml = unitsNeedUnicode(files, "/d.xml", true);
    needing += xml ? 1 : 0;
    ASSERT_EQ(sourceNeedsUnicode(files, ExchangeKind::Xml, "/d"), xml) << document;
    ASSERT_EQ(sourceNeedsUnicode(files, ExchangeKind::QaText, "/d"),
              unitsNeedUnicode(files, "/d.txt", false))
        << document;
  }
  // Both answers came up often enough to mean something.
  EXPECT_GT(needing, 300);
  EXPECT_LT(needing, 1200);
}

}  // namespace
}  // namespace kelvora::exchange
