// Reading KVTML 2 vocabulary files: which texts and which grade an entry gets for a direction,
// what is skipped, and how broken or foreign files are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peers/kvtml_reader.h"

namespace kelvora::peers {
namespace {

struct Result {
  bool ok = false;
  KvtmlReport report;
  std::vector<KvtmlEntry> entries;
};

Result read(std::string_view bytes, KvtmlPair pair = {}) {
  Result r;
  r.ok = readKvtml(bytes, pair, r.report, [&r](const KvtmlEntry& e) {
    r.entries.push_back(e);
    return true;
  });
  return r;
}

constexpr std::string_view kTwoIdentifiers =
    "<identifier id=\"0\"><name>English</name><locale>en</locale></identifier>"
    "<identifier id=\"1\"><name>German</name><locale>de</locale></identifier>";

std::string document(std::string_view entries, std::string_view identifiers = kTwoIdentifiers) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE kvtml PUBLIC \"kvtml2.dtd\" \"http://edu.kde.org/kvtml/kvtml2.dtd\">\n"
         "<kvtml version=\"2.0\">\n <information><title>Test</title></information>\n"
         " <identifiers>" +
         std::string(identifiers) + "</identifiers>\n <entries>" + std::string(entries) +
         "</entries>\n <lessons><container><name>L1</name><entry id=\"0\"/></container></lessons>\n"
         "</kvtml>\n";
}

// One entry whose answer (German, id 1) translation holds `answerTail` after its text.
std::string answerWith(std::string_view answerTail) {
  return document(
      "<entry id=\"0\"><translation id=\"0\"><text>house</text></translation>"
      "<translation id=\"1\"><text>Haus</text>" +
      std::string(answerTail) + "</translation></entry>");
}

std::string grade(std::string_view from, std::string_view current) {
  return "<grade fromid=\"" + std::string(from) + "\"><currentgrade>" + std::string(current) +
         "</currentgrade></grade>";
}

TEST(KvtmlPair, EachDirectionTakesItsTextsAndTheAnswersGradeFromTheQuestion) {
  // Ids out of document order and not dense, so that ids and positions cannot be confused.
  const std::string doc = document(
      "<entry id=\"e1\">"
      "<translation id=\"0\"><text>house</text>" +
          grade("1", "5") + grade("5", "2") +
          "</translation>"
          "<translation id=\"1\"><text>Haus</text>" +
          grade("0", "3") +
          "</translation>"
          "<translation id=\"5\"><text>maison</text>" +
          grade("0", "6") +
          "</translation>"
          "</entry>",
      "<identifier id=\"1\"><name>German</name></identifier>"
      "<identifier id=\"0\"><name>English</name></identifier>"
      "<identifier id=\"5\"><name>French</name></identifier>");
  const struct {
    KvtmlPair pair;
    std::u16string question, answer;
    int box;
  } cases[] = {
      {{-1, -1}, u"Haus", u"house", 5}, {{0, 1}, u"house", u"Haus", 3},
      {{5, 0}, u"maison", u"house", 2}, {{0, 5}, u"house", u"maison", 6},
      {{1, 5}, u"Haus", u"maison", 0},  {{-1, 1}, u"house", u"Haus", 3},
      {{0, -1}, u"house", u"Haus", 3},  {{-1, 0}, u"Haus", u"house", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pair.question << "->" << c.pair.answer);
    const Result r = read(doc, c.pair);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].question, c.question);
    EXPECT_EQ(r.entries[0].answer, c.answer);
    EXPECT_EQ(r.entries[0].box, c.box);
    EXPECT_EQ(r.entries[0].id, "e1");
  }
  const std::vector<std::pair<int, std::u16string>> identifiers = {
      {1, u"German"}, {0, u"English"}, {5, u"French"}};
  EXPECT_EQ(read(doc).report.identifiers, identifiers);
}

