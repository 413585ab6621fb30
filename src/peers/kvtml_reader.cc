// Reads KVTML 2 documents: a small non-validating XML scanner that checks the markup is sound, and
// a reader that follows the few element paths carrying identifiers, texts and grades.
#include "peers/kvtml_reader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "store/utf8.h"

namespace kelvora::peers {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
// Longest entity or character reference expanded, '&' to ';' inclusive, in bytes; a longer one is
// kept as written.
constexpr std::size_t kMaxReferenceLength = 32;
// Attributes kept per start tag: the reader needs at most two, and a hostile tag must not grow
// memory beyond this.
constexpr std::size_t kMaxAttributes = 64;
// Numbers read from texts saturate here, well above every limit they are held to.
constexpr std::uint64_t kNumberCeiling = std::uint64_t{1} << 40;
// Longest stretch of a version or encoding name quoted back in a message, in bytes.
constexpr std::size_t kMaxQuoted = 24;

constexpr std::u16string_view kNotKvtml = u"The file is not a KVTML 2 document.";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::u16string widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::u16string number(std::uint64_t n) { return widen(std::to_string(n)); }

// Input text safe to show in a message: printable ASCII, anything else as '?', at most kMaxQuoted.
std::u16string quoted(std::string_view s) {
  std::u16string out;
  for (const char c : s.substr(0, kMaxQuoted)) out.push_back(c >= 0x20 && c < 0x7F ? c : u'?');
  return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// UTF-8 to UTF-16. Each ill-formed sequence (its longest well-formed start, or one stray byte)
// becomes one U+FFFD, and so does NUL, which XML text cannot hold. A CR left by a character
// reference ends a line as a written one does: CR LF and a lone CR become LF.
std::u16string toUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
      ++i;
      if (lead == '\r') {
        if (i < n && s[i] == '\n') continue;
        out.push_back(u'\n');
      } else {
        out.push_back(lead == 0 ? kReplacement : static_cast<char16_t>(lead));
      }
      continue;
    }
    std::size_t following = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte, tighter for some leads
    if (lead >= 0xC2 && lead <= 0xDF) {
      following = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      following = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      following = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool whole = true;
    for (std::size_t k = 0; k < following; ++k, ++j) {
      const auto c = j < n ? static_cast<unsigned char>(s[j]) : 0;
      if (j >= n || c < low || c > high) {
        whole = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    i = j;
    if (!whole) {
      out.push_back(kReplacement);
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
  }
  return out;
}

// Expands the reference at the start of `s` (which begins with '&') into `out` and returns the
// bytes it took. A reference this reader does not know is kept as written: only its '&' is taken.
std::size_t expandReference(std::string& out, std::string_view s) {
  const std::size_t semicolon = s.substr(0, kMaxReferenceLength).find(';');
  if (semicolon == std::string_view::npos) {
    out.push_back('&');
    return 1;
  }
  const std::string_view name = s.substr(1, semicolon - 1);
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, c] : kNamed) {
    if (name == entity) {
      out.push_back(c);
      return semicolon + 1;
    }
  }
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t value = 0;
    bool wellFormed = !digits.empty();
    for (const char c : digits) {
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) {
        wellFormed = false;
        break;
      }
      value = std::min<std::uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
    }
    if (wellFormed) {
      if (value == 0 || value >= 0x110000 || (value >= 0xD800 && value <= 0xDFFF)) {
        out.append(kReplacementUtf8);
      } else {
        store::appendUtf8(out, value);
      }
      return semicolon + 1;
    }
  }
  out.push_back('&');
  return 1;
}

// Appends character data as UTF-8 with line ends (CR LF, lone CR) made LF, and, unless it is a
// CDATA section, references expanded.
void appendCharacters(std::string& out, std::string_view raw, bool expand) {
  const std::string_view stops = expand ? std::string_view("&\r") : std::string_view("\r");
  std::size_t i = 0;
  while (i < raw.size()) {
    const std::size_t stop = raw.find_first_of(stops, i);
    if (stop == std::string_view::npos) {
      out.append(raw.substr(i));
      return;
    }
    out.append(raw.substr(i, stop - i));
    if (raw[stop] == '\r') {
      out.push_back('\n');
      i = stop + 1;
      if (i < raw.size() && raw[i] == '\n') ++i;
    } else {
      i = stop + expandReference(out, raw.substr(stop));
    }
  }
}

