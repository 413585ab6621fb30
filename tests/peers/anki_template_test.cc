// Rendering Anki cards: fields, sections, the empty-field rule, cloze deletions, filters, the
// answer's leading front side, what falls back, the bounds, and the HTML helpers.
#include "peers/anki_template.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelvora::peers {
namespace {

struct Field {
  std::string name;
  std::string value;
};

RenderedCard render(std::string_view question, std::string_view answer,
                    const std::vector<Field>& fields, int ordinal = 0, bool cloze = false) {
  std::vector<NoteField> views;
  views.reserve(fields.size());
  for (const Field& f : fields) views.push_back({f.name, f.value});
  return renderCard(question, answer, views, ordinal, cloze);
}

struct Case {
  const char* rule;
  std::string questionFormat;
  std::string answerFormat;
  std::string question;
  std::string answer;
  int ordinal = 0;
};

void expectCards(const std::vector<Field>& fields, const std::vector<Case>& cases,
                 bool cloze = false) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    const RenderedCard card = render(c.questionFormat, c.answerFormat, fields, c.ordinal, cloze);
    EXPECT_FALSE(card.fellBack);
    EXPECT_EQ(card.question, c.question);
    EXPECT_EQ(card.answer, c.answer);
  }
}

void expectFallBack(const std::vector<Field>& fields,
                    const std::vector<std::pair<std::string, std::string>>& formats,
                    bool cloze = false, int ordinal = 0) {
  for (const auto& [question, answer] : formats) {
    SCOPED_TRACE(testing::Message() << question << " / " << answer);
    const RenderedCard card = render(question, answer, fields, ordinal, cloze);
    EXPECT_TRUE(card.fellBack);
    EXPECT_EQ(card.question, fields.empty() ? "" : fields[0].value);
    EXPECT_EQ(card.answer, fields.size() < 2 ? "" : fields[1].value);
  }
}

const std::vector<Field> kBasic = {{"Front", "What?"}, {"Back", "That."}};
constexpr const char* kBasicAnswer = "{{FrontSide}}\n\n<hr id=answer>\n\n{{Back}}";

TEST(AnkiTemplate, BasicCardsShowTheirFieldsAndTheAnswerLeavesOutTheFrontSide) {
  expectCards(kBasic, {{"basic", "{{Front}}", kBasicAnswer, "What?", "That."},
                       {"reversed card", "{{Back}}", "{{FrontSide}}\n\n<hr id=answer>\n\n{{Front}}",
                        "That.", "What?", 1},
                       {"text around tags is copied as HTML", "<b>Q:</b> {{Front}}&nbsp;",
                        "<i>{{Back}}</i>", "<b>Q:</b> What?&nbsp;", "<i>That.</i>"},
                       {"both sides trimmed", "\n  {{Front}} \t\n",
                        "{{FrontSide}}<hr id=answer>\n {{Back}}\n", "What?", "That."},
                       {"a front side not at the start is shown", "{{Front}}",
                        "Asked: {{FrontSide}} {{Back}}", "What?", "Asked: What? That."},
                       {"a front side twice", "{{Front}}",
                        "{{FrontSide}}<hr id=answer>{{FrontSide}}", "What?", "What?"},
                       {"blanks inside tags", "{{ Front }}",
                        "{{  FrontSide\t}}<hr id=answer>{{\nBack }}", "What?", "That."}});
}

