// The XML collection format: the exact bytes the writer produces, the forgiving reader's rules,
// the field conversions and status table, the limits, and a whole export and import round trip.
#include <gtest/gtest.h>

#include <charconv>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "doc_page.h"
#include "exchange/import_sink.h"
#include "exchange/xml_escape.h"
#include "exchange/xml_reader.h"
#include "exchange/xml_writer.h"
#include "memory_file_system.h"
#include "recording_messages.h"
#include "store/collection.h"
#include "store/collection_opening.h"
#include "store/item_status.h"

namespace kelvora::exchange {
namespace {

using store::ItemRecordHeader;
using store::ItemStatus;

constexpr store::DayNumber kToday = 9000;    // 21 August 2004
constexpr store::DayNumber kAug14th = 8993;  // 14 August 2004

struct Item {
  ItemRecordHeader header;
  std::u16string question;
  std::u16string answer;
};

class ProgressLines final : public store::ProgressWindow {
 public:
  bool show() override { return true; }
  void hide() override {}
  void setLine(std::u16string_view text) override { lines.emplace_back(text); }
  std::vector<std::u16string> lines;
};

std::string element(std::string_view children) {
  return "<KelvoraElement>" + std::string(children) + "</KelvoraElement>";
}

std::string content(std::string_view question, std::string_view answer) {
  return "<Content><Question>" + std::string(question) + "</Question><Answer>" +
         std::string(answer) + "</Answer></Content>";
}

// LearningData with the given texts; an empty text leaves its element out.
std::string learningData(std::string_view interval, std::string_view repetitions,
                         std::string_view lapses, std::string_view last, std::string_view aFactor) {
  std::string out = "<LearningData>";
  auto add = [&out](std::string_view name, std::string_view text) {
    if (!text.empty())
      out += "<" + std::string(name) + ">" + std::string(text) + "</" + std::string(name) + ">";
  };
  add("Interval", interval);
  add("Repetitions", repetitions);
  add("Lapses", lapses);
  add("LastRepetition", last);
  add("AFactor", aFactor);
  return out + "<UFactor>9.999</UFactor></LearningData>";
}

ItemRecordHeader learning(ItemStatus status, std::uint16_t interval, std::uint8_t repetitions,
                          std::uint8_t lapses, store::DayNumber last, std::uint16_t aFactor) {
  ItemRecordHeader h;
  h.status = code(status);
  h.interval = interval;
  h.repetitions = repetitions;
  h.lapses = lapses;
  h.lastRepetition = last;
  h.aFactor = aFactor;
  return h;
}

ItemRecordHeader withId(ItemRecordHeader h, std::uint16_t idLow, std::uint8_t idHigh) {
  h.idLow = idLow;
  h.idHigh = idHigh;
  return h;
}

// Writes a whole document for the items, their slot numbers counting from 7.
std::string exportXml(const std::vector<Item>& items, store::Progress& progress) {
  fakes::MemoryFileSystem files;
  auto out = store::createTextWriter(files, "/out.xml");
  writeXmlHeader(*out, static_cast<std::uint16_t>(items.size()), {2004, 8, 5, 9, 7});
  for (std::size_t i = 0; i < items.size(); ++i) {
    store::LoadedItem loaded{items[i].header, items[i].question, items[i].answer};
    loaded.header.slotNumber = static_cast<std::uint16_t>(i + 7);
    writeXmlItem(*out, loaded, progress);
  }
  writeXmlFooter(*out);
  EXPECT_TRUE(out->close());
  const auto& bytes = files.bytes("/out.xml");
  return {bytes.begin(), bytes.end()};
}

struct Imported {
  bool ok = false;
  std::vector<Item> items;
  std::vector<std::u16string> progressLines;
  store::Bytes texts;  // the texts file as the import installed it
};

// Imports the document into a new collection (Unicode unless utf8 is 0, the form
// that holds 9999 ASCII units), then opens it, which builds its index, and reads every item.
// The document is read bufferBytes at a time.
Imported importXml(const std::string& document, std::uint8_t utf8 = 1,
                   std::size_t bufferBytes = store::kTextBufferBytes) {
  fakes::MemoryFileSystem files;
  fakes::RecordingMessages messages;
  ProgressLines window;
  store::Collection c(files, messages, [] { return kToday; });
  c.settings.utf8 = utf8;
  files.put("/doc.xml", {document.begin(), document.end()});
  Imported result;
  EXPECT_TRUE(c.openForReplacing("/x"));
  c.progress.setWindow(&window);
  c.progress.openProgress();
  {
    store::TextReader in(files.openForReading("/doc.xml"), bufferBytes);
    ImportSink sink(c);
    result.ok = importXmlItems(in, sink, kToday, c.progress);
    result.ok = sink.finish() && result.ok;
  }
  c.progress.closeProgress();
  EXPECT_TRUE(c.installImportedTexts());
  result.texts = files.bytes("/x.kdb");
  EXPECT_TRUE(store::openCollection(c, "/x"));
  for (std::uint16_t p = 0; p < c.header.itemCount; ++p) {
    c.currentPosition = p;
    EXPECT_TRUE(c.readItem(p));
    result.items.push_back({c.loaded.header, c.loaded.question, c.loaded.answer});
  }
  result.progressLines = window.lines;
  return result;
}

TEST(XmlWriter, WritesTheDocumentLineForLine) {
  ProgressLines window;
  store::Progress progress;
  progress.setWindow(&window);
  progress.openProgress();
  const std::string document = exportXml(
      {
          {learning(ItemStatus::Memorized, 12, 1, 1, kAug14th, 2500), u"q", u"a"},
          {learning(ItemStatus::Pending, 0, 0, 0, 0, 1300), u"q", u""},
      },
      progress);
  // Beside the format page's example (which pins the ID, the escapes and CR CR LF): a single
  // repetition's U-factor, and a Pending item with no interval and no date.
  for (const char* line :
       {"<UFactor>1.000</UFactor>\r\n", "<Answer></Answer>\r\n", "<UFactor>1.300</UFactor>\r\n"}) {
    EXPECT_NE(document.find(line), std::string::npos) << line;
  }
  const std::string pending = document.substr(document.rfind("<KelvoraElement>"));
  EXPECT_EQ(pending.find("<Interval>"), std::string::npos);
  EXPECT_EQ(pending.find("<LastRepetition>"), std::string::npos);
  EXPECT_EQ(window.lines, (std::vector<std::u16string>{u"Writing XML: 7", u"Writing XML: 8"}));
}

// A text longer than any buffer, with every kind of unit the escapes treat at every distance
// from the buffers' edges, comes out as the escape rule has it, unit by unit.
TEST(XmlWriter, LongTextsAreEscapedUnitByUnit) {
  std::u16string text;
  const char16_t units[] = {u'x', u'<', u'>', u'&', u'\n', u'\r', 0xE9, 0xFFFF, u'"'};
  for (std::size_t i = 0; text.size() < 70000; ++i) {
    text.append(i % 7, u'a');
    text.push_back(units[i % std::size(units)]);
  }
  store::Progress progress;
  const std::string document =
      exportXml({{learning(ItemStatus::Pending, 0, 0, 0, 0, 2500), text, u"plain"}}, progress);
  std::string expected = "<Question>";
  for (const char16_t unit : escapeXmlText(text)) {
    if (unit == u'\n') {
      expected += "\r\n";
    } else {
      expected.push_back(static_cast<char>(unit));
    }
  }
  expected += "</Question>\r\n      <Answer>plain</Answer>\r\n";
  EXPECT_NE(document.find(expected), std::string::npos);
}

TEST(XmlFormatPage, ExampleDocument) {
  const std::vector<std::vector<std::string>> blocks =
      testing::fencedBlocks(testing::docPage("xml_format.md"));
  ASSERT_EQ(blocks.size(), 3u);  // the templates, the example document, its bytes
  fakes::MemoryFileSystem files;
  store::Progress progress;
  auto out = store::createTextWriter(files, "/out.xml");
  writeXmlHeader(*out, 2, {2004, 8, 21, 9, 5});
  const Item items[] = {
      {withId(learning(ItemStatus::Memorized, 12, 3, 1, kAug14th, 2500), 4465, 1), u"caf\u00E9 <b>",
       u"one\r\ntwo"},
      {learning(ItemStatus::Dismissed, 0, 0, 0, 0, 2500), u"\U0001F600", u"R&D"},
  };
  for (const Item& item : items) {
    writeXmlItem(*out, store::LoadedItem{item.header, item.question, item.answer}, progress);
  }
  writeXmlFooter(*out);
  ASSERT_TRUE(out->close());
  const std::vector<std::uint8_t>& bytes = files.bytes("/out.xml");
  EXPECT_EQ(bytes.size(), 792u);
  EXPECT_TRUE(testing::dumpMatches(testing::hexLines(blocks[2]), bytes));
  // Without its carriage returns the document reads as the page shows it.
  std::string withoutCr;
  for (const std::uint8_t b : bytes) {
    if (b != '\r') withoutCr += static_cast<char>(b);
  }
  std::string shown;
  for (const std::string& line : blocks[1]) shown += line + "\n";
  EXPECT_EQ(withoutCr, shown);
}

TEST(XmlEscape, UnescapeUndoesEscapeAndReadsForeignForms) {
  const std::u16string_view mixed = u"\u00e9<>&\r\n\t\"' \U0001F600\uffff\u0080";
  EXPECT_EQ(escapeXmlText(mixed), u"&#233;&lt;&gt;&amp;\r\n\t\"' &#55357;&#56832;&#65535;&#128;");
  EXPECT_EQ(unescapeXmlText(escapeXmlText(mixed)), mixed);
  // "&#x42;" reads as 0 and ends the text; a reference runs to the next ";" and takes the
  // low 16 bits of its leading digits; the unit after "&lt" is dropped unseen.
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"&#65;&#x42;tail", u"A"}, {u"&#65 and so on;x", u"Ax"},         {u"&#65601;", u"A"},
      {u"a&#65", u"a&#65"},       {u"&quot; AT&T &", u"&quot; AT&T &"}, {u"&ltb&gtx", u"<>"},
      {u"x&lt", u"x<"},
  };
  for (const auto& [text, unescaped] : cases) EXPECT_EQ(unescapeXmlText(text), unescaped);
}