TEST(KvtmlGrade, OnlyTheAnswersOwnGradeFromTheQuestionCountsAndValuesAreHeld) {
  const struct {
    std::string tail;
    int box, count, errorCount;
  } cases[] = {
      {grade("0", "4"), 4, 0, 0},
      {grade(" 0 ", " 2 "), 2, 0, 0},
      {"<grade><currentgrade>4</currentgrade></grade>", 0, 0, 0},
      {grade("1", "4"), 0, 0, 0},
      {"<comparison><comparative>x</comparative>" + grade("0", "4") + "</comparison>", 0, 0, 0},
      {"<conjugation><tense>present</tense>" + grade("0", "4") + "</conjugation>", 0, 0, 0},
      {grade("0", "4") + grade("0", "6"), 4, 0, 0},
      {grade("0", "8"), 7, 0, 0},
      {grade("0", "99999999999999999999999"), 7, 0, 0},
      {grade("0", "-1"), 0, 0, 0},
      {grade("0", "three"), 0, 0, 0},
      {"<grade fromid=\"0\"><count>5</count><errorcount>1</errorcount></grade>", 0, 5, 1},
      {"<grade fromid=\"0\"><count>70000</count><errorcount>65536</errorcount></grade>", 0, 65535,
       65535},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tail);
    const Result r = read(answerWith(c.tail));
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].box, c.box);
    EXPECT_EQ(r.entries[0].count, c.count);
    EXPECT_EQ(r.entries[0].errorCount, c.errorCount);
  }
  // The grade of the other direction sits in the question's translation.
  const Result reverse = read(answerWith(grade("0", "4")), {1, 0});
  ASSERT_EQ(reverse.entries.size(), 1u);
  EXPECT_EQ(reverse.entries[0].box, 0);
}

TEST(KvtmlGrade, OnlyCalendarDatesAreKept) {
  const struct {
    std::string text;
    int year, month, day;  // 0: no date
  } cases[] = {
      {"2010-03-04T12:00:00", 2010, 3, 4},
      {" 2012-02-29 ", 2012, 2, 29},
      {"2000-02-29", 2000, 2, 29},
      {"1900-02-29", 0, 0, 0},
      {"2011-02-29", 0, 0, 0},
      {"2010-04-31", 0, 0, 0},
      {"2010-12-31", 2010, 12, 31},
      {"2010-13-01", 0, 0, 0},
      {"2010-00-10", 0, 0, 0},
      {"2010-01-00", 0, 0, 0},
      {"0000-01-01", 0, 0, 0},
      {"2010-3-4", 0, 0, 0},
      {"2010-03-04x", 0, 0, 0},
      {"yesterday", 0, 0, 0},
      {"", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Result r = read(answerWith("<grade fromid=\"0\"><date>" + c.text + "</date></grade>"));
    ASSERT_EQ(r.entries.size(), 1u);
    const auto& date = r.entries[0].date;
    ASSERT_EQ(date.has_value(), c.year != 0);
    if (date) {
      EXPECT_EQ(date->year, c.year);
      EXPECT_EQ(date->month, c.month);
      EXPECT_EQ(date->day, c.day);
    }
  }
}

TEST(KvtmlText, EntitiesCdataAndLineBreaksAreDecodedAndTheTextTrimmed) {
  const struct {
    std::string raw;
    std::u16string text;
  } cases[] = {
      {"  \n house \t", u"house"},
      {"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;", u"a & b <c> \"d\" 'e'"},
      {"&#72;&#x61;&#x0075;s", u"Haus"},
      {"&#x1F600;", u"\U0001F600"},
      {"&#0;x&#xD800;&#x110000;&#99999999999;", u"\uFFFDx\uFFFD\uFFFD\uFFFD"},
      {"fish &chips; &#xZZ; & more", u"fish &chips; &#xZZ; & more"},
      {"<![CDATA[<b>bold</b> &amp; more]]>", u"<b>bold</b> &amp; more"},
      {"Ha<!-- <text>x</text> -->u<?pi ?>s", u"Haus"},
      {"Ha<b>ignored</b>us", u"Haus"},
      {"one\r\ntwo\rthree\nfour", u"one\ntwo\nthree\nfour"},
      {"one&#13;&#10;two&#xD;three&#13;\nfour&#13;\r\nfive", u"one\ntwo\nthree\nfour\nfive"},
      {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", u"\u00E9t\u00E9 \u20AC"},
      {"bad\xFF\xC3(\xED\xA0\x80!", u"bad\uFFFD\uFFFD(\uFFFD\uFFFD\uFFFD!"},
      {"end\xE2\x82", u"end\uFFFD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw);
    const Result r = read(answerWith("").replace(answerWith("").find("Haus"), 4, c.raw));
    ASSERT_TRUE(r.ok) << std::string(r.report.error.begin(), r.report.error.end());
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].answer, c.text);
  }
}

TEST(KvtmlEntry, SkippedElementsDoNotLendTheirTexts) {
  const struct {
    const char* what;
    std::string question;
  } cases[] = {
      {"a text in a comment",
       "<translation id=\"0\"><comment><text>wrong</text></comment><text>house</text>"
       "</translation>"},
      {"a translation in a multiple choice",
       "<multiplechoice><translation id=\"0\"><text>wrong</text></translation></multiplechoice>"
       "<translation id=\"0\"><text>house</text></translation>"},
      {"a text in a conjugation",
       "<translation id=\"0\"><conjugation><text>wrong</text></conjugation><text>house</text>"
       "<pronunciation>haus</pronunciation><image>a.png</image></translation>"},
      {"a second translation of the identifier",
       "<translation id=\"0\"><text>house</text></translation>"
       "<translation id=\"0\"><text>wrong</text></translation>"},
      {"a second text", "<translation id=\"0\"><text>house</text><text>wrong</text></translation>"},
  };
  for (const auto& [what, question] : cases) {
    SCOPED_TRACE(what);
    const Result r =
        read(document("<entry id=\"0\">" + question +
                      "<translation id=\"1\"><text>Haus</text></translation></entry>"));
    ASSERT_EQ(r.entries.size(), 1u);
    EXPECT_EQ(r.entries[0].question, u"house");
  }
  // Entries outside <entries>, and entries nested in other elements, are no entries.
  const Result r = read(
      document("<entry id=\"0\"><translation id=\"0\"><text>a</text></translation>"
               "<translation id=\"1\"><text>b</text></translation><comment><entry id=\"9\">"
               "<translation id=\"0\"><text>c</text></translation>"
               "<translation id=\"1\"><text>d</text></translation></entry></comment></entry>"));
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].answer, u"b");
}