TEST(AnkiTemplate, OnlyTheAnswerRuleRightAfterALeadingFrontSideIsLeftOut) {
  const std::vector<Field> fields = {{"Front", "Q"}, {"Back", "A"}};
  std::vector<Case> cases = {
      {"bare", "{{Front}}", "{{FrontSide}}<hr id=answer>{{Back}}", "Q", "A"},
      {"double quotes", "{{Front}}", "{{FrontSide}}<hr id=\"answer\">{{Back}}", "Q", "A"},
      {"single quotes, any case", "{{Front}}", "{{FrontSide}}<HR ID='Answer'>{{Back}}", "Q", "A"},
      {"blanks and a slash", "{{Front}}", " \n{{FrontSide}}\r\n<hr  id = answer />\n{{Back}}", "Q",
       "A"},
      {"no rule", "{{Front}}", "{{FrontSide}}{{Back}}", "Q", "A"},
      {"another rule is kept", "{{Front}}", "{{FrontSide}}<hr>{{Back}}", "Q", "<hr>A"},
      {"a rule with more attributes is kept", "{{Front}}",
       "{{FrontSide}}<hr id=answer class=x>{{Back}}", "Q", "<hr id=answer class=x>A"},
      {"unmatched quotes are kept", "{{Front}}", "{{FrontSide}}<hr id=\"answer'>{{Back}}", "Q",
       "<hr id=\"answer'>A"},
      {"another id is kept", "{{Front}}", "{{FrontSide}}<hr id=answers>{{Back}}", "Q",
       "<hr id=answers>A"},
      {"front side inside markup is shown", "{{Front}}",
       "<div>{{FrontSide}}</div><hr id=answer>{{Back}}", "Q", "<div>Q</div><hr id=answer>A"},
      {"a rule without a front side is kept", "{{Front}}", "<hr id=answer>{{Back}}", "Q",
       "<hr id=answer>A"},
      {"only the front side", "{{Front}}", "{{FrontSide}}", "Q", ""}};
  expectCards(fields, cases);
}

TEST(AnkiTemplate, SectionsShowWhetherTheirFieldIsFilledOrEmpty) {
  const std::vector<Field> fields = {
      {"Front", "F"}, {"Back", "B"}, {"Add Reverse", "y"}, {"Extra", ""}};
  expectCards(
      fields,
      {{"optional reversed card, filled", "{{#Add Reverse}}{{Back}}{{/Add Reverse}}",
        "{{FrontSide}}<hr id=answer>{{Front}}", "B", "F", 1},
       {"section of an empty field", "{{Front}}{{#Extra}}<br>{{Extra}}{{/Extra}}", "", "F", ""},
       {"inverted section of an empty field", "{{^Extra}}none{{/Extra}}", "", "none", ""},
       {"inverted section of a filled field", "{{^Front}}none{{/Front}}|", "", "|", ""},
       {"nested", "{{#Front}}[{{#Extra}}e{{/Extra}}{{^Extra}}-{{/Extra}}]{{/Front}}", "", "[-]",
        ""},
       {"a name with blanks around it", "{{# Front }}y{{/ Front }}", "", "y", ""},
       {"the same section twice", "{{#Back}}1{{/Back}}{{#Back}}2{{/Back}}", "", "12", ""}});
  const std::vector<Field> notReversed = {{"Front", "F"}, {"Back", "B"}, {"Add Reverse", ""}};
  const RenderedCard card =
      render("{{#Add Reverse}}{{Back}}{{/Add Reverse}}", "{{Front}}", notReversed, 1);
  EXPECT_FALSE(card.fellBack);
  EXPECT_EQ(card.question, "") << "the importer tells this card was not made";
}

TEST(AnkiTemplate, AFieldOfBlanksAndEmptyMarkupCountsAsEmpty) {
  struct EmptyCase {
    const char* value;
    bool empty;
  };
  for (const EmptyCase& c : std::vector<EmptyCase>{{"", true},
                                                   {" \t\r\n", true},
                                                   {"<br>", true},
                                                   {"<br />", true},
                                                   {"<div></div>", true},
                                                   {"<div><br/></div>\n<p> </p>", true},
                                                   {"&nbsp;", true},
                                                   {"&#160; &#xA0;", true},
                                                   {"\xC2\xA0", true},
                                                   {"<span style=\"color:red\"></span>", true},
                                                   {"<b> </b><i></i>", true},
                                                   {"<!-- a note -->", true},
                                                   {"0", false},
                                                   {"<b>x</b>", false},
                                                   {"<img src=\"a.png\">", false},
                                                   {"<hr>", false},
                                                   {"&amp;", false},
                                                   {"&nbsp", false},
                                                   {"<br", false},
                                                   {"\xE3\x80\x80", false}}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.value)));
    const RenderedCard card =
        render("{{#F}}full{{/F}}{{^F}}empty{{/F}}", "", {{"F", c.value}, {"G", ""}});
    EXPECT_FALSE(card.fellBack);
    EXPECT_EQ(card.question, c.empty ? "empty" : "full");
  }
}