TEST(XmlNumbers, ReadDecimalsRealsFactorsAndDates) {
  // Digits beyond 64 bits wrap: 2^64 + 1 reads as 1.
  const std::pair<std::u16string_view, std::int64_t> integers[] = {
      {u" \t42x", 42}, {u"-7", -7}, {u"+5", 5}, {u"- 1", 0}, {u"18446744073709551617", 1},
  };
  for (const auto& [text, value] : integers) EXPECT_EQ(readXmlInteger(text), value);

  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<std::u16string_view, double> reals[] = {
      {u" -2.5e1", -25.0}, {u"1e", 1.0},      {u"1.e+2x", 100.0}, {u".", 0.0},
      {u"4,620", 4.0},     {u"-1e999", -inf}, {u"1e-999", 0.0},   {u"1000e-310", 1e-307},
  };
  for (const auto& [text, value] : reals) EXPECT_EQ(readXmlReal(text), value);
  EXPECT_EQ(readXmlReal(u"0.0000000000000000000000000000000000000000000000000001e400"), inf);

  const std::pair<std::u16string_view, std::uint16_t> factors[] = {
      {u"2.5", 1756}, {u"1e999", 3300}, {u"-1e999", 1300}, {u"99999999", 3300}, {u"", 1300},
  };
  for (const auto& [text, aFactor] : factors) EXPECT_EQ(readXmlAFactor(text), aFactor);

  // Before 1 January 1980 no date, after 4 June 2159 the last day; every fourth year is a
  // leap year, 2100 included.
  const std::pair<std::u16string_view, store::DayNumber> dates[] = {
      {u"14.08.2004", kAug14th},
      {u" 14. 8.2004 and more", kAug14th},
      {u"1.1.1980", 1},
      {u"31.12.1979", 0},
      {u"04.06.2159", 65535},
      {u"1.1.99999999999", 65535},
      {u"29.02.2100", 43890},
      {u"29.02.2101", 0},
      {u"31.04.2004", 0},
      {u"1.13.2004", 0},
      {u"14.08", 0},
      {u"-1.08.2004", 0},
  };
  for (const auto& [text, day] : dates) {
    EXPECT_EQ(readXmlDate(text), day) << std::string(text.begin(), text.end());
  }
}

