// Renders a card without recursion: a template becomes a flat list of tokens whose sections know
// where they end, and a field's cloze deletions a flat list of events whose deletions know where
// they close, so hostile nesting costs a bounded stack and linear time.
#include "peers/anki_template.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "store/utf8.h"

namespace kelvora::peers {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::string_view kHidden = "[...]";
constexpr std::string_view kNbsp = "\xC2\xA0";
// Digits a numeric character reference may have and still be decoded.
constexpr std::size_t kMaxReferenceDigits = 10;
// Characters between '&' and ';' that holdsMarkup accepts as an entity's name or number.
constexpr std::size_t kMaxEntityName = 32;
// Digits of a cloze number; longer runs are not a deletion.
constexpr std::size_t kMaxClozeDigits = 9;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAlnum(char c) { return isDigit(c) || isLetter(c); }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  return lower(c) - 'a' + 10;
}

// Whether s holds lowerPrefix at pos, ignoring the case of ASCII letters in s.
bool startsWithAt(std::string_view s, std::size_t pos, std::string_view lowerPrefix) {
  if (pos > s.size() || s.size() - pos < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (lower(s[pos + i]) != lowerPrefix[i]) return false;
  }
  return true;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

void trimInPlace(std::string& s) {
  const std::string_view kept = trimBlanks(s);
  if (kept.size() == s.size()) return;
  const auto offset = static_cast<std::size_t>(kept.data() - s.data());
  s = s.substr(offset, kept.size());
}

// ---- HTML ----

// Finds the tags of one HTML fragment. The last search for a closing '>' or "-->" is remembered,
// so a text full of '<' that never closes is still read in linear time.
class MarkupScanner {
 public:
  explicit MarkupScanner(std::string_view html) : m_html(html) {}

  // Length in bytes of the tag or comment beginning at pos, or 0 when none begins there.
  std::size_t tagLength(std::size_t pos) {
    if (pos + 1 >= m_html.size() || m_html[pos] != '<') return 0;
    if (m_html.compare(pos, 4, "<!--") == 0) {
      const std::size_t end = m_commentEnd.next(m_html, pos + 4);
      return end == kNone ? 0 : end + 3 - pos;
    }
    const char c = m_html[pos + 1];
    const bool opens = isLetter(c) || c == '!' || c == '?' ||
                       (c == '/' && pos + 2 < m_html.size() && isLetter(m_html[pos + 2]));
    if (!opens) return 0;
    const std::size_t end = m_tagEnd.next(m_html, pos + 1);
    return end == kNone ? 0 : end + 1 - pos;
  }

 private:
  // The first position at or after a given one where a needle occurs, remembered from the last
  // search and searched anew only once a caller has moved past it.
  template <std::size_t N>
  class NextOf {
   public:
    explicit NextOf(const char (&needle)[N]) : m_needle(needle, N - 1) {}
    std::size_t next(std::string_view html, std::size_t from) {
      if (!m_searched || from < m_from || (m_at != kNone && m_at < from)) {
        m_searched = true;
        m_from = from;
        m_at = html.find(m_needle, from);
      }
      return m_at;
    }

   private:
    std::string_view m_needle;
    bool m_searched = false;
    std::size_t m_from = 0;
    std::size_t m_at = kNone;
  };

  std::string_view m_html;
  NextOf<2> m_tagEnd{">"};
  NextOf<4> m_commentEnd{"-->"};
};

// The lower-case name of a tag as tagLength measured it ("br" for "<br/>" and "</br>"); empty for
// comments, "<!...>" and "<?...>".
std::string tagName(std::string_view tag) {
  std::size_t i = 1;
  if (i < tag.size() && tag[i] == '/') ++i;
  std::string name;
  while (i < tag.size() && isAlnum(tag[i])) name += lower(tag[i++]);
  return name;
}

bool isClosingTag(std::string_view tag) { return tag.size() > 1 && tag[1] == '/'; }

// The value of the src attribute of a start tag ("<img src=...>"), or nothing.
std::string_view sourceOf(std::string_view tag) {
  for (std::size_t at = tag.find('='); at != kNone; at = tag.find('=', at + 1)) {
    std::size_t nameEnd = at;
    while (nameEnd > 0 && isBlank(tag[nameEnd - 1])) --nameEnd;
    // "src" itself, not the end of "data-src".
    if (nameEnd < 4 || !startsWithAt(tag, nameEnd - 3, "src") || !isBlank(tag[nameEnd - 4])) {
      continue;
    }
    std::size_t value = at + 1;
    while (value < tag.size() && isBlank(tag[value])) ++value;
    if (value >= tag.size()) return {};
    const char quote = tag[value];
    if (quote == '"' || quote == '\'') {
      const std::size_t end = tag.find(quote, value + 1);
      if (end == kNone) return {};
      return tag.substr(value + 1, end - value - 1);
    }
    std::size_t end = value;
    while (end < tag.size() && !isBlank(tag[end]) && tag[end] != '/' && tag[end] != '>') ++end;
    return tag.substr(value, end - value);
  }
  return {};
}

// Decodes the character reference at html[pos] == '&' onto out; the bytes it took, or 0 (and out
// unchanged) when none of the decoded ones begins there.
std::size_t decodeReference(std::string_view html, std::size_t pos, std::string& out) {
  if (pos + 1 >= html.size()) return 0;
  if (html[pos + 1] == '#') {
    std::size_t i = pos + 2;
    const bool hex = i < html.size() && (html[i] == 'x' || html[i] == 'X');
    if (hex) ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    while (i < html.size() && i - first < kMaxReferenceDigits &&
           (hex ? isHexDigit(html[i]) : isDigit(html[i]))) {
      value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(hexValue(html[i]));
      ++i;
    }
    if (i == first || i >= html.size() || html[i] != ';') return 0;
    const bool valid = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
    store::appendUtf8(out, valid ? static_cast<std::uint32_t>(value) : 0xFFFD);
    return i + 1 - pos;
  }
  struct Named {
    std::string_view name;  // without '&', with ';'
    std::string_view text;
  };
  static constexpr std::array<Named, 6> kNamed = {{{"amp;", "&"},
                                                   {"lt;", "<"},
                                                   {"gt;", ">"},
                                                   {"quot;", "\""},
                                                   {"apos;", "'"},
                                                   {"nbsp;", kNbsp}}};
  for (const Named& n : kNamed) {
    if (html.compare(pos + 1, n.name.size(), n.name) == 0) {
      out += n.text;
      return n.name.size() + 1;
    }
  }
  return 0;
}

// Whether an entity reference of any name or number (not only the decoded ones) begins at
// text[pos] == '&'.
bool entityAt(std::string_view text, std::size_t pos) {
  std::size_t i = pos + 1;
  bool (*allowed)(char) = isAlnum;
  if (i < text.size() && text[i] == '#') {
    ++i;
    allowed = isDigit;
    if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
      ++i;
      allowed = isHexDigit;
    }
  } else if (i >= text.size() || !isLetter(text[i])) {
    return false;
  }
  const std::size_t first = i;
  while (i < text.size() && i - first <= kMaxEntityName && allowed(text[i])) ++i;
  return i > first && i - first <= kMaxEntityName && i < text.size() && text[i] == ';';
}