TEST(AnkiTemplate, FieldNamesMatchExactlyAfterTrimmingTheTag) {
  const std::vector<Field> fields = {{"Front Side", "1"},
                                     {"\xC3\x9C"
                                      "ber",
                                      "2"},
                                     {"Front", "3"},
                                     {"Front", "4"}};
  expectCards(fields, {{"spaces inside the name", "{{ Front Side }}", "", "1", ""},
                       {"non-ASCII name",
                        "{{\xC3\x9C"
                        "ber}}",
                        "", "2", ""},
                       {"tab and line break around", "{{\tFront\n}}", "", "3", ""},
                       {"the first of two fields of one name", "{{Front}}", "", "3", ""}});
  expectFallBack(fields, {{"{{front}}", ""}, {"{{Front  Side}}", ""}, {"{{ber}}", ""}});
}

const std::vector<Field> kCloze = {
    {"Text", "{{c1::Paris}} is the capital of {{c2::France::country}}, {{c1::big}}"},
    {"Back Extra", ""}};
constexpr const char* kClozeQuestion = "{{cloze:Text}}";
constexpr const char* kClozeAnswer =
    "{{cloze:Text}}{{#Back Extra}}<br>{{Back Extra}}{{/Back Extra}}";

TEST(AnkiTemplate, ClozeOfTheCardIsHiddenInTheQuestion) {
  expectCards(kCloze,
              {{"card 1 hides every c1", kClozeQuestion, kClozeAnswer,
                "[...] is the capital of France, [...]", "Paris is the capital of France, big", 0},
               {"card 2 hides c2 even with a hint", kClozeQuestion, kClozeAnswer,
                "Paris is the capital of [...], big", "Paris is the capital of France, big", 1}},
              true);
  const std::vector<Field> numbers = {
      {"Text", "{{c1::a}} {{c10::b}} {{C2::c}} {{c01::d}} {{c2::<b>e</b>::h}}"}};
  expectCards(
      numbers,
      {{"c1 is not c10, a leading zero counts", kClozeQuestion, kClozeQuestion,
        "[...] b c [...] <b>e</b>", "a b c d <b>e</b>", 0},
       {"c10", kClozeQuestion, kClozeQuestion, "a [...] c d <b>e</b>", "a b c d <b>e</b>", 9},
       {"capital C, markup inside", kClozeQuestion, kClozeQuestion, "a b [...] d [...]",
        "a b c d <b>e</b>", 1}},
      true);
}

TEST(AnkiTemplate, NestedDeletionsShowTheirTextUnlessTheirOwnCardAsks) {
  const std::vector<Field> fields = {{"Text", "{{c1::outer {{c2::inner::ih}} end::oh}} {{c3::x}}"}};
  expectCards(fields,
              {{"outer card hides the inner one too", kClozeQuestion, kClozeQuestion, "[...] x",
                "outer inner end x", 0},
               {"inner card shows the outer text", kClozeQuestion, kClozeQuestion,
                "outer [...] end x", "outer inner end x", 1}},
              true);
  std::string deep;
  for (std::size_t i = 0; i < kAnkiMaxNesting; ++i) deep += "{{c1::";
  deep += "x" + std::string(2 * kAnkiMaxNesting, '}');
  EXPECT_EQ(render(kClozeQuestion, kClozeQuestion, {{"Text", deep}}, 0, true).question, "[...]");
  expectFallBack({{"Text", "{{c1::" + deep + "}}"}}, {{kClozeQuestion, kClozeQuestion}}, true);
}