TEST(KvtmlEntry, EntriesLackingATextAreSkippedAndCounted) {
  const struct {
    std::string translations;
    bool handed;
  } cases[] = {
      {"<translation id=\"0\"><text>a</text></translation>"
       "<translation id=\"1\"><text>b</text></translation>",
       true},
      {"<translation id=\"0\"><text>a</text></translation>", false},
      {"<translation id=\"1\"><text>b</text></translation>", false},
      {"<translation id=\"0\"><text>a</text></translation>"
       "<translation id=\"1\"><text> \n </text></translation>",
       false},
      {"<translation id=\"0\"><text/></translation>"
       "<translation id=\"1\"><text>b</text></translation>",
       false},
      {"<translation id=\"0\"><comment>a</comment></translation>"
       "<translation id=\"1\"><text>b</text></translation>",
       false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.translations);
    const Result r = read(document("<entry id=\"0\">" + c.translations + "</entry>"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.entries.size(), c.handed ? 1u : 0u);
    EXPECT_EQ(r.report.entries, c.handed ? 1u : 0u);
    EXPECT_EQ(r.report.entriesWithoutText, c.handed ? 0u : 1u);
  }
}

TEST(KvtmlEntry, InactivityIdAndGradeBelongToTheirOwnEntry) {
  const auto entry = [](std::string_view idAttribute, std::string_view head, std::string_view g) {
    return "<entry" + std::string(idAttribute) + ">" + std::string(head) +
           "<translation id=\"0\"><text>a</text></translation>"
           "<translation id=\"1\"><text>b</text>" +
           std::string(g) + "</translation></entry>";
  };
  const Result r = read(
      document(entry(" id=\"007\"", "<inactive>true</inactive>",
                     "<grade fromid=\"0\"><currentgrade>5</currentgrade><count>3</count>"
                     "<date>2010-03-04</date></grade>") +
               entry(" id=\"a&amp;b\"", "", "") + entry("", "<inactive> TRUE </inactive>", "") +
               entry(" id='x'", "<inactive>false</inactive>", "")));
  ASSERT_EQ(r.entries.size(), 4u);
  const struct {
    std::string id;
    bool inactive;
    int box, count;
    bool dated;
  } expected[] = {{"007", true, 5, 3, true},
                  {"a&b", false, 0, 0, false},
                  {"", true, 0, 0, false},
                  {"x", false, 0, 0, false}};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.entries[i].id, expected[i].id);
    EXPECT_EQ(r.entries[i].inactive, expected[i].inactive);
    EXPECT_EQ(r.entries[i].box, expected[i].box);
    EXPECT_EQ(r.entries[i].count, expected[i].count);
    EXPECT_EQ(r.entries[i].date.has_value(), expected[i].dated);
  }
}