// Where the element whose content is raw text (style, script) that opened before from ends: the
// position of its closing tag, or the end of html when it is never closed.
std::size_t rawTextEnd(std::string_view html, std::size_t from, std::string_view name) {
  std::size_t at = html.find('<', from);
  while (at != kNone) {
    if (at + 1 < html.size() && html[at + 1] == '/' && startsWithAt(html, at + 2, name)) return at;
    at = html.find('<', at + 1);
  }
  return html.size();
}

// Tags that show nothing by themselves: a field holding only these, blanks and non-breaking
// spaces counts as empty.
bool isEmptyMarkup(std::string_view tag) {
  static constexpr std::array<std::string_view, 11> kEmpty = {
      "b", "br", "div", "em", "font", "i", "p", "s", "span", "strong", "u"};
  if (tag.size() > 1 && (tag[1] == '!' || tag[1] == '?')) return true;
  const std::string name = tagName(tag);
  return std::find(kEmpty.begin(), kEmpty.end(), name) != kEmpty.end();
}

// Whether a field's value shows nothing: blanks, non-breaking spaces (raw or as references) and
// empty markup only.
bool looksEmpty(std::string_view html) {
  MarkupScanner scanner(html);
  std::string decoded;
  std::size_t pos = 0;
  while (pos < html.size()) {
    const char c = html[pos];
    if (isBlank(c)) {
      ++pos;
    } else if (html.compare(pos, kNbsp.size(), kNbsp) == 0) {
      pos += kNbsp.size();
    } else if (c == '&') {
      decoded.clear();
      const std::size_t taken = decodeReference(html, pos, decoded);
      if (taken == 0 || (decoded != kNbsp && !(decoded.size() == 1 && isBlank(decoded[0])))) {
        return false;
      }
      pos += taken;
    } else if (c == '<') {
      const std::size_t taken = scanner.tagLength(pos);
      if (taken == 0 || !isEmptyMarkup(html.substr(pos, taken))) return false;
      pos += taken;
    } else {
      return false;
    }
  }
  return true;
}