TEST(XmlNumbers, ShortDecimalsReadAsTheNearestDouble) {
  // Short decimals take a quicker way than the general reading: both must give the same double.
  std::mt19937 random(99);
  for (int round = 0; round < 20000; ++round) {
    std::string text(1 + random() % 9, '0');
    for (char& c : text) c = static_cast<char>('0' + random() % 10);
    if (random() % 4 != 0) text.insert(random() % (text.size() + 1), ".");
    if (random() % 8 == 0)
      text += std::string(random() % 12, static_cast<char>('0' + random() % 10));
    if (text == ".") continue;
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const std::u16string units(text.begin(), text.end());
    ASSERT_EQ(readXmlReal(units), expected) << text;
    ASSERT_EQ(readXmlReal(u"-" + units), -expected) << text;
  }
}

TEST(XmlReader, ImportsWhatTheScannerFinds) {
  using Texts = std::vector<std::pair<std::u16string, std::u16string>>;
  const std::u16string bold = u"a <b>bold</b> word";
  const std::tuple<const char*, std::string, Texts> cases[] = {
      {"no declaration or root",
       element(content("q1", "a1")) + "noise" + element(content("q2", "")),
       {{u"q1", u"a1"}, {u"q2", u""}}},
      {"root end tag stops the import",
       "<?xml version=\"1.0\"?><!-- a > b --><KelvoraCollection>" + element(content("q1", "a1")) +
           "</KelvoraCollection>" + element(content("q2", "a2")),
       {{u"q1", u"a1"}}},
      {"empty elements take no position",
       element("") + element(content("", "")) + element("<ID>5</ID>") + element(content("q", "")),
       {{u"q", u""}}},
      {"only an answer", element("<Content><Answer>a</Answer></Content>"), {{u"", u"a"}}},
      {"raw and escaped markup read alike",
       element(content("a <b>bold</b> word", "")) +
           element(content("a &lt;b&gt;bold&lt;/b&gt; word", "")),
       {{bold, u""}, {bold, u""}}},
      {"missing element end tag merges two elements",
       "<KelvoraElement>" + content("q1", "a1") +
           element("<Content><Question>q2</Question></Content>") + element(content("q3", "a3")),
       {{u"q2", u"a1"}, {u"q3", u"a3"}}},
      {"any order, a repeated child replaces",
       element("<Content><Answer>a</Answer><Question>1</Question><Question>2</Question></Content>"),
       {{u"2", u"a"}}},
      {"a start tag with an attribute is another name",
       element("<Content><Question lang=\"en\">x</Question><Answer>a</Answer></Content>"),
       {{u"", u"a"}}},
      {"bare line feed stored as CR LF",
       element(content("one\ntwo&#10;", "")),
       {{u"one\r\ntwo\r\n", u""}}},
      {"UTF-8 from another program",
       element(content("\xc3\xa9t\xc3\xa9", "")),
       {{u"\u00e9t\u00e9", u""}}},
  };
  for (const auto& [rule, document, expected] : cases) {
    const Imported imported = importXml(document);
    Texts texts;
    for (const Item& item : imported.items) texts.emplace_back(item.question, item.answer);
    EXPECT_EQ(texts, expected) << rule;
  }
}