TEST(AnkiTemplate, ClozeMarkupThatNeverClosesStaysText) {
  struct MarkupCase {
    const char* text;
    const char* question;  // card 1
    const char* answer;
  };
  for (const MarkupCase& c : std::vector<MarkupCase>{
           {"{{c1::a}} {{c1::open", "[...] {{c1::open", "a {{c1::open"},
           {"x }} y {{c1::a}}", "x }} y [...]", "x }} y a"},
           {"{{c::a}} {{c1:b}} {{c1::c}}", "{{c::a}} {{c1:b}} [...]", "{{c::a}} {{c1:b}} c"},
           {"{{c1234567890::a}} {{c1::b}}", "{{c1234567890::a}} [...]", "{{c1234567890::a}} b"},
           {"{{c1::a::h::i}}", "[...]", "a"},
           {"{{c2::x {{c1::y}}", "{{c2::x [...]", "{{c2::x y"},
           {"{{c2::x::h {{c1::y}}", "{{c2::x::h [...]", "{{c2::x::h y"},
           {"{{c1::a}}}", "[...]}", "a}"}}) {
    SCOPED_TRACE(c.text);
    const RenderedCard card = render(kClozeQuestion, kClozeQuestion, {{"Text", c.text}}, 0, true);
    EXPECT_FALSE(card.fellBack);
    EXPECT_EQ(card.question, c.question);
    EXPECT_EQ(card.answer, c.answer);
  }
}

TEST(AnkiTemplate, ClozeCardWithoutItsDeletionInTheQuestionFallsBack) {
  expectFallBack(kCloze, {{kClozeQuestion, kClozeAnswer}}, true, 2);
  expectFallBack(kCloze, {{kClozeQuestion, kClozeAnswer}}, true, -1);
  expectFallBack(kCloze, {{"{{Text}}", kClozeAnswer}}, true, 0);
  expectFallBack(kCloze, {{"{{hint:cloze:Text}}", kClozeAnswer}}, true, 0);
  expectFallBack(kCloze, {{"{{type:cloze:Text}}", kClozeAnswer}}, true, 0);
  expectFallBack(kCloze, {{"{{#Back Extra}}{{cloze:Text}}{{/Back Extra}}", kClozeAnswer}}, true);
  expectFallBack({{"Text", "plain"}, {"Extra", "{{c1::x}}"}},
                 {{"{{cloze:Text}}{{Extra}}", "{{cloze:Text}}"}}, true);
  expectFallBack({{"Text", "{{c2::x::{{c1::in the hint}}}}"}}, {{kClozeQuestion, kClozeQuestion}},
                 true);
}

TEST(AnkiTemplate, TypedAnswerIsLeftOutOfTheQuestion) {
  expectCards({{"Front", "Capital?"}, {"Back", "Paris"}},
              {{"type:", "{{Front}}\n{{type:Back}}", "{{FrontSide}}<hr id=answer>{{type:Back}}",
                "Capital?", "Paris"},
               {"type:nc:", "{{Front}}{{type:nc:Back}}", "{{type:nc:Back}}", "Capital?", "Paris"}});
  expectCards({{"Text", "{{c1::Paris}} and {{c1::<i>Rome</i>::it}} not {{c2::Bern}}"}},
              {{"type:cloze: gives the card's answers", "{{cloze:Text}}{{type:cloze:Text}}",
                "{{cloze:Text}}<br>{{type:cloze:Text}}", "[...] and [...] not Bern",
                "Paris and <i>Rome</i> not Bern<br>Paris, <i>Rome</i>"}},
              true);
  expectCards({{"Text", "{{c1::a {{c1::b}}::h}} {{c2::c}}"}},
              {{"only the outermost deletion of the card", kClozeQuestion, "{{type:cloze:Text}}",
                "[...] c", "a b"}},
              true);
}