// ---- Cloze deletions ----

enum class ClozeKind : std::uint8_t { Text, Open, Hint, Close };

// Offsets fit 32 bits because a field is charged to kAnkiMaxFilterWork before it is parsed.
struct ClozeEvent {
  ClozeKind kind;
  std::uint32_t begin = 0;  // the event's bytes in the field
  std::uint32_t size = 0;
  std::uint32_t number = 0;  // Open: the deletion's number
  std::uint32_t close = 0;   // Open and Hint: index of the deletion's Close event
};

// A field's value as events: "{{cN::" (or "{{CN::") opens a deletion, its first "::" begins the
// hint, "}}" closes the innermost open deletion. What never closes is text as it stands. False
// when deletions nest deeper than kAnkiMaxNesting.
bool parseCloze(std::string_view html, std::vector<ClozeEvent>& events) {
  struct Open {
    std::size_t event;
    bool hinted;
  };
  std::vector<Open> open;
  std::size_t textStart = 0;
  std::size_t pos = 0;
  const auto push = [&events](ClozeKind kind, std::size_t begin, std::size_t end,
                              std::uint32_t number = 0, std::size_t close = 0) {
    events.push_back({kind, static_cast<std::uint32_t>(begin),
                      static_cast<std::uint32_t>(end - begin), number,
                      static_cast<std::uint32_t>(close)});
  };
  const auto flushText = [&](std::size_t end) {
    if (end > textStart) push(ClozeKind::Text, textStart, end);
  };
  while (pos < html.size()) {
    if (html.compare(pos, 2, "{{") == 0 && pos + 2 < html.size() && lower(html[pos + 2]) == 'c') {
      std::size_t i = pos + 3;
      std::uint32_t number = 0;
      while (i < html.size() && isDigit(html[i]) && i - (pos + 3) < kMaxClozeDigits) {
        number = number * 10 + static_cast<std::uint32_t>(html[i] - '0');
        ++i;
      }
      if (i > pos + 3 && html.compare(i, 2, "::") == 0) {
        if (open.size() >= kAnkiMaxNesting) return false;
        flushText(pos);
        open.push_back({events.size(), false});
        push(ClozeKind::Open, pos, i + 2, number);
        pos = textStart = i + 2;
        continue;
      }
    }
    if (!open.empty() && !open.back().hinted && html.compare(pos, 2, "::") == 0) {
      flushText(pos);
      open.back().hinted = true;
      // Until the deletion closes, close names its Open event.
      push(ClozeKind::Hint, pos, pos + 2, 0, open.back().event);
      pos = textStart = pos + 2;
      continue;
    }
    if (!open.empty() && html.compare(pos, 2, "}}") == 0) {
      flushText(pos);
      events[open.back().event].close = static_cast<std::uint32_t>(events.size());
      push(ClozeKind::Close, pos, pos + 2);
      open.pop_back();
      pos = textStart = pos + 2;
      continue;
    }
    ++pos;
  }
  flushText(html.size());
  for (const Open& o : open) events[o.event].kind = ClozeKind::Text;
  for (ClozeEvent& e : events) {
    if (e.kind != ClozeKind::Hint) continue;
    const ClozeEvent& owner = events[e.close];
    if (owner.kind == ClozeKind::Open) {
      e.close = owner.close;
    } else {
      e.kind = ClozeKind::Text;
    }
  }
  return true;
}

enum class Side : std::uint8_t { Question, Answer };

