// Decoding and splitting of text tables; the rules a file sees are stated in text_table_reader.h.
// Fields are views into the text wherever the text holds them as they are, so a large table is
// read without an allocation per row.
#include "peers/text_table_reader.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kelvora::peers {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr std::size_t kSampleRows = 20;    // data rows looked at to detect the separator
constexpr std::size_t kMaxKeyLength = 32;  // code units of a header key

// The characters of Windows-1252 bytes 0x80..0x9F; U+FFFD where the table defines none.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

struct Utf8Step {
  char32_t codePoint = 0;
  std::size_t length = 1;  // bytes taken: the whole sequence, or the broken prefix (at least 1)
  bool valid = false;
};

// The UTF-8 sequence starting at bytes[i] (i < bytes.size()). Overlong forms, surrogates and
// values past U+10FFFF are broken; a broken sequence takes its longest prefix that could still
// have begun a valid one, so that each yields one U+FFFD.
Utf8Step utf8At(std::span<const std::uint8_t> bytes, std::size_t i) {
  const std::uint8_t lead = bytes[i];
  if (lead < 0x80) return {lead, 1, true};
  std::size_t trailing = 0;
  char32_t codePoint = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
    codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    codePoint = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    codePoint = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  for (std::size_t k = 1; k <= trailing; ++k) {
    if (i + k >= bytes.size() || bytes[i + k] < low || bytes[i + k] > high) return {0, k, false};
    codePoint = (codePoint << 6) | (bytes[i + k] & 0x3Fu);
    low = 0x80;
    high = 0xBF;
  }
  return {codePoint, trailing + 1, true};
}

// Decodes bytes[from..] as UTF-8 onto out. With repair, each broken sequence becomes U+FFFD;
// without, the first one stops decoding and gives false. out is sized for the worst case once,
// as no sequence gives more code units than it has bytes.
bool decodeUtf8(std::span<const std::uint8_t> bytes, std::size_t from, bool repair,
                std::u16string& out) {
  std::size_t at = out.size();
  out.resize(at + (bytes.size() - from));
  for (std::size_t i = from; i < bytes.size();) {
    if (bytes[i] < 0x80) {
      out[at++] = bytes[i++];
      continue;
    }
    const Utf8Step step = utf8At(bytes, i);
    if (step.valid && step.codePoint >= 0x10000) {
      const char32_t above = step.codePoint - 0x10000;
      out[at++] = static_cast<char16_t>(0xD800 + (above >> 10));
      out[at++] = static_cast<char16_t>(0xDC00 + (above & 0x3FF));
    } else if (step.valid) {
      out[at++] = static_cast<char16_t>(step.codePoint);
    } else if (repair) {
      out[at++] = kReplacement;
    } else {
      return false;
    }
    i += step.length;
  }
  out.resize(at);
  return true;
}

std::u16string decodeWindows1252(std::span<const std::uint8_t> bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    out[i] = b >= 0x80 && b <= 0x9F ? kWindows1252High[b - 0x80u] : static_cast<char16_t>(b);
  }
  return out;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes the code units after a 2-byte mark; an odd last byte is left out.
std::u16string decodeUtf16(std::span<const std::uint8_t> bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const unsigned first = bytes[i];
    const unsigned second = bytes[i + 1];
    out.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  for (std::size_t j = 0; j < out.size(); ++j) {
    if (isHighSurrogate(out[j]) && j + 1 < out.size() && isLowSurrogate(out[j + 1])) {
      ++j;
    } else if (isHighSurrogate(out[j]) || isLowSurrogate(out[j])) {
      out[j] = kReplacement;
    }
  }
  return out;
}

bool isLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool isKeyCharacter(char16_t c) {
  return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u' ' || c == u'_' || c == u'-';
}

bool isBlank(std::u16string_view field) {
  return std::all_of(field.begin(), field.end(),
                     [](char16_t c) { return c == u' ' || c == u'\t'; });
}

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// True when s is ascii (lower case) but for the case of its ASCII letters.
bool sameIgnoringCase(std::u16string_view s, std::string_view ascii) {
  if (s.size() != ascii.size()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<unsigned char>(ascii[i])) return false;
  }
  return true;
}

bool canSeparate(char16_t c) { return c != u'\0' && c != u'"' && !isLineEnd(c); }

// The position after the line end at pos, or pos when no line end is there.
std::size_t afterLineEnd(std::u16string_view text, std::size_t pos) {
  if (pos < text.size() && text[pos] == u'\r') {
    ++pos;
    if (pos < text.size() && text[pos] == u'\n') ++pos;
  } else if (pos < text.size() && text[pos] == u'\n') {
    ++pos;
  }
  return pos;
}

struct HeaderLine {
  std::u16string_view key;
  std::u16string_view value;
};