TEST(KvtmlDocument, PrologueFormsAndIdentifierListsAreAccepted) {
  const std::string body = document(
      "<entry id=\"0\"><translation id=\"0\"><text>a</text>"
      "</translation><translation id=\"1\"><text>b</text>"
      "</translation></entry>");
  const std::string root = body.substr(body.find("<kvtml "));
  const std::string cases[] = {
      body,
      "\xEF\xBB\xBF" + body,
      "<?xml version='1.0' encoding='utf-8'?>" + root,
      "<!DOCTYPE kvtml [ <!ENTITY x \"a>b]\"> <!-- ] > --> ]>" + root,
      "<!-- made by hand --><?editor x?>\n" + root,
      "\n  " + root + "<!-- trailing -->\n",
  };
  for (const std::string& doc : cases) {
    SCOPED_TRACE(doc.substr(0, 60));
    const Result r = read(doc);
    ASSERT_TRUE(r.ok) << std::string(r.report.error.begin(), r.report.error.end());
    EXPECT_EQ(r.entries.size(), 1u);
  }
  // Identifiers without a usable id, and repeated ids, are left out.
  const Result r = read(document(
      "",
      "<identifier id=\"1\"><name> German </name></identifier>"
      "<identifier id=\"x\"><name>Bad</name></identifier><identifier><name>None</name>"
      "</identifier><identifier id=\"1\"><name>Again</name></identifier>"
      "<identifier id=\"99999999999\"/><identifier id=\"0\"><locale>en</locale></identifier>"));
  ASSERT_TRUE(r.ok);
  const std::vector<std::pair<int, std::u16string>> identifiers = {{1, u"German"}, {0, u""}};
  EXPECT_EQ(r.report.identifiers, identifiers);
}