TEST(XmlReader, TurnsLearningDataIntoHeaders) {
  const ItemRecordHeader dismissed = learning(ItemStatus::Dismissed, 0, 0, 0, 0, 1300);
  const std::pair<std::string, ItemRecordHeader> cases[] = {
      {"", dismissed},
      {learningData("7", "1", "", "", ""), learning(ItemStatus::Dismissed, 7, 1, 0, 0, 1300)},
      {learningData("", "0", "", "", "4.620"), learning(ItemStatus::Pending, 0, 0, 0, 0, 2500)},
      {learningData("7", "1", "", "14.08.2004", "4.620"),
       learning(ItemStatus::Outstanding, 7, 1, 0, kAug14th, 2500)},
      {learningData("8", "1", "", "14.08.2004", "4.620"),
       learning(ItemStatus::Memorized, 8, 1, 0, kAug14th, 2500)},
      {learningData("7", "", "2", "14.08.2004", "2.5"),
       learning(ItemStatus::Drill, 7, 0, 2, kAug14th, 1756)},
      // No LastRepetition and no Interval: due on day 0, so at once.
      {learningData("", "3", "", "", "4.620"), learning(ItemStatus::Outstanding, 0, 3, 0, 0, 2500)},
      {learningData("70000", "300", "-1", "31.02.2004", "4.620"),
       learning(ItemStatus::Outstanding, 4464, 44, 255, 0, 2500)},
      {"<ID>70000</ID>", withId(dismissed, 4465, 1)},
      {"<ID>16776959</ID>", withId(dismissed, 65534, 255)},
      {"<ID>16776960</ID>", dismissed},  // idHigh keeps the low 8 bits of 256
  };
  for (const auto& [children, header] : cases) {
    const Imported imported = importXml(element(children + content("q", "")));
    ASSERT_EQ(imported.items.size(), 1u) << children;
    ItemRecordHeader expected = header;
    expected.questionLength = 2;
    EXPECT_EQ(imported.items[0].header, expected) << children;
  }
}