TEST(AnkiTemplate, HintIsLeftOutAndTextDropsMarkup) {
  const std::vector<Field> fields = {{"Front", "<b>Caf&eacute;</b> &amp; <br>bar"},
                                     {"Back", "Paris"},
                                     {"Text", "<i>{{c1::Paris}}</i> &lt;3 {{c2::Rome}}"}};
  expectCards(fields,
              {{"hint:", "{{Back}}{{hint:Front}}", "{{hint:Back}}{{Back}}", "Paris", "Paris"},
               {"text:", "{{text:Front}}", "{{ text : Back }}", "Caf&eacute; & bar", "Paris"}});
  expectCards(fields,
              {{"text:cloze:", "{{text:cloze:Text}}", "{{text:cloze:Text}}", "[...] <3 Rome",
                "Paris <3 Rome"}},
              true);
}

TEST(AnkiTemplate, WhatCannotBeRenderedFallsBackToTheFirstTwoFields) {
  const std::vector<Field> fields = {{"Front", " F "}, {"Back", "B"}, {"Extra", "E"}};
  expectFallBack(fields, {{"{{furigana:Front}}", "{{Back}}"},
                          {"{{kana:Front}}", "{{Back}}"},
                          {"{{kanji:Front}}", "{{Back}}"},
                          {"{{tts en_US:Front}}", "{{Back}}"},
                          {"{{tts-voices:}}", "{{Back}}"},
                          {"{{:Front}}", "{{Back}}"},
                          {"{{text:type:Front}}", "{{Back}}"},
                          {"{{type:text:Front}}", "{{Back}}"},
                          {"{{Nope}}", "{{Back}}"},
                          {"{{Front}}", "{{Nope}}"},
                          {"{{Front", "{{Back}}"},
                          {"{{Front}}", "{{Back}"},
                          {"{{}}", "{{Back}}"},
                          {"{{#Front}}x", "{{Back}}"},
                          {"{{#Front}}x{{/Back}}", "{{Back}}"},
                          {"{{/Front}}", "{{Back}}"},
                          {"{{#Front}}{{#Back}}{{/Front}}{{/Back}}", "{{Back}}"},
                          {"{{#}}{{/}}", "{{Back}}"},
                          {"{{#Nope}}x{{/Nope}}", "{{Back}}"},
                          {"{{=<% %>=}}<%Front%>", "{{Back}}"},
                          {"{{{Front}}}", "{{Back}}"},
                          {"{{FrontSide}}", "{{Back}}"},
                          {"{{Front}}", "{{text:FrontSide}}"},
                          {"{{text:text:text:text:text:text:text:text:text:Front}}", "{{Back}}"}});
  expectFallBack({{"Front", "only"}}, {{"{{Nope}}", ""}});
  expectFallBack({}, {{"{{Front}}", ""}});
  EXPECT_FALSE(render("{{text:text:text:text:text:text:text:text:Front}}", "", fields).fellBack);
}

TEST(AnkiTemplate, SectionsNestUpToTheLimit) {
  const auto nested = [](std::size_t depth) {
    std::string open;
    std::string close;
    for (std::size_t i = 0; i < depth; ++i) {
      open += "{{#F}}";
      close += "{{/F}}";
    }
    return open + "x" + close;
  };
  const std::vector<Field> fields = {{"F", "y"}};
  EXPECT_EQ(render(nested(kAnkiMaxNesting), "", fields).question, "x");
  expectFallBack(fields, {{nested(kAnkiMaxNesting + 1), ""}});
}

TEST(AnkiTemplate, ASideLongerThanTheLimitFallsBack) {
  const std::vector<Field> fields = {{"Big", std::string(kAnkiMaxSideBytes, 'a')}, {"B", "b"}};
  const RenderedCard atLimit = render("{{Big}}", "{{B}}", fields);
  EXPECT_FALSE(atLimit.fellBack);
  EXPECT_EQ(atLimit.question.size(), kAnkiMaxSideBytes);
  expectFallBack(
      fields,
      {{"{{Big}}x", "{{B}}"}, {"{{Big}}", "{{Big}}{{FrontSide}}"}, {"{{B}}", "{{Big}}{{Big}}"}});
}