TEST(KvtmlDocument, RefusedFilesSayWhyAndHandOverNothing) {
  const std::string good = answerWith(grade("0", "1"));
  const std::string cutAt = good.substr(0, good.find("<text>Haus") + 3);
  const std::string cutInAttribute = good.substr(0, good.find("id=\"1\"") + 5);
  std::string mismatched = good;
  mismatched.replace(mismatched.find("</text>"), 7, "</txet>");
  const std::string afterRoot = good + "junk";
  const std::string secondRoot = good + "<kvtml version=\"2.0\"/>";
  std::string unquoted = good;
  unquoted.replace(unquoted.find("id=\"0\""), 6, "id=0");
  const auto at = [](const std::string& doc, std::string_view what, std::size_t skip = 0) {
    return u"The file's XML is broken near byte " +
           [](std::size_t n) {
             const std::string s = std::to_string(n);
             return std::u16string(s.begin(), s.end());
           }(doc.find(what) + skip) +
           u".";
  };
  const auto cut = [](const std::string& doc) {
    const std::string s = std::to_string(doc.size());
    return u"The file's XML is cut short at byte " + std::u16string(s.begin(), s.end()) + u".";
  };
  const std::u16string notKvtml = u"The file is not a KVTML 2 document.";
  const struct {
    const char* what;
    std::string bytes;
    KvtmlPair pair;
    std::u16string error;
  } cases[] = {
      {"empty", "", {}, notKvtml},
      {"plain text", "hello world", {}, notKvtml},
      {"spreadsheet text", "house;Haus\ntree;Baum\n", {}, notKvtml},
      {"other XML", "<?xml version=\"1.0\"?><html><body/></html>", {}, notKvtml},
      {"comments only", "<!-- nothing -->", {}, notKvtml},
      {"version 1, no version attribute",
       "<kvtml encoding=\"UTF-8\"><e><o>house</o><t>Haus</t></e></kvtml>",
       {},
       notKvtml},
      {"version 1.0",
       "<kvtml version=\"1.0\"></kvtml>",
       {},
       u"The file is KVTML version 1.0; only version 2 is read."},
      {"version 20",
       "<kvtml version='20'/>",
       {},
       u"The file is KVTML version 20; only version 2 is read."},
      {"cut mid-element", cutAt, {}, cut(cutAt)},
      {"cut mid-attribute", cutInAttribute, {}, cut(cutInAttribute)},
      {"cut after the root's start",
       "<kvtml version=\"2.0\">",
       {},
       u"The file's XML is cut short at byte 21."},
      {"mismatched end tag", mismatched, {}, at(mismatched, "</txet>")},
      {"text after the root", afterRoot, {}, at(afterRoot, "junk")},
      {"second root", secondRoot, {}, at(secondRoot, "<kvtml version=\"2.0\"/>")},
      {"unquoted attribute", unquoted, {}, at(unquoted, "id=0", 3)},
      {"unterminated comment", good + "<!-- no end", {}, cut(good + "<!-- no end")},
      {"latin-1 declared",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + good.substr(good.find("<kvtml ")),
       {},
       u"The file is encoded in ISO-8859-1; only UTF-8 is read."},
      {"UTF-16",
       std::string("\xFF\xFE<\0k\0", 6),
       {},
       u"The file is encoded in UTF-16; only UTF-8 is read."},
      {"one identifier",
       document("", "<identifier id=\"0\"><name>English</name></identifier>"),
       {},
       u"The file has fewer than two identifiers (languages)."},
      {"answer missing", good, {0, 3}, u"The file has no identifier 3."},
      {"question missing", good, {7, -1}, u"The file has no identifier 7."},
      {"negative id", good, {-2, 0}, u"The file has no identifier -2."},
      {"same identifier", good, {1, 1}, u"The question and the answer are the same identifier."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Result r = read(c.bytes, c.pair);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.report.error, c.error) << std::string(r.report.error.begin(), r.report.error.end());
    EXPECT_TRUE(r.entries.empty());
    EXPECT_EQ(r.report.entries, 0u);
  }
}

TEST(KvtmlDocument, NestingIsBoundedAtTheLimit) {
  const struct {
    std::size_t depth;  // the root counting as one
    bool ok;
  } cases[] = {{kKvtmlMaxDepth, true}, {kKvtmlMaxDepth + 1, false}, {200000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    std::string doc = document("");
    std::string nest;
    for (std::size_t i = 1; i < c.depth; ++i) nest += "<c>";
    for (std::size_t i = 1; i < c.depth; ++i) nest += "</c>";
    doc.insert(doc.find("<lessons>"), nest);
    const Result r = read(doc);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.report.error.starts_with(u"The file's XML nests elements deeper than 256 levels"),
              !c.ok);
  }
}

TEST(KvtmlDocument, TheCallerCanStopTheReading) {
  std::string entries;
  for (int i = 0; i < 5; ++i) {
    entries += "<entry id=\"" + std::to_string(i) +
               "\"><translation id=\"0\"><text>a</text></translation>"
               "<translation id=\"1\"><text>b</text></translation></entry>";
  }
  KvtmlReport report;
  std::vector<std::string> seen;
  EXPECT_FALSE(readKvtml(document(entries), {}, report, [&seen](const KvtmlEntry& e) {
    seen.push_back(e.id);
    return seen.size() < 2;
  }));
  EXPECT_TRUE(report.error.empty());
  EXPECT_EQ(seen, (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(report.entries, 2u);
}

}  // namespace
}  // namespace kelvora::peers