TEST(XmlReader, CutsLongTextsAndReadsOn) {
  const Imported imported = importXml(
      element("<ID>00000000000070000123</ID>" + content(std::string(10005, 'q'), "answer")) +
          element(content("next", "")),
      0);
  ASSERT_TRUE(imported.ok);
  ASSERT_EQ(imported.items.size(), 2u);
  EXPECT_EQ(imported.items[0].question.size(), 9999u);
  EXPECT_EQ(imported.items[0].answer, u"answer");
  EXPECT_EQ(imported.items[0].header.itemId(), 700u);  // the ID's first 15 characters
  EXPECT_EQ(imported.items[1].question, u"next");
  EXPECT_EQ(imported.progressLines,
            (std::vector<std::u16string>{u"Parsing XML: 1", u"Parsing XML: 2"}));
}

TEST(XmlReader, StopsAtAFullCollection) {
  std::string document;
  for (int i = 0; i <= store::MaxItems; ++i) {
    document += element("<Content><Question>" + std::to_string(i) + "</Question></Content>");
  }
  const Imported imported = importXml(document);
  EXPECT_TRUE(imported.ok);
  ASSERT_EQ(imported.items.size(), store::MaxItems);
  EXPECT_EQ(imported.items.back().question, u"29999");
}

// Elements as other programs and hands write them: children in any order, repeated or left out,
// unknown ones, markup and references in texts, line breaks of every kind, wide characters,
// texts and names past their capacities, end tags missing.
std::string randomElements(std::mt19937& random, int count) {
  const auto pick = [&random](std::initializer_list<const char*> choices) {
    return std::string(choices.begin()[random() % choices.size()]);
  };
  // Half the elements have only plain texts, so that whole plain elements come up often.
  bool plain = false;
  const auto text = [&](std::size_t longest) {
    std::string out;
    const int pieces = static_cast<int>(random() % 6);
    for (int i = 0; i < pieces; ++i) {
      if (plain) {
        out += pick({"plain words", " ", "42", "\n", "&amp;"});
        continue;
      }
      out += pick(
          {"plain words", " ",    "42", "&amp;", "&lt;b&gt;", "&#233;", "&#40000;", "&#0;",
           "&#",          ";",    "&",  "\n",    "\r\n",      "\r",     "\xC3\xA9", "\xE8\xAA\x9E",
           "<b>",         "</b>", "<>", "</>",   "<i",        "\t"});
      if (random() % 40 == 0) out.push_back('\0');
    }
    if (random() % 8 == 0) out = std::string(longest - 3 + random() % 6, longest < 100 ? '7' : 'x');
    return out;
  };
  const auto field = [&](const std::string& name, std::size_t longest) {
    std::string out = "<" + name + ">" + text(longest);
    if (random() % 25 != 0) out += "</" + name + ">";
    return out;
  };
  const auto space = [&] { return pick({"", "\r\n    ", "\n  ", " ", "\t"}); };
  std::string out;
  for (int e = 0; e < count; ++e) {
    plain = random() % 2 == 0;
    std::string children;
    const int parts = static_cast<int>(random() % 7);
    for (int p = 0; p < parts; ++p) {
      children += space();
      switch (random() % 9) {
        case 0:
          children += field("ID", 15);
          break;
        case 1:
        case 2: {
          std::string inner;
          for (int k = static_cast<int>(random() % 4); k > 0; --k) {
            inner += space() +
                     field(pick({"Question", "Answer", "Question", "Answer", "Note", "Question "}),
                           9999);
          }
          children += "<Content>" + inner + space() + (random() % 20 ? "</Content>" : "");
          break;
        }
        case 3:
        case 4: {
          std::string inner;
          for (int k = static_cast<int>(random() % 6); k > 0; --k) {
            inner += space() + field(pick({"Interval", "Repetitions", "Lapses", "LastRepetition",
                                           "AFactor", "UFactor"}),
                                     15);
          }
          children += "<LearningData>" + inner + space() + "</LearningData>";
          break;
        }
        case 5:
          children += "<Type>Item</Type>";
          break;
        case 6:
          children += pick({"<!-- note -->", "<>", "</>", "noise", "<\xC3\xA9>", "</Other>",
                            "</KelvoraCollection>"});
          break;
        case 7:
          children += "<" + std::string(250 + random() % 10, 'n') + ">";
          break;
        default:
          children += "<ID>" + std::to_string(random() % 100000) + "</ID>";
          break;
      }
    }
    out += space() + "<KelvoraElement>" + children + space() +
           (random() % 30 ? "</KelvoraElement>" : "");
  }
  return out;
}