// The field shown for card number n: its deletions numbered n as "[...]" in the question, every
// deletion as its text otherwise; hints left out. found tells whether a deletion numbered n was
// met outside a hint.
void showCloze(std::string_view html, const std::vector<ClozeEvent>& events, Side side,
               std::int64_t n, std::string& out, bool& found) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    const ClozeEvent& e = events[i];
    switch (e.kind) {
      case ClozeKind::Text:
        out += html.substr(e.begin, e.size);
        break;
      case ClozeKind::Open:
        if (e.number != n) break;
        found = true;
        if (side == Side::Question) {
          out += kHidden;
          i = e.close;
        }
        break;
      case ClozeKind::Hint:
        i = e.close;
        break;
      case ClozeKind::Close:
        break;
    }
  }
}

// The texts of card n's outermost deletions, hints left out, joined with ", ".
void clozeAnswers(std::string_view html, const std::vector<ClozeEvent>& events, std::int64_t n,
                  std::string& out) {
  std::size_t collecting = kNone;  // index of the Close of the deletion being read
  bool first = true;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const ClozeEvent& e = events[i];
    switch (e.kind) {
      case ClozeKind::Text:
        if (collecting != kNone) out += html.substr(e.begin, e.size);
        break;
      case ClozeKind::Open:
        if (collecting == kNone && e.number == n) {
          collecting = e.close;
          if (!first) out += ", ";
          first = false;
        }
        break;
      case ClozeKind::Hint:
        i = e.close - 1;  // the deletion's Close is read next
        break;
      case ClozeKind::Close:
        if (i == collecting) collecting = kNone;
        break;
    }
  }
}

// ---- Templates ----

enum class TokenKind : std::uint8_t { Text, Field, Section, InvertedSection, SectionEnd };

struct Token {
  TokenKind kind;
  std::string_view text;  // Text: the HTML; Field: the tag's trimmed content; sections: the name
  std::size_t end = 0;    // sections: index of the matching SectionEnd
};

// False when the template cannot be rendered: an unclosed "{{", an empty tag, a delimiter change,
// a section closed by another name or never closed, or sections nested past kAnkiMaxNesting.
bool parseTemplate(std::string_view tmpl, std::vector<Token>& tokens) {
  std::vector<std::size_t> open;
  std::size_t pos = 0;
  while (pos < tmpl.size()) {
    const std::size_t start = tmpl.find("{{", pos);
    if (start == kNone) {
      tokens.push_back({TokenKind::Text, tmpl.substr(pos)});
      break;
    }
    if (start > pos) tokens.push_back({TokenKind::Text, tmpl.substr(pos, start - pos)});
    const std::size_t close = tmpl.find("}}", start + 2);
    if (close == kNone) return false;
    const std::string_view content = trimBlanks(tmpl.substr(start + 2, close - start - 2));
    pos = close + 2;
    if (content.empty()) return false;
    const std::string_view name = trimBlanks(content.substr(1));
    switch (content.front()) {
      case '#':
      case '^':
        if (name.empty() || open.size() >= kAnkiMaxNesting) return false;
        open.push_back(tokens.size());
        tokens.push_back(
            {content.front() == '#' ? TokenKind::Section : TokenKind::InvertedSection, name});
        break;
      case '/':
        if (open.empty() || tokens[open.back()].text != name) return false;
        tokens[open.back()].end = tokens.size();
        open.pop_back();
        tokens.push_back({TokenKind::SectionEnd, name});
        break;
      case '=':
        return false;
      default:
        tokens.push_back({TokenKind::Field, content});
        break;
    }
  }
  return open.empty();
}

// The answer template without a leading {{FrontSide}} and the <hr id=answer> right after it.
std::string_view withoutFrontSide(std::string_view answerFormat) {
  std::string_view rest = answerFormat;
  while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  if (rest.substr(0, 2) != "{{") return answerFormat;
  const std::size_t close = rest.find("}}");
  if (close == kNone || trimBlanks(rest.substr(2, close - 2)) != "FrontSide") return answerFormat;
  rest.remove_prefix(close + 2);
  const std::string_view afterFrontSide = rest;

  const auto skipBlanks = [&rest] {
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
  };
  const auto take = [&rest](std::string_view lowerWord) {
    if (!startsWithAt(rest, 0, lowerWord)) return false;
    rest.remove_prefix(lowerWord.size());
    return true;
  };
  skipBlanks();
  if (!take("<hr")) return afterFrontSide;
  if (rest.empty() || !isBlank(rest.front())) return afterFrontSide;
  skipBlanks();
  if (!take("id")) return afterFrontSide;
  skipBlanks();
  if (!take("=")) return afterFrontSide;
  skipBlanks();
  const char quote = rest.empty() ? '\0' : rest.front();
  const bool quoted = quote == '"' || quote == '\'';
  if (quoted) rest.remove_prefix(1);
  if (!take("answer")) return afterFrontSide;
  if (quoted && !take(std::string_view(&quote, 1))) return afterFrontSide;
  skipBlanks();
  take("/");
  if (!take(">")) return afterFrontSide;
  return rest;
}