std::optional<HeaderLine> headerLine(std::u16string_view line) {
  if (line.size() < 3 || line[0] != u'#' || !isAsciiLetter(line[1])) return std::nullopt;
  for (std::size_t i = 2; i < line.size() && i <= kMaxKeyLength + 1; ++i) {
    if (line[i] == u':') return HeaderLine{line.substr(1, i - 1), line.substr(i + 1)};
    if (!isKeyCharacter(line[i])) return std::nullopt;
  }
  return std::nullopt;
}

// The separator a "#separator:" value names, or 0 when it names none.
char16_t namedSeparator(std::u16string_view value) {
  if (value.size() == 1) return canSeparate(value[0]) ? value[0] : u'\0';
  value = trimmed(value);
  struct Name {
    std::string_view name;
    char16_t separator;
  };
  static constexpr std::array<Name, 6> kNames = {{{"tab", u'\t'},
                                                  {"comma", u','},
                                                  {"semicolon", u';'},
                                                  {"space", u' '},
                                                  {"pipe", u'|'},
                                                  {"colon", u':'}}};
  for (const Name& n : kNames) {
    if (sameIgnoringCase(value, n.name)) return n.separator;
  }
  return u'\0';
}

// Reads the header lines at pos into report; the position of the first data line.
std::size_t readHeader(std::u16string_view text, std::size_t pos, TableReport& report,
                       char16_t& headerSeparator) {
  while (pos < text.size() && text[pos] == u'#') {
    std::size_t end = pos;
    while (end < text.size() && !isLineEnd(text[end])) ++end;
    const std::optional<HeaderLine> line = headerLine(text.substr(pos, end - pos));
    if (!line) break;
    ++report.headerLines;
    const std::u16string_view key = trimmed(line->key);
    if (sameIgnoringCase(key, "separator")) {
      headerSeparator = namedSeparator(line->value);
    } else if (sameIgnoringCase(key, "html")) {
      const std::u16string_view value = trimmed(line->value);
      if (sameIgnoringCase(value, "true")) report.html = true;
      if (sameIgnoringCase(value, "false")) report.html = false;
    }
    pos = afterLineEnd(text, end);
  }
  return pos;
}

// How often one candidate separator appears in the sampled rows.
struct Appearances {
  std::size_t rows = 0;    // rows holding it
  std::size_t perRow = 0;  // how many the first such row holds
  bool even = true;        // every such row holds that many
  std::size_t inRow = 0;   // in the row being read

  void endRow() {
    if (inRow == 0) return;
    if (rows == 0) {
      perRow = inRow;
    } else if (inRow != perRow) {
      even = false;
    }
    ++rows;
    inRow = 0;
  }
  std::size_t score() const { return rows * 2 + (rows > 0 && even ? 1 : 0); }
};

// A '"' opens a quote at a row's start or after any candidate separator, so quoted text is
// left out whichever one the file uses.
char16_t detectSeparator(std::u16string_view text, std::size_t pos) {
  Appearances commas;
  Appearances semicolons;
  bool inQuotes = false;
  bool fieldStart = true;
  std::size_t rows = 0;
  for (; pos < text.size() && rows < kSampleRows; ++pos) {
    const char16_t c = text[pos];
    if (inQuotes) {
      if (c == u'"') {
        if (pos + 1 < text.size() && text[pos + 1] == u'"') {
          ++pos;
        } else {
          inQuotes = false;
        }
      }
      continue;
    }
    if (c == u'\t') return u'\t';
    if (c == u'"' && fieldStart) {
      inQuotes = true;
    } else if (c == u',') {
      ++commas.inRow;
    } else if (c == u';') {
      ++semicolons.inRow;
    } else if (isLineEnd(c)) {
      if (c == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n') ++pos;
      commas.endRow();
      semicolons.endRow();
      ++rows;
    }
    fieldStart = c == u',' || c == u';' || isLineEnd(c);
  }
  commas.endRow();
  semicolons.endRow();
  return semicolons.rows > 0 && semicolons.score() >= commas.score() ? u';' : u',';
}

// Appends text[pos..] up to the separator or line end that ends the field, without NULs.
void appendRest(std::u16string_view text, std::size_t& pos, char16_t separator,
                std::u16string& out) {
  for (; pos < text.size() && text[pos] != separator && !isLineEnd(text[pos]); ++pos) {
    if (text[pos] != u'\0') out.push_back(text[pos]);
  }
}

// Reads the field at pos and leaves pos at the separator, line end or end of text after it.
// The result views text where the field is a plain run of it, else buffer.
std::u16string_view readField(std::u16string_view text, std::size_t& pos, char16_t separator,
                              std::u16string& buffer, bool& unclosed) {
  const std::size_t start = pos;
  if (pos >= text.size() || text[pos] != u'"') {
    bool hasNul = false;
    for (; pos < text.size() && text[pos] != separator && !isLineEnd(text[pos]); ++pos) {
      hasNul = hasNul || text[pos] == u'\0';
    }
    if (!hasNul) return text.substr(start, pos - start);
    buffer.clear();
    pos = start;
    appendRest(text, pos, separator, buffer);
    return buffer;
  }
  const std::size_t inside = ++pos;
  while (pos < text.size() && text[pos] != u'"' && text[pos] != u'\r' && text[pos] != u'\0') ++pos;
  if (pos < text.size() && text[pos] == u'"' && (pos + 1 == text.size() || text[pos + 1] != u'"')) {
    const std::u16string_view quoted = text.substr(inside, pos - inside);
    ++pos;
    if (pos == text.size() || text[pos] == separator || isLineEnd(text[pos])) return quoted;
    buffer.assign(quoted);
    appendRest(text, pos, separator, buffer);
    return buffer;
  }
  buffer.assign(text.substr(inside, pos - inside));
  while (pos < text.size()) {
    const char16_t c = text[pos];
    if (c == u'"') {
      if (pos + 1 < text.size() && text[pos + 1] == u'"') {
        buffer.push_back(u'"');
        pos += 2;
        continue;
      }
      ++pos;
      appendRest(text, pos, separator, buffer);
      return buffer;
    }
    if (c == u'\r') {
      buffer.push_back(u'\n');
      pos = afterLineEnd(text, pos);
      continue;
    }
    if (c != u'\0') buffer.push_back(c);
    ++pos;
  }
  unclosed = true;
  return buffer;
}

}  // namespace