TEST(XmlReader, ReadsElementsAlikeWholeInTheBufferAndCutAnywhere) {
  // A large buffer holds whole elements, which are read in one piece where they are plain; a
  // buffer shorter than an element's end tag cuts every element, which is then read step by step.
  const std::string edges[] = {
      element("<ID>777777777777777</ID>" + content("q", "a")),   // a field at its capacity
      element("<ID>7777777777777777</ID>" + content("q", "a")),  // and one past it
      element(content(std::string(9999, 'q'), std::string(10000, 'a'))),
      element(content("a <b>b</b>", "line\r\nbreak")),
      element(content("&#233;t&#233;", "\xC3\xA9t\xC3\xA9")),
      element("<Content><Question>q</Question >a</Content>"),
      element(learningData("7", "1", "", "14.08.2004", "4.620") + "<Content></Content>"),
  };
  for (const std::string& edge : edges) {
    ASSERT_EQ(importXml(edge).texts, importXml(edge, 1, 16).texts) << edge.substr(0, 80);
  }
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::string document = "<KelvoraCollection>" +
                                 randomElements(random, 1 + static_cast<int>(random() % 12)) +
                                 (random() % 2 ? "</KelvoraCollection>" : "");
    const auto utf8 = static_cast<std::uint8_t>(random() % 2);
    const Imported whole = importXml(document, utf8);
    const Imported cut = importXml(document, utf8, 8 + random() % 9);
    ASSERT_EQ(whole.ok, cut.ok) << "round " << round;
    ASSERT_EQ(whole.texts, cut.texts) << "round " << round;
    ASSERT_EQ(whole.progressLines, cut.progressLines) << "round " << round;
  }
}

}  // namespace
}  // namespace kelvora::exchange