class CardRenderer {
 public:
  CardRenderer(std::span<const NoteField> fields, std::int64_t clozeNumber)
      : m_fields(fields), m_n(clozeNumber), m_empty(fields.size(), kUnknown) {
    m_byName.resize(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) m_byName[i] = i;
    std::stable_sort(m_byName.begin(), m_byName.end(),
                     [&](std::size_t a, std::size_t b) { return fields[a].name < fields[b].name; });
  }

  // Renders one side onto out (empty before); false to fall back.
  bool render(std::string_view tmpl, Side side, std::string& out) {
    m_tokens.clear();
    if (!parseTemplate(tmpl, m_tokens)) return false;
    for (std::size_t i = 0; i < m_tokens.size(); ++i) {
      const Token& t = m_tokens[i];
      switch (t.kind) {
        case TokenKind::Text:
          if (!append(out, t.text)) return false;
          break;
        case TokenKind::Field:
          if (!appendField(t.text, side, out)) return false;
          break;
        case TokenKind::Section:
        case TokenKind::InvertedSection: {
          const std::size_t field = find(t.text);
          if (field == kNone) return false;
          if ((t.kind == TokenKind::Section) == isEmpty(field)) i = t.end;
          break;
        }
        case TokenKind::SectionEnd:
          break;
      }
    }
    return true;
  }

  // Whether the question rendered a deletion of the card's number through a cloze filter.
  bool clozeFound() const { return m_clozeFound; }
  void setFrontSide(std::string_view question) { m_frontSide = question; }

 private:
  static constexpr std::int8_t kUnknown = -1;

  static bool append(std::string& out, std::string_view s) {
    if (s.size() > kAnkiMaxSideBytes - out.size()) return false;
    out += s;
    return true;
  }

  std::size_t find(std::string_view name) const {
    const auto at = std::lower_bound(
        m_byName.begin(), m_byName.end(), name,
        [&](std::size_t field, std::string_view n) { return m_fields[field].name < n; });
    return at != m_byName.end() && m_fields[*at].name == name ? *at : kNone;
  }

  bool isEmpty(std::size_t field) {
    if (m_empty[field] == kUnknown) m_empty[field] = looksEmpty(m_fields[field].value) ? 1 : 0;
    return m_empty[field] == 1;
  }

  // Charges the reading of bytes by a filter; false once the card's budget is spent.
  bool charge(std::size_t bytes) {
    if (bytes > kAnkiMaxFilterWork - m_work) return false;
    m_work += bytes;
    return true;
  }

  bool parseClozeOf(std::string_view html) {
    m_events.clear();
    return charge(html.size()) && parseCloze(html, m_events);
  }

  // content: a field tag's trimmed content, "filter:...:filter:Name".
  bool appendField(std::string_view content, Side side, std::string& out) {
    std::array<std::string_view, kAnkiMaxFilters> filters;
    std::size_t count = 0;
    for (std::size_t colon = content.find(':'); colon != kNone; colon = content.find(':')) {
      if (count == filters.size()) return false;
      filters[count++] = trimBlanks(content.substr(0, colon));
      content.remove_prefix(colon + 1);
    }
    const std::string_view name = trimBlanks(content);
    if (side == Side::Answer && name == "FrontSide") {
      return count == 0 && append(out, m_frontSide);
    }
    const std::size_t field = find(name);
    if (field == kNone) return false;
    const std::string_view value = m_fields[field].value;
    if (count == 0) return append(out, value);

    if (filters[0] == "type") {
      const bool plain = count == 1 || (count == 2 && filters[1] == "nc");
      if (!plain && !(count == 2 && filters[1] == "cloze")) return false;
      if (side == Side::Question) return true;
      if (plain) return append(out, value);
      if (!parseClozeOf(value)) return false;
      m_value.clear();
      clozeAnswers(value, m_events, m_n, m_value);
      return append(out, m_value);
    }

    bool found = false;
    bool hinted = false;
    m_value.assign(value);
    for (std::size_t i = count; i-- > 0;) {
      if (filters[i] == "cloze") {
        if (!parseClozeOf(m_value)) return false;
        m_scratch.clear();
        showCloze(m_value, m_events, side, m_n, m_scratch, found);
        m_value.swap(m_scratch);
      } else if (filters[i] == "text") {
        if (!charge(m_value.size())) return false;
        m_value = htmlToText(m_value);
      } else if (filters[i] == "hint") {
        hinted = true;
        m_value.clear();
      } else {
        return false;
      }
    }
    if (side == Side::Question && found && !hinted) m_clozeFound = true;
    return append(out, m_value);
  }