TEST(AnkiTemplate, FilteringOneHugeFieldAgainAndAgainFallsBack) {
  const std::vector<Field> fields = {{"Big", std::string(kAnkiMaxFilterWork / 4, 'a')}};
  const std::string tag = "{{hint:text:Big}}";
  EXPECT_FALSE(render(tag + tag + tag, tag, fields).fellBack);
  expectFallBack(fields, {{tag + tag + tag, tag + tag}});
}

TEST(AnkiTemplate, HostileTextGivesAClearResult) {
  const std::string manyOpen(200000, '<');
  EXPECT_EQ(htmlToText(manyOpen), manyOpen);
  std::string tagsNeverClosed;
  for (int i = 0; i < 100000; ++i) tagsNeverClosed += "<a";
  EXPECT_EQ(htmlToText(tagsNeverClosed), tagsNeverClosed);
  EXPECT_FALSE(holdsMarkup(tagsNeverClosed));
  std::string comments;
  for (int i = 0; i < 100000; ++i) comments += "<!--";
  EXPECT_EQ(htmlToText(comments), comments);
  std::string braces(300000, '{');
  expectFallBack({{"F", braces}}, {{braces, braces}, {"{{cloze:F}}", "{{F}}"}}, true);
}

TEST(AnkiTemplate, HtmlToTextRemovesTagsAndDecodesTheCommonEntities) {
  struct TextCase {
    std::string html;
    std::string text;
  };
  for (const TextCase& c : std::vector<TextCase>{
           {"<b>bold</b> <a href=\"x\">link</a>", "bold link"},
           {"a &amp; b &lt;c&gt; &quot;d&quot; &#39;e&#39; &apos;f&apos;",
            "a & b <c> \"d\" 'e' 'f'"},
           {"x&nbsp;y", "x\xC2\xA0y"},
           {"&#65;&#x42;&#X43;&#x20AC;&#128512;", "ABC\xE2\x82\xAC\xF0\x9F\x98\x80"},
           {"&#0;|&#xD800;|&#x110000;|&#99999999999;",
            "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|&#99999999999;"},
           {"&#0000000065;", "A"},
           {"&copy; &amp &#; &#x; & x", "&copy; &amp &#; &#x; & x"},
           {"&amp;lt;", "&lt;"},
           {"a < b, c<d", "a < b, c<d"},
           {"c<d, 5 > 3", "c 3"},  // a '<' before a letter opens a tag
           {"<!-- note -->shown<!-- not closed", "shown<!-- not closed"},
           {"<style>b{color:red}</style>text<script>if (a<b) x()</script>!", "text!"},
           {"<STYLE>x</Style>y", "y"},
           {"<style>never closed", ""},
           {"line<br>two<br/>", "linetwo"},
           {"<img src=\"a.png\">", ""},
           {"</b", "</b"},
           {"unclosed <b", "unclosed <b"}}) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(htmlToText(c.html), c.text);
  }
}

TEST(AnkiTemplate, HoldsMarkupTellsTagsAndEntitiesFromPlainText) {
  for (const char* text : {"<b>x</b>", "line<br>", "&amp;", "<img src=a.png>", "x&#39;s",
                           "&#x1F600;", "</div>", "<!-- c -->", "&eacute;", "<!DOCTYPE html>"}) {
    EXPECT_TRUE(holdsMarkup(text)) << text;
  }
  for (const char* text : {"a < b", "plain", "", "AT&T", "a<b", "5 > 3", "x & y;", "&;", "<>",
                           "&#;", "</ b>", "<!-- open", "a <3 b"}) {
    EXPECT_FALSE(holdsMarkup(text)) << text;
  }
}

}  // namespace
}  // namespace kelvora::peers
