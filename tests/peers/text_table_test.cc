// Text tables: which bytes decode how, where rows and fields split, which header lines are read,
// which separator is detected, and which rows are skipped or counted.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "peers/text_table_reader.h"

namespace kelvora::peers {
namespace {

using namespace std::string_literals;

struct Row {
  std::u16string question;
  std::u16string answer;
  bool operator==(const Row&) const = default;
  // NOLINTNEXTLINE(readability-identifier-naming): the name GoogleTest looks for
  friend void PrintTo(const Row& row, std::ostream* os) {
    *os << ::testing::PrintToString(row.question) << " / " << ::testing::PrintToString(row.answer);
  }
};

struct Read {
  std::vector<Row> rows;
  TableReport report;
  bool complete = false;
};

Read read(std::u16string_view text, const TableSettings& settings = {}) {
  Read r;
  r.complete = readTable(text, settings, r.report, [&](auto question, auto answer) {
    r.rows.push_back({std::u16string(question), std::u16string(answer)});
    return true;
  });
  return r;
}

std::u16string decode(const std::string& bytes, TableEncoding* found, bool* odd = nullptr) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  return decodeTable({data, bytes.size()}, found, odd);
}

struct SplitCase {
  const char* rule;
  std::u16string text;
  std::vector<Row> rows;
};

void expectRows(const std::vector<SplitCase>& cases, const TableSettings& settings = {}) {
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.rule);
    const Read r = read(c.text, settings);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.report.unclosedQuotes, 0u);
  }
}

TEST(TextTable, QuotedFieldsHoldSeparatorsQuotesAndLineBreaks) {
  TableSettings comma;
  comma.separator = u',';
  expectRows(
      {{"separator inside quotes", u"\"a,b\",c", {{u"a,b", u"c"}}},
       {"doubled quote", u"\"say \"\"hi\"\"\",x", {{u"say \"hi\"", u"x"}}},
       {"doubled quote last", u"\"a\"\"\",b", {{u"a\"", u"b"}}},
       {"empty quoted field", u"\"\",x", {{u"", u"x"}}},
       {"CR LF inside becomes LF", u"\"l1\r\nl2\",x\r\nq,r", {{u"l1\nl2", u"x"}, {u"q", u"r"}}},
       {"lone CR inside becomes LF", u"\"l1\rl2\",x", {{u"l1\nl2", u"x"}}},
       {"LF inside is kept", u"\"l1\nl2\",x", {{u"l1\nl2", u"x"}}},
       {"text after the closing quote is appended", u"\"ab\"cd,x", {{u"abcd", u"x"}}},
       {"quote inside an unquoted field is data", u"a\"b,c\"", {{u"a\"b", u"c\""}}},
       {"leading space: not quoted", u" \"a\",b", {{u" \"a\"", u"b"}}},
       {"quoted field at the very end", u"q,\"a\"", {{u"q", u"a"}}},
       {"NUL is dropped, quoted or not", u"a\0b,\"c\0d\"\0e"s, {{u"ab", u"cde"}}}},
      comma);
}

TEST(TextTable, LfCrLfAndLoneCrEachEndARow) {
  const std::vector<Row> two = {{u"a", u"b"}, {u"c", u"d"}};
  expectRows({{"LF", u"a,b\nc,d", two},
              {"CR LF", u"a,b\r\nc,d\r\n", two},
              {"lone CR", u"a,b\rc,d\r", two},
              {"mixed", u"a,b\r\nc,d\n", two},
              {"a last line without a line end", u"a,b\nc,d", two}});
}

TEST(TextTable, BlankRowsAreSkippedAndCounted) {
  TableSettings comma;
  comma.separator = u',';
  struct Case {
    std::u16string text;
    std::size_t rows;
    std::size_t empty;
  };
  for (const Case& c : std::vector<Case>{{u"a,b\r\n\r\nc,d\r\n", 2, 1},
                                         {u"\n\n\n", 0, 3},
                                         {u"a,b\n,,,\n", 1, 1},
                                         {u"a,b\n , \t\n", 1, 1},
                                         {u",x", 1, 0},
                                         {u"x,", 1, 0},
                                         {u"", 0, 0}}) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    const Read r = read(c.text, comma);
    EXPECT_EQ(r.report.rows, c.rows);
    EXPECT_EQ(r.rows.size(), c.rows);
    EXPECT_EQ(r.report.emptyRowsSkipped, c.empty);
  }
}