  std::span<const NoteField> m_fields;
  std::int64_t m_n;
  std::vector<std::size_t> m_byName;  // field indices ordered by name, equal names as given
  std::vector<std::int8_t> m_empty;   // per field: kUnknown, 0 or 1
  std::vector<Token> m_tokens;
  std::vector<ClozeEvent> m_events;
  std::string m_value;
  std::string m_scratch;
  std::string_view m_frontSide;
  std::size_t m_work = 0;
  bool m_clozeFound = false;
};

}  // namespace

RenderedCard renderCard(std::string_view questionFormat, std::string_view answerFormat,
                        std::span<const NoteField> fields, int cardOrdinal, bool cloze) {
  const std::int64_t n = std::int64_t{cardOrdinal} + 1;
  RenderedCard card;
  CardRenderer renderer(fields, n);
  bool rendered =
      !(cloze && n < 1) && renderer.render(questionFormat, Side::Question, card.question);
  if (rendered) trimInPlace(card.question);
  rendered = rendered && (!cloze || renderer.clozeFound());
  if (rendered) {
    renderer.setFrontSide(card.question);
    rendered = renderer.render(withoutFrontSide(answerFormat), Side::Answer, card.answer);
  }
  if (!rendered) {
    card.question.assign(fields.empty() ? std::string_view() : fields[0].value);
    card.answer.assign(fields.size() < 2 ? std::string_view() : fields[1].value);
    card.fellBack = true;
    return card;
  }
  trimInPlace(card.answer);
  return card;
}

std::string htmlToText(std::string_view html, HtmlTextOptions options) {
  std::string out;
  out.reserve(html.size());
  MarkupScanner scanner(html);
  std::size_t pos = 0;
  while (pos < html.size()) {
    const char c = html[pos];
    if (c == '<') {
      const std::size_t taken = scanner.tagLength(pos);
      if (taken > 0) {
        const std::string_view tag = html.substr(pos, taken);
        pos += taken;
        if (!isClosingTag(tag) && lower(tag[1]) == 's') {
          const std::string name = tagName(tag);
          if (name == "style" || name == "script") pos = rawTextEnd(html, pos, name);
        }
        if (options.breaksAsLines) {
          const std::string name = tagName(tag);
          const bool closing = isClosingTag(tag);
          if ((!closing && name == "br") ||
              (closing && (name == "div" || name == "p" || name == "li" || name == "tr"))) {
            out.push_back('\n');
          }
        }
        if (options.imageNames && !isClosingTag(tag) && tagName(tag) == "img") {
          if (const std::string_view source = sourceOf(tag); !source.empty()) {
            out.push_back(' ');
            out += source;
            out.push_back(' ');
          }
        }
        continue;
      }
    } else if (c == '&') {
      const std::size_t taken = decodeReference(html, pos, out);
      if (taken > 0) {
        pos += taken;
        continue;
      }
    }
    const std::size_t next = std::min(html.find_first_of("<&", pos + 1), html.size());
    out.append(html, pos, next - pos);
    pos = next;
  }
  return out;
}

bool holdsMarkup(std::string_view text) {
  MarkupScanner scanner(text);
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (text[pos] == '<' && scanner.tagLength(pos) > 0) return true;
    if (text[pos] == '&' && entityAt(text, pos)) return true;
  }
  return false;
}

}  // namespace kelvora::peers