// Decimal digits with surrounding white space; values past kNumberCeiling read as it.
std::optional<std::uint64_t> parseNumber(std::string_view s) {
  s = trim(s);
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(c - '0'), kNumberCeiling);
  }
  return value;
}

std::optional<int> parseId(std::string_view s) {
  const auto value = parseNumber(s);
  if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

// "YYYY-MM-DD", alone or followed by 'T' or a space and a time of day, which is not checked.
std::optional<KvtmlDate> parseDate(std::string_view s) {
  s = trim(s);
  if (s.size() < 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  if (s.size() > 10 && s[10] != 'T' && s[10] != ' ') return std::nullopt;
  const auto year = parseNumber(s.substr(0, 4));
  const auto month = parseNumber(s.substr(5, 2));
  const auto day = parseNumber(s.substr(8, 2));
  if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1) {
    return std::nullopt;
  }
  static constexpr std::uint8_t kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  const unsigned days = kDaysInMonth[*month - 1] + (*month == 2 && leap ? 1 : 0);
  if (*day > days) return std::nullopt;
  return KvtmlDate{static_cast<std::uint16_t>(*year), static_cast<std::uint8_t>(*month),
                   static_cast<std::uint8_t>(*day)};
}

// ---- XML scanner ----------------------------------------------------------------------------

enum class TokenType : std::uint8_t { StartTag, EndTag, Text, CData, End };

// Each field besides type is set only by the types that use it.
struct Token {
  TokenType type = TokenType::End;
  std::string_view name;  // of a start or end tag
  std::string_view text;  // raw character data of Text and CData
  bool empty = false;     // a start tag closed by "/>"
};

struct Attribute {
  std::string_view name;
  std::string_view value;  // as written between the quotes, references not expanded
};

// Splits the document into the tokens the reader needs, skipping comments, processing
// instructions and the document type declaration. Checks that tags nest and match, that quotes,
// comments and CDATA sections close, and that nothing but white space and markup lies outside
// the root; character data is not checked beyond that. Every byte is looked at a bounded number
// of times, and open elements are bounded by kKvtmlMaxDepth.
class XmlScanner {
 public:
  XmlScanner(std::string_view bytes, std::size_t start) : m_bytes(bytes), m_pos(start) {
    m_open.reserve(kKvtmlMaxDepth);
  }

  // False with error() set when the markup is broken; then the scanner is not to be used again.
  bool next(Token& token) {
    const std::size_t n = m_bytes.size();
    for (;;) {
      if (m_pos >= n) {
        if (!m_open.empty()) return cutShort();
        token.type = TokenType::End;
        return true;
      }
      if (m_bytes[m_pos] != '<') {
        const std::size_t lt = std::min(m_bytes.find('<', m_pos), n);
        const std::string_view text = m_bytes.substr(m_pos, lt - m_pos);
        if (m_open.empty()) {
          const auto stray =
              std::find_if(text.begin(), text.end(), [](char c) { return !isSpace(c); });
          if (stray != text.end()) return broken(m_pos + (stray - text.begin()));
          m_pos = lt;
          continue;
        }
        m_pos = lt;
        token.type = TokenType::Text;
        token.text = text;
        return true;
      }
      const char second = m_pos + 1 < n ? m_bytes[m_pos + 1] : '\0';
      if (second == '/') return scanEndTag(token);
      if (second != '!' && second != '?') return scanStartTag(token);
      const std::string_view rest = m_bytes.substr(m_pos);
      if (rest.starts_with("<!--")) {
        if (!skipPast("-->", m_pos + 4)) return false;
      } else if (rest.starts_with("<![CDATA[")) {
        if (m_open.empty()) return broken(m_pos);
        const std::size_t begin = m_pos + 9;
        const std::size_t end = m_bytes.find("]]>", begin);
        if (end == std::string_view::npos) return cutShort();
        token.type = TokenType::CData;
        token.text = m_bytes.substr(begin, end - begin);
        m_pos = end + 3;
        return true;
      } else if (rest.starts_with("<!DOCTYPE")) {
        if (m_rootSeen) return broken(m_pos);
        if (!skipDoctype()) return false;
      } else if (second == '?') {
        if (!skipProcessingInstruction()) return false;
      } else {
        return broken(m_pos);
      }
    }
  }

  // The raw value of an attribute of the last start tag.
  std::optional<std::string_view> attribute(std::string_view name) const {
    for (const Attribute& a : m_attributes) {
      if (a.name == name) return a.value;
    }
    return std::nullopt;
  }

  bool rootSeen() const { return m_rootSeen; }
  std::optional<std::string_view> declaredEncoding() const { return m_encoding; }
  const std::u16string& error() const { return m_error; }

 private:
  bool broken(std::size_t at) {
    m_error = u"The file's XML is broken near byte " + number(at) + u".";
    return false;
  }

  bool cutShort() {
    m_error = u"The file's XML is cut short at byte " + number(m_bytes.size()) + u".";
    return false;
  }

  static constexpr auto kEndsName = [] {
    std::array<bool, 256> ends{};
    for (const unsigned char c : std::string_view(" \t\n\r/>=<\"'")) ends[c] = true;
    return ends;
  }();

  static bool endsName(char c) { return kEndsName[static_cast<unsigned char>(c)]; }

  std::size_t nameEnd(std::size_t from) const {
    while (from < m_bytes.size() && !endsName(m_bytes[from])) ++from;
    return from;
  }

  std::size_t skipSpace(std::size_t from) const {
    while (from < m_bytes.size() && isSpace(m_bytes[from])) ++from;
    return from;
  }

  bool skipPast(std::string_view terminator, std::size_t from) {
    const std::size_t end = m_bytes.find(terminator, from);
    if (end == std::string_view::npos) return cutShort();
    m_pos = end + terminator.size();
    return true;
  }

  // The internal subset may hold declarations with quoted '>' and comments; entities it
  // declares are not expanded later.
  bool skipDoctype() {
    bool inSubset = false;
    std::size_t i = m_pos + 9;
    while (i < m_bytes.size()) {
      const char c = m_bytes[i];
      if (c == '"' || c == '\'') {
        const std::size_t close = m_bytes.find(c, i + 1);
        if (close == std::string_view::npos) return cutShort();
        i = close + 1;
        continue;
      }
      if (inSubset && m_bytes.substr(i).starts_with("<!--")) {
        const std::size_t close = m_bytes.find("-->", i + 4);
        if (close == std::string_view::npos) return cutShort();
        i = close + 3;
        continue;
      }
      if (c == '[') inSubset = true;
      if (c == ']') inSubset = false;
      if (c == '>' && !inSubset) {
        m_pos = i + 1;
        return true;
      }
      ++i;
    }
    return cutShort();
  }

  // Notes the encoding the XML declaration names; a declaration too garbled to read is passed
  // over like any other processing instruction.
  bool skipProcessingInstruction() {
    const std::size_t begin = m_pos + 2;
    const std::size_t end = m_bytes.find("?>", begin);
    if (end == std::string_view::npos) return cutShort();
    m_pos = end + 2;
    const std::string_view body = m_bytes.substr(begin, end - begin);
    if (m_rootSeen || m_encoding || !body.starts_with("xml") || body.size() < 4 ||
        !isSpace(body[3])) {
      return true;
    }
    const std::size_t key = body.find("encoding");
    if (key == std::string_view::npos) return true;
    std::string_view value = trim(body.substr(key + 8));
    if (!value.starts_with('=')) return true;
    value = trim(value.substr(1));
    if (value.empty() || (value[0] != '"' && value[0] != '\'')) return true;
    const std::size_t close = value.find(value[0], 1);
    if (close == std::string_view::npos) return true;
    m_encoding = value.substr(1, close - 1);
    return true;
  }

  bool scanEndTag(Token& token) {
    const std::size_t n = m_bytes.size();
    const std::size_t begin = m_pos + 2;
    const std::size_t stop = nameEnd(begin);
    if (stop >= n) return cutShort();
    if (stop == begin) return broken(begin);
    const std::size_t close = skipSpace(stop);
    if (close >= n) return cutShort();
    if (m_bytes[close] != '>') return broken(close);
    const std::string_view name = m_bytes.substr(begin, stop - begin);
    if (m_open.empty() || m_open.back() != name) return broken(m_pos);
    m_open.pop_back();
    token.type = TokenType::EndTag;
    token.name = name;
    m_pos = close + 1;
    return true;
  }

  bool scanStartTag(Token& token) {
    const std::size_t n = m_bytes.size();
    if (m_open.empty() && m_rootSeen) return broken(m_pos);  // a second root
    const std::size_t begin = m_pos + 1;
    std::size_t i = nameEnd(begin);
    if (i >= n) return cutShort();
    if (i == begin) return broken(begin);
    const std::string_view name = m_bytes.substr(begin, i - begin);
    m_attributes.clear();
    bool empty = false;
    for (;;) {
      i = skipSpace(i);
      if (i >= n) return cutShort();
      if (m_bytes[i] == '>') {
        ++i;
        break;
      }
      if (m_bytes[i] == '/') {
        if (i + 1 >= n) return cutShort();
        if (m_bytes[i + 1] != '>') return broken(i);
        i += 2;
        empty = true;
        break;
      }
      const std::size_t nameStop = nameEnd(i);
      if (nameStop >= n) return cutShort();
      if (nameStop == i) return broken(i);
      const std::string_view attributeName = m_bytes.substr(i, nameStop - i);
      i = skipSpace(nameStop);
      if (i >= n) return cutShort();
      if (m_bytes[i] != '=') return broken(i);
      i = skipSpace(i + 1);
      if (i >= n) return cutShort();
      const char quote = m_bytes[i];
      if (quote != '"' && quote != '\'') return broken(i);
      const std::size_t close = m_bytes.find(quote, i + 1);
      if (close == std::string_view::npos) return cutShort();
      const std::string_view value = m_bytes.substr(i + 1, close - i - 1);
      if (const std::size_t lt = value.find('<'); lt != std::string_view::npos) {
        return broken(i + 1 + lt);
      }
      if (m_attributes.size() < kMaxAttributes) m_attributes.push_back({attributeName, value});
      i = close + 1;
    }
    if (m_open.size() >= kKvtmlMaxDepth) {
      m_error = u"The file's XML nests elements deeper than " + number(kKvtmlMaxDepth) +
                u" levels, near byte " + number(m_pos) + u".";
      return false;
    }
    if (!empty) m_open.push_back(name);
    m_rootSeen = true;
    token.type = TokenType::StartTag;
    token.name = name;
    token.empty = empty;
    m_pos = i;
    return true;
  }

  std::string_view m_bytes;
  std::size_t m_pos;
  std::vector<std::string_view> m_open;  // names of the open elements, outermost first
  std::vector<Attribute> m_attributes;
  std::optional<std::string_view> m_encoding;
  bool m_rootSeen = false;
  std::u16string m_error;
};

// ---- KVTML ----------------------------------------------------------------------------------

// What an open element means to the reader; everything below an Other is Other.
enum class Kind : std::uint8_t {
  Other,
  Root,
  Identifiers,
  Identifier,
  IdentifierName,
  Entries,
  Entry,
  Inactive,
  QuestionTranslation,
  AnswerTranslation,
  QuestionText,
  AnswerText,
  Grade,
  CurrentGrade,
  Count,
  ErrorCount,
  Date,
};

bool collectsText(Kind kind) {
  switch (kind) {
    case Kind::IdentifierName:
    case Kind::Inactive:
    case Kind::QuestionText:
    case Kind::AnswerText:
    case Kind::CurrentGrade:
    case Kind::Count:
    case Kind::ErrorCount:
    case Kind::Date:
      return true;
    default:
      return false;
  }
}

struct Direction {
  int question;
  int answer;
};

using EntrySink = std::function<bool(const KvtmlEntry&)>;

// One reading of the whole document. Without a direction it checks the document and gathers its
// identifiers into the report; with one it hands over the entries of that direction, so that a
// broken document is refused before the caller has seen any entry.
class DocumentReader {
 public:
  DocumentReader(std::string_view bytes, std::size_t start, KvtmlReport& report,
                 const Direction* direction, const EntrySink* sink)
      : m_scanner(bytes, start), m_report(report), m_direction(direction), m_sink(sink) {
    m_kinds.reserve(kKvtmlMaxDepth);
  }

  // False with report.error set when the document cannot be read; false with it empty when the
  // sink asked to stop.
  bool read() {
    Token token;
    for (;;) {
      if (!m_scanner.next(token)) return fail(m_scanner.error());
      switch (token.type) {
        case TokenType::End:
          return m_scanner.rootSeen() || fail(kNotKvtml);
        case TokenType::StartTag:
          if (!openElement(token.name)) return false;
          if (token.empty && !closeElement()) return false;
          break;
        case TokenType::EndTag:
          if (!closeElement()) return false;
          break;
        case TokenType::Text:
        case TokenType::CData:
          if (!m_kinds.empty() && collectsText(m_kinds.back())) {
            appendCharacters(m_text, token.text, token.type == TokenType::Text);
          }
          break;
      }
    }
  }

 private:
  bool fail(std::u16string_view message) {
    m_report.error = message;
    return false;
  }

  std::optional<int> idAttribute(std::string_view name) const {
    const auto raw = m_scanner.attribute(name);
    if (!raw) return std::nullopt;
    std::string value;
    appendCharacters(value, *raw, true);
    return parseId(value);
  }

  bool openRoot(std::string_view name) {
    if (name != "kvtml") return fail(kNotKvtml);
    if (const auto encoding = m_scanner.declaredEncoding();
        encoding && !equalsIgnoringCase(*encoding, "UTF-8") &&
        !equalsIgnoringCase(*encoding, "UTF8") && !equalsIgnoringCase(*encoding, "US-ASCII")) {
      return fail(u"The file is encoded in " + quoted(*encoding) + u"; only UTF-8 is read.");
    }
    const auto version = m_scanner.attribute("version");
    if (!version) return fail(kNotKvtml);
    const std::string_view v = trim(*version);
    if (v != "2" && !v.starts_with("2.")) {
      return fail(u"The file is KVTML version " + quoted(v) + u"; only version 2 is read.");
    }
    m_kinds.push_back(Kind::Root);
    return true;
  }

  Kind translationKind() {
    const auto id = idAttribute("id");
    if (id && *id == m_direction->question && !m_questionTranslationSeen) {
      m_questionTranslationSeen = true;
      return Kind::QuestionTranslation;
    }
    if (id && *id == m_direction->answer && !m_answerTranslationSeen) {
      m_answerTranslationSeen = true;
      return Kind::AnswerTranslation;
    }
    return Kind::Other;
  }

  Kind gradeKind() {
    const auto from = idAttribute("fromid");
    if (!from || *from != m_direction->question || m_gradeSeen) return Kind::Other;
    m_gradeSeen = true;
    return Kind::Grade;
  }

  void startIdentifier() {
    m_identifierId = idAttribute("id");
    m_identifierName.clear();
    m_identifierNamed = false;
  }

  void startEntry() {
    const auto id = m_scanner.attribute("id");
    m_entry.id.clear();
    if (id) appendCharacters(m_entry.id, *id, true);
    m_entry.question.clear();
    m_entry.answer.clear();
    m_entry.inactive = false;
    m_entry.box = 0;
    m_entry.date.reset();
    m_entry.count = 0;
    m_entry.errorCount = 0;
    m_questionTranslationSeen = m_answerTranslationSeen = m_gradeSeen = false;
    m_questionTextSeen = m_answerTextSeen = false;
  }

  Kind childKind(Kind parent, std::string_view name) {
    switch (parent) {
      case Kind::Root:
        if (name == "identifiers" && !m_direction) return Kind::Identifiers;
        if (name == "entries" && m_direction) return Kind::Entries;
        break;
      case Kind::Identifiers:
        if (name == "identifier") {
          startIdentifier();
          return Kind::Identifier;
        }
        break;
      case Kind::Identifier:
        if (name == "name") return Kind::IdentifierName;
        break;
      case Kind::Entries:
        if (name == "entry") {
          startEntry();
          return Kind::Entry;
        }
        break;
      case Kind::Entry:
        if (name == "inactive") return Kind::Inactive;
        if (name == "translation") return translationKind();
        break;
      case Kind::QuestionTranslation:
        if (name == "text") return Kind::QuestionText;
        break;
      case Kind::AnswerTranslation:
        if (name == "text") return Kind::AnswerText;
        if (name == "grade") return gradeKind();
        break;
      case Kind::Grade:
        if (name == "currentgrade") return Kind::CurrentGrade;
        if (name == "count") return Kind::Count;
        if (name == "errorcount") return Kind::ErrorCount;
        if (name == "date") return Kind::Date;
        break;
      default:
        break;
    }
    return Kind::Other;
  }

  bool openElement(std::string_view name) {
    if (m_kinds.empty()) return openRoot(name);
    const Kind kind = childKind(m_kinds.back(), name);
    if (collectsText(kind)) m_text.clear();
    m_kinds.push_back(kind);
    return true;
  }

  static std::uint16_t heldCount(std::string_view text) {
    return static_cast<std::uint16_t>(
        std::min<std::uint64_t>(parseNumber(text).value_or(0), 0xFFFF));
  }

  bool closeElement() {
    const Kind kind = m_kinds.back();
    m_kinds.pop_back();
    const std::string_view text = trim(m_text);
    switch (kind) {
      case Kind::IdentifierName:
        if (!m_identifierNamed) m_identifierName = toUtf16(text);
        m_identifierNamed = true;
        break;
      case Kind::Identifier:
        if (m_identifierId && m_identifierIds.insert(*m_identifierId).second) {
          m_report.identifiers.emplace_back(*m_identifierId, std::move(m_identifierName));
        }
        break;
      case Kind::Inactive:
        m_entry.inactive = equalsIgnoringCase(text, "true") || text == "1";
        break;
      case Kind::QuestionText:
        if (!m_questionTextSeen) m_entry.question = toUtf16(text);
        m_questionTextSeen = true;
        break;
      case Kind::AnswerText:
        if (!m_answerTextSeen) m_entry.answer = toUtf16(text);
        m_answerTextSeen = true;
        break;
      case Kind::CurrentGrade:
        m_entry.box = static_cast<std::uint8_t>(
            std::min<std::uint64_t>(parseNumber(text).value_or(0), kKvtmlMaxBox));
        break;
      case Kind::Count:
        m_entry.count = heldCount(text);
        break;
      case Kind::ErrorCount:
        m_entry.errorCount = heldCount(text);
        break;
      case Kind::Date:
        m_entry.date = parseDate(text);
        break;
      case Kind::Entry:
        return finishEntry();
      default:
        break;
    }
    return true;
  }

  bool finishEntry() {
    if (m_entry.question.empty() || m_entry.answer.empty()) {
      ++m_report.entriesWithoutText;
      return true;
    }
    ++m_report.entries;
    return !*m_sink || (*m_sink)(m_entry);
  }

  XmlScanner m_scanner;
  KvtmlReport& m_report;
  const Direction* m_direction;  // null in the reading that gathers identifiers
  const EntrySink* m_sink;
  std::vector<Kind> m_kinds;  // one per open element, outermost first
  std::string m_text;         // UTF-8 text of the innermost open element that collects text

  std::optional<int> m_identifierId;
  std::u16string m_identifierName;
  bool m_identifierNamed = false;
  std::unordered_set<int> m_identifierIds;

  KvtmlEntry m_entry;
  bool m_questionTranslationSeen = false;
  bool m_answerTranslationSeen = false;
  bool m_gradeSeen = false;
  bool m_questionTextSeen = false;
  bool m_answerTextSeen = false;
};

bool looksLikeUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
         bytes.starts_with(std::string_view("<\0", 2)) ||
         bytes.starts_with(std::string_view("\0<", 2));
}

}  // namespace