TEST(TextTable, UnclosedQuoteTakesTheRestOfTheText) {
  const Read r = read(u"q,a\nr,\"open\r\nmore,stuff\n");
  EXPECT_EQ(r.rows, (std::vector<Row>{{u"q", u"a"}, {u"r", u"open\nmore,stuff\n"}}));
  EXPECT_EQ(r.report.unclosedQuotes, 1u);
  EXPECT_EQ(read(u"q,\"").rows, (std::vector<Row>{{u"q", u""}}));
}

TEST(TextTable, RowRefusedStopsReading) {
  TableReport report;
  int calls = 0;
  EXPECT_FALSE(readTable(u"a,b\nc,d\ne,f", {}, report, [&](auto, auto) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(report.rows, 2u);
}

TEST(TextTable, BytesDecodeByMarkElseByValidity) {
  struct Case {
    const char* rule;
    std::string bytes;
    std::u16string text;
    TableEncoding encoding;
  };
  using E = TableEncoding;
  for (const Case& c : std::vector<Case>{
           {"empty", "", u"", E::Utf8},
           {"UTF-8 mark is left out", "\xEF\xBB\xBFq,a", u"q,a", E::Utf8WithBom},
           {"UTF-16 LE", "\xFF\xFEq\0\xE9\0"s, u"q\u00E9", E::Utf16LittleEndian},
           {"UTF-16 BE", "\xFE\xFF\0q\x20\xAC"s, u"q\u20AC", E::Utf16BigEndian},
           {"UTF-16 pair kept", "\xFF\xFE\x3D\xD8\x00\xDE"s, u"\U0001F600", E::Utf16LittleEndian},
           {"UTF-16 lone surrogate",
            "\xFF\xFE\x00\xD8"
            "A\0"s,
            u"\uFFFDA", E::Utf16LittleEndian},
           {"UTF-16 lone low surrogate", "\xFE\xFF\xDC\x00"s, u"\uFFFD", E::Utf16BigEndian},
           {"UTF-8 without mark", "na\xC3\xAFve \xF0\x9F\x98\x80", u"na\u00EFve \U0001F600",
            E::Utf8},
           {"Latin-1", "caf\xE9;na\xEFve", u"caf\u00E9;na\u00EFve", E::Windows1252},
           {"Windows-1252 euro",
            "\x80"
            "5",
            u"\u20AC5", E::Windows1252},
           {"Windows-1252 quotes", "\x93q\x94\x9F", u"\u201Cq\u201D\u0178", E::Windows1252},
           {"undefined Windows-1252 byte", "\x81\x9D", u"\uFFFD\uFFFD", E::Windows1252},
           {"valid UTF-8 then a bad byte later", "\xC3\xBC ok \xFF", u"\u00C3\u00BC ok \u00FF",
            E::Windows1252},
           {"truncated sequence at the end", "ok\xE2\x82", u"ok\u00E2\u201A", E::Windows1252},
           {"overlong form", "\xC0\xAF", u"\u00C0\u00AF", E::Windows1252},
           {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC", E::Windows1252},
           {"past U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\uFFFD\u20AC\u20AC", E::Windows1252},
           {"marked UTF-8 repairs each broken sequence once",
            "\xEF\xBB\xBF\xE2\x82"
            "A\xFF",
            u"\uFFFDA\uFFFD", E::Utf8WithBom}}) {
    SCOPED_TRACE(c.rule);
    TableEncoding found = E::Utf8WithBom;
    if (c.encoding == E::Utf8WithBom) found = E::Utf8;
    EXPECT_EQ(decode(c.bytes, &found), c.text);
    EXPECT_EQ(found, c.encoding);
  }
}

TEST(TextTable, OddLastByteOfUtf16IsDroppedAndReported) {
  struct Case {
    std::string bytes;
    std::u16string text;
    bool odd;
  };
  for (const Case& c : std::vector<Case>{{"\xFF\xFEq\0x"s, u"q", true},
                                         {"\xFE\xFFx", u"", true},
                                         {"\xFF\xFE", u"", false},
                                         {"\xFF\xFEq\0"s, u"q", false}}) {
    TableEncoding found = TableEncoding::Utf8;
    bool odd = !c.odd;
    EXPECT_EQ(decode(c.bytes, &found, &odd), c.text);
    EXPECT_EQ(odd, c.odd);
  }
}

TEST(TextTable, MarkIsNotPartOfTheFirstField) {
  for (const std::string& bytes : {"\xEF\xBB\xBFq;a"s, "\xFF\xFEq\0;\0a\0"s, "\xFE\xFF\0q\0;\0a"s,
                                   "\xEF\xBB\xBF\xEF\xBB\xBFq;a"s}) {
    const Read r = read(decode(bytes, nullptr));
    EXPECT_EQ(r.rows, (std::vector<Row>{{u"q", u"a"}}));
  }
  const Read header = read(u"\uFEFF#separator:|\nq|a");
  EXPECT_EQ(header.report.headerLines, 1u);
  EXPECT_EQ(header.rows, (std::vector<Row>{{u"q", u"a"}}));
}

TEST(TextTable, HeaderLinesAtTheStartAreReadNeverImported) {
  struct Case {
    const char* rule;
    std::u16string text;
    std::vector<Row> rows;
    std::size_t headerLines;
    char16_t separator;
    bool html;
  };
  for (const Case& c : std::vector<Case>{
           {"Tab and html",
            u"#separator:Tab\n#html:true\nq\ta,b",
            {{u"q", u"a,b"}},
            2,
            u'\t',
            true},
           {"literal character", u"#separator:;\r\nq;a,b", {{u"q", u"a,b"}}, 1, u';', false},
           {"name, any case, spaces around",
            u"#SEPARATOR: Semicolon \rq;a",
            {{u"q", u"a"}},
            1,
            u';',
            false},
           {"literal space", u"#separator: \nq a", {{u"q", u"a"}}, 1, u' ', false},
           {"pipe", u"#separator:pipe\nq|a", {{u"q", u"a"}}, 1, u'|', false},
           {"html false after true",
            u"#html:true\n#html:false\nq,a",
            {{u"q", u"a"}},
            2,
            u',',
            false},
           {"columns and unknown keys are skipped",
            u"#columns:Front\tBack\n#guid column:1\n#deck:x\n#what-ever_2:z\nq;a",
            {{u"q", u"a"}},
            4,
            u';',
            false},
           {"a quote cannot separate: detected instead",
            u"#separator:\"\nq,a",
            {{u"q", u"a"}},
            1,
            u',',
            false},
           {"unknown name: detected instead",
            u"#separator:dash\nq;a",
            {{u"q", u"a"}},
            1,
            u';',
            false},
           {"'#' rows after the header are data",
            u"#separator:tab\nq\ta\n#deck:x\ty",
            {{u"q", u"a"}, {u"#deck:x", u"y"}},
            1,
            u'\t',
            false},
           {"not key:value: data",
            u"#1 question,answer",
            {{u"#1 question", u"answer"}},
            0,
            u',',
            false},
           {"key too long: data",
            u"#" + std::u16string(33, u'k') + u":v,w",
            {{u"#" + std::u16string(33, u'k') + u":v", u"w"}},
            0,
            u',',
            false},
           {"longest key",
            u"#" + std::u16string(32, u'k') + u":v\nq,a",
            {{u"q", u"a"}},
            1,
            u',',
            false},
           {"no key: data", u"#:v,w", {{u"#:v", u"w"}}, 0, u',', false},
           {"a blank line ends the header",
            u"#deck:x\n\n#deck:y,z",
            {{u"#deck:y", u"z"}},
            1,
            u',',
            false}}) {
    SCOPED_TRACE(c.rule);
    const Read r = read(c.text);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.report.headerLines, c.headerLines);
    EXPECT_EQ(r.report.separator, c.separator);
    EXPECT_EQ(r.report.html, c.html);
  }
}

TEST(TextTable, GivenSeparatorOutranksTheHeader) {
  TableSettings comma;
  comma.separator = u',';
  const Read r = read(u"#separator:;\nq;a,b", comma);
  EXPECT_EQ(r.rows, (std::vector<Row>{{u"q;a", u"b"}}));
  EXPECT_EQ(r.report.headerLines, 1u);
}

TEST(TextTable, SeparatorIsDetectedFromTheFirstDataRows) {
  std::u16string twentySemicolonRows;
  for (int i = 0; i < 20; ++i) twentySemicolonRows += u"a;b\n";
  struct Case {
    const char* rule;
    std::u16string text;
    char16_t separator;
  };
  for (const Case& c : std::vector<Case>{
           {"any tab wins", u"q,a;b\nc\td", u'\t'},
           {"one of each in one row: semicolon", u"a, b;c", u';'},
           {"commas only", u"a,b\nc,d", u','},
           {"semicolons with commas in the text", u"Haus;house, building\nHund;dog", u';'},
           {"semicolon in fewer rows than commas", u"Q1,a; b\nQ2,c\nQ3,d", u','},
           {"as many rows: the even count wins", u"a,b;c;d\ne,f;g", u','},
           {"as many rows, both uneven: semicolon", u"a;b;c, d\ne;f, g, h", u';'},
           {"quoted text is not looked at", u"\"a;b\tc\",d", u','},
           {"doubled quotes stay quoted", u"\"x\"\";y\",z", u','},
           {"neither: comma", u"plain words\nmore", u','},
           {"header lines are not looked at", u"#deck:x\ty;z\nq;a", u';'},
           {"a tab past the twentieth row is not seen", twentySemicolonRows + u"c\td", u';'},
           {"a tab in the twentieth row is seen", twentySemicolonRows.substr(4) + u"c\td",
            u'\t'}}) {
    SCOPED_TRACE(c.rule);
    EXPECT_EQ(read(c.text).report.separator, c.separator);
  }
}

TEST(TextTable, PickedColumnsMissingAndExtraColumns) {
  struct Case {
    std::size_t question;
    std::size_t answer;
    std::u16string text;
    std::vector<Row> rows;
    std::size_t extra;
  };
  const std::size_t far = static_cast<std::size_t>(-1);
  for (const Case& c : std::vector<Case>{{0, 1, u"a,b,c\nd,e", {{u"a", u"b"}, {u"d", u"e"}}, 1},
                                         {0, 1, u"a,b,\na,b,  ", {{u"a", u"b"}, {u"a", u"b"}}, 0},
                                         {0, 1, u"a", {{u"a", u""}}, 0},
                                         {1, 0, u"a,b", {{u"b", u"a"}}, 0},
                                         {2, 0, u"a,b,c,d", {{u"c", u"a"}}, 1},
                                         {2, 0, u"a,b", {{u"", u"a"}}, 0},
                                         {1, 1, u"a,b,c", {{u"b", u"b"}}, 1},
                                         {1, 1, u"\"x\"\"\",\"y\"\"\"", {{u"y\"", u"y\""}}, 0},
                                         {5, 6, u"a,b", {}, 0},
                                         {far, far - 1, u"a,b", {}, 0}}) {
    TableSettings settings;
    settings.questionColumn = c.question;
    settings.answerColumn = c.answer;
    SCOPED_TRACE(::testing::PrintToString(c.text));
    const Read r = read(c.text, settings);
    EXPECT_EQ(r.rows, c.rows);
    EXPECT_EQ(r.report.rowsWithExtraColumns, c.extra);
  }
}

TEST(TextTable, SeparatorsThatCannotSeparateAreReplacedByDetection) {
  for (const char16_t bad : {u'"', u'\r', u'\n', u'\0'}) {
    TableSettings settings;
    settings.separator = bad;
    const Read r = read(u"\"q\";a", settings);
    EXPECT_EQ(r.report.separator, u';');
    EXPECT_EQ(r.rows, (std::vector<Row>{{u"q", u"a"}}));
  }
}

TEST(TextTable, Latin1FileReadsThroughToItsFields) {
  TableEncoding found = TableEncoding::Utf8;
  const Read r = read(decode("caf\xE9;na\xEFve\r\n\x80;x", &found));
  EXPECT_EQ(found, TableEncoding::Windows1252);
  EXPECT_EQ(r.rows, (std::vector<Row>{{u"caf\u00E9", u"na\u00EFve"}, {u"\u20AC", u"x"}}));
}

}  // namespace
}  // namespace kelvora::peers