std::u16string decodeTable(std::span<const std::uint8_t> bytes, TableEncoding* found,
                           bool* oddByteDropped) {
  TableEncoding encoding = TableEncoding::Utf8;
  bool odd = false;
  std::u16string out;
  const auto startsWith = [&](std::initializer_list<std::uint8_t> mark) {
    return bytes.size() >= mark.size() && std::equal(mark.begin(), mark.end(), bytes.begin());
  };
  if (startsWith({0xEF, 0xBB, 0xBF})) {
    encoding = TableEncoding::Utf8WithBom;
    decodeUtf8(bytes, 3, true, out);
  } else if (startsWith({0xFF, 0xFE}) || startsWith({0xFE, 0xFF})) {
    const bool bigEndian = bytes[0] == 0xFE;
    encoding = bigEndian ? TableEncoding::Utf16BigEndian : TableEncoding::Utf16LittleEndian;
    odd = bytes.size() % 2 != 0;
    out = decodeUtf16(bytes, bigEndian);
  } else {
    if (!decodeUtf8(bytes, 0, false, out)) {
      encoding = TableEncoding::Windows1252;
      out = decodeWindows1252(bytes);
    }
  }
  if (found != nullptr) *found = encoding;
  if (oddByteDropped != nullptr) *oddByteDropped = odd;
  return out;
}

bool readTable(
    std::u16string_view text, const TableSettings& settings, TableReport& report,
    const std::function<bool(std::u16string_view question, std::u16string_view answer)>& row) {
  report = TableReport{};
  std::size_t pos = !text.empty() && text[0] == kByteOrderMark ? 1 : 0;
  char16_t headerSeparator = 0;
  pos = readHeader(text, pos, report, headerSeparator);
  char16_t separator = canSeparate(settings.separator) ? settings.separator : headerSeparator;
  if (separator == 0) separator = detectSeparator(text, pos);
  report.separator = separator;

  const std::size_t lastPicked = std::max(settings.questionColumn, settings.answerColumn);
  std::u16string questionBuffer;
  std::u16string answerBuffer;
  std::u16string otherBuffer;
  bool unclosed = false;
  while (pos < text.size()) {
    std::u16string_view question;
    std::u16string_view answer;
    bool extra = false;
    for (std::size_t column = 0;; ++column) {
      std::u16string& buffer = column == settings.questionColumn ? questionBuffer
                               : column == settings.answerColumn ? answerBuffer
                                                                 : otherBuffer;
      const std::u16string_view field = readField(text, pos, separator, buffer, unclosed);
      if (column == settings.questionColumn) question = field;
      if (column == settings.answerColumn) answer = field;
      if (column > lastPicked && !isBlank(field)) extra = true;
      if (pos >= text.size() || text[pos] != separator) break;
      ++pos;
    }
    pos = afterLineEnd(text, pos);
    if (isBlank(question) && isBlank(answer)) {
      ++report.emptyRowsSkipped;
      continue;
    }
    ++report.rows;
    if (extra) ++report.rowsWithExtraColumns;
    if (!row(question, answer)) {
      report.unclosedQuotes = unclosed ? 1 : 0;
      return false;
    }
  }
  report.unclosedQuotes = unclosed ? 1 : 0;
  return true;
}

}  // namespace kelvora::peers