bool readKvtml(std::string_view bytes, const KvtmlPair& pair, KvtmlReport& report,
               const std::function<bool(const KvtmlEntry&)>& entry) {
  report = KvtmlReport{};
  const auto fail = [&report](std::u16string message) {
    report.error = std::move(message);
    return false;
  };
  if (looksLikeUtf16(bytes)) return fail(u"The file is encoded in UTF-16; only UTF-8 is read.");
  const std::size_t start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  const std::string_view body = trim(bytes.substr(start));
  if (!body.starts_with('<')) return fail(std::u16string(kNotKvtml));

  if (!DocumentReader(bytes, start, report, nullptr, nullptr).read()) return false;
  const auto& identifiers = report.identifiers;
  if (identifiers.size() < 2) return fail(u"The file has fewer than two identifiers (languages).");

  const auto has = [&identifiers](int id) {
    return std::any_of(identifiers.begin(), identifiers.end(),
                       [id](const auto& identifier) { return identifier.first == id; });
  };
  const auto firstOtherThan = [&identifiers](int id) {
    return identifiers[0].first != id ? identifiers[0].first : identifiers[1].first;
  };
  for (const int id : {pair.question, pair.answer}) {
    if (id != -1 && !has(id)) {
      return fail(u"The file has no identifier " + widen(std::to_string(id)) + u".");
    }
  }
  Direction direction{pair.question, pair.answer};
  if (direction.question == -1 && direction.answer == -1) {
    direction = {identifiers[0].first, identifiers[1].first};
  } else if (direction.question == -1) {
    direction.question = firstOtherThan(direction.answer);
  } else if (direction.answer == -1) {
    direction.answer = firstOtherThan(direction.question);
  }
  if (direction.question == direction.answer) {
    return fail(u"The question and the answer are the same identifier.");
  }
  return DocumentReader(bytes, start, report, &direction, &entry).read();
}

}  // namespace kelvora::peers
